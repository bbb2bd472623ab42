#include "skerrow/Src/game/GameScreen.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

GameScreen g_gameScreen;
Screen* g_optionsScreen = nullptr;

namespace {
// Which message is up, so that each one starts its panel anew when it appears.
int g_lastMessage = 0;
int g_statsFrames = 0;
uint32_t g_statsTime = 0;
float g_fps = 0.0f;

template <typename F>
void WithBackBuffer(F f)
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!g_display.backBuffer || !LockSurface(g_display.backBuffer, &pixels, &pitch)) return;
    f(pixels, pitch);
    UnlockSurface(g_display.backBuffer);
}

void ClippedLine(uint16_t* pixels, int pitch, int x0, int y0, int x1, int y1, uint16_t colour)
{
    // A plain DDA, every point checked against the screen.
    const int dx = x1 - x0, dy = y1 - y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i <= n; ++i) {
        const int x = n ? x0 + dx * i / n : x0, y = n ? y0 + dy * i / n : y0;
        if (x >= 0 && x < 640 && y >= 0 && y < 480) pixels[static_cast<long>(y) * pitch + x] = colour;
    }
}
}  // namespace

void FillScreenRect(int x, int y, int w, int h, uint16_t colour)
{
    if (!g_display.backBuffer) return;
    RECT r = {x, y, x + w, y + h};
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    HRESULT hr = g_display.backBuffer->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    if (FAILED(hr)) LogMessage("D3DStrip error %s\n", GetDDErrorName(hr));
}

void DrawLine(int x0, int y0, int x1, int y1, uint16_t colour)
{
    WithBackBuffer([&](uint16_t* p, int pitch) { ClippedLine(p, pitch, x0, y0, x1, y1, colour); });
}

void DrawBitmapText(int x, int y, uint16_t colour, float scale, const char* format, ...)
{
    if (!g_sprites || !g_sprites->litSmall.IsLoaded()) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    for (const char* p = text; *p; ++p) {
        char name[2] = {static_cast<char>(std::toupper(static_cast<unsigned char>(*p))), 0};
        SpriteFrame f;
        if (g_sprites->litSmall.GetFrame(name, &f)) {
            g_sprites->litSmall.DrawFrameEx(name, x, y, colour, ALIGN_LEFT | ALIGN_TOP, 1.0f, 0.0f);
            x += f.right - f.left;
        } else {
            x += static_cast<int>(scale * 16.0f);
        }
    }
}

void DrawFrameStats()
{
    ++g_statsFrames;
    const uint32_t now = g_level.tickTime;
    if (now - g_statsTime > 1000) {
        g_fps = g_statsTime ? static_cast<float>(g_statsFrames) * 1000.0f / static_cast<float>(now - g_statsTime) : 0.0f;
        g_statsFrames = 0;
        g_statsTime = now;
    }
    DrawBitmapText(0, 0, 0xFFFF, 0.3f, "Frame: %d", FrameCounter());
    DrawBitmapText(0, 20, 0xFFFF, 0.3f, "FPS: %2.3f", static_cast<double>(g_fps));
}

void RestartAnimations()
{
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    g.shipAnim.Animate(IsEffectActive(ITEM_WIDE_BUSTER) ? "Wide" : "Normal", 0);
    const int piercing = IsEffectActive(ITEM_PIERCING);
    const char* ball = piercing ? (g_level.ballOnPaddle ? "AssignedBallFire" : "BallFire")
                                : (g_level.ballOnPaddle ? "AssignedBall" : "Ball");
    if (g.ballAnim.FindAnimation(ball) < 0 && piercing) ball = "BallFire";
    g.ballAnim.Animate(ball, 0);
    for (AnimationSet& a : g.creditAnims) a.Animate("Rotation", 0);
    for (AnimationSet& a : g.enemyAnims) a.Animate("Rotation", 0);
    for (int id = 0; id < 23; ++id) {
        int active = 0;
        for (const InventorySlot& s : g_game.inventory) active |= (s.id == id && s.active);
        g.itemAnims[id].Animate(active ? "Rotation" : "Stop", 0);
    }
    for (int s = 0; s < kMaxTileSets; ++s)
        for (int o = 0; o < g.backObjectCount[s]; ++o) g.backObjectAnims[s][o].Animate("Rotation", 0);
    g.containerAnim.Animate("Rotation", 0);
}

