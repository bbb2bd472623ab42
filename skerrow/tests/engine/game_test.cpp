#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/App.h"
#include "skerrow/Src/game/Screen.h"

namespace {

std::vector<std::string> g_calls;

class TestScreen : public Screen {
public:
    explicit TestScreen(const char* name) : name_(name) {}
    const char* GetName() override { return name_; }
    void InitSurfaces() override { g_calls.push_back(std::string(name_) + ".Init"); }
    void ReleaseSurfaces() override { g_calls.push_back(std::string(name_) + ".Release"); }
    void OnDisplay(Screen* previous, int32_t argument) override
    {
        g_calls.push_back(std::string(name_) + ".OnDisplay(" + (previous ? previous->GetName() : "none") + "," +
                          std::to_string(argument) + ")");
    }
    int32_t Process() override { return 7; }
    void OnKey(uint8_t c) override { keys += static_cast<char>(c); }
    std::string keys;

private:
    const char* name_;
};

std::string LogText()
{
    std::vector<uint8_t> b = ReadFileBytes("Log.txt");
    return std::string(b.begin(), b.end());
}

class ScreenStack : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_currentScreen = nullptr;
        g_screenDepth = 0;
    }
    void TearDown() override
    {
        g_currentScreen = nullptr;
        g_screenDepth = 0;
    }
    ScratchDir dir_;
    TestScreen menu_{"MenuScreen"}, map_{"NodeScreen"}, game_{"GameScreen"}, options_{"OptionsScreen"};
};

TEST_F(ScreenStack, FirstSwitchPushesNothingToRelease)
{
    SwitchScreenIfOther(&menu_, 0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"MenuScreen.OnDisplay(none,0)", "MenuScreen.Init"}));
    EXPECT_EQ(g_screenDepth, 1);
    EXPECT_EQ(GetCurrentScreen(), &menu_);
    g_calls.clear();
    menu_.frameCounter = 5;
    SwitchScreenIfOther(&menu_, 3);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(menu_.frameCounter, 5);
}

TEST_F(ScreenStack, SwitchLogsItsThreeLinesInOrder)
{
    SwitchScreenIfOther(&menu_, 0);
    WriteFileText("Log.txt", "");
    map_.SwitchScreen(4);
    EXPECT_EQ(LogText(), "Call NodeScreen::OnDisplay()\nCall NodeScreen::InitSurface()\nScreen switched to NodeScreen\n\n");
    EXPECT_EQ(g_calls.back(), "NodeScreen.Init");
    EXPECT_EQ(g_calls[g_calls.size() - 2], "NodeScreen.OnDisplay(MenuScreen,4)");
    EXPECT_EQ(g_calls[g_calls.size() - 3], "MenuScreen.Release");
}

TEST_F(ScreenStack, ReturnAndResetWalkTheStack)
{
    SwitchScreenIfOther(&menu_, 0);
    map_.SwitchScreen(0);
    map_.frameCounter = 40;
    game_.SwitchScreen(1);
    EXPECT_EQ(g_screenDepth, 3);
    WriteFileText("Log.txt", "");
    g_calls.clear();
    game_.ReturnToPreviousScreen(9);
    EXPECT_EQ(GetCurrentScreen(), &map_);
    EXPECT_EQ(g_screenDepth, 2);
    EXPECT_EQ(map_.frameCounter, 40);  // the screen returned to keeps counting
    EXPECT_EQ(g_calls, (std::vector<std::string>{"GameScreen.Release", "NodeScreen.OnDisplay(GameScreen,9)", "NodeScreen.Init"}));
    EXPECT_EQ(LogText(), "NodeScreen::OnDisplay()\nNodeScreen::InitSurface()\nScreen switched to NodeScreen\n");
    game_.SwitchScreen(0);
    options_.SwitchScreen(0);
    WriteFileText("Log.txt", "");
    g_calls.clear();
    ResetToFirstScreen();
    EXPECT_EQ(GetCurrentScreen(), &menu_);
    EXPECT_EQ(g_screenDepth, 1);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"OptionsScreen.Release", "MenuScreen.Release", "MenuScreen.Init",
                                                 "MenuScreen.OnDisplay(OptionsScreen,0)"}));
    EXPECT_EQ(LogText(), "MenuScreen::InitSurface()\nMenuScreen::OnDisplay()\nScreen switched to MenuScreen\n");
    // Returning from the root has nowhere to go and leaves the stack alone.
    EXPECT_EQ(menu_.ReturnToPreviousScreen(0), 0);
    EXPECT_EQ(GetCurrentScreen(), &menu_);
}

