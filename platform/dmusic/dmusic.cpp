// DirectMusic over SDL audio and a SoundFont synthesiser.
//
// One performance mixes everything in one place (Render), called from the SDL audio callback
// or, with the manual clock, by a test. All playing state sits behind the performance's mutex;
// the audio thread never touches a COM object that could take the performance down with it:
// segment states keep only the segment content and their path's mixing state.
#include "platform/dmusic/dmusic.h"

#include <SDL.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/dmusic/dmusic_testing.h"
#include "platform/dmusic/sound_files.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/sound_notice.h"

using namespace dmusic_files;

#define DEFINE_DM_GUID(name, a, b, c, d0, d1, d2, d3, d4, d5, d6, d7) \
    const GUID name = {a, b, c, {d0, d1, d2, d3, d4, d5, d6, d7}}

DEFINE_DM_GUID(CLSID_DirectMusicLoader, 0x6f0e2a01, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_DM_GUID(CLSID_DirectMusicPerformance, 0x6f0e2a01, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_DM_GUID(CLSID_DirectMusicSegment, 0x6f0e2a01, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
DEFINE_DM_GUID(IID_IDirectMusicLoader8, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_DM_GUID(IID_IDirectMusicPerformance8, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_DM_GUID(IID_IDirectMusicSegment, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
DEFINE_DM_GUID(IID_IDirectMusicSegment8, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);
DEFINE_DM_GUID(IID_IDirectMusicSegmentState, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05);
DEFINE_DM_GUID(IID_IDirectMusicSegmentState8, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06);
DEFINE_DM_GUID(IID_IDirectMusicAudioPath8, 0x6f0e2a02, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07);
DEFINE_DM_GUID(GUID_DirectMusicAllTypes, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_DM_GUID(GUID_NOTIFICATION_SEGMENT, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_DM_GUID(GUID_NOTIFICATION_PERFORMANCE, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
DEFINE_DM_GUID(GUID_StandardMIDIFile, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);
DEFINE_DM_GUID(GUID_DisableTempo, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05);
DEFINE_DM_GUID(GUID_EnableTempo, 0x6f0e2a03, 0x4b1d, 0x4c11, 0x9a, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06);

namespace {

// The identity every COM object answers to.
const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

void Trace(const char* what, HRESULT hr, const std::string& detail = std::string())
{
    PlatformSoundTrace("dmusic", "%s failed (0x%08X)%s%s", what, unsigned(hr), detail.empty() ? "" : ": ",
                       detail.c_str());
}

constexpr int kChunkFrames = 64;
constexpr int kBlocks = 4;  // 64 synthesiser channels, 16 for each MIDI segment playing
constexpr uint64_t kAlmostEndFrames = kMixRate / 4;
constexpr size_t kMaxNotifications = 4096;
constexpr int kMaxLoopsPerChunk = 1000;
constexpr size_t kMaxFileBytes = 64u << 20;
constexpr int kDmusPpq = 768;

std::atomic<bool> gManualClock{false};
std::mutex gSoundFontMutex;
std::string gSoundFontPath = "/usr/share/sounds/sf2/default-GM.sf2";

std::string Narrow(const wchar_t* text)
{
    std::string out;
    if (!text) return out;
    for (; *text; ++text) out.push_back(*text < 0x80 ? char(*text) : '?');
    return out;
}

// --- Segment content and the objects around it ----------------------------------------------

struct SegmentContent {
    bool midi = false;
    WaveSound wave;
    MidiSong song;
    std::string name;
};

class SegmentImpl final : public RefCounted<IDirectMusicSegment8> {
public:
    explicit SegmentImpl(std::shared_ptr<const SegmentContent> content) : content_(std::move(content)) {}

    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == kIidUnknown || riid == IID_IDirectMusicSegment || riid == IID_IDirectMusicSegment8) {
            AddRef();
            *out = static_cast<IDirectMusicSegment8*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetLength(MUSIC_TIME* length) override
    {
        if (!length) return E_POINTER;
        if (content_->midi) {
            *length = MUSIC_TIME(uint64_t(content_->song.lengthTicks) * kDmusPpq / uint64_t(content_->song.division));
        } else {
            // Music time of a wave at the default 120 beats per minute.
            *length = MUSIC_TIME(content_->wave.FrameCount() * 2 * kDmusPpq / kMixRate);
        }
        return S_OK;
    }
    HRESULT SetRepeats(DWORD repeats) override
    {
        repeats_ = repeats;
        return S_OK;
    }
    HRESULT GetRepeats(DWORD* repeats) override
    {
        if (!repeats) return E_POINTER;
        *repeats = repeats_;
        return S_OK;
    }
    HRESULT SetParam(REFGUID type, DWORD, DWORD, MUSIC_TIME, void*) override
    {
        if (type == GUID_StandardMIDIFile) {
            if (!content_->midi) {
                Trace("SetParam(GUID_StandardMIDIFile) on a wave segment", DMUS_E_SET_UNSUPPORTED, content_->name);
                return DMUS_E_SET_UNSUPPORTED;
            }
            standardMidi_ = true;
            return S_OK;
        }
        if (type == GUID_DisableTempo || type == GUID_EnableTempo) {
            tempoDisabled_ = type == GUID_DisableTempo;
            return S_OK;
        }
        Trace("SetParam", DMUS_E_SET_UNSUPPORTED, "unknown parameter type");
        return DMUS_E_SET_UNSUPPORTED;
    }
    HRESULT Download(IUnknown* audioPath) override;
    HRESULT Unload(IUnknown* audioPath) override { return audioPath ? S_OK : E_POINTER; }

    const std::shared_ptr<const SegmentContent>& Content() const { return content_; }
    DWORD Repeats() const { return repeats_; }
    bool TempoDisabled() const { return tempoDisabled_; }

private:
    std::shared_ptr<const SegmentContent> content_;
    std::atomic<DWORD> repeats_{0};
    std::atomic<bool> tempoDisabled_{false};
    std::atomic<bool> standardMidi_{false};
};

// What the mixer needs of an audio path; shared by the path object and the states on it.
struct PathMix {
    bool active = true;
    double gain = 1.0;        // now
    double targetGain = 1.0;  // where a ramp ends
    double gainStep = 0.0;    // per frame
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int blockUse[kBlocks] = {};
    ~PathMix()
    {
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
    }
};

class PerformanceImpl;

class PathImpl final : public RefCounted<IDirectMusicAudioPath8> {
public:
    // A path the game creates keeps its performance alive; the default path belongs to it.
    PathImpl(PerformanceImpl* performance, bool reverb, bool holdsPerformance);
    ~PathImpl() override;
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == kIidUnknown || riid == IID_IDirectMusicAudioPath8) {
            AddRef();
            *out = static_cast<IDirectMusicAudioPath8*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT SetVolume(LONG volume, DWORD duration) override;
    HRESULT Activate(BOOL activate) override;

    // Loads the SoundFont into this path's synthesiser once.
    HRESULT EnsureSynth();

    std::shared_ptr<PathMix> mix = std::make_shared<PathMix>();
    PerformanceImpl* performance;
    bool reverb;
    bool holdsPerformance;
};

struct PlayState;

class SegmentStateImpl final : public RefCounted<IDirectMusicSegmentState8> {
public:
    explicit SegmentStateImpl(SegmentImpl* segment) : segment_(segment) { segment_->AddRef(); }
    ~SegmentStateImpl() override { segment_->Release(); }
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == kIidUnknown || riid == IID_IDirectMusicSegmentState || riid == IID_IDirectMusicSegmentState8) {
            AddRef();
            *out = static_cast<IDirectMusicSegmentState8*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetSegment(IDirectMusicSegment** segment) override
    {
        if (!segment) return E_POINTER;
        segment_->AddRef();
        *segment = segment_;
        return S_OK;
    }
    HRESULT GetRepeats(DWORD* repeats) override
    {
        if (!repeats) return E_POINTER;
        *repeats = repeats_;
        return S_OK;
    }
    SegmentImpl* Segment() const { return segment_; }
    std::atomic<DWORD> repeats_{0};

private:
    SegmentImpl* segment_;
};

// One playing instance, owned by the performance while it plays.
struct PlayState {
    SegmentStateImpl* object = nullptr;  // holds a reference
    std::shared_ptr<const SegmentContent> content;
    std::shared_ptr<PathMix> path;
    bool secondary = false;
    DWORD repeatsLeft = 0;
    double position = 0;  // ticks for MIDI, frames for a wave
    size_t nextEvent = 0;
    int block = -1;
    bool almostEndSent = false;
    bool finished = false;
    uint16_t held[16][128] = {};
};

// --- The performance -------------------------------------------------------------------------

class PerformanceImpl final : public RefCounted<IDirectMusicPerformance8> {
public:
    ~PerformanceImpl() override { CloseDown(); }

    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == kIidUnknown || riid == IID_IDirectMusicPerformance8) {
            AddRef();
            *out = static_cast<IDirectMusicPerformance8*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND, DWORD defaultPathType,
                      DWORD pchannels, DWORD, DMUS_AUDIOPARAMS*) override
    {
        if (initialised_) return DMUS_E_ALREADY_INITED;
        if ((directMusic && *directMusic) || (directSound && *directSound)) {
            Trace("InitAudio", E_NOTIMPL, "existing DirectMusic or DirectSound objects cannot be shared");
            return E_NOTIMPL;
        }
        if (directMusic) *directMusic = nullptr;
        if (directSound) *directSound = nullptr;
        if (defaultPathType != 0 && defaultPathType != DMUS_APATH_SHARED_STEREOPLUSREVERB &&
            defaultPathType != DMUS_APATH_DYNAMIC_STEREO) {
            Trace("InitAudio", E_INVALIDARG, "unsupported default audio path type " + std::to_string(defaultPathType));
            return E_INVALIDARG;
        }
        manual_ = gManualClock.load();
        if (!manual_) {
            HRESULT hr = OpenDevice();
            if (FAILED(hr)) return hr;
        }
        initialised_ = true;
        if (defaultPathType != 0 && pchannels > 0)
            defaultPath_ = new PathImpl(this, defaultPathType == DMUS_APATH_SHARED_STEREOPLUSREVERB, false);
        return S_OK;
    }

    HRESULT CloseDown() override
    {
        if (device_) {
            // Waits for a running callback; the lock must not be held here.
            SDL_CloseAudioDevice(device_);
            device_ = 0;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        std::vector<SegmentStateImpl*> toRelease;
        std::deque<DMUS_NOTIFICATION_PMSG*> pending;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& s : states_) toRelease.push_back(s->object);
            states_.clear();
            synthPaths_.clear();
            primary_ = nullptr;
            pending.swap(notifications_);
        }
        // How far behind the program fell in taking its notifications: the measure of whether
        // it drains the queue, for whoever reads the traces.
        if (initialised_ && notifySegments_)
            PlatformSoundTrace("dmusic", "segment notifications: at most %zu of %zu waited at once",
                               NotificationHighWater(), kMaxNotifications);
        for (DMUS_NOTIFICATION_PMSG* m : pending) FreePMsg(reinterpret_cast<DMUS_PMSG*>(m));
        for (SegmentStateImpl* s : toRelease) s->Release();
        if (defaultPath_) {
            // Whoever still holds the default path holds no performance: detach it.
            PathImpl* path = defaultPath_;
            defaultPath_ = nullptr;
            path->performance = nullptr;
            path->Release();
        }
        initialised_ = false;
        return S_OK;
    }

    HRESULT CreateStandardAudioPath(DWORD type, DWORD pchannels, BOOL activate, IDirectMusicAudioPath8** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!initialised_) {
            Trace("CreateStandardAudioPath", DMUS_E_NOT_INIT);
            return DMUS_E_NOT_INIT;
        }
        if (type != DMUS_APATH_DYNAMIC_STEREO && type != DMUS_APATH_SHARED_STEREOPLUSREVERB) {
            Trace("CreateStandardAudioPath", E_INVALIDARG, "unsupported path type " + std::to_string(type));
            return E_INVALIDARG;
        }
        if (pchannels == 0) return E_INVALIDARG;
        PathImpl* path = new PathImpl(this, type == DMUS_APATH_SHARED_STEREOPLUSREVERB, true);
        path->mix->active = activate != FALSE;
        *out = path;
        return S_OK;
    }

    HRESULT GetDefaultAudioPath(IDirectMusicAudioPath8** out) override
    {
        if (!out) return E_POINTER;
        *out = defaultPath_;
        if (!defaultPath_) return DMUS_E_AUDIOPATHS_NOT_VALID;
        defaultPath_->AddRef();
        return S_OK;
    }

    HRESULT PlaySegmentEx(IUnknown* source, const wchar_t*, IUnknown*, DWORD flags, LONGLONG,
                          IDirectMusicSegmentState** stateOut, IUnknown* from, IUnknown* audioPath) override
    {
        if (stateOut) *stateOut = nullptr;
        if (!initialised_) {
            Trace("PlaySegmentEx", DMUS_E_NOT_INIT);
            return DMUS_E_NOT_INIT;
        }
        auto* segment = dynamic_cast<SegmentImpl*>(source);
        if (!segment) {
            Trace("PlaySegmentEx", E_INVALIDARG, "not a segment");
            return E_INVALIDARG;
        }
        PathImpl* path = audioPath ? dynamic_cast<PathImpl*>(audioPath) : defaultPath_;
        if (!path || path->performance != this) {
            Trace("PlaySegmentEx", DMUS_E_AUDIOPATHS_NOT_VALID);
            return DMUS_E_AUDIOPATHS_NOT_VALID;
        }
        if (from) StopEx(from, 0, 0);

        auto state = std::make_unique<PlayState>();
        state->object = new SegmentStateImpl(segment);
        state->content = segment->Content();
        state->path = path->mix;
        state->secondary = (flags & DMUS_SEGF_SECONDARY) != 0;
        state->repeatsLeft = segment->Repeats();
        state->object->repeats_ = state->repeatsLeft;
        if (stateOut) {
            state->object->AddRef();
            *stateOut = state->object;
        }

        std::lock_guard<std::mutex> lock(mutex_);
        if (!state->secondary && primary_) {
            PlayState* old = primary_;
            Finish(*old, DMUS_NOTIFICATION_SEGABORT);
        }
        if (state->content->midi) {
            int best = 0;
            for (int b = 1; b < kBlocks; ++b)
                if (state->path->blockUse[b] < state->path->blockUse[best]) best = b;
            state->block = best;
            state->path->blockUse[best]++;
            ResetBlock(*state);
        }
        Record(dmusic_testing::EventKind::SegmentStart, *state,
               state->content->midi ? CurrentTempo(*state) : 0.0);
        Notify(*state, DMUS_NOTIFICATION_SEGSTART);
        if (!state->secondary) primary_ = state.get();
        states_.push_back(std::move(state));
        RemoveFinished();
        return S_OK;
    }

    HRESULT StopEx(IUnknown* object, LONGLONG, DWORD) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto* segment = dynamic_cast<SegmentImpl*>(object);
            auto* stateObject = dynamic_cast<SegmentStateImpl*>(object);
            auto* path = dynamic_cast<PathImpl*>(object);
            if (object && !segment && !stateObject && !path) {
                Trace("StopEx", E_INVALIDARG, "not a segment, segment state or audio path");
                return E_INVALIDARG;
            }
            for (auto& s : states_) {
                if (s->finished) continue;
                bool match = !object || (segment && s->object->Segment() == segment) ||
                             (stateObject && s->object == stateObject) || (path && s->path == path->mix);
                if (match) Finish(*s, DMUS_NOTIFICATION_SEGABORT);
            }
            RemoveFinished();
        }
        return S_OK;
    }

    HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& s : states_) {
            if (s->finished) continue;
            if ((segment && s->object->Segment() == segment) || (state && s->object == state)) return S_OK;
        }
        return S_FALSE;
    }

    HRESULT AddNotificationType(REFGUID type) override
    {
        if (type == GUID_NOTIFICATION_SEGMENT) {
            std::lock_guard<std::mutex> lock(mutex_);
            notifySegments_ = true;
            return S_OK;
        }
        Trace("AddNotificationType", E_NOTIMPL, "only segment notifications are delivered");
        return E_NOTIMPL;
    }

    HRESULT RemoveNotificationType(REFGUID type) override
    {
        if (type != GUID_NOTIFICATION_SEGMENT) return S_FALSE;
        std::lock_guard<std::mutex> lock(mutex_);
        notifySegments_ = false;
        return S_OK;
    }

    HRESULT SetNotificationHandle(HANDLE event, REFERENCE_TIME) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        event_ = event;
        return S_OK;
    }

    HRESULT GetNotificationPMsg(DMUS_NOTIFICATION_PMSG** out) override
    {
        if (!out) return E_POINTER;
        std::lock_guard<std::mutex> lock(mutex_);
        if (notifications_.empty()) {
            *out = nullptr;
            return S_FALSE;
        }
        *out = notifications_.front();
        notifications_.pop_front();
        return S_OK;
    }

    HRESULT AllocPMsg(ULONG size, DMUS_PMSG** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (size < sizeof(DMUS_PMSG) || size > 65536) return E_INVALIDARG;
        void* memory = ::operator new(size);
        std::memset(memory, 0, size);
        auto* message = static_cast<DMUS_PMSG*>(memory);
        message->dwSize = size;
        std::lock_guard<std::mutex> lock(messageMutex_);
        liveMessages_.insert(message);
        *out = message;
        return S_OK;
    }

    HRESULT FreePMsg(DMUS_PMSG* message) override
    {
        if (!message) return E_POINTER;
        {
            std::lock_guard<std::mutex> lock(messageMutex_);
            if (liveMessages_.erase(message) == 0) {
                Trace("FreePMsg", E_INVALIDARG, "not a message of this performance (or freed twice)");
                return E_INVALIDARG;
            }
        }
        if (message->punkUser) message->punkUser->Release();
        ::operator delete(message);
        return S_OK;
    }

    HRESULT SendPMsg(DMUS_PMSG* message) override
    {
        if (!message) return E_POINTER;
        {
            std::lock_guard<std::mutex> lock(messageMutex_);
            if (!liveMessages_.count(message)) {
                Trace("SendPMsg", E_INVALIDARG, "message not allocated by AllocPMsg");
                return E_INVALIDARG;
            }
        }
        if (message->dwType != DMUS_PMSGT_TEMPO) {
            Trace("SendPMsg", DMUS_E_TYPE_UNSUPPORTED, "message type " + std::to_string(message->dwType));
            return DMUS_E_TYPE_UNSUPPORTED;
        }
        if (message->dwSize < sizeof(DMUS_TEMPO_PMSG)) {
            Trace("SendPMsg", E_INVALIDARG, "tempo message too small");
            return E_INVALIDARG;
        }
        double tempo = reinterpret_cast<DMUS_TEMPO_PMSG*>(message)->dblTempo;
        if (!(tempo >= DMUS_TEMPO_MIN && tempo <= DMUS_TEMPO_MAX)) {
            Trace("SendPMsg", E_INVALIDARG, "tempo out of range");
            return E_INVALIDARG;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            uint64_t at = 0;
            if ((message->dwFlags & DMUS_PMSGF_REFTIME) && message->rtTime > 0)
                at = uint64_t(message->rtTime) * kMixRate / 10000000;
            if (at <= frame_) {
                SetTempo(tempo);
            } else {
                pendingTempos_.push_back({at, tempo});
                std::stable_sort(pendingTempos_.begin(), pendingTempos_.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
            }
        }
        FreePMsg(message);
        return S_OK;
    }

    HRESULT GetTime(REFERENCE_TIME* now, MUSIC_TIME* musicNow) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (now) *now = REFERENCE_TIME(frame_ * 10000000 / kMixRate);
        if (musicNow) *musicNow = MUSIC_TIME(double(frame_) / kMixRate * tempo_ / 60.0 * kDmusPpq);
        return S_OK;
    }

    // Mixes `frames` stereo frames into `out` (overwritten).
    void Render(float* out, size_t frames)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::memset(out, 0, frames * 2 * sizeof(float));
            size_t done = 0;
            while (done < frames) {
                int n = int(std::min<size_t>(kChunkFrames, frames - done));
                RenderChunk(out + done * 2, n);
                done += size_t(n);
            }
            RemoveFinished();
        }
        for (size_t i = 0; i < frames * 2; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }

    bool Manual() const { return manual_; }
    size_t NotificationHighWater()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return notificationHighWater_;
    }
    std::vector<dmusic_testing::Event> TakeEvents()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<dmusic_testing::Event> out;
        out.swap(events_);
        return out;
    }
    void RecordVolume(LONG volume)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!manual_) return;
        dmusic_testing::Event e;
        e.frame = frame_;
        e.kind = dmusic_testing::EventKind::Volume;
        e.value = volume;
        events_.push_back(e);
    }
    std::mutex& Mutex() { return mutex_; }

