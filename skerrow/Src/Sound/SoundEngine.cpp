#include "skerrow/Src/Sound/SoundEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/winmm/mmsystem.h"
#include "skerrow/Src/Sound/ModulePlayer.h"

namespace {

constexpr int kMaxSamples = 100;
constexpr int kMaxVoices = 100;  // the base buffer and 99 duplicates
constexpr int kSegments = 5;

struct SampleSlot {
    LPDIRECTSOUNDBUFFER voices[kMaxVoices] = {};
    int duplicates = 0;
    bool noDuplicates = false;
};

struct Engine {
    LPDIRECTSOUND ds = nullptr;
    LPDIRECTSOUNDBUFFER primary = nullptr;
    bool activated = false;
    const char* error = "";
    int rate = 44100, bits16 = 1, stereo = 1, interpolation = 1;
    int sampleVolume = 100, musicVolume = 100;
    int reverse = 0;
    SampleSlot samples[kMaxSamples];
    int sampleCount = 0;

    // Music. The timer thread works on these only inside StreamFill, under fillLock.
    std::mutex fillLock;
    std::unique_ptr<ModulePlayer> player;
    LPDIRECTSOUNDBUFFER stream = nullptr;
    DWORD streamSize = 0;
    DWORD segmentStart[kSegments] = {};
    std::vector<std::vector<uint8_t>> levels;
    std::vector<uint8_t*> levelPointers;
    std::vector<uint8_t> scratch;
    int nextSegment = 0;
    int endSegment = -1;
    std::atomic<bool> playing{false}, starting{false}, stopping{false}, songEnded{false};
    UINT timerResolution = 0;
    UINT timerId = 0;
};

Engine& E()
{
    static Engine* engine = new Engine;  // the timer thread may outlive static destruction
    return *engine;
}

int Fail(int code, const char* text)
{
    E().error = text;
    return code;
}

int BytesPerFrame() { return (E().stereo ? 2 : 1) * (E().bits16 ? 2 : 1); }

WAVEFORMATEX OutputFormat()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = WORD(E().stereo ? 2 : 1);
    f.nSamplesPerSec = DWORD(E().rate);
    f.wBitsPerSample = WORD(E().bits16 ? 16 : 8);
    f.nBlockAlign = WORD(BytesPerFrame());
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

void CALLBACK TimerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    if (E().playing) StreamFill();
}

void StopTimer()
{
    Engine& e = E();
    if (e.timerId) timeKillEvent(e.timerId);  // waits for a running StreamFill
    e.timerId = 0;
    if (e.timerResolution) timeEndPeriod(e.timerResolution);
    e.timerResolution = 0;
}

int StartTimer()
{
    Engine& e = E();
    StopTimer();
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return Fail(3, "Error setting timer");
    UINT res = std::min(std::max(caps.wPeriodMin, 10u), caps.wPeriodMax);
    if (timeBeginPeriod(res) != TIMERR_NOERROR) return Fail(3, "Error setting timer");
    e.timerResolution = res;
    e.timerId = timeSetEvent(100, res, TimerCallback, 0, TIME_PERIODIC);
    if (!e.timerId) {
        StopTimer();
        return Fail(3, "Error setting timer");
    }
    return 0;
}

// Drops the stream, the levels and the player; fillLock held or the timer stopped.
void FreeMusic()
{
    Engine& e = E();
    if (e.stream) {
        e.stream->Stop();
        e.stream->Release();
        e.stream = nullptr;
    }
    e.levels.clear();
    e.levelPointers.clear();
    if (e.player) e.player->Unload();
    e.player.reset();
}

// Writes one segment of the stream: music, or silence after the song's end. fillLock held.
void FillSegment(int segment)
{
    Engine& e = E();
    DWORD start = e.segmentStart[segment];
    DWORD bytes = (segment + 1 < kSegments ? e.segmentStart[segment + 1] : e.streamSize) - start;
    e.scratch.resize(bytes);
    const uint8_t silence = e.bits16 ? 0 : 0x80;
    if (e.songEnded) {
        std::memset(e.scratch.data(), silence, bytes);
    } else {
        int frames = e.player->Render(e.scratch.data(), int(bytes),
                                      e.levelPointers.empty() ? nullptr : e.levelPointers.data());
        size_t written = size_t(frames) * size_t(BytesPerFrame());
        if (written < bytes) {
            std::memset(e.scratch.data() + written, silence, bytes - written);
            e.songEnded = true;
            e.endSegment = segment;
        }
    }
    void *p1 = nullptr, *p2 = nullptr;
    DWORD b1 = 0, b2 = 0;
    HRESULT hr = e.stream->Lock(start, bytes, &p1, &b1, &p2, &b2, 0);
    if (hr == DSERR_BUFFERLOST) {
        e.stream->Restore();
        hr = e.stream->Lock(start, bytes, &p1, &b1, &p2, &b2, 0);
    }
    if (FAILED(hr)) return;
    std::memcpy(p1, e.scratch.data(), b1);
    if (p2 && b2) std::memcpy(p2, e.scratch.data() + b1, b2);
    e.stream->Unlock(p1, b1, p2, b2);
}