TEST_F(ScreenStack, DeepPushesStayInsideTheStack)
{
    SwitchScreenIfOther(&menu_, 0);
    for (int i = 0; i < 40; ++i) (i % 2 ? map_ : game_).SwitchScreen(0);
    EXPECT_LE(g_screenDepth, kScreenStackSize);
    EXPECT_EQ(GetCurrentScreen(), &map_);
}

TEST_F(ScreenStack, KeysProcessAndPingPong)
{
    SwitchScreenIfOther(&menu_, 0);
    SendKeyToScreen('a', 0);
    SendKeyToScreen('b', static_cast<LPARAM>(0x80000000u));  // key-up character: ignored
    EXPECT_EQ(menu_.keys, "a");
    EXPECT_EQ(ProcessCurrentScreen(), 7);
    EXPECT_EQ(menu_.frameCounter, 1);
    menu_.frameCounter = 0;
    EXPECT_EQ(menu_.PingPong(4), 4);
    menu_.frameCounter = 4;
    EXPECT_EQ(menu_.PingPong(4), 0);
    menu_.frameCounter = 6;
    EXPECT_EQ(menu_.PingPong(4), 2);
    menu_.frameCounter = 8;
    EXPECT_EQ(menu_.PingPong(4), 4);
    g_currentScreen = nullptr;
    EXPECT_EQ(ProcessCurrentScreen(), 0);
}

TEST_F(ScreenStack, DestroyingTheCurrentScreenForgetsItSafely)
{
    auto* temporary = new TestScreen("Temporary");
    SwitchScreenIfOther(&menu_, 0);
    temporary->SwitchScreen(0);
    g_calls.clear();
    delete temporary;  // its derived part is gone before the base destructor runs
    EXPECT_EQ(GetCurrentScreen(), nullptr);
    EXPECT_TRUE(g_calls.empty());
    SwitchScreenIfOther(&map_, 0);
    g_calls.clear();
    {
        TestScreen other("Other");
    }  // any other screen's end releases the current screen's surfaces
    EXPECT_EQ(g_calls, (std::vector<std::string>{"NodeScreen.Release"}));
}

class InputEvents : public ::testing::Test {
protected:
    void SetUp() override { g_input = InputState{}; }
    void Mouse(bool left, bool right, uint32_t t, int dx = 0)
    {
        DIMOUSESTATE m{};
        m.lX = dx;
        m.rgbButtons[0] = left ? 0x80 : 0;
        m.rgbButtons[1] = right ? 0x80 : 0;
        ProcessInputStates(nullptr, &m, t);
    }
    std::vector<int> Drain()
    {
        std::vector<int> codes;
        for (MouseEvent e; PopMouseEvent(&e), e.code;) codes.push_back(e.code);
        return codes;
    }
};

TEST_F(InputEvents, DoublePressTiming)
{
    Mouse(true, false, 1000);
    Mouse(false, false, 1100);
    Mouse(true, false, 1250);
    Mouse(false, false, 1300);
    EXPECT_EQ(Drain(), (std::vector<int>{1, 2, 3, 2}));
    Mouse(true, false, 5000);
    Mouse(false, false, 5100);
    Mouse(true, false, 5350);
    Mouse(false, false, 5400);
    EXPECT_EQ(Drain(), (std::vector<int>{1, 2, 1, 2}));
    Mouse(false, true, 9000);
    Mouse(false, false, 9050);
    Mouse(false, true, 9200);
    Mouse(false, false, 9250);
    EXPECT_EQ(Drain(), (std::vector<int>{11, 12, 11, 12}));
    Mouse(false, true, 9300);
    EXPECT_EQ(Drain(), (std::vector<int>{13}));
}