void DrawTileBackground()
{
    if (!g_sprites || g_level.backTileSet < 0 || g_level.backTileSet >= g_sprites->tileSetCount) return;
    TileSet& set = g_sprites->tileSets[g_level.backTileSet];
    LPDIRECTDRAWSURFACE7 surface = set.image.Surface();
    if (!surface || !g_display.backBuffer) return;
    const int top = -((g_level.scrollOffset / 2) % kBackTileSize);
    const int firstRow = g_level.scrollOffset / (2 * kBackTileSize);
    for (int i = 0; top + i * kBackTileSize < kViewHeight; ++i) {
        const int row = firstRow + i;
        if (row < 0 || row >= g_level.backMapRows) continue;
        for (int c = 0; c < kBackTilesPerRow; ++c) {
            const int tile = g_level.backMap[static_cast<size_t>(row) * kBackTilesPerRow + c];
            RECT src = set.rects[tile & 31];
            if (src.right <= src.left || src.bottom <= src.top) continue;
            int x = c * kBackTileSize, y = top + i * kBackTileSize;
            // Tiles stop at the panel.
            if (y + (src.bottom - src.top) > kViewHeight) src.bottom = src.top + (kViewHeight - y);
            ClipToScreen(&x, &y, &src);
            if (src.right <= src.left || src.bottom <= src.top) continue;
            g_display.backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), surface, &src, DDBLTFAST_NOCOLORKEY);
        }
    }
}

void DrawBlocks()
{
    if (!g_sprites || IsEffectActive(ITEM_INVISIBLE)) return;
    const int first = g_level.scrollOffset / kCellHeight;
    for (int i = 0; i < 27 && first + i < g_level.height; ++i) {
        const int row = first + i;
        if (row < 0) continue;
        for (int c = 0; c < kGridColumns; ++c) {
            const BlockCell* cell = GetBlockCell(c, row);
            if (!cell || !cell->type || cell->type > kMaxBlockTypes) continue;
            const BlockType& bt = g_blockTypes[cell->type - 1];
            const int image = bt.images[cell->hits < 5 ? cell->hits : 4];
            const double wobble = 2.5 * std::sin(32.0 * c + FrameCounter() * 3.14 / 50.0);
            const int y = kCellHeight * i - g_level.scrollOffset % kCellHeight + static_cast<int>(wobble);
            if (y >= kViewHeight) continue;
            g_sprites->blocks.DrawFrameByIndex(image, kCellWidth * c, y, -1);
        }
    }
}

namespace {
void DrawShield()
{
    const uint16_t a = g_colors[4], b = g_colors[10];
    const int f = FrameCounter();
    WithBackBuffer([&](uint16_t* p, int pitch) {
        for (int line = 0; line < 4; ++line) {
            const int y = 390 + 2 * line;
            const int shift = (line & 1) ? -(f % 64) : (f / 2) % 64;
            for (int s = 0; s < 13; ++s) {
                const int x0 = s * 64 + shift - 64;
                ClippedLine(p, pitch, x0, y, x0 + 63, y, ((s + line) & 1) ? a : b);
            }
        }
    });
}
}  // namespace

void PlaceShipPointer() { PlacePointer(g_level.paddleX, g_level.paddleY); }

