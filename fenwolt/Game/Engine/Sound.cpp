#include "fenwolt/Game/Engine/Sound.h"

#include <cstdio>
#include <cstring>

#include "platform/dmusic/dmusic.h"
#include "platform/win32/win32.h"

const char SoundTable[SOUND_COUNT][260] = {
    "wav\\gasp.wav",    "wav\\whistle.wav",  "wav\\shoot.wav", "wav\\kick.wav",     "wav\\head.wav",
    "wav\\crowd.wav",   "wav\\boo.wav",      "wav\\cheer.wav", "wav\\whistlel.wav", "wav\\post.wav",
    "wav\\foul.wav",    "wav\\dvxtitle.mid", "wav\\qn002.mid", "wav\\qn003.mid",
};

SoundId LastNotifiedSound = SOUND_NONE;
uint32_t MusicTempo = 100;

namespace {

struct SoundPlayer {
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicPerformance8* performance = nullptr;
    IDirectMusicAudioPath8* audioPath = nullptr;
    IDirectMusicSegment8* segments[SOUND_COUNT] = {};
    uint8_t playing[SOUND_COUNT] = {};
    HANDLE notifyEvent = nullptr;
    bool comStarted = false;
};

SoundPlayer Player;
SoundOptionFields Options;
SoundCommandPoster Poster = nullptr;

bool ValidSound(SoundId id) { return id >= 0 && id < SOUND_COUNT; }
bool IsMusic(SoundId id) { return id >= SOUND_TITLE_MUSIC && id <= SOUND_MATCH_MUSIC_2; }
bool MusicOn() { return Options.musicOn ? *Options.musicOn != 0 : true; }
bool EffectsOn() { return Options.effectsOn ? *Options.effectsOn != 0 : true; }
int32_t OptionVolume() { return Options.volume ? *Options.volume : 100; }

// The loaders' trace format: a fixed message, a blank and the file name.
void TraceLoadFailure(const char* message, const char* name)
{
    char line[600];
    std::snprintf(line, sizeof line, "%.64s %.500s\n", message, name);
    OutputDebugStringA(line);
}

void PlaySegment(SoundId id, DWORD flags)
{
    if (!Player.performance) return;
    ApplySoundVolume();
    if (IsMusic(id)) ForceMidiTempo(id);
    Player.performance->PlaySegmentEx(Player.segments[id], nullptr, nullptr, flags, 0, nullptr, nullptr,
                                      Player.audioPath);
    Player.playing[id] = 1;
}

}  // namespace

void BindSoundOptions(const SoundOptionFields& fields) { Options = fields; }
void BindSoundCommandPoster(SoundCommandPoster poster) { Poster = poster; }

void InitSoundPlayer()
{
    for (int i = 0; i < SOUND_COUNT; ++i) {
        Player.segments[i] = nullptr;
        Player.playing[i] = 0;
    }
    Player.comStarted = SUCCEEDED(CoInitialize(nullptr));
    CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                     reinterpret_cast<void**>(&Player.loader));
    CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                     reinterpret_cast<void**>(&Player.performance));
    Player.notifyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // A set-up that fails leaves the players silent; the game goes on without sound.
    if (Player.performance) {
        Player.performance->AddNotificationType(GUID_NOTIFICATION_SEGMENT);
        Player.performance->SetNotificationHandle(Player.notifyEvent, 0);
        Player.performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                      DMUS_AUDIOF_ALL, nullptr);
        Player.performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_STEREO, 64, TRUE, &Player.audioPath);
    }
    if (Player.loader) Player.loader->SetSearchDirectory(GUID_DirectMusicAllTypes, L".", FALSE);
}

void LoadSounds()
{
    for (SoundId id = 0; id < SOUND_COUNT; ++id) {
        const char* name = SoundTable[id];
        if (!name[0]) continue;
        // The names are plain ASCII, so widening is a copy.
        wchar_t wide[260];
        size_t n = 0;
        for (; name[n] && n < 259; ++n) wide[n] = wchar_t(static_cast<unsigned char>(name[n]));
        wide[n] = 0;
        bool midi = std::strstr(name, ".mid") || std::strstr(name, ".rmi");

        IDirectMusicSegment8* segment = nullptr;
        HRESULT hr = Player.loader ? Player.loader->LoadObjectFromFile(CLSID_DirectMusicSegment,
                                                                     IID_IDirectMusicSegment8, wide,
                                                                     reinterpret_cast<void**>(&segment))
                                   : E_FAIL;
        if (FAILED(hr) || !segment) {
            TraceLoadFailure("Unable to load", name);
            Player.segments[id] = nullptr;
            continue;
        }
        Player.segments[id] = segment;
        if (midi) hr = segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
        if (SUCCEEDED(hr) && Player.audioPath) segment->Download(Player.audioPath);
    }
}

void PlayPrimarySound(SoundId id, bool loop)
{
    if (!MusicOn() || !ValidSound(id) || !Player.segments[id] || Player.playing[id]) return;
    Player.segments[id]->SetRepeats(loop ? DMUS_SEG_REPEAT_INFINITE : 0);
    PlaySegment(id, DMUS_SEGF_DEFAULT);
}

