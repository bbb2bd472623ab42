#include "platform/dsound/dsound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound/dsound_testing.h"
#include "platform/win32/sound_notice.h"

namespace {

class SecondaryBuffer;

// Sound data shared by a buffer and its duplicates.
struct SoundData {
    std::vector<uint8_t> bytes;
    WAVEFORMATEX format{};
    DWORD frames() const { return DWORD(bytes.size() / format.nBlockAlign); }
};

HRESULT Fail(HRESULT hr, const char* what)
{
    PlatformSoundTrace("dsound", "%s (0x%08x)", what, unsigned(hr));
    return hr;
}

// Attenuation in hundredths of a decibel to a linear gain; the floor is silence.
float Gain(LONG hundredths)
{
    if (hundredths <= DSBVOLUME_MIN) return 0.0f;
    if (hundredths >= 0) return 1.0f;
    return float(std::pow(10.0, double(hundredths) / 2000.0));
}

bool ValidPcm(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 100 &&
           f.nSamplesPerSec <= 200000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

// The one mixer behind every DirectSound object: the device, its format and the buffers.
struct Mixer {
    std::mutex lock;  // guards everything below and every buffer's playing state
    SDL_AudioDeviceID device = 0;
    int rate = 44100;
    int channels = 2;
    bool manual = false;
    int objects = 0;  // live DirectSound objects (buffers keep theirs alive)
    LONG masterVolume = 0;
    LONG masterPan = 0;
    std::vector<SecondaryBuffer*> buffers;
    std::vector<float> accum;

    void Mix(int16_t* out, int frames);  // lock held
};

Mixer& TheMixer()
{
    static Mixer* mixer = new Mixer;
    return *mixer;
}

void AudioCallback(void*, Uint8* stream, int len)
{
    Mixer& m = TheMixer();
    std::lock_guard<std::mutex> hold(m.lock);
    m.Mix(reinterpret_cast<int16_t*>(stream), len / int(sizeof(int16_t) * m.channels));
}

// Opens the device at the mixer's format; lock not held (the callback takes it).
bool OpenDevice(Mixer& m)
{
    SDL_AudioSpec want{}, have{};
    want.freq = m.rate;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(m.channels);
    want.samples = 512;
    want.callback = AudioCallback;
    m.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m.device == 0) {
        PlatformSoundTrace("dsound", "cannot open the audio device: %s", SDL_GetError());
        PlatformReportNoSoundDevice();
        return false;
    }
    SDL_PauseAudioDevice(m.device, m.manual ? 1 : 0);
    return true;
}

class DirectSoundObject;

class SecondaryBuffer : public RefCounted<IDirectSoundBuffer> {
public:
    SecondaryBuffer(DirectSoundObject* owner, std::shared_ptr<SoundData> data, DWORD flags);
    ~SecondaryBuffer() override;

    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override;
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT GetPan(LONG* pan) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2,
                 DWORD* bytes2, DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(LPCWAVEFORMATEX format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* ptr1, DWORD bytes1, void* ptr2, DWORD bytes2) override;
    HRESULT Restore() override;

    // Adds this buffer's next `frames` frames into acc (device channels); lock held.
    void MixInto(float* acc, int frames, int deviceRate, int deviceChannels);
    const std::shared_ptr<SoundData>& Data() const { return data_; }
    DWORD Flags() const { return flags_; }

    bool lost = false;

private:
    void Cursors(DWORD* play, DWORD* write) const;  // lock held
    float SampleAt(DWORD frame, int channel) const;

    DirectSoundObject* owner_;
    std::shared_ptr<SoundData> data_;
    DWORD flags_;
    LONG volume_ = 0;
    LONG pan_ = 0;
    uint64_t position_ = 0;  // frames, 32.32 fixed point
    bool playing_ = false;
    bool looping_ = false;
    bool locked_ = false;
    DWORD lockOffset_ = 0, lockBytes_ = 0;
    std::vector<uint8_t> staging_;
};

class PrimaryBuffer : public RefCounted<IDirectSoundBuffer> {
public:
    explicit PrimaryBuffer(DirectSoundObject* owner);
    ~PrimaryBuffer() override;

    HRESULT GetCurrentPosition(DWORD*, DWORD*) override { return Unsupported("GetCurrentPosition"); }
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT GetPan(LONG* pan) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override
    {
        return Unsupported("Lock");
    }
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD) override { return Unsupported("SetCurrentPosition"); }
    HRESULT SetFormat(LPCWAVEFORMATEX format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT Stop() override;
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return Unsupported("Unlock"); }
    HRESULT Restore() override { return DS_OK; }

private:
    static HRESULT Unsupported(const char* what)
    {
        PlatformSoundTrace("dsound", "primary buffer %s needs write-primary access, which is not provided", what);
        return DSERR_INVALIDCALL;
    }
    DirectSoundObject* owner_;
    WAVEFORMATEX format_{};
    bool playing_ = false;
};