void DrawPaddleAndBalls()
{
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    int py = g_level.paddleY;
    if (g_level.paddleFreeze) py += rand() % 8 - 4;
    const int shadow = IsEffectActive(ITEM_SHADOW);
    if (shadow) g.ship.DrawAnimation(g.shipAnim, 640 - g_level.paddleX, py, -1);
    g.ship.DrawAnimation(g.shipAnim, g_level.paddleX, py, -1);
    if (g_level.paddleX != g_level.previousPaddleX) {
        RECT r;
        g.shipAnim.GetFrameRect(&r);
        const int rear = IsEffectActive(ITEM_WIDE_BUSTER) ? 0 : 20;
        const int right = g_level.paddleX > g_level.previousPaddleX;
        const int dx = right ? 60 - rear : -60 + rear;
        const float ey = static_cast<float>(py + (r.bottom - r.top) / 2);
        SpawnEngineParticles(static_cast<float>(g_level.paddleX + dx), ey, 1, 0, right ? 0 : 1);
        if (shadow) SpawnEngineParticles(static_cast<float>(640 - g_level.paddleX - dx), ey, 1, 0, right ? 1 : 0);
    }
    if (IsEffectActive(ITEM_SHIELD)) DrawShield();
    if (g_level.ballOnPaddle) {
        g.ball.DrawAnimation(g.ballAnim, g_level.paddleX, g_level.paddleY - 5, -1);
        const Vector2 d = Direction(g_level.aimAngle);
        if (IsEffectActive(ITEM_SNIPER))
            DrawLine(g_level.paddleX, g_level.paddleY, g_level.paddleX + static_cast<int>(d.x * 400.0f),
                     g_level.paddleY + static_cast<int>(d.y * 400.0f), g_colors[2]);
        if (IsEffectActive(ITEM_TIMEBOMB) && IsEffectActive(ITEM_RUBBER))
            DrawLine(g_level.paddleX, g_level.paddleY, g_level.paddleX + static_cast<int>(d.x * 200.0f),
                     g_level.paddleY + static_cast<int>(d.y * 200.0f), g_colors[8]);
    }
    const int rubber = IsEffectActive(ITEM_RUBBER);
    for (const Ball& b : g_balls) {
        if (!b.active) continue;
        g.ball.DrawAnimation(g.ballAnim, static_cast<int>(b.position.x), static_cast<int>(b.position.y), -1);
        if (rubber)
            DrawLine(g_level.paddleX, g_level.paddleY, static_cast<int>(b.position.x), static_cast<int>(b.position.y), g_colors[12]);
    }
}

void DrawEnemies()
{
    if (!g_sprites) return;
    for (const Enemy& e : g_enemies) {
        if (e.type < 1 || e.type > 3 || e.state == ENEMY_DYING) continue;
        g_sprites->enemies[e.type - 1].DrawAnimation(g_sprites->enemyAnims[e.type - 1], static_cast<int>(e.position.x),
                                                     static_cast<int>(e.position.y), -1);
    }
}

void DrawCapsulesAndBullets()
{
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    const int32_t topLeft = ALIGN_LEFT | ALIGN_TOP;
    for (const Capsule& c : g_capsules) {
        if (!c.id) continue;
        if (c.id == ITEM_CREDIT1)
            g.credits[0].DrawAnimation(g.creditAnims[0], c.x, c.y, topLeft);
        else if (c.id == ITEM_CREDIT2)
            g.credits[1].DrawAnimation(g.creditAnims[1], c.x, c.y, topLeft);
        else if (c.id == ITEM_TIMEBOMB && c.timer > 0)
            g.items[ITEM_TIMEBOMB].DrawAnimation(g.itemAnims[ITEM_TIMEBOMB], c.x, c.y, topLeft);
        else
            g.container.DrawAnimation(g.containerAnim, c.x, c.y, topLeft);
    }
    for (const Bullet& b : g_bullets)
        if (b.active && b.y > 0) g.misc.DrawFrame("Bullet", b.x, b.y, -1);
}

int LevelProgress()
{
    const int span = g_level.height - 25;
    if (span <= 0) return 99;
    int p = (span - g_level.scrollOffset / kCellHeight) * 100 / span;
    if (p < 0) p = 0;
    if (p > 99) p = 99;
    return p;
}