int LoadModule(const void* image, size_t size)
{
    Engine& e = E();
    e.player = std::make_unique<ModulePlayer>(image, size, e.rate, e.bits16, e.stereo, e.interpolation);
    if (e.player->state < ModulePlayer::StateLoaded) {
        e.player.reset();
        return Fail(1, "Error loading module");
    }
    WAVEFORMATEX f = OutputFormat();
    // Half a second, cut to whole frames in every segment.
    DWORD unit = DWORD(kSegments) * f.nBlockAlign;
    e.streamSize = (f.nAvgBytesPerSec * 5 / 10) / unit * unit;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN;
    desc.dwBufferBytes = e.streamSize;
    desc.lpwfxFormat = &f;
    if (FAILED(e.ds->CreateSoundBuffer(&desc, &e.stream, nullptr))) {
        e.stream = nullptr;
        e.player.reset();
        return Fail(1, "Error creating sound buffer");
    }
    e.stream->SetCurrentPosition(0);
    e.stream->SetVolume(VolumeToAttenuation(e.musicVolume));
    try {
        e.levels.assign(size_t(e.player->channelCount), std::vector<uint8_t>(size_t(e.rate)));
    } catch (const std::bad_alloc&) {
        FreeMusic();
        return Fail(4, "Not enougth memory for VU-meters");
    }
    for (auto& l : e.levels) e.levelPointers.push_back(l.data());
    for (int k = 0; k < kSegments; ++k) e.segmentStart[k] = DWORD(k) * (e.streamSize / kSegments);
    return 0;
}

void ReleaseVoices(SampleSlot& slot)
{
    for (auto& v : slot.voices) {
        if (v) v->Release();
        v = nullptr;
    }
    slot.duplicates = 0;
}

}  // namespace

int VolumeToAttenuation(int volume)
{
    volume = std::clamp(volume, 0, 100);
    if (volume == 0) return DSBVOLUME_MIN;
    int c = int(1506.0240963855422 * std::log2(double(volume)));
    return std::min(0, c * 3 / 10 - 3000);
}

const char* GetSoundError() { return E().error; }

int CreateDirectSound(HWND window, const WAVEFORMATEX* format)
{
    Engine& e = E();
    auto drop = [&](const char* text) {
        if (e.primary) e.primary->Release();
        if (e.ds) e.ds->Release();
        e.primary = nullptr;
        e.ds = nullptr;
        return Fail(1, text);
    };
    if (FAILED(DirectSoundCreate(nullptr, &e.ds, nullptr))) {
        e.ds = nullptr;
        return drop("Error creating Directsound");
    }
    if (FAILED(e.ds->SetCooperativeLevel(window, DSSCL_PRIORITY))) return drop("Error setting cooperative mode");
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(e.ds->CreateSoundBuffer(&desc, &e.primary, nullptr))) {
        e.primary = nullptr;
        return drop("Error creating primary buffer");
    }
    WAVEFORMATEX f = format ? *format : OutputFormat();
    if (FAILED(e.primary->SetFormat(&f))) return drop("Error setting primary buffer format");
    e.primary->Play(0, 0, DSBPLAY_LOOPING);
    return 0;
}

int InitSoundEngine()
{
    Engine& e = E();
    if (e.activated) return 0;
    // The DirectSound stand-in needs no window; the foreground window is only a formality.
    if (CreateDirectSound(nullptr, nullptr) != 0) return 1;
    e.activated = true;
    return 0;
}

void ReleaseSoundEngine()
{
    Engine& e = E();
    if (e.playing || e.starting) {
        e.playing = false;
        StopTimer();
        FreeMusic();
    }
    e.starting = e.stopping = e.songEnded = false;
    for (auto& s : e.samples) ReleaseVoices(s);
    e.sampleCount = 0;
    if (e.primary) e.primary->Release();
    if (e.ds) e.ds->Release();
    e.primary = nullptr;
    e.ds = nullptr;
    e.activated = false;
}