private:
    HRESULT OpenDevice()
    {
        PlatformRouteSoundLibraryMessages();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            Trace("InitAudio", E_FAIL, std::string("no audio: ") + SDL_GetError());
            PlatformReportNoSoundDevice();
            return E_FAIL;
        }
        SDL_AudioSpec want{};
        SDL_AudioSpec have{};
        want.freq = kMixRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = [](void* user, Uint8* stream, int bytes) {
            static_cast<PerformanceImpl*>(user)->Render(reinterpret_cast<float*>(stream),
                                                        size_t(bytes) / (2 * sizeof(float)));
        };
        want.userdata = this;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) {
            Trace("InitAudio", E_FAIL, std::string("cannot open the audio device: ") + SDL_GetError());
            PlatformReportNoSoundDevice();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return E_FAIL;
        }
        SDL_PauseAudioDevice(device_, 0);
        return S_OK;
    }

    void SetTempo(double tempo)
    {
        tempo_ = tempo;
        if (manual_) {
            dmusic_testing::Event e;
            e.frame = frame_;
            e.kind = dmusic_testing::EventKind::Tempo;
            e.value = tempo;
            events_.push_back(e);
        }
    }

    double CurrentTempo(const PlayState& s) const
    {
        if (s.object->Segment()->TempoDisabled()) return tempo_;
        return s.content->song.TempoAt(uint32_t(std::min(s.position, double(0x7FFFFFFF))));
    }

    void Record(dmusic_testing::EventKind kind, const PlayState& s, double value = 0, int channel = 0, int key = 0)
    {
        if (!manual_) return;
        dmusic_testing::Event e;
        e.frame = frame_;
        e.kind = kind;
        e.segment = s.object->Segment();
        e.secondary = s.secondary;
        e.channel = channel;
        e.key = key;
        e.value = value;
        events_.push_back(e);
    }

    void Notify(PlayState& s, DWORD option)
    {
        if (!notifySegments_) return;
        if (notifications_.size() >= kMaxNotifications) {
            if (!queueFullTraced_) Trace("segment notification", E_OUTOFMEMORY, "queue full, notifications dropped");
            queueFullTraced_ = true;
            return;
        }
        DMUS_PMSG* raw = nullptr;
        if (FAILED(AllocPMsg(sizeof(DMUS_NOTIFICATION_PMSG), &raw))) return;
        auto* m = reinterpret_cast<DMUS_NOTIFICATION_PMSG*>(raw);
        m->rtTime = REFERENCE_TIME(frame_ * 10000000 / kMixRate);
        m->dwFlags = DMUS_PMSGF_REFTIME;
        m->dwType = DMUS_PMSGT_NOTIFICATION;
        m->guidNotificationType = GUID_NOTIFICATION_SEGMENT;
        m->dwNotificationOption = option;
        s.object->AddRef();
        m->punkUser = s.object;
        notifications_.push_back(m);
        notificationHighWater_ = std::max(notificationHighWater_, notifications_.size());
        if (event_) SetEvent(event_);
    }

    fluid_synth_t* Synth(const PlayState& s) const { return s.path->synth; }

    // A MIDI segment starts on a clean set of channels, whatever played there before.
    void ResetBlock(PlayState& s)
    {
        fluid_synth_t* synth = Synth(s);
        if (!synth) return;
        for (int c = 0; c < 16; ++c) {
            int ch = s.block * 16 + c;
            fluid_synth_cc(synth, ch, 121, 0);
            fluid_synth_cc(synth, ch, 7, 100);
            fluid_synth_cc(synth, ch, 10, 64);
            fluid_synth_pitch_bend(synth, ch, 8192);
            fluid_synth_program_change(synth, ch, 0);
        }
    }

    void ReleaseNotes(PlayState& s)
    {
        fluid_synth_t* synth = Synth(s);
        for (int c = 0; c < 16; ++c) {
            int ch = s.block * 16 + c;
            for (int k = 0; k < 128; ++k) {
                for (; s.held[c][k] > 0; --s.held[c][k])
                    if (synth) fluid_synth_noteoff(synth, ch, k);
            }
            if (synth) fluid_synth_cc(synth, ch, 64, 0);
        }
    }

    void Dispatch(PlayState& s, const MidiEvent& e)
    {
        fluid_synth_t* synth = Synth(s);
        int c = e.status & 0x0F;
        int ch = s.block * 16 + c;
        switch (e.status & 0xF0) {
        case 0x90:
            if (e.data2 > 0) {
                if (s.held[c][e.data1] < 0xFFFF) s.held[c][e.data1]++;
                if (synth) fluid_synth_noteon(synth, ch, e.data1, e.data2);
                Record(dmusic_testing::EventKind::NoteOn, s, e.data2, ch, e.data1);
                break;
            }
            [[fallthrough]];
        case 0x80:
            if (s.held[c][e.data1] > 0) {
                s.held[c][e.data1]--;
                if (synth) fluid_synth_noteoff(synth, ch, e.data1);
            }
            break;
        case 0xA0:
            if (synth) fluid_synth_key_pressure(synth, ch, e.data1, e.data2);
            break;
        case 0xB0:
            if (synth) fluid_synth_cc(synth, ch, e.data1, e.data2);
            break;
        case 0xC0:
            if (synth) fluid_synth_program_change(synth, ch, e.data1);
            break;
        case 0xD0:
            if (synth) fluid_synth_channel_pressure(synth, ch, e.data1);
            break;
        case 0xE0:
            if (synth) fluid_synth_pitch_bend(synth, ch, e.data1 | (e.data2 << 7));
            break;
        default: break;
        }
    }

    // Ends a state: natural ends announce the almost-end first, as the real sequence does.
    void Finish(PlayState& s, DWORD option)
    {
        if (s.finished) return;
        if (s.content->midi) ReleaseNotes(s);
        if (option == DMUS_NOTIFICATION_SEGEND && !s.almostEndSent) {
            s.almostEndSent = true;
            Notify(s, DMUS_NOTIFICATION_SEGALMOSTEND);
        }
        Record(option == DMUS_NOTIFICATION_SEGEND ? dmusic_testing::EventKind::SegmentEnd
                                                  : dmusic_testing::EventKind::SegmentAbort,
               s);
        Notify(s, option);
        s.finished = true;
        if (s.block >= 0 && s.path->blockUse[s.block] > 0) s.path->blockUse[s.block]--;
        if (primary_ == &s) primary_ = nullptr;
    }

    void Loop(PlayState& s)
    {
        if (s.repeatsLeft != DMUS_SEG_REPEAT_INFINITE) s.repeatsLeft--;
        Record(dmusic_testing::EventKind::SegmentLoop, s);
        Notify(s, DMUS_NOTIFICATION_SEGLOOP);
    }

    void CheckAlmostEnd(PlayState& s, double framesLeft)
    {
        if (s.almostEndSent || s.repeatsLeft != 0 || s.finished) return;
        if (framesLeft <= double(kAlmostEndFrames)) {
            s.almostEndSent = true;
            Notify(s, DMUS_NOTIFICATION_SEGALMOSTEND);
        }
    }

    void AdvanceMidi(PlayState& s, int frames)
    {
        const MidiSong& song = s.content->song;
        double ticksPerFrame = CurrentTempo(s) * song.division / (60.0 * kMixRate);
        double target = s.position + ticksPerFrame * frames;
        double length = song.lengthTicks;
        for (int loops = 0;; ++loops) {
            if (length <= 0) {
                Finish(s, DMUS_NOTIFICATION_SEGEND);
                return;
            }
            double limit = std::min(target, length);
            while (s.nextEvent < song.events.size() &&
                   (song.events[s.nextEvent].tick < limit ||
                    (target >= length && song.events[s.nextEvent].tick <= length)))
                Dispatch(s, song.events[s.nextEvent++]);
            if (target < length) {
                s.position = target;
                CheckAlmostEnd(s, (length - target) / ticksPerFrame);
                return;
            }
            if (s.repeatsLeft == 0) {
                Finish(s, DMUS_NOTIFICATION_SEGEND);
                return;
            }
            ReleaseNotes(s);
            Loop(s);
            target -= length;
            s.position = 0;
            s.nextEvent = 0;
            if (loops >= kMaxLoopsPerChunk) {
                s.position = std::fmod(target, length);
                return;
            }
        }
    }

    void MixWave(PlayState& s, float* out, int frames, double gain, double gainStep, bool audible)
    {
        const std::vector<float>& data = s.content->wave.frames;
        size_t total = data.size() / 2;
        int done = 0;
        for (int loops = 0; done < frames; ++loops) {
            if (total == 0) {
                Finish(s, DMUS_NOTIFICATION_SEGEND);
                return;
            }
            size_t pos = size_t(s.position);
            size_t take = std::min<size_t>(total - pos, size_t(frames - done));
            if (audible) {
                for (size_t i = 0; i < take; ++i) {
                    float g = float(gain + gainStep * double(size_t(done) + i));
                    out[(size_t(done) + i) * 2] += data[(pos + i) * 2] * g;
                    out[(size_t(done) + i) * 2 + 1] += data[(pos + i) * 2 + 1] * g;
                }
            }
            done += int(take);
            s.position = double(pos + take);
            if (pos + take < total) break;
            if (s.repeatsLeft == 0) {
                Finish(s, DMUS_NOTIFICATION_SEGEND);
                return;
            }
            Loop(s);
            s.position = 0;
            if (loops >= kMaxLoopsPerChunk) break;
        }
        CheckAlmostEnd(s, double(total) - s.position);
    }

    void RenderChunk(float* out, int frames)
    {
        while (!pendingTempos_.empty() && pendingTempos_.front().first <= frame_) {
            SetTempo(pendingTempos_.front().second);
            pendingTempos_.erase(pendingTempos_.begin());
        }
        // Gains ramp per path across the chunk. Synthesisers keep sounding after their last
        // segment ends, so that released notes fade out instead of being cut.
        // A synthesiser whose path object is gone and on which nothing plays is dropped.
        synthPaths_.erase(std::remove_if(synthPaths_.begin(), synthPaths_.end(),
                                         [](const std::shared_ptr<PathMix>& p) { return p.use_count() == 1; }),
                          synthPaths_.end());
        std::vector<PathMix*>& paths = chunkPaths_;
        paths.clear();
        for (auto& p : synthPaths_) paths.push_back(p.get());
        for (auto& s : states_)
            if (std::find(paths.begin(), paths.end(), s->path.get()) == paths.end()) paths.push_back(s->path.get());
        for (size_t i = 0; i < states_.size(); ++i) {
            PlayState& s = *states_[i];
            if (s.finished) continue;
            PathMix& p = *s.path;
            if (s.content->midi)
                AdvanceMidi(s, frames);
            else
                MixWave(s, out, frames, p.gain, p.gainStep, p.active);
        }
        float left[kChunkFrames];
        float right[kChunkFrames];
        for (PathMix* p : paths) {
            if (p->synth) {
                fluid_synth_write_float(p->synth, frames, left, 0, 1, right, 0, 1);
                if (p->active) {
                    for (int i = 0; i < frames; ++i) {
                        float g = float(p->gain + p->gainStep * i);
                        out[i * 2] += left[i] * g;
                        out[i * 2 + 1] += right[i] * g;
                    }
                }
            }
        }
        for (PathMix* p : paths) AdvanceGain(*p, frames);
        frame_ += uint64_t(frames);
    }

    static void AdvanceGain(PathMix& p, int frames)
    {
        if (p.gainStep == 0) return;
        p.gain += p.gainStep * frames;
        if ((p.gainStep > 0 && p.gain >= p.targetGain) || (p.gainStep < 0 && p.gain <= p.targetGain)) {
            p.gain = p.targetGain;
            p.gainStep = 0;
        }
    }

    void RemoveFinished()
    {
        for (size_t i = 0; i < states_.size();) {
            if (states_[i]->finished) {
                // The state object may still be held by a notification or the game; the last
                // reference is dropped here only after the notification took its own.
                finishedObjects_.push_back(states_[i]->object);
                states_.erase(states_.begin() + long(i));
            } else {
                ++i;
            }
        }
        for (SegmentStateImpl* o : finishedObjects_) o->Release();
        finishedObjects_.clear();
    }

