#include <algorithm>

#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

#ifdef SKERROW_HAVE_SOUND
#include "skerrow/Src/Sound/SoundEngine.h"
#endif

OptionsScreen g_optionsScreenInstance;

namespace {
const char* const kOptionFrames[10] = {"mvol", "svol", "reverse", "vanishing", "slow", "fast", "m0", "m100", "s0", "s100"};

int GetSoundVolume()
{
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) return GetSampleVolume();
#endif
    return g_settings.soundVolume;
}
void SetSoundVolume(int v)
{
    g_settings.soundVolume = v;
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) SetSampleVolume(v);
#endif
}
}  // namespace

// The slider positions turn into volumes that are always percents, wherever the pointer is.
int SliderVolume(int cursorX, int width) { return std::clamp((cursorX - 320) * 100 / width, 0, 100); }

void OptionsScreen::InitSurfaces()
{
    LogMessage("Call OptionsScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    if (LoadPicture("nodes\\node.tga", &background_)) CopyPictureOnto("options.tga", background_, 44, 123);
    sheet_.LoadWithFrames("OptionsHL.tga", "OptionsHL.frm");
    for (int i = 0; i < 10; ++i) buttons_[i].SetFromFrame(sheet_, kOptionFrames[i], i + 1);
    for (int i : {0, 1, 6, 7, 8, 9}) buttons_[i].SetType(BUTTON_REPEAT);
    if (g_sprites) buttons_[10].SetFromFrame(g_sprites->headers, "quit", 11);
    LogMessage("Return OptionsScreen::InitSurfaces()\n");
}

void OptionsScreen::ReleaseSurfaces()
{
    ReleasePicture(&background_);
    sheet_.Destroy();
}

void OptionsScreen::Leave()
{
    SaveSettings();
    ReturnToPreviousScreen(0);
}

int32_t OptionsScreen::Process()
{
    MoveCursor();
    if (WasKeyPressed(DIK_ESCAPE)) {
        Leave();
        return 0;
    }
    int music = GetGameMusicVolume(), sound = GetSoundVolume();
    DrawPicture(background_, 0, 0);
    DrawHeader("Ombrelit");
    DrawHeader("Options");
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    for (Button& b : buttons_) b.HandleInput(&code);
    const int clicked = g_clickedButtonId;
    g_clickedButtonId = 0;
    switch (clicked) {
    case 1: music = SliderVolume(g_cursorX, 120); break;
    case 2: sound = SliderVolume(g_cursorX, 122); break;
    case 3: g_settings.reverseStereo = !g_settings.reverseStereo;
#ifdef SKERROW_HAVE_SOUND
        SetReverseStereo(g_settings.reverseStereo);
#endif
        break;
    case 4: g_settings.vanishing = !g_settings.vanishing; break;
    case 5: g_settings.scrollSpeed = 0; break;
    case 6: g_settings.scrollSpeed = 1; break;
    case 7: music = std::clamp(music - 2, 0, 100); break;
    case 8: music = std::clamp(music + 2, 0, 100); break;
    case 9: sound = std::clamp(sound - 2, 0, 100); break;
    case 10: sound = std::clamp(sound + 2, 0, 100); break;
    case 11:
        Leave();
        return 0;
    default: break;
    }
    const int32_t flags = ALIGN_LEFT | ALIGN_TOP;
    sheet_.DrawFrame("music", std::clamp(music, 0, 100) * 110 / 100, 0, flags);
    sheet_.DrawFrame("sound", std::clamp(sound, 0, 100) * 110 / 100, 0, flags);
    if (g_settings.reverseStereo) sheet_.DrawFrame("r", 0, 0, flags);
    if (g_settings.vanishing) sheet_.DrawFrame("v", 0, 0, flags);
    sheet_.DrawFrame(g_settings.scrollSpeed ? "fast" : "slow", 0, 0, flags);
    sheet_.DrawFrame(buttons_[10].IsActive() ? "quits" : "quit", 0, 0, flags);
    static const char* const pressedFrames[10] = {"music", "sound", "reverse", "vanishing", "slow", "fast", "m0", "m100", "s0", "s100"};
    for (int i = 0; i < 10; ++i) {
        if (!buttons_[i].IsActive()) continue;
        if (i >= 6) sheet_.DrawFrame(i < 8 ? "music" : "sound", 0, 0, flags);
        sheet_.DrawFrame(pressedFrames[i], 0, 0, flags);
    }
    SetGameMusicVolume(music);
    SetSoundVolume(sound);
    DrawCursor();
    return 1;
}
