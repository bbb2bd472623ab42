#include <algorithm>
#include <cstdio>
#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

HelpScreen g_helpScreen;
HappyScreen g_happyScreen;

namespace {
// Reads a text file of the packs into `out` (at most size - 1 bytes, always terminated).
void ReadText(const char* name, char* out, int size)
{
    std::memset(out, 0, static_cast<size_t>(size));
    ReadResourceFile(name, out, size - 1, 1);
    out[size - 1] = 0;
}
}  // namespace

void HelpScreen::LoadPage(int n)
{
    page = std::clamp(n, 0, 3);
    LogMessage("Load page: %d\n", page);
    char name[32];
    std::snprintf(name, sizeof name, "help\\help%d.txt", page);
    ReadText(name, text, sizeof text);
}

void HelpScreen::InitSurfaces()
{
    LogMessage("Call HelpScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    if (!LoadPicture("Nodes\\Node.tga", &background_) || !LoadPicture("help\\MinPanel.tga", &minPanel_) ||
        !LoadPicture("help\\Items.tga", &items_) || !LoadPicture("OstrevLogo.tga", &logo_))
        return;
    SetColorKey(minPanel_, 0);
    SetColorKey(items_, 0);
    sheet_.LoadWithFrames("HelpBtn.tga", "HelpBtn.frm");
    buttons_[0].SetFromFrame(sheet_, "prev", 1);
    buttons_[1].SetFromFrame(sheet_, "next", 2);
}

void HelpScreen::ReleaseSurfaces()
{
    ReleasePicture(&background_);
    ReleasePicture(&minPanel_);
    ReleasePicture(&items_);
    ReleasePicture(&logo_);
    sheet_.Destroy();
}

int32_t HelpScreen::Process()
{
    MoveCursor();
    int32_t code = PopMouseCode();
    const int32_t mouseCode = code;
    g_clickedButtonId = 0;
    buttons_[0].SetShown(page > 0);
    buttons_[1].SetShown(page < 3);
    for (Button& b : buttons_) b.HandleInput(&code);
    const int clicked = g_clickedButtonId;
    g_clickedButtonId = 0;
    if (clicked == 1 || WasKeyPressed(DIK_PRIOR) || WasKeyPressed(DIK_LEFT)) LoadPage(page - 1);
    if (clicked == 2 || WasKeyPressed(DIK_NEXT) || WasKeyPressed(DIK_RIGHT)) LoadPage(page + 1);
    const int32_t flags = ALIGN_LEFT | ALIGN_TOP;
    DrawPicture(background_, 0, 0);
    DrawHeader("Ombrelit");
    if (page > 0) sheet_.DrawFrame(buttons_[0].IsActive() ? "prevs" : "prev", 0, 0, flags);
    if (page < 3) sheet_.DrawFrame(buttons_[1].IsActive() ? "nexts" : "next", 0, 0, flags);
    if (page == 2 && minPanel_) BlitToBackBuffer(170, 210, minPanel_, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    if (page == 1 && g_sprites) {
        for (int i = 0; i < 2; ++i) {
            g_sprites->creditAnims[i].Animate("Rotation", 0);
            g_sprites->credits[i].DrawAnimation(g_sprites->creditAnims[i], i ? 420 : 287, 210, g_sprites->credits[i].Alignment());
        }
        if (items_) BlitToBackBuffer(193, 317, items_, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    }
    if (g_sprites) {
        char counter[96];
        std::snprintf(counter, sizeof counter, "%s %d / %d", g_strings.Get("Page"), page + 1, 4);
        PrintText(SmallFont(), 13, 277, 455, MakePixelColorRgb(0xFFFFFF), counter);
        PrintText(TextFont(), 16, page == 3 ? 100 : 0, 160, MakePixelColorRgb(0xFFFFFF), text);
    }
    DrawCursor();
    if (FirstKeyDown() == DIK_ESCAPE || mouseCode == MOUSE_RIGHT_DOWN) {
        ReturnToPreviousScreen(0);
        return 0;
    }
    return 1;
}

void HappyScreen::OnDisplay(Screen*, int32_t)
{
    PlayMusic("arc3.s3m");
    ReadText("happy.txt", text, sizeof text);
    textY = 480;
}

void HappyScreen::InitSurfaces()
{
    LogMessage("Call HappyScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    LoadPicture("Nodes\\Node.tga", &background_);
    LogMessage("Return HappyScreen::InitSurfaces()\n");
}

void HappyScreen::ReleaseSurfaces() { ReleasePicture(&background_); }

int32_t HappyScreen::Process()
{
    MoveCursor();
    PopMouseCode();
    DrawPicture(background_, 0, 0);
    if (g_sprites && TextFont().IsLoaded()) {
        TrueTypeFont& font = TextFont();
        BeginText(&font, 16);
        if (IsTextBatchOpen()) {
            font.SetClip(0, 50, 640, 480);
            font.Print(10, textY, 0xFFFF, text);
        }
        EndText();
    }
    if (frameCounter % 3 == 0) --textY;
    if (textY < -500 || (frameCounter > 100 && FirstKeyDown() != 0)) {
        HiscoreScreen::SetScorePending(1);
        SwitchScreenIfOther(&g_hiscoreScreen, 0);
        return 0;
    }
    return 1;
}