public:
    friend class PathImpl;
    std::vector<std::unique_ptr<PlayState>> states_;

private:
    std::mutex mutex_;
    std::mutex messageMutex_;
    std::unordered_set<DMUS_PMSG*> liveMessages_;
    bool initialised_ = false;
    bool manual_ = false;
    SDL_AudioDeviceID device_ = 0;
    uint64_t frame_ = 0;
    double tempo_ = 120.0;
    std::vector<std::pair<uint64_t, double>> pendingTempos_;
    PlayState* primary_ = nullptr;
    bool notifySegments_ = false;
    bool queueFullTraced_ = false;
    size_t notificationHighWater_ = 0;  // the most notifications that ever waited at once
    HANDLE event_ = nullptr;
    std::deque<DMUS_NOTIFICATION_PMSG*> notifications_;
    std::vector<SegmentStateImpl*> finishedObjects_;
    std::vector<dmusic_testing::Event> events_;
    PathImpl* defaultPath_ = nullptr;
    std::vector<std::shared_ptr<PathMix>> synthPaths_;
    std::vector<PathMix*> chunkPaths_;
};

PathImpl::PathImpl(PerformanceImpl* owner, bool withReverb, bool holds)
    : performance(owner), reverb(withReverb), holdsPerformance(holds)
{
    if (holdsPerformance) performance->AddRef();
}

