#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

BossScreen g_bossScreenInstance;

void InstallScreens()
{
    g_nodeScreen = &g_nodeScreenInstance;
    g_bossScreen = &g_bossScreenInstance;
    g_optionsScreen = &g_optionsScreenInstance;
}

void BossScreen::OnDisplay(Screen*, int32_t)
{
    PlayMusic("arc_z.s3m");
    state = BOSS_WAIT;
    health = 300;
    bossX = 320;
    bossY = 240;
    velocity = Vector2(2.0f, 1.0f);
    g_level.paddleX = g_level.previousPaddleX = 320;
    g_level.paddleY = g_level.previousPaddleY = 380;
    g_level.paddleHeight = 10;
    g_level.freeFly = g_level.levelOver = g_level.exitPrompt = g_level.levelFailed = 0;
    g_level.paddleFreeze = 0;
    g_level.paused = 0;
    backgroundCounter = 10000000;
    countdown = 0;
    for (Ball& b : g_balls) b = Ball{};
    for (Enemy& e : g_enemies) e = Enemy{};
    std::memset(g_bullets, 0, sizeof g_bullets);
    std::memset(g_capsules, 0, sizeof g_capsules);
    // A campaign loaded from a save reaches the fight without ever loading a level: the arena
    // gets an empty grid of its own rather than whatever (or nothing) the last level left.
    ResizeGrid(kMinLevelHeight);
    g_level.scrollOffset = 0;
    for (BossBullet& s : shots) s = BossBullet{};
    std::memset(shotOnPaddle, 0, sizeof shotOnPaddle);
    for (InventorySlot& s : g_game.inventory) s.active = 0;
    g_level.backMapRows = 100;
    g_level.backMap.assign(100 * kBackTilesPerRow, 0);
    if (g_sprites && g_level.backTileSet >= 0 && g_level.backTileSet < g_sprites->tileSetCount) {
        const TileSet& set = g_sprites->tileSets[g_level.backTileSet];
        long total = 0;
        for (int w : set.weights) total += std::max(0, w);
        for (uint8_t& t : g_level.backMap) {
            if (total <= 0) break;
            long r = rand() % total;
            for (int k = 0; k < 32; ++k) {
                r -= std::max(0, set.weights[k]);
                if (r < 0) {
                    t = static_cast<uint8_t>(k);
                    break;
                }
            }
        }
    }
    g_level.ballOnPaddle = 1;
}

void BossScreen::InitSurfaces()
{
    PlaceShipPointer();
    ReleaseSurfaces();
    if (!LoadPicture("panel.tga", &panel_)) {
        LogMessage("Can't load panel.tga\n");
        return;
    }
    SetColorKey(panel_, MakePixelColor(255, 0, 255));
    shotAnim_.Load("ball.anm");
    shotAnim_.Animate("BallBoss", 1);
}

void BossScreen::ReleaseSurfaces() { ReleasePicture(&panel_); }

void BossScreen::MoveBoss()
{
    bossX += static_cast<int>(velocity.x);
    bossY += static_cast<int>(velocity.y);
    if (bossX < 100 || bossX > 540) {
        bossX = std::clamp(bossX, 100, 540);
        velocity.x = -velocity.x;
    }
    if (bossY < 100 || bossY > 280) {
        bossY = std::clamp(bossY, 100, 280);
        velocity.y = -velocity.y;
    }
}

namespace {
bool AnimationDone() { return g_sprites && g_sprites->bossAnim.IsFinished(); }
void AnimateBoss(const char* name) { if (g_sprites) g_sprites->bossAnim.Animate(name, 0); }
}  // namespace

