#include "fe_a_support.h"

#include "fenwolt/Game/Engine/Fade.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Intro.h"
#include "fenwolt/Game/FrontEnd/Loading.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/win32/detail.h"

#include <filesystem>

std::vector<int32_t> FrontEndATest::messages;
std::vector<SpriteHandle> FrontEndATest::hits;

namespace {
void Recorder(int32_t message)
{
    FrontEndATest::messages.push_back(message);
    FrontEndATest::hits.push_back(HitTestSprites());
}
}  // namespace

void FrontEndATest::SetUp()
{
    const std::filesystem::path data = DataSetDir();
    std::error_code ec;
    for (const char* file : {"english.txt", "lang.txt"})
        std::filesystem::copy_file(data / file, dir.Path() / file, ec);
    std::filesystem::create_directories(dir.Path() / "saves");
    platform_detail::ResetInputState();
    EngineAppTest::SetUp();
    if (HasFatalFailure()) return;
    DrainMessages();
    CurrentScreenId = 0;
    PopupOpen = false;
    TextEntryRunning = false;
    TextEntry.editedSprite = SPRITE_NONE;
    ConfirmBox.kind = 0;
    Loading = LoadingState{0.f, 0, 0, 0, 10.f};
    Intro.titleCountdown = INTRO_TITLE_SECONDS;
    messages.clear();
    hits.clear();
}

void FrontEndATest::TearDown()
{
    SetScreenBuilder(ScreenId::Match, nullptr);
    platform_detail::ResetInputState();
    TextEntryRunning = false;
    ConfirmBox.kind = 0;
    FadeTimer = 0.f;
    EngineAppTest::TearDown();
}

void FrontEndATest::Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void FrontEndATest::KeyDown(int vk)
{
    platform_detail::InjectKey(vk, true);
    Pump();
}

void FrontEndATest::KeyUp(int vk)
{
    platform_detail::InjectKey(vk, false);
    Pump();
}

void FrontEndATest::Key(int vk)
{
    KeyDown(vk);
    KeyUp(vk);
}

void FrontEndATest::MoveTo(int x, int y)
{
    platform_detail::InjectMouseMove(x, y);
    Pump();
}

void FrontEndATest::LeftDown(int x, int y)
{
    MoveTo(x, y);
    platform_detail::InjectMouseButton(0, true);
    Pump();
}

void FrontEndATest::LeftUp(int x, int y)
{
    MoveTo(x, y);
    platform_detail::InjectMouseButton(0, false);
    Pump();
}

void FrontEndATest::Click(int x, int y)
{
    LeftDown(x, y);
    LeftUp(x, y);
}

int FrontEndATest::CentreX(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s ? (int)(s->ScreenRect.left + s->ScreenRect.right) / 2 : -1;
}

int FrontEndATest::CentreY(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s ? (int)(s->ScreenRect.top + s->ScreenRect.bottom) / 2 : -1;
}

void FrontEndATest::SendToScreen(int32_t message, int x, int y)
{
    MouseX = x;
    MouseY = y;
    LastMessageId = (uint32_t)message;
    if (ScreenMessageHandler) ScreenMessageHandler(message);
}

std::string FrontEndATest::TextOf(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->Device ? std::string(s->Text) : std::string();
}

bool FrontEndATest::Visible(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->IsVisible();
}

bool FrontEndATest::Active(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->IsActive();
}

bool FrontEndATest::Created(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->Device;
}

std::vector<int> FrontEndATest::SpriteFlags()
{
    std::vector<int> flags(SPRITE_COUNT, 0);
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h)
        if (Created(h)) flags[h] = (Active(h) ? 1 : 0) | (Visible(h) ? 2 : 0);
    return flags;
}

void FrontEndATest::RunFor(float seconds, float step)
{
    for (float t = 0.f; t < seconds - step * 0.5f; t += step)
        if (ScreenUpdateHandler) ScreenUpdateHandler(step);
}

void FrontEndATest::RecordScreenMessages()
{
    messages.clear();
    hits.clear();
    SetScreenMessageHandler(Recorder);
}