PathImpl::~PathImpl()
{
    // States still playing on this path keep its mixing state alive and finish normally.
    if (holdsPerformance && performance) performance->Release();
}

HRESULT PathImpl::SetVolume(LONG volume, DWORD duration)
{
    if (!performance) return DMUS_E_NOT_INIT;
    volume = std::clamp<LONG>(volume, -9600, 0);
    double target = volume <= -9600 ? 0.0 : std::pow(10.0, volume / 2000.0);
    {
        std::lock_guard<std::mutex> lock(performance->Mutex());
        mix->targetGain = target;
        double frames = double(duration) * kMixRate / 1000.0;
        if (frames < 1) {
            mix->gain = target;
            mix->gainStep = 0;
        } else {
            mix->gainStep = (target - mix->gain) / frames;
        }
    }
    performance->RecordVolume(volume);
    return S_OK;
}

HRESULT PathImpl::Activate(BOOL activate)
{
    if (!performance) return DMUS_E_NOT_INIT;
    std::lock_guard<std::mutex> lock(performance->Mutex());
    mix->active = activate != FALSE;
    return S_OK;
}

HRESULT PathImpl::EnsureSynth()
{
    if (!performance) {
        Trace("Download", DMUS_E_NOT_INIT, "the audio path's performance has closed down");
        return DMUS_E_NOT_INIT;
    }
    {
        std::lock_guard<std::mutex> lock(performance->Mutex());
        if (mix->synth) return S_OK;
    }
    std::string fontPath;
    {
        std::lock_guard<std::mutex> lock(gSoundFontMutex);
        fontPath = gSoundFontPath;
    }
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return E_OUTOFMEMORY;
    fluid_settings_setnum(settings, "synth.sample-rate", kMixRate);
    fluid_settings_setint(settings, "synth.midi-channels", kBlocks * 16);
    fluid_settings_setint(settings, "synth.reverb.active", reverb ? 1 : 0);
    fluid_settings_setnum(settings, "synth.gain", 0.4);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth) {
        delete_fluid_settings(settings);
        Trace("Download", E_OUTOFMEMORY, "cannot create the synthesiser");
        return E_OUTOFMEMORY;
    }
    if (fluid_synth_sfload(synth, fontPath.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        Trace("Download", DMUS_E_LOADER_FAILEDOPEN, "cannot load the SoundFont " + fontPath);
        return DMUS_E_LOADER_FAILEDOPEN;
    }
    for (int b = 0; b < kBlocks; ++b) {
        fluid_synth_set_channel_type(synth, b * 16 + 9, CHANNEL_TYPE_DRUM);
        fluid_synth_program_change(synth, b * 16 + 9, 0);
    }
    std::lock_guard<std::mutex> lock(performance->Mutex());
    if (mix->synth) {
        // Another download won the race.
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        return S_OK;
    }
    mix->synth = synth;
    mix->settings = settings;
    performance->synthPaths_.push_back(mix);
    return S_OK;
}