class DirectSoundObject : public RefCounted<IDirectSound> {
public:
    DirectSoundObject() = default;
    ~DirectSoundObject() override;
    bool Start();

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                              IUnknown* outer) override;
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

    DWORD level = 0;
    WAVEFORMATEX primaryFormat{};

private:
    bool started_ = false;
};

// ---- mixing ----

void Mixer::Mix(int16_t* out, int frames)
{
    const int n = frames * channels;
    accum.assign(size_t(n), 0.0f);
    for (SecondaryBuffer* b : buffers) b->MixInto(accum.data(), frames, rate, channels);
    float gl = Gain(masterVolume) * Gain(masterPan > 0 ? -masterPan : 0);
    float gr = Gain(masterVolume) * Gain(masterPan < 0 ? masterPan : 0);
    for (int i = 0; i < n; ++i) {
        float g = channels == 2 ? ((i & 1) ? gr : gl) : Gain(masterVolume);
        float v = std::nearbyint(accum[size_t(i)] * g);
        out[i] = int16_t(std::clamp(v, -32768.0f, 32767.0f));
    }
}

float SecondaryBuffer::SampleAt(DWORD frame, int channel) const
{
    const WAVEFORMATEX& f = data_->format;
    const uint8_t* p = data_->bytes.data() + size_t(frame) * f.nBlockAlign;
    if (channel >= f.nChannels) channel = f.nChannels - 1;
    if (f.wBitsPerSample == 8) return float((int(p[channel]) - 128) * 256);
    p += channel * 2;
    return float(int16_t(uint16_t(p[0] | (p[1] << 8))));
}

void SecondaryBuffer::MixInto(float* acc, int frames, int deviceRate, int deviceChannels)
{
    if (!playing_ || lost) return;
    const DWORD total = data_->frames();
    if (total == 0) {
        playing_ = false;
        return;
    }
    const uint64_t step = (uint64_t(data_->format.nSamplesPerSec) << 32) / uint64_t(deviceRate);
    const float g = Gain(volume_);
    const float gl = g * Gain(pan_ > 0 ? -pan_ : 0);
    const float gr = g * Gain(pan_ < 0 ? pan_ : 0);
    const int srcChannels = data_->format.nChannels;
    for (int i = 0; i < frames; ++i) {
        DWORD idx = DWORD(position_ >> 32);
        if (idx >= total) {
            if (looping_) {
                position_ -= uint64_t(total) << 32;
                idx = DWORD(position_ >> 32);
            } else {
                // A finished buffer rewinds, as the games expect when they play it again.
                playing_ = false;
                position_ = 0;
                return;
            }
        }
        DWORD next = idx + 1;
        bool haveNext = next < total || looping_;
        if (next >= total) next = 0;
        float frac = float(double(position_ & 0xffffffffu) / 4294967296.0);
        float l = SampleAt(idx, 0), r = SampleAt(idx, 1);
        if (haveNext && frac > 0.0f) {
            l += (SampleAt(next, 0) - l) * frac;
            r += (SampleAt(next, 1) - r) * frac;
        }
        if (deviceChannels == 2) {
            acc[2 * i] += l * gl;
            acc[2 * i + 1] += r * gr;
        } else {
            acc[i] += srcChannels == 2 ? (l * gl + r * gr) * 0.5f : l * g;
        }
        position_ += step;
    }
    if (DWORD(position_ >> 32) >= total && !looping_) {
        playing_ = false;
        position_ = 0;
    }
}

// ---- secondary buffers ----

SecondaryBuffer::SecondaryBuffer(DirectSoundObject* owner, std::shared_ptr<SoundData> data,
                                 DWORD flags)
    : owner_(owner), data_(std::move(data)), flags_(flags)
{
    owner_->AddRef();
    Mixer& m = TheMixer();
    std::lock_guard<std::mutex> hold(m.lock);
    m.buffers.push_back(this);
}

SecondaryBuffer::~SecondaryBuffer()
{
    {
        Mixer& m = TheMixer();
        std::lock_guard<std::mutex> hold(m.lock);
        m.buffers.erase(std::remove(m.buffers.begin(), m.buffers.end(), this), m.buffers.end());
    }
    owner_->Release();
}