SampleHandle LoadSample(const void* image, size_t size, int noDuplicates)
{
    Engine& e = E();
    if (e.sampleCount >= kMaxSamples) return Fail(-1, "Not enougth handles for sample");
    if (!e.activated) return ++e.sampleCount;
    const uint8_t* p = static_cast<const uint8_t*>(image);
    auto u16 = [&](size_t at) { return uint32_t(p[at] | (p[at + 1] << 8)); };
    auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    if (!p || size < 36 || std::memcmp(p, "RIFF", 4) || std::memcmp(p + 8, "WAVE", 4) ||
        std::memcmp(p + 12, "fmt ", 4))
        return Fail(-1, "Not a WAV file");
    uint32_t fmtSize = u32(16);
    WAVEFORMATEX f{};
    f.wFormatTag = WORD(u16(20));
    f.nChannels = WORD(u16(22));
    f.nSamplesPerSec = u32(24);
    f.nAvgBytesPerSec = u32(28);
    f.nBlockAlign = WORD(u16(32));
    size_t dataAt = 20 + size_t(fmtSize);
    // Only plain PCM plays: other formats would sound as noise, and no channels or a block
    // that does not hold whole samples would divide by zero.
    if (fmtSize < 16 || f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2 ||
        f.nBlockAlign == 0 || f.nBlockAlign % f.nChannels != 0 || dataAt > size - 8 ||
        std::memcmp(p + dataAt, "data", 4))
        return Fail(-1, "Not a WAV file");
    f.wBitsPerSample = WORD(f.nBlockAlign * 8 / f.nChannels);
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return Fail(-1, "Not a WAV file");
    // A data size beyond the file's end is cut to what the file holds.
    size_t dataSize = std::min<size_t>(u32(dataAt + 4), size - dataAt - 8);
    dataSize -= dataSize % f.nBlockAlign;
    if (dataSize > DSBSIZE_MAX - 16) return Fail(-1, "Error create sound buffer");

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC;
    desc.dwBufferBytes = DWORD(dataSize + 16);
    desc.lpwfxFormat = &f;
    SampleSlot& slot = e.samples[e.sampleCount];
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    if (FAILED(e.ds->CreateSoundBuffer(&desc, &buffer, nullptr))) return Fail(-1, "Error create sound buffer");
    void *p1 = nullptr, *p2 = nullptr;
    DWORD b1 = 0, b2 = 0;
    if (FAILED(buffer->Lock(0, desc.dwBufferBytes, &p1, &b1, &p2, &b2, 0))) {
        buffer->Release();
        return Fail(-1, "Error create sound buffer");
    }
    std::memset(p1, f.wBitsPerSample == 8 ? 0x80 : 0, b1);
    std::memcpy(p1, p + dataAt + 8, dataSize);
    buffer->Unlock(p1, b1, p2, b2);
    ReleaseVoices(slot);
    slot.voices[0] = buffer;
    slot.noDuplicates = noDuplicates != 0;
    return e.sampleCount++;
}

int PlaySample(SampleHandle handle, int volume, int pan)
{
    Engine& e = E();
    if (!e.activated) return 0;
    if (handle < 0 || handle >= e.sampleCount || !e.samples[handle].voices[0]) return Fail(4, "Invalid handle");
    SampleSlot& slot = e.samples[handle];
    pan = std::clamp(pan, 0, 100);
    volume = std::clamp(volume, 0, 100);
    LONG panValue = ((e.reverse ? 100 - pan : pan) * 5 - 250) * 40;
    LONG level = VolumeToAttenuation(int(volume * 0.01 * e.sampleVolume));
    auto start = [&](LPDIRECTSOUNDBUFFER v) {
        v->SetVolume(level);
        v->SetPan(panValue);
        v->Play(0, 0, 0);
    };
    int result = 0;
    bool started = false;
    for (int i = 0; i <= slot.duplicates && !started; ++i) {
        DWORD status = 0;
        LPDIRECTSOUNDBUFFER v = slot.voices[i];
        if (v && SUCCEEDED(v->GetStatus(&status)) && !(status & DSBSTATUS_PLAYING)) {
            if (status & DSBSTATUS_BUFFERLOST) v->Restore();
            start(v);
            started = true;
        }
    }
    if (!started && !slot.noDuplicates) {
        if (slot.duplicates >= kMaxVoices - 1) {
            result = Fail(1, "Not enougth handles to play sample");
        } else {
            LPDIRECTSOUNDBUFFER dup = nullptr;
            if (SUCCEEDED(e.ds->DuplicateSoundBuffer(slot.voices[0], &dup))) {
                slot.voices[++slot.duplicates] = dup;
                start(dup);
            }
        }
    }
    // Finished duplicates go; the ones still sounding move down to keep the list packed.
    int kept = 0;
    for (int i = 1; i <= slot.duplicates; ++i) {
        DWORD status = 0;
        LPDIRECTSOUNDBUFFER v = slot.voices[i];
        slot.voices[i] = nullptr;
        if (SUCCEEDED(v->GetStatus(&status)) && (status & DSBSTATUS_PLAYING)) slot.voices[++kept] = v;
        else v->Release();
    }
    slot.duplicates = kept;
    return result;
}