HRESULT SegmentImpl::Download(IUnknown* audioPath)
{
    auto* path = dynamic_cast<PathImpl*>(audioPath);
    if (!path) {
        Trace("Download", E_INVALIDARG, "not an audio path");
        return E_INVALIDARG;
    }
    if (!content_->midi) return S_OK;  // a wave needs no instruments
    return path->EnsureSynth();
}

// --- The loader ------------------------------------------------------------------------------

class LoaderImpl final : public RefCounted<IDirectMusicLoader8> {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == kIidUnknown || riid == IID_IDirectMusicLoader8) {
            AddRef();
            *out = static_cast<IDirectMusicLoader8*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT SetSearchDirectory(REFGUID, const wchar_t* path, BOOL) override
    {
        if (!path) return E_POINTER;
        directory_ = Narrow(path);
        return S_OK;
    }

    HRESULT LoadObjectFromFile(REFGUID classId, REFIID iid, const wchar_t* file, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!file) return E_POINTER;
        if (classId != CLSID_DirectMusicSegment) {
            Trace("LoadObjectFromFile", DMUS_E_LOADER_FORMATNOTSUPPORTED, "only segments are loaded");
            return DMUS_E_LOADER_FORMATNOTSUPPORTED;
        }
        std::string name = Narrow(file);
        std::string full = name;
        bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\');
        if (!absolute && !directory_.empty() && directory_ != ".") full = directory_ + "\\" + name;