int BossScreen::RunBossState()
{
    if (health < 0) {
        state = BOSS_DEFEATED;
        countdown = 100;
        health = 0;
    }
    if (WasKeyPressed(DIK_D) && state != BOSS_DEFEATED) health = -1;
    switch (state) {
    case BOSS_WAIT:
        AnimateBoss("Wait");
        if (rand() % 20 == 0) {
            state = BOSS_ARM;
            if (g_sprites) g_sprites->bossAnim.Animate("Arm", 1);
        }
        break;
    case BOSS_ARM:
        AnimateBoss("Arm");
        if (AnimationDone()) {
            state = BOSS_FREEZE;
            if (g_sprites) g_sprites->bossAnim.Animate("Freeze", 1);
        }
        break;
    case BOSS_FREEZE:
        AnimateBoss("Freeze");
        if (AnimationDone()) {
            state = BOSS_FIRE;
            if (g_sprites) g_sprites->bossAnim.Animate("Fire", 1);
        }
        break;
    case BOSS_FIRE:
        AnimateBoss("Fire");
        for (int gun = 0; gun < 2; ++gun) {
            BossBullet& s = shots[gun];
            if (s.active) continue;
            s.active = 1;
            s.position = Vector2(static_cast<float>(bossX + (gun ? -40 : 40)), static_cast<float>(bossY + 40));
            Vector2 aim(static_cast<float>(g_level.paddleX) - s.position.x, static_cast<float>(g_level.paddleY) - s.position.y);
            aim.Normalize();
            s.velocity = aim * 80.0f;
            shotOnPaddle[gun] = 0;
        }
        if (AnimationDone()) {
            state = BOSS_RELOAD;
            if (g_sprites) g_sprites->bossAnim.Animate("Reload", 1);
        }
        break;
    case BOSS_RELOAD:
        AnimateBoss("Reload");
        if (AnimationDone()) state = BOSS_WAIT;
        break;
    case BOSS_DEFEATED:
        for (int k = 0; k < 5; ++k) {
            static const int types[5] = {5, 0, 1, 2, 4};
            static const float divisors[5] = {2, 1, 2, 1, 1};
            SpawnParticles(335, 200, 100, types[k], divisors[k]);
        }
        if (g_game.money > 0) {
            if (frameCounter % 2 == 0) {
                g_game.money = std::max(0, g_game.money - 10);
                g_game.score += 750;
            }
        } else if (g_game.lives > 0) {
            if (frameCounter % 4 == 0) {
                --g_game.lives;
                g_game.score += 10;
            }
        } else if (--countdown <= 0) {
            SwitchScreenIfOther(&g_happyScreen, 0);
            return 1;
        }
        break;
    default: state = BOSS_WAIT;
    }
    return 0;
}

void BossScreen::BossCollisions()
{
    const float left = static_cast<float>(bossX - 40), right = static_cast<float>(bossX + 40);
    const float top = static_cast<float>(bossY - 40), bottom = static_cast<float>(bossY + 40);
    for (Ball& ball : g_balls) {
        if (!ball.active) continue;
        const int steps = static_cast<int>(ball.speed);
        for (int k = 0; k < steps; ++k) {
            ball.previous = ball.position;
            Vector2 next = ball.position + Direction(ball.angle);
            bool hit = false;
            if (next.y >= top && next.y <= bottom) {
                if (next.x <= right && next.x > right - 2) {
                    next.x = right + 1;
                    Reflect(ball, 0, 30);
                    hit = true;
                } else if (next.x >= left && next.x < left + 2) {
                    next.x = left - 1;
                    Reflect(ball, 0, 30);
                    hit = true;
                }
            }
            if (!hit && next.x >= left && next.x <= right) {
                if (next.y <= bottom && next.y > bottom - 2) {
                    next.y = bottom + 1;
                    Reflect(ball, 1, 30);
                    hit = true;
                } else if (next.y >= top && next.y < top + 2) {
                    next.y = top - 1;
                    Reflect(ball, 1, 30);
                    hit = true;
                }
            }
            if (hit) {
                --health;
                PlayGameSound(SND_HIT_BLOCK, PanFromX(next.x));
            }
            ball.position = next;
        }
    }
    for (Bullet& b : g_bullets) {
        if (!b.active) continue;
        if (b.x >= bossX - 40 && b.x <= bossX + 40 && b.y >= bossY - 40 && b.y <= bossY + 40) {
            b.active = 0;
            --health;
        }
    }
}