void SetSampleVolume(int percent) { E().sampleVolume = std::clamp(percent, 0, 100); }
int GetSampleVolume() { return E().sampleVolume; }

void SetMusicVolume(int percent)
{
    Engine& e = E();
    e.musicVolume = std::clamp(percent, 0, 100);
    if (e.activated && e.stream) e.stream->SetVolume(VolumeToAttenuation(e.musicVolume));
}
int GetMusicVolume() { return E().musicVolume; }

void SetReverseStereo(int reverse) { E().reverse = reverse ? 1 : 0; }
int GetReverseStereo() { return E().reverse; }

int SetOutputFormat(int rate, int bits16, int stereo, int interpolation)
{
    Engine& e = E();
    if (e.playing || e.starting) return 1;
    if (rate < 8000 || rate > 192000) return e.activated ? Fail(1, "Error setting primary buffer format") : 0;
    // Kept even before the engine is activated: InitSoundEngine then opens the device with it.
    e.rate = rate;
    e.bits16 = bits16 ? 1 : 0;
    e.stereo = stereo ? 1 : 0;
    e.interpolation = interpolation ? 1 : 0;
    if (e.primary) {
        for (auto& s : e.samples)
            for (int i = 0; i <= s.duplicates; ++i)
                if (s.voices[i]) s.voices[i]->Stop();
        WAVEFORMATEX f = OutputFormat();
        if (FAILED(e.primary->SetFormat(&f))) return Fail(1, "Error setting primary buffer format");
    }
    return 0;
}

int PlayModule(const void* image, size_t size)
{
    Engine& e = E();
    if (!e.activated) return 0;
    if (e.playing || e.starting) return Fail(2, "Module already playing");
    e.starting = true;
    int code;
    {
        std::lock_guard<std::mutex> hold(e.fillLock);
        e.songEnded = false;
        e.endSegment = -1;
        code = LoadModule(image, size);
        if (code == 0) {
            for (int k = 0; k < kSegments - 1; ++k) FillSegment(k);
            e.nextSegment = kSegments - 1;
            e.stream->Play(0, 0, DSBPLAY_LOOPING);
        }
    }
    if (code == 0) code = StartTimer();
    if (code != 0) {
        // A failed start leaves nothing behind, so the next module can play.
        std::lock_guard<std::mutex> hold(e.fillLock);
        FreeMusic();
        e.starting = false;
        return code;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    e.playing = true;
    e.starting = false;
    return 0;
}

int StopModule()
{
    Engine& e = E();
    if (!e.activated) return 0;
    if (!e.playing || e.stopping) return Fail(2, "Module already stopped");
    e.stopping = true;
    e.playing = false;
    StopTimer();
    {
        std::lock_guard<std::mutex> hold(e.fillLock);
        FreeMusic();
    }
    e.stopping = false;
    return 0;
}

int SetModuleOption(int value)
{
    Engine& e = E();
    if (!e.activated) return 0;
    std::lock_guard<std::mutex> hold(e.fillLock);
    if (!e.player) return Fail(2, "Module not loaded");
    if (value) e.player->option = uint8_t(value);
    return 0;
}

void StreamFill()
{
    Engine& e = E();
    std::lock_guard<std::mutex> hold(e.fillLock);
    if (!e.stream || !e.player) return;
    DWORD play = 0;
    if (FAILED(e.stream->GetCurrentPosition(&play, nullptr))) return;
    int cursor = 0;
    while (cursor + 1 < kSegments && play >= e.segmentStart[cursor + 1]) ++cursor;
    // Every segment the cursor has left is filled, the oldest first, so a late timer catches up
    // instead of letting the cursor run into old music.
    while (e.nextSegment != cursor) {
        if (e.songEnded && e.nextSegment == e.endSegment) {
            e.stream->Stop();
            return;
        }
        FillSegment(e.nextSegment);
        e.nextSegment = (e.nextSegment + 1) % kSegments;
    }
}