        FILE* f = PlatformFopen(full.c_str(), "rb");
        if (!f) {
            Trace("LoadObjectFromFile", DMUS_E_LOADER_FAILEDOPEN, full);
            return DMUS_E_LOADER_FAILEDOPEN;
        }
        std::vector<uint8_t> bytes;
        uint8_t buffer[65536];
        size_t got;
        bool tooLarge = false;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            if (bytes.size() + got > kMaxFileBytes) {
                tooLarge = true;
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        std::fclose(f);
        if (tooLarge) {
            Trace("LoadObjectFromFile", DMUS_E_INVALIDFILE, full + ": file too large");
            return DMUS_E_INVALIDFILE;
        }
        std::shared_ptr<SegmentContent> content;
        HRESULT hr = MakeContent(bytes, full, content);
        if (FAILED(hr)) return hr;
        auto* segment = new SegmentImpl(std::move(content));
        hr = segment->QueryInterface(iid, out);
        segment->Release();
        if (FAILED(hr)) Trace("LoadObjectFromFile", hr, "interface not offered by a segment");
        return hr;
    }

    HRESULT GetObject(DMUS_OBJECTDESC* desc, REFIID iid, void** out) override
    {
        if (!desc) return E_POINTER;
        desc->wszFileName[259] = 0;
        return LoadObjectFromFile(desc->guidClass, iid, desc->wszFileName, out);
    }

