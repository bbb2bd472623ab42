// Sound effects and music: fourteen DirectMusic segments played on one audio path.
// Game code addresses them by SoundId; the main loop polls the notification event so that a
// screen can react (command 1124) when a piece ends. Sound.cpp needs the library platform_dmusic.
#pragma once

#include <cstdint>

struct IDirectMusicSegment8;
struct IDirectMusicPerformance8;

typedef int32_t SoundId;

enum : SoundId {
    SOUND_GASP = 0,
    SOUND_WHISTLE = 1,
    SOUND_SHOOT = 2,
    SOUND_KICK = 3,
    SOUND_HEAD = 4,
    SOUND_CROWD = 5,
    SOUND_BOO = 6,
    SOUND_CHEER = 7,
    SOUND_WHISTLE_LONG = 8,
    SOUND_POST = 9,
    SOUND_FOUL = 10,
    SOUND_TITLE_MUSIC = 11,
    SOUND_MATCH_MUSIC_1 = 12,
    SOUND_MATCH_MUSIC_2 = 13,
    SOUND_COUNT = 14,
    SOUND_NONE = 14,
};

// The screen command posted for every segment notification; its parameter is the
// notification option (0 start, 1 end, 2 almost end, 3 loop, 4 abort).
constexpr int32_t SOUND_NOTIFY_COMMAND = 1124;

extern const char SoundTable[SOUND_COUNT][260];

// The sound that the last handled notification was about (SOUND_NONE when none).
extern SoundId LastNotifiedSound;
// Beats per minute forced on every music piece before it plays.
extern uint32_t MusicTempo;

// The three option settings the player reads live. The options code binds its record's
// fields here once it exists; until then the defaults (music on, effects on, volume 100) hold.
struct SoundOptionFields {
    const int32_t* musicOn = nullptr;
    const int32_t* effectsOn = nullptr;
    const int32_t* volume = nullptr;
};
void BindSoundOptions(const SoundOptionFields& fields);

// Where segment notifications go: the screen table's PostScreenCommand(command, parameter).
typedef void (*SoundCommandPoster)(int32_t command, uint32_t parameter);
void BindSoundCommandPoster(SoundCommandPoster poster);

void InitSoundPlayer();
void LoadSounds();
void PlayPrimarySound(SoundId id, bool loop);
void PlaySecondarySound(SoundId id, bool restart);
int StopSound(SoundId id);
void StopAllSounds();
SoundId FindSoundBySegment(const void* segment);
void SetSoundVolume(int32_t volume);
void ApplySoundVolume();
void ForceMidiTempo(SoundId id);
bool PollSoundEvents();
int HandleSoundNotifications();
void ShutdownSoundPlayer();

// The playing flag of a sound: set by the play operations, cleared by StopSound and by the
// end and abort notifications.
bool IsSoundPlaying(SoundId id);
// The loaded segment of a sound, null when it failed to load.
IDirectMusicSegment8* GetSoundSegment(SoundId id);
// The performance, for the tests that step its clock (null before InitSoundPlayer).
IDirectMusicPerformance8* GetSoundPerformance();
