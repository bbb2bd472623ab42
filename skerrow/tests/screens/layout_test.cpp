// What the screens print stands where it can be read and says what is so: the version clear of
// the menu's QUIT, the map's messages clear of its planet, the shop's panel without a figure of
// a level no one played, and the map's arrow keys moving it as its arrow buttons do.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ScreenHarness.h"

namespace {

class ScreenLayout : public ScreensSuite {
protected:
    void SetUp() override
    {
        ScreensSuite::SetUp();
        if (HasFatalFailure()) return;
        ResetCampaign();
        g_clickedButtonId = 0;
    }
};

// The back buffer's pixels within a rectangle.
std::vector<uint16_t> Pixels(int x0, int y0, int x1, int y1)
{
    std::vector<uint16_t> out;
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) out.push_back(pixels[y * pitch + x]);
    UnlockSurface(g_display.backBuffer);
    return out;
}

int Differing(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b)
{
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

// One frame of the current screen with the text of `key` replaced by `text` meanwhile.
void FrameWithText(const char* key, const char* text)
{
    char* slot = const_cast<char*>(g_strings.Get(key));
    char kept[64];
    std::memcpy(kept, slot, sizeof kept);
    std::snprintf(slot, 64, "%s", text);
    Frame();
    std::memcpy(slot, kept, sizeof kept);
}

// The pixels a text draws within `area` (x0, y0, x1, y1) of the current screen: those that
// differ from a frame without it. The screens drawn here hold nothing else that moves there.
int TextPixelsIn(const char* key, const int (&area)[4])
{
    const std::string text = g_strings.Get(key);
    FrameWithText(key, "");
    const std::vector<uint16_t> without = Pixels(area[0], area[1], area[2], area[3]);
    FrameWithText(key, text.c_str());
    return Differing(without, Pixels(area[0], area[1], area[2], area[3]));
}

// Lettering of the panel's figures (yellow to orange) within a rectangle.
int FigurePixels(int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (uint16_t p : Pixels(x0, y0, x1, y1)) {
        const int r = (g_display.is555 ? (p >> 10 & 31) : (p >> 11 & 31)) * 255 / 31;
        const int g = g_display.is555 ? (p >> 5 & 31) * 255 / 31 : (p >> 5 & 63) * 255 / 63;
        const int b = (p & 31) * 255 / 31;
        n += r > 180 && g > 110 && b < 110;
    }
    return n;
}

}  // namespace

TEST_F(ScreenLayout, MenuVersionStandsClearOfQuit)
{
    StartAt(&g_menuScreenInstance);
    g_cursorX = 100;
    g_cursorY = 100;
    // The QUIT button of "menu.frm" ("quit_up": 280 x 40 at 0, 240 from the menu's corner at
    // 316, 179), and the corner below it where the version stands.
    const int quit[4] = {316, 419, 596, 459}, corner[4] = {400, 459, 640, 480};
    EXPECT_EQ(TextPixelsIn("Version", quit), 0);
    EXPECT_GT(TextPixelsIn("Version", corner), 100);
    SaveShot("menu-version");
}

TEST_F(ScreenLayout, MapMessagesKeepClearOfThePlanet)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    Frames(40);
    g_cursorX = 600;
    g_cursorY = 300;
    // The planet of "Nodes\Node.tga" (centre 560, 90, radius 61) and the band left of it.
    const int planet[4] = {498, 28, 640, 160}, band[4] = {0, 125, 498, 180};
    g_nodeScreenInstance.allCompleted = 1;
    EXPECT_EQ(TextPixelsIn("Continue", planet), 0);
    EXPECT_GT(TextPixelsIn("Continue", band), 200);
    SaveShot("map-every-planet-free");
    // A text of any length keeps to the band, on further lines when it must.
    const char* longer = "Every planet of both sectors is free at last: press START to face the guardian";
    FrameWithText("Continue", longer);
    SaveShot("map-long-message");
    const std::vector<uint16_t> withLong = Pixels(planet[0], planet[1], planet[2], planet[3]);
    FrameWithText("Continue", "");
    EXPECT_EQ(Differing(withLong, Pixels(planet[0], planet[1], planet[2], planet[3])), 0);
    g_nodeScreenInstance.allCompleted = 0;
    EXPECT_EQ(TextPixelsIn("Level", planet), 0);
    g_nodeScreenInstance.messageTimer = 1000;
    EXPECT_EQ(TextPixelsIn("Closelevel", planet), 0);
    g_nodeScreenInstance.messageTimer = 0;
    Key(DIK_ESCAPE);
}

TEST_F(ScreenLayout, MapArrowKeysMoveItAsItsArrowButtons)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    NodeScreen& map = g_nodeScreenInstance;
    map.scroll = map.scrollMin + 100;
    // The up button (id 5, right of the down button) and the Up key both lower the scroll.
    int before = map.scroll;
    g_cursorX = 319 + 14;
    g_cursorY = 359 + 11;
    Frame({}, true);
    const int byButton = map.scroll - before;
    Frame();
    before = map.scroll;
    g_cursorX = 100;
    g_cursorY = 100;
    Frame({DIK_UP});
    const int byKey = map.scroll - before;
    EXPECT_LT(byButton, 0);
    EXPECT_LT(byKey, 0);
    // The down button and the Down key both raise it.
    before = map.scroll;
    g_cursorX = 269 + 14;
    g_cursorY = 359 + 11;
    Frame({}, true);
    EXPECT_GT(map.scroll - before, 0);
    Frame();
    before = map.scroll;
    g_cursorX = 100;
    Frame({DIK_DOWN});
    EXPECT_GT(map.scroll - before, 0);
    Key(DIK_ESCAPE);
}

// The shop's panel is the panel of play: its DONE figure belongs to a level. Opened from the map
// of a new campaign there is none to give; opened after a won level it shows that level done.
TEST_F(ScreenLayout, ShopPanelShowsNoFigureOfALevelNotPlayed)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    ClickAt(231, 441);  // SHOP
    ASSERT_EQ(GetCurrentScreen(), &g_shopScreen);
    g_cursorX = 600;
    g_cursorY = 300;
    Frame();
    SaveShot("shop-new-campaign");
    EXPECT_EQ(FigurePixels(110, 412, 165, 436), 0) << "a DONE figure with no level played";
    EXPECT_GT(FigurePixels(45, 430, 70, 450), 10) << "the lives, drawn as ever";
    Key(DIK_ESCAPE);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);

    // After a won level (the map opens the shop with argument 1) the level is done.
    g_shopScreen.SwitchScreen(1);
    Frame();
    SaveShot("shop-after-a-won-level");
    EXPECT_GT(FigurePixels(110, 412, 165, 436), 10);
    Key(DIK_ESCAPE);
    Key(DIK_ESCAPE);
}