void DrawHud() { DrawHudWith(LevelProgress()); }

void DrawHudWith(int progress)
{
    const int y0 = 400;
    if (progress >= 0) DrawBitmapText(115, y0 + 20, 0xFFFF, 0.3f, "%d%%", progress);
    DrawBitmapText(50, y0 + 37, 0xFFFF, 0.3f, "%d", g_game.lives);
    DrawBitmapText(100, y0 + 37, 0xFFFF, 0.3f, "%d", g_game.money);
    DrawBitmapText(85, y0 + 55, 0xFFFF, 0.3f, "%d", g_game.score);
    if (!g_sprites) return;
    for (int i = 0; i < kInventorySlots; ++i) {
        const InventorySlot& s = g_game.inventory[i];
        if (s.id <= 0 || s.id >= 23) continue;
        const int x = 197 + 42 * i, y = y0 + 47;
        g_sprites->items[s.id].DrawAnimationEx(g_sprites->itemAnims[s.id], x, y, 0x8000FFFF, -1, 1.0f, 0.0f);
        DrawBitmapText(x - 18, y + 12, 0xFFFF, 0.5f, "%d", s.count);
    }
}

void DrawMessages()
{
    int message = 0;
    if (g_level.levelOver) message = g_level.levelFailed ? 2 : 1;
    else if (g_level.exitPrompt) message = 3;
    else if (g_level.paused) message = 4;
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    if (message != g_lastMessage) {
        g_lastMessage = message;
        if (message) g.tpanelAnim.Animate("Appear", 1);
    } else if (message) {
        g.tpanelAnim.Animate("Appear", 0);
    }
    if (!message) return;
    g.tpanel.DrawAnimation(g.tpanelAnim, 320, 240, 0);
    if (!g.tpanelAnim.IsFinished() || !g.fonts[0].IsLoaded()) return;
    TrueTypeFont& font = g.fonts[0];
    const int sizes[5] = {0, 16, 16, 18, 20};
    const char* texts[5] = {"", "Mission Completed", "Mission Failed", "Exit To Menu Y/N", "Pause"};
    BeginText(&font, sizes[message]);
    const int w = font.TextWidth8(texts[message]);
    uint16_t colour = 0xFFFF;
    if (message <= 2) colour = (FrameCounter() & 8) ? g_colors[8] : g_colors[11];
    font.Print((640 - w) / 2, 240 + sizes[message] / 2, colour, texts[message]);
    EndText();
}

void GameScreen::OnDisplay(Screen*, int32_t)
{
    g_level.paused = 0;
    g_level.newItem = 0;
}

void GameScreen::InitSurfaces()
{
    LogMessage("Call GameScreen::InitSurfaces()\n");
    PlaceShipPointer();
    ReleaseSurfaces();
    if (!LoadSurfaceFromFile("panel.tga", &panel_, 0)) {
        LogMessage("Can't load panel.tga\n");
        panel_ = nullptr;
        return;
    }
    SetColorKey(panel_, MakePixelColor(255, 0, 255));
    LogMessage("Return GameScreen::InitSurfaces()\n");
}

void GameScreen::ReleaseSurfaces()
{
    if (panel_) panel_->Release();
    panel_ = nullptr;
}

void GameScreen::DrawFrame()
{
    DrawTileBackground();
    if (!g_level.editorOn) UpdateBackdrop();
    DrawBlocks();
    if (panel_ && g_display.backBuffer) {
        RECT src = {0, 0, 640, 80};
        g_display.backBuffer->BltFast(0, 400, panel_, &src, DDBLTFAST_SRCCOLORKEY);
    }
    if (g_level.editorOn) {
        DrawHud();
        DrawBitmapText(10, 10, 0xFFFF, 0.3f, "F5 - toggle edit mode");
        DrawBitmapText(10, 26, 0xFFFF, 0.3f, "F3 - reload level");
        DrawBitmapText(10, 42, 0xFFFF, 0.3f, "F8 - clear level");
        DrawBitmapText(10, 58, 0xFFFF, 0.3f, "F2 - save level");
        return;
    }
    DrawPaddleAndBalls();
    DrawEnemies();
    DrawCapsulesAndBullets();
    UpdateParticles(1);
    DrawHud();
    DrawMessages();
    if (IsKeyHeld(DIK_TAB)) DrawFrameStats();
}