void BossScreen::UpdateShots(int draw)
{
    for (int i = 0; i < 16; ++i) {
        BossBullet& s = shots[i];
        if (!s.active) continue;
        s.position += s.velocity / 12.0f;
        const int half = g_level.paddleWidth / 2;
        const bool onPaddle = s.position.x >= g_level.paddleX - half && s.position.x < g_level.paddleX + half &&
                              std::fabs(s.position.y - static_cast<float>(g_level.paddleY)) < 20.0f;
        // A shot freezes the paddle as it enters the paddle's zone, not on every frame inside.
        if (onPaddle && !shotOnPaddle[i]) g_level.paddleFreeze = 100;
        shotOnPaddle[i] = onPaddle ? 1 : 0;
        if (s.position.x < 0 || s.position.x > 639 || s.position.y < 0 || s.position.y > 479) {
            s.active = 0;
            continue;
        }
        if (draw && g_sprites) {
            shotAnim_.Animate("BallBoss", 0);
            g_sprites->ball.DrawAnimation(shotAnim_, static_cast<int>(s.position.x), static_cast<int>(s.position.y), 0);
        }
    }
}

void BossScreen::DrawBackground()
{
    if (!g_sprites || g_level.backTileSet < 0 || g_level.backTileSet >= g_sprites->tileSetCount) return;
    TileSet& set = g_sprites->tileSets[g_level.backTileSet];
    LPDIRECTDRAWSURFACE7 surface = set.image.Surface();
    if (!surface || !g_display.backBuffer || g_level.backMapRows <= 0) return;
    const int counter = std::max(0, backgroundCounter);
    const int top = -(counter % kBackTileSize);
    int row = (counter / kBackTileSize) % 100;
    for (int y = top; y < 480; y += kBackTileSize, row = (row + 1) % 100) {
        for (int c = 0; c < kBackTilesPerRow; ++c) {
            const size_t index = static_cast<size_t>(row) * kBackTilesPerRow + static_cast<size_t>(c);
            if (index >= g_level.backMap.size()) continue;
            RECT src = set.rects[g_level.backMap[index] & 31];
            if (src.right <= src.left || src.bottom <= src.top) continue;
            int x = c * kBackTileSize, yy = y;
            ClipToScreen(&x, &yy, &src);
            if (src.right <= src.left || src.bottom <= src.top) continue;
            g_display.backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(yy), surface, &src, DDBLTFAST_NOCOLORKEY);
        }
    }
}

int32_t BossScreen::Process()
{
    --backgroundCounter;
    if (WasKeyPressed(DIK_F10)) {
        SwitchScreenIfOther(g_optionsScreen, 0);
        return 1;
    }
    if (!UpdateGame()) return 0;
    if (g_currentScreen != this) return 0;
    RestartAnimations();
    MoveBoss();
    if (RunBossState()) return 0;
    BossCollisions();
    DrawBackground();
    UpdateBackdrop();
    if (panel_) BlitToBackBuffer(0, 400, panel_, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    DrawPaddleAndBalls();
    DrawEnemies();
    if (state != BOSS_DEFEATED) {
        FillScreenRect(229, 69, 202, 12, MakePixelColorRgb(0xFFFFFFFF));
        FillScreenRect(230, 70, 200, 10, 0);
        FillScreenRect(230, 70, std::max(0, health) * 200 / 300, 10, MakePixelColorRgb(0xFF0000FF));
        if (g_sprites) g_sprites->boss.DrawAnimation(g_sprites->bossAnim, bossX, bossY, 0);
    }
    UpdateShots(1);
    DrawCapsulesAndBullets();
    UpdateParticles(1);
    DrawHud();
    DrawMessages();
    return 1;
}