    static HRESULT MakeContent(const std::vector<uint8_t>& bytes, const std::string& name,
                               std::shared_ptr<SegmentContent>& out)
    {
        auto content = std::make_shared<SegmentContent>();
        content->name = name;
        std::string error;
        const uint8_t* data = bytes.data();
        size_t size = bytes.size();
        bool ok;
        if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
            ok = ParseWave(data, size, content->wave, error);
        } else if (size >= 4 && std::memcmp(data, "MThd", 4) == 0) {
            content->midi = true;
            ok = ParseMidi(data, size, content->song, error);
        } else if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0) {
            // A RIFF MIDI file wraps a standard MIDI file in its "data" chunk.
            content->midi = true;
            ok = false;
            error = "no data chunk";
            for (size_t pos = 12; pos + 8 <= size;) {
                uint32_t len = data[pos + 4] | (data[pos + 5] << 8) | (data[pos + 6] << 16) | (uint32_t(data[pos + 7]) << 24);
                if (len > size - pos - 8) {
                    error = "chunk runs past the end of the file";
                    break;
                }
                if (std::memcmp(data + pos, "data", 4) == 0) {
                    ok = ParseMidi(data + pos + 8, len, content->song, error);
                    break;
                }
                pos += 8 + size_t(len) + (len & 1);
            }
        } else {
            Trace("LoadObjectFromFile", DMUS_E_LOADER_FORMATNOTSUPPORTED, name + ": neither WAVE nor MIDI");
            return DMUS_E_LOADER_FORMATNOTSUPPORTED;
        }
        if (!ok) {
            Trace("LoadObjectFromFile", DMUS_E_INVALIDFILE, name + ": " + error);
            return DMUS_E_INVALIDFILE;
        }
        out = std::move(content);
        return S_OK;
    }