namespace {
int g_brush = 1;
// The editor's own cursor: play reads the mouse as motion only.
int g_cursorX = 320, g_cursorY = 200;
}

void GameScreen::ProcessEditor()
{
    int32_t dx = 0, dy = 0, wheel = 0;
    ReadMouseDelta(&dx, &dy, &wheel);
    g_cursorX = std::clamp(g_cursorX + dx, 0, 639);
    g_cursorY = std::clamp(g_cursorY + dy, 0, 479);
    if (WasKeyPressed(DIK_LEFT) && g_brush > 1) --g_brush;
    if (WasKeyPressed(DIK_RIGHT) && g_brush < 4) ++g_brush;
    if (wheel > 0 && g_brush < 4) ++g_brush;
    if (wheel < 0 && g_brush > 1) --g_brush;
    if (IsKeyHeld(DIK_UP)) g_level.scrollOffset = std::max(0, g_level.scrollOffset - 5);
    if (IsKeyHeld(DIK_DOWN)) g_level.scrollOffset = std::min(StartScrollOffset(g_level.height), g_level.scrollOffset + 5);
    if (WasKeyPressed(DIK_F8))
        for (BlockCell& c : g_level.grid) c = BlockCell{0, 0, 0};
    if (WasKeyPressed(DIK_F3)) {
        LoadLevel(g_game.levelNumber);
        g_level.editorOn = 1;
    }
    if (WasKeyPressed(DIK_F2)) SaveLevel(0);
    const int mx = g_cursorX, my = g_cursorY;
    if ((g_input.leftHeld || g_input.rightHeld) && my >= 0 && my < kViewHeight) {
        const int type = g_input.leftHeld ? g_brush : 0;
        const int row = (g_level.scrollOffset + my) / kCellHeight, column = mx / kCellWidth;
        const int ctrl = IsKeyHeld(DIK_LCONTROL) || IsKeyHeld(DIK_RCONTROL);
        const int shift = IsKeyHeld(DIK_LSHIFT) || IsKeyHeld(DIK_RSHIFT);
        for (int c = 0; c < kGridColumns; ++c) {
            if (!ctrl && c != column && !(shift && c == kGridColumns - 1 - column)) continue;
            SetBlock(c, row, type);
        }
    }
}

int32_t GameScreen::Process()
{
    if (WasKeyPressed(DIK_F10)) SwitchScreenIfOther(g_optionsScreen, 0);
    if (editorAllowed && WasKeyPressed(DIK_F5)) g_level.editorOn = !g_level.editorOn;
    const int result = UpdateGame();
    if (result == 0 || GetCurrentScreen() != this) return 0;
    if (g_level.editorOn) ProcessEditor();
    RestartAnimations();
    DrawFrame();
    if (g_level.editorOn && g_sprites) {
        const BlockType& bt = g_blockTypes[(g_brush - 1) % kMaxBlockTypes];
        if (g_sprites->cursor.IsLoaded()) g_sprites->cursor.DrawAnimation(g_sprites->cursorAnim, g_cursorX, g_cursorY, -1);
        g_sprites->blocks.DrawFrameByIndex(bt.images[0], g_cursorX + 12, g_cursorY + 12, -1);
        DrawBitmapText(g_cursorX + 48, g_cursorY + 12, 0xFFFF, 0.3f, "%d", bt.hitCounter);
    }
    return 1;
}