void SecondaryBuffer::Cursors(DWORD* play, DWORD* write) const
{
    const DWORD size = DWORD(data_->bytes.size());
    const DWORD align = data_->format.nBlockAlign;
    DWORD p = DWORD(position_ >> 32) * align;
    if (p >= size) p = 0;
    // The write cursor leads the play cursor by what the mixer may already have taken: about
    // 15 ms, whole frames.
    DWORD lead = playing_ ? (data_->format.nAvgBytesPerSec * 15 / 1000) / align * align : 0;
    if (play) *play = p;
    if (write) *write = size ? (p + lead) % size : 0;
}

HRESULT SecondaryBuffer::GetCurrentPosition(DWORD* play, DWORD* write)
{
    if (!play && !write) return Fail(DSERR_INVALIDPARAM, "GetCurrentPosition: no output");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    Cursors(play, write);
    return DS_OK;
}

HRESULT SecondaryBuffer::GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written)
{
    if (!format || size < sizeof(WAVEFORMATEX)) return Fail(DSERR_INVALIDPARAM, "GetFormat: small structure");
    *format = data_->format;
    if (written) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
}

HRESULT SecondaryBuffer::GetVolume(LONG* volume)
{
    if (!volume) return Fail(DSERR_INVALIDPARAM, "GetVolume: no output");
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return Fail(DSERR_CONTROLUNAVAIL, "GetVolume without DSBCAPS_CTRLVOLUME");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    *volume = volume_;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetPan(LONG* pan)
{
    if (!pan) return Fail(DSERR_INVALIDPARAM, "GetPan: no output");
    if (!(flags_ & DSBCAPS_CTRLPAN)) return Fail(DSERR_CONTROLUNAVAIL, "GetPan without DSBCAPS_CTRLPAN");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    *pan = pan_;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetStatus(DWORD* status)
{
    if (!status) return Fail(DSERR_INVALIDPARAM, "GetStatus: no output");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (playing_ && looping_ ? DSBSTATUS_LOOPING : 0) |
              (lost ? DSBSTATUS_BUFFERLOST : 0);
    return DS_OK;
}

HRESULT SecondaryBuffer::Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2,
                              DWORD* bytes2, DWORD flags)
{
    if (!ptr1 || !bytes1) return Fail(DSERR_INVALIDPARAM, "Lock: no output");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    if (lost) return DSERR_BUFFERLOST;
    if (locked_) return Fail(DSERR_INVALIDCALL, "Lock: the buffer is already locked");
    const DWORD size = DWORD(data_->bytes.size());
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = size;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
        Cursors(nullptr, &offset);
    }
    if (offset >= size || bytes == 0 || bytes > size)
        return Fail(DSERR_INVALIDPARAM, "Lock: region outside the buffer");
    // The caller writes into a copy that Unlock moves in under the mixer's lock, so the audio
    // thread never reads half-written data.
    staging_.resize(bytes);
    DWORD first = std::min(bytes, size - offset);
    std::memcpy(staging_.data(), data_->bytes.data() + offset, first);
    if (bytes > first) std::memcpy(staging_.data() + first, data_->bytes.data(), bytes - first);
    locked_ = true;
    lockOffset_ = offset;
    lockBytes_ = bytes;
    *ptr1 = staging_.data();
    *bytes1 = first;
    if (ptr2) *ptr2 = bytes > first ? staging_.data() + first : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    if (bytes > first && (!ptr2 || !bytes2)) {
        locked_ = false;
        return Fail(DSERR_INVALIDPARAM, "Lock: region wraps but no second pointer was given");
    }
    return DS_OK;
}

HRESULT SecondaryBuffer::Unlock(void* ptr1, DWORD bytes1, void* ptr2, DWORD bytes2)
{
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    if (!locked_ || ptr1 != staging_.data()) return Fail(DSERR_INVALIDPARAM, "Unlock: not the locked region");
    const DWORD size = DWORD(data_->bytes.size());
    const DWORD first = std::min(lockBytes_, size - lockOffset_);
    if (bytes1 > first || (ptr2 && ptr2 != staging_.data() + first) || bytes2 > lockBytes_ - first) {
        locked_ = false;
        return Fail(DSERR_INVALIDPARAM, "Unlock: more bytes than were locked");
    }
    std::memcpy(data_->bytes.data() + lockOffset_, staging_.data(), bytes1);
    if (ptr2 && bytes2) std::memcpy(data_->bytes.data(), staging_.data() + first, bytes2);
    locked_ = false;
    return DS_OK;
}