private:
    std::string directory_;
};

struct ClassRegistration {
    ClassRegistration()
    {
        PlatformRegisterComClass(CLSID_DirectMusicLoader, [](REFIID iid, void** out) {
            return DirectMusicCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, iid, out);
        });
        PlatformRegisterComClass(CLSID_DirectMusicPerformance, [](REFIID iid, void** out) {
            return DirectMusicCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, iid, out);
        });
    }
};
const ClassRegistration gRegistration;

}  // namespace

HRESULT DirectMusicCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return E_NOINTERFACE;  // no aggregation
    IUnknown* object = nullptr;
    if (clsid == CLSID_DirectMusicLoader)
        object = static_cast<IDirectMusicLoader8*>(new LoaderImpl);
    else if (clsid == CLSID_DirectMusicPerformance)
        object = static_cast<IDirectMusicPerformance8*>(new PerformanceImpl);
    if (!object) {
        Trace("DirectMusicCreateInstance", E_NOINTERFACE, "unknown class");
        return E_NOINTERFACE;
    }
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

namespace dmusic_testing {

void UseManualClock(bool manual) { gManualClock = manual; }

std::vector<float> Render(IDirectMusicPerformance8* performance, size_t frames)
{
    std::vector<float> out(frames * 2);
    auto* p = dynamic_cast<PerformanceImpl*>(performance);
    if (!p || !p->Manual()) {
        Trace("dmusic_testing::Render", E_INVALIDARG, "performance not on the manual clock");
        return out;
    }
    p->Render(out.data(), frames);
    return out;
}

size_t NotificationHighWater(IDirectMusicPerformance8* performance)
{
    auto* p = dynamic_cast<PerformanceImpl*>(performance);
    return p ? p->NotificationHighWater() : 0;
}

std::vector<Event> TakeEvents(IDirectMusicPerformance8* performance)
{
    auto* p = dynamic_cast<PerformanceImpl*>(performance);
    return p ? p->TakeEvents() : std::vector<Event>{};
}

void SetSoundFontPath(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gSoundFontMutex);
    gSoundFontPath = path;
}

}  // namespace dmusic_testing