TEST_F(InputEvents, RingHoldsNineteenAndMotionAccumulates)
{
    for (int i = 0; i < 25; ++i) PushMouseEvent(1);
    MouseEvent e;
    int n = 0;
    for (PopMouseEvent(&e); e.code; PopMouseEvent(&e)) ++n;
    EXPECT_EQ(n, 19);
    for (int i = 0; i < 19; ++i) PushMouseEvent(2);
    PushMouseEvent(11);  // lost
    PopMouseEvent(&e);
    PushMouseEvent(12);  // accepted again
    std::vector<int> rest = Drain();
    EXPECT_EQ(rest.size(), 19u);
    EXPECT_EQ(rest.back(), 12);
    Mouse(false, false, 0, 5);
    Mouse(false, false, 0, 7);
    int32_t x = 0, y = 0, w = 0;
    ReadMouseDelta(&x, &y, &w);
    EXPECT_EQ(x, 12);
    ReadMouseDelta(&x, nullptr, nullptr);
    EXPECT_EQ(x, 0);
}

TEST_F(InputEvents, KeysArePressedOnlyInTheirFirstFrame)
{
    uint8_t keys[256] = {};
    keys[DIK_SPACE] = 0x80;
    keys[255] = 0x80;
    ProcessInputStates(keys, nullptr, 0);
    EXPECT_EQ(WasKeyPressed(DIK_SPACE), 1);
    EXPECT_NE(IsKeyHeld(DIK_SPACE), 0);
    EXPECT_EQ(FirstKeyDown(), DIK_SPACE);
    ProcessInputStates(keys, nullptr, 13);
    EXPECT_EQ(WasKeyPressed(DIK_SPACE), 0);
    EXPECT_NE(IsKeyHeld(DIK_SPACE), 0);
    uint8_t only255[256] = {};
    ProcessInputStates(only255, nullptr, 26);
    only255[255] = 0x80;
    ProcessInputStates(only255, nullptr, 39);
    EXPECT_EQ(WasKeyPressed(255), 1);
    EXPECT_EQ(FirstKeyDown(), 0);
    EXPECT_EQ(IsKeyHeld(300), 0);
}

TEST(AppPacing, FramesRunAfterTwelveMillisecondsAcrossTheWrap)
{
    EXPECT_EQ(FrameDue(0x00000005u, 0xFFFFFFF0u), 1);
    EXPECT_EQ(FrameDue(112, 100), 0);
    EXPECT_EQ(FrameDue(113, 100), 1);
    EXPECT_EQ(FrameDue(100, 100), 0);
}

// Frames start on 13 ms marks however late the loop looks: looks up to a frame late, as the
// rests between looks and the presents make them, lose nothing over a second of frames; a stall
// of a whole frame starts the marks again from the look, with no burst after it.
TEST(AppPacing, LateLooksKeepTheMarksAndAStallStartsThemAgain)
{
    const uint32_t first = 0xFFFFFF00u;  // across the wrap of the millisecond counter
    uint32_t last = first, now = first;
    int frames = 0;
    for (int look = 0; frames < 77; ++look) {
        now = last + 13 + static_cast<uint32_t>(look * 7 % 13);  // 0 to 12 ms late
        if (!FrameDue(now, last)) continue;
        last = FrameMark(now, last);
        ++frames;
    }
    EXPECT_EQ(last, first + 77u * 13u);
    EXPECT_EQ(FrameMark(last + 40, last), last + 40) << "a stall of three frames";
    EXPECT_EQ(FrameMark(last + 26, last), last + 26);
    EXPECT_EQ(FrameMark(last + 25, last), last + 13);
}

}  // namespace