HRESULT SecondaryBuffer::Play(DWORD, DWORD, DWORD flags)
{
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    if (lost) return DSERR_BUFFERLOST;
    playing_ = true;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetCurrentPosition(DWORD position)
{
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    if (position >= data_->bytes.size()) return Fail(DSERR_INVALIDPARAM, "SetCurrentPosition: past the end");
    position_ = uint64_t(position / data_->format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetFormat(LPCWAVEFORMATEX)
{
    return Fail(DSERR_INVALIDCALL, "SetFormat on a secondary buffer");
}

HRESULT SecondaryBuffer::SetVolume(LONG volume)
{
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return Fail(DSERR_CONTROLUNAVAIL, "SetVolume without DSBCAPS_CTRLVOLUME");
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return Fail(DSERR_INVALIDPARAM, "SetVolume: out of range");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    volume_ = volume;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetPan(LONG pan)
{
    if (!(flags_ & DSBCAPS_CTRLPAN)) return Fail(DSERR_CONTROLUNAVAIL, "SetPan without DSBCAPS_CTRLPAN");
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return Fail(DSERR_INVALIDPARAM, "SetPan: out of range");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    pan_ = pan;
    return DS_OK;
}

HRESULT SecondaryBuffer::Stop()
{
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    playing_ = false;
    return DS_OK;
}

HRESULT SecondaryBuffer::Restore()
{
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    lost = false;
    return DS_OK;
}

// ---- primary buffer ----

PrimaryBuffer::PrimaryBuffer(DirectSoundObject* owner) : owner_(owner)
{
    owner_->AddRef();
    format_ = owner_->primaryFormat;
}

PrimaryBuffer::~PrimaryBuffer() { owner_->Release(); }

HRESULT PrimaryBuffer::GetFormat(LPWAVEFORMATEX format, DWORD size, DWORD* written)
{
    if (!format || size < sizeof(WAVEFORMATEX)) return Fail(DSERR_INVALIDPARAM, "GetFormat: small structure");
    *format = format_;
    if (written) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
}

HRESULT PrimaryBuffer::GetVolume(LONG* volume)
{
    if (!volume) return Fail(DSERR_INVALIDPARAM, "GetVolume: no output");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    *volume = TheMixer().masterVolume;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetPan(LONG* pan)
{
    if (!pan) return Fail(DSERR_INVALIDPARAM, "GetPan: no output");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    *pan = TheMixer().masterPan;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetStatus(DWORD* status)
{
    if (!status) return Fail(DSERR_INVALIDPARAM, "GetStatus: no output");
    *status = playing_ ? (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING) : 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::Play(DWORD, DWORD, DWORD flags)
{
    if (!(flags & DSBPLAY_LOOPING)) return Fail(DSERR_INVALIDPARAM, "primary buffer Play without DSBPLAY_LOOPING");
    playing_ = true;
    return DS_OK;
}

HRESULT PrimaryBuffer::Stop()
{
    playing_ = false;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetVolume(LONG volume)
{
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return Fail(DSERR_INVALIDPARAM, "SetVolume: out of range");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    TheMixer().masterVolume = volume;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetPan(LONG pan)
{
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return Fail(DSERR_INVALIDPARAM, "SetPan: out of range");
    std::lock_guard<std::mutex> hold(TheMixer().lock);
    TheMixer().masterPan = pan;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetFormat(LPCWAVEFORMATEX format)
{
    if (!format || !ValidPcm(*format)) return Fail(DSERR_BADFORMAT, "primary SetFormat: not a PCM format we can play");
    if (owner_->level < DSSCL_PRIORITY) return Fail(DSERR_PRIOLEVELNEEDED, "primary SetFormat below DSSCL_PRIORITY");
    Mixer& m = TheMixer();
    // The callback takes the mixer's lock, so the device is closed and reopened outside it.
    if (m.device) SDL_CloseAudioDevice(m.device);
    m.device = 0;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        m.rate = int(format->nSamplesPerSec);
        m.channels = format->nChannels;
    }
    if (!OpenDevice(m)) return Fail(DSERR_GENERIC, "primary SetFormat: the device refused the format");
    format_ = *format;
    owner_->primaryFormat = *format;
    return DS_OK;
}

// ---- the DirectSound object ----

bool DirectSoundObject::Start()
{
    Mixer& m = TheMixer();
    // Objects are made and dropped on one thread; the count is locked only for the test mixer.
    if (m.objects == 0) {
        PlatformRouteSoundLibraryMessages();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            PlatformSoundTrace("dsound", "SDL audio: %s", SDL_GetError());
            PlatformReportNoSoundDevice();
            return false;
        }
        if (!OpenDevice(m)) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> hold(m.lock);
        ++m.objects;
    }
    started_ = true;
    primaryFormat.wFormatTag = WAVE_FORMAT_PCM;
    primaryFormat.nChannels = WORD(m.channels);
    primaryFormat.nSamplesPerSec = DWORD(m.rate);
    primaryFormat.wBitsPerSample = 16;
    primaryFormat.nBlockAlign = WORD(2 * m.channels);
    primaryFormat.nAvgBytesPerSec = primaryFormat.nBlockAlign * primaryFormat.nSamplesPerSec;
    return true;
}

DirectSoundObject::~DirectSoundObject()
{
    if (!started_) return;
    Mixer& m = TheMixer();
    int left;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        left = --m.objects;
    }
    if (left == 0) {
        if (m.device) SDL_CloseAudioDevice(m.device);
        m.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

HRESULT DirectSoundObject::SetCooperativeLevel(HWND, DWORD lvl)
{
    if (lvl < DSSCL_NORMAL || lvl > DSSCL_EXCLUSIVE) {
        if (lvl == DSSCL_WRITEPRIMARY) return Fail(DSERR_UNSUPPORTED, "DSSCL_WRITEPRIMARY is not provided");
        return Fail(DSERR_INVALIDPARAM, "SetCooperativeLevel: unknown level");
    }
    level = lvl;
    return DS_OK;
}

HRESULT DirectSoundObject::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                                             IUnknown* outer)
{
    if (!buffer) return Fail(DSERR_INVALIDPARAM, "CreateSoundBuffer: no output");
    *buffer = nullptr;
    if (!desc || desc->dwSize < sizeof(DSBUFFERDESC) || outer)
        return Fail(DSERR_INVALIDPARAM, "CreateSoundBuffer: bad description");
    if (level == 0) return Fail(DSERR_PRIOLEVELNEEDED, "CreateSoundBuffer before SetCooperativeLevel");
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
            return Fail(DSERR_INVALIDPARAM, "primary buffer with a size or format");
        *buffer = new PrimaryBuffer(this);
        return DS_OK;
    }
    if (!desc->lpwfxFormat || !ValidPcm(*desc->lpwfxFormat))
        return Fail(DSERR_BADFORMAT, "CreateSoundBuffer: not a PCM format we can play");
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
        return Fail(DSERR_INVALIDPARAM, "CreateSoundBuffer: bad size");
    auto data = std::make_shared<SoundData>();
    data->format = *desc->lpwfxFormat;
    data->format.cbSize = 0;
    data->format.nAvgBytesPerSec = data->format.nBlockAlign * data->format.nSamplesPerSec;
    // New buffers hold silence.
    data->bytes.assign(desc->dwBufferBytes, data->format.wBitsPerSample == 8 ? 0x80 : 0);
    *buffer = new SecondaryBuffer(this, std::move(data), desc->dwFlags);
    return DS_OK;
}

HRESULT DirectSoundObject::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                LPDIRECTSOUNDBUFFER* duplicate)
{
    if (!duplicate) return Fail(DSERR_INVALIDPARAM, "DuplicateSoundBuffer: no output");
    *duplicate = nullptr;
    auto* src = dynamic_cast<SecondaryBuffer*>(original);
    if (!src) return Fail(DSERR_INVALIDCALL, "DuplicateSoundBuffer: not a secondary buffer");
    *duplicate = new SecondaryBuffer(this, src->Data(), src->Flags());
    return DS_OK;
}

}  // namespace

HRESULT DirectSoundCreate(const GUID* device, LPDIRECTSOUND* out, IUnknown* outer)
{
    if (!out) return Fail(DSERR_INVALIDPARAM, "DirectSoundCreate: no output");
    *out = nullptr;
    if (device || outer) return Fail(DSERR_NODRIVER, "DirectSoundCreate: only the default device exists");
    auto* ds = new DirectSoundObject;
    if (!ds->Start()) {
        ds->Release();
        return Fail(DSERR_NODRIVER, "DirectSoundCreate: no audio device");
    }
    *out = ds;
    return DS_OK;
}

void DirectSoundSetManualMixing(bool manual)
{
    Mixer& m = TheMixer();
    {
        std::lock_guard<std::mutex> hold(m.lock);
        m.manual = manual;
    }
    if (m.device) SDL_PauseAudioDevice(m.device, manual ? 1 : 0);
}

bool DirectSoundMixFrames(int16_t* out, int frames)
{
    Mixer& m = TheMixer();
    std::lock_guard<std::mutex> hold(m.lock);
    if (m.objects == 0) return false;
    m.Mix(out, frames);
    return true;
}

void DirectSoundLoseBuffers()
{
    Mixer& m = TheMixer();
    std::lock_guard<std::mutex> hold(m.lock);
    for (SecondaryBuffer* b : m.buffers) b->lost = true;
}