void PlaySecondarySound(SoundId id, bool restart)
{
    if (!ValidSound(id)) return;
    if (IsMusic(id) ? !MusicOn() : !EffectsOn()) return;
    if (!Player.segments[id]) return;
    if (Player.playing[id] && !restart) return;
    PlaySegment(id, DMUS_SEGF_DEFAULT | DMUS_SEGF_SECONDARY);
}

int StopSound(SoundId id)
{
    if (!ValidSound(id) || !Player.segments[id]) return 0;
    if (Player.performance) Player.performance->StopEx(Player.segments[id], 0, 0);
    Player.playing[id] = 0;
    return 1;
}

void StopAllSounds()
{
    for (SoundId id = 0; id < SOUND_COUNT; ++id) StopSound(id);
}

SoundId FindSoundBySegment(const void* segment)
{
    if (!segment) return SOUND_NONE;
    for (SoundId id = 0; id < SOUND_COUNT; ++id) {
        IDirectMusicSegment* own = Player.segments[id];
        if (own && static_cast<const void*>(own) == segment) return id;
    }
    return SOUND_NONE;
}

void SetSoundVolume(int32_t volume)
{
    if (volume > 100) volume = 100;
    if (volume < 0) volume = 0;
    if (Player.audioPath) Player.audioPath->SetVolume((100 - volume) * -25, 0);
}

void ApplySoundVolume() { SetSoundVolume(OptionVolume()); }

void ForceMidiTempo(SoundId id)
{
    if (!ValidSound(id) || !Player.segments[id] || !Player.performance) return;
    Player.segments[id]->SetParam(GUID_DisableTempo, 0xFFFF, 0, 0, nullptr);
    // The message is as large as the structure on this platform, not a fixed byte count.
    DMUS_PMSG* message = nullptr;
    if (FAILED(Player.performance->AllocPMsg(sizeof(DMUS_TEMPO_PMSG), &message)) || !message) return;
    auto* tempo = reinterpret_cast<DMUS_TEMPO_PMSG*>(message);
    std::memset(tempo, 0, sizeof(DMUS_TEMPO_PMSG));
    tempo->dwSize = sizeof(DMUS_TEMPO_PMSG);
    tempo->dblTempo = double(MusicTempo);
    tempo->dwFlags = DMUS_PMSGF_REFTIME;
    tempo->dwType = DMUS_PMSGT_TEMPO;
    if (FAILED(Player.performance->SendPMsg(message))) Player.performance->FreePMsg(message);
}

bool PollSoundEvents()
{
    if (!Player.notifyEvent || WaitForSingleObject(Player.notifyEvent, 0) != WAIT_OBJECT_0) return false;
    HandleSoundNotifications();
    return true;
}

int HandleSoundNotifications()
{
    if (!Player.performance) return 0;
    // The event resets when it is taken, so every message waiting is handled now: one that
    // cannot be traced to its segment is freed and skipped, never left behind.
    int result = 0;
    DMUS_NOTIFICATION_PMSG* message = nullptr;
    while (Player.performance->GetNotificationPMsg(&message) == S_OK && message) {
        DWORD option = message->dwNotificationOption;
        bool resolved = true;
        SoundId sound = SOUND_NONE;
        if (message->punkUser) {
            IDirectMusicSegmentState8* state = nullptr;
            if (SUCCEEDED(message->punkUser->QueryInterface(IID_IDirectMusicSegmentState8,
                                                             reinterpret_cast<void**>(&state))) &&
                state) {
                IDirectMusicSegment* segment = nullptr;
                if (SUCCEEDED(state->GetSegment(&segment)) && segment) {
                    sound = FindSoundBySegment(segment);
                    segment->Release();
                } else {
                    resolved = false;
                }
                state->Release();
            } else {
                resolved = false;
                result = 1;
            }
        }
        if (resolved) {
            LastNotifiedSound = sound;
            if (Poster) Poster(SOUND_NOTIFY_COMMAND, option);
            if ((option == DMUS_NOTIFICATION_SEGEND || option == DMUS_NOTIFICATION_SEGABORT) && ValidSound(sound))
                Player.playing[sound] = 0;
        }
        Player.performance->FreePMsg(reinterpret_cast<DMUS_PMSG*>(message));
        message = nullptr;
    }
    return result;
}

void ShutdownSoundPlayer()
{
    StopAllSounds();
    if (Player.performance) {
        Player.performance->StopEx(nullptr, 0, 0);
        Player.performance->CloseDown();
    }
    if (Player.loader) Player.loader->Release();
    if (Player.performance) Player.performance->Release();
    if (Player.audioPath) Player.audioPath->Release();
    Player.loader = nullptr;
    Player.performance = nullptr;
    Player.audioPath = nullptr;
    for (SoundId id = 0; id < SOUND_COUNT; ++id) {
        if (Player.segments[id]) Player.segments[id]->Release();
        Player.segments[id] = nullptr;
        Player.playing[id] = 0;
    }
    if (Player.notifyEvent) CloseHandle(Player.notifyEvent);
    Player.notifyEvent = nullptr;
    if (Player.comStarted) CoUninitialize();
    Player.comStarted = false;
}

bool IsSoundPlaying(SoundId id) { return ValidSound(id) && Player.playing[id] != 0; }

IDirectMusicSegment8* GetSoundSegment(SoundId id) { return ValidSound(id) ? Player.segments[id] : nullptr; }

IDirectMusicPerformance8* GetSoundPerformance() { return Player.performance; }
