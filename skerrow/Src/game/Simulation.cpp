#include <cmath>
#include <cstdlib>

#include "platform/win32/crt_rand.h"
#include "platform/winmm/mmsystem.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/Screen.h"
#ifdef SKERROW_HAVE_SOUND
#include "skerrow/Src/Sound/SoundEngine.h"
#endif

Screen* g_bossScreen = nullptr;

int IsBossScreenCurrent() { return g_bossScreen && GetCurrentScreen() == g_bossScreen ? 1 : 0; }

namespace {
const int kScreenWidth = 640;

float WrapAngle(float a)
{
    while (a < 0.0f) a += 360.0f;
    while (a >= 360.0f) a -= 360.0f;
    return a;
}

int HasBlock(int column, int row)
{
    const BlockCell* c = GetBlockCell(column, row);
    return c && c->type != 0;
}

// Ends a level's music fade-out: the module stops, the remembered volume comes back, and the
// music name is forgotten so that the next screen's music starts again.
void FinishMusicFade()
{
    if (g_level.savedMusicVolume < 0) return;
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) StopModule();
#endif
    SetGameMusicVolume(g_level.savedMusicVolume);
    g_level.savedMusicVolume = -1;
    g_sounds.musicName[0] = 0;
}
}  // namespace

Vector2 Direction(float angle) { return Vector2(static_cast<float>(CosDeg(angle)), static_cast<float>(-SinDeg(angle))); }

float AngleOf(Vector2 v)
{
    if (v.x == 0.0f && v.y == 0.0f) return 90.0f;
    v.Normalize();
    float x = v.x < -1.0f ? -1.0f : v.x > 1.0f ? 1.0f : v.x;
    float a = static_cast<float>(std::acos(static_cast<double>(x)) * 180.0 / 3.14159265358979);
    if (v.y > 0.0f) a = 360.0f - a;
    return WrapAngle(a);
}

void AddBall(Vector2 position, float angle, float speed)
{
    for (Ball& b : g_balls) {
        if (b.active) continue;
        b = Ball{};
        b.active = 1;
        b.position = position;
        b.previous = position;
        b.angle = WrapAngle(angle);
        b.speed = speed;
        b.lastColumn = static_cast<int32_t>(position.x) / kCellWidth;
        b.lastRow = (g_level.scrollOffset + static_cast<int32_t>(position.y)) / kCellHeight;
        LogMessage("Ball added\n");
        return;
    }
}

void Reflect(Ball& ball, int kind, int chance)
{
    float a = WrapAngle(ball.angle);
    switch (kind) {
    case 0:
        a = a < 180.0f ? 180.0f - a : 540.0f - a;
        a = WrapAngle(a);
        if (rand() % 100 < chance) {
            const float s = a >= 180.0f ? 1.0f : -1.0f;
            a = AngleOf(Direction(a) * ball.speed + Vector2(0.0f, s));
        }
        break;
    case 1:
        a = WrapAngle(360.0f - a);
        if (rand() % 100 < chance) {
            const float s = a >= 180.0f ? 1.0f : -1.0f;
            a = AngleOf(Direction(a) * ball.speed + Vector2(s, 0.0f));
        }
        break;
    case 2:
        a = static_cast<float>(std::fmod(a + 180.0f + static_cast<float>(rand() % 20 - 10), 360.0f));
        break;
    default:
        a = static_cast<float>(rand() % 360);
        break;
    }
    ball.angle = WrapAngle(a);
}

void DestroyBlock(BlockCell& cell, int particleType, int column, int row)
{
    const float vy = static_cast<float>(kCellHeight * row - g_level.scrollOffset);
    SpawnParticles(static_cast<float>(kCellWidth * column + 16), vy + 8.0f, 6, particleType, 4.0f);
    if (cell.type >= 1 && cell.type <= kMaxBlockTypes) g_game.score += g_blockTypes[cell.type - 1].score;
    cell.type = 0;
    cell.hits = 0;
    if (cell.capsule) {
        const int id = cell.capsule;
        cell.capsule = 0;
        // A time bomb carried by a block counts down like one dropped by the item.
        SpawnCapsule(kCellWidth * column, static_cast<int>(vy), id, id == ITEM_TIMEBOMB ? 40 : 0);
    }
}

void HitBlock(BlockCell& cell, Ball& ball, int column, int row, int stepColumn, int stepRow)
{
    const int piercing = IsEffectActive(ITEM_PIERCING);
    const int bomb = IsEffectActive(ITEM_BOMB);
    if (IsEffectActive(ITEM_TIMEBOMB)) {
        SpawnCapsule(kCellWidth * column, kCellHeight * row - g_level.scrollOffset, ITEM_TIMEBOMB, 40);
        DeactivateEffect(ITEM_TIMEBOMB);
    }
    int destroyed = 0;
    // An indestructible block has no hits to take, bomb or not: its end comes from the
    // explosion itself.
    if (cell.hits != 0) {
        const int old = cell.hits;
        cell.hits = static_cast<uint16_t>(old - 1);
        if (old == 1 || piercing) {
            PlayGameSound(bomb ? SND_KILL_ENEMY : SND_HIT_BLOCK, PanFromX(ball.position.x));
            DestroyBlock(cell, rand() % 5, column, row);
            if (!piercing)
                SpawnParticles(static_cast<float>(kCellWidth * column + 16),
                               static_cast<float>(kCellHeight * row - g_level.scrollOffset + 8), 10, 3, 1.0f);
            destroyed = 1;
        } else {
            PlayGameSound(SND_HIT_BLOCK, PanFromX(ball.position.x));
        }
    } else {
        PlayGameSound(SND_HIT_SOLID, PanFromX(ball.position.x));
    }
    if (destroyed && piercing) return;
    int kind;
    if (stepColumn != 0 && stepRow != 0) {
        const int vertical = HasBlock(column, row - stepRow);
        const int beside = HasBlock(column - stepColumn, row);
        if (vertical && beside)
            kind = 2;
        else if (vertical)
            kind = 0;
        else if (beside)
            kind = 1;
        else
            kind = 2;
    } else {
        kind = stepRow != 0 ? 1 : 0;
    }
    Reflect(ball, kind, 30);
}

void ExplodeAt(int x, int y)
{
    const int base = g_level.scrollOffset / kCellHeight;
    for (int j = -25; j <= 24; ++j) {
        const int row = base + j;
        if (row < 0 || row >= g_level.height) continue;
        for (int c = 0; c < kGridColumns; ++c) {
            BlockCell* cell = GetBlockCell(c, row);
            if (!cell || !cell->type) continue;
            const int dx = kCellWidth * c + 16 - x, dy = kCellHeight * j + 8 - y;
            if (dx * dx + dy * dy < 22500) DestroyBlock(*cell, rand() % 5, c, row);
        }
    }
}

namespace {
void BombAround(const Ball& ball)
{
    PlayGameSound(SND_EXPLOSION, PanFromX(ball.position.x));
    const int base = g_level.scrollOffset / kCellHeight;
    for (int j = -25; j <= 24; ++j) {
        const int row = base + j;
        // Near the top of the level the scan reaches rows that do not exist.
        if (row < 0 || row >= g_level.height) continue;
        for (int c = 0; c < kGridColumns; ++c) {
            BlockCell* cell = GetBlockCell(c, row);
            if (!cell || !cell->type) continue;
            const float dx = static_cast<float>(kCellWidth * c + 16) - ball.position.x;
            const float dy = static_cast<float>(kCellHeight * j + 8) - ball.position.y;
            if (dx * dx + dy * dy < 2500.0f) DestroyBlock(*cell, rand() % 5, c, row);
        }
    }
    DeactivateEffect(ITEM_BOMB);
}

// One pixel step of one ball; false when the ball was lost.
bool StepBall(Ball& b)
{
    const Vector2 toPaddle = [&] {
        Vector2 t(static_cast<float>(g_level.paddleX) - b.position.x, static_cast<float>(g_level.paddleY) - b.position.y);
        t.Normalize();
        return t;
    }();
    Vector2 np = b.position + Direction(b.angle);
    if (IsEffectActive(ITEM_BALL_ATTRACTOR)) {
        np = b.position + toPaddle;
        b.angle = AngleOf(toPaddle);
    }
    if (IsEffectActive(ITEM_RUBBER) && b.angle >= 180.0f && b.angle <= 359.0f && b.angle != 0.0f) {
        Vector2 v = toPaddle * 0.02f + Direction(b.angle);
        v.Normalize();
        np = b.position + v;
        b.angle = AngleOf(v);
    }
    if ((FrameCounter() & 3) == 0) {
        const float ox = static_cast<float>(rand() % 6 - 3), oy = static_cast<float>(rand() % 6 - 3);
        Particle* p = AddParticle(b.position.x + ox, b.position.y + oy, IsEffectActive(ITEM_PIERCING) ? 3 : 4, 2 + rand() % 3);
        if (p) {
            const Vector2 d = Direction(b.angle);
            p->dx = -d.x;
            p->dy = -d.y;
            p->life = 20;
        }
    }
    if (np.x > 630.0f) {
        np.x = 629.0f;
        Reflect(b, 0, 30);
        PlayGameSound(SND_SPRING, 100);
    } else if (np.x < 10.0f) {
        np.x = 11.0f;
        Reflect(b, 0, 30);
        PlayGameSound(SND_SPRING, 0);
    }
    if (IsEffectActive(ITEM_SHIELD)) {
        if (np.y > 390.0f && b.angle >= 180.0f && b.angle <= 360.0f) {
            Reflect(b, 1, 30);
            PlayGameSound(SND_BARRIER, PanFromX(np.x));
        }
    } else if (np.y > 400.0f) {
        b.position.y = 400.0f;
        b.active = 0;
        PlayGameSound(SND_LIFE_LOSS, 50);
        return false;
    }
    if (np.y < 5.0f) {
        np.y = 5.0f;
        Reflect(b, 1, 30);
        PlayGameSound(SND_SPRING, PanFromX(np.x));
    }
    b.previous = b.position;
    const int column = static_cast<int>(b.position.x) / kCellWidth;
    int row = (g_level.scrollOffset + static_cast<int>(b.position.y)) / kCellHeight;
    if (row >= 0 && row < g_level.height - 1 && HasBlock(column, row)) {
        b.position.y += 8.0f;
        np.y += 8.0f;
        b.previous = b.position;
        row = (g_level.scrollOffset + static_cast<int>(b.position.y)) / kCellHeight;
    }
    const int nc = static_cast<int>(np.x) / kCellWidth;
    const int nr = (g_level.scrollOffset + static_cast<int>(np.y)) / kCellHeight;
    BlockCell* cell = (nr >= 0 && nr < g_level.height - 1) ? GetBlockCell(nc, nr) : nullptr;
    if (cell && cell->type) {
        HitBlock(*cell, b, nc, nr, nc - b.lastColumn, nr - b.lastRow);
        if (IsEffectActive(ITEM_BOMB)) BombAround(b);
    } else {
        b.position = np;
    }
    b.lastColumn = column;
    b.lastRow = row;
    for (Enemy& e : g_enemies) {
        if (!e.type || e.state != ENEMY_MOVING) continue;
        if (std::fabs(e.position.x - b.position.x) < 15.0f && std::fabs(e.position.y - b.position.y) < 15.0f) {
            KillEnemy(e);
            b.speed += 0.1f;
            if (b.speed > 5.0f) b.speed = 5.0f;
            Reflect(b, 3, 30);
        }
    }
    return true;
}
}  // namespace

int MoveBalls()
{
    int above = 0;
    for (Ball& b : g_balls) {
        if (!b.active) continue;
        const int steps = static_cast<int>(b.speed);
        for (int i = 0; i < steps; ++i)
            if (!StepBall(b)) break;
        if (b.active && b.position.y < 200.0f) ++above;
    }
    return above;
}

void BounceOffPaddle(Ball& ball)
{
    const Vector2 seg = ball.position - ball.previous;
    const float halfWidth = static_cast<float>(g_level.paddleWidth / 2);
    for (int k = 0; k < 3; ++k) {
        const Vector2 s = ball.previous + seg * (static_cast<float>(k) / 3.0f);
        const float dy = static_cast<float>(g_level.paddleY) - s.y;
        const bool rowHit = dy >= 0.0f && dy < static_cast<float>(g_level.paddleHeight);
        if (!rowHit) continue;
        int px = g_level.paddleX;
        bool main = std::abs(static_cast<int>(static_cast<float>(g_level.paddleX) - s.x)) < g_level.paddleWidth / 2;
        bool mirror = false;
        if (!main && IsEffectActive(ITEM_SHADOW)) {
            px = kScreenWidth - g_level.paddleX;
            mirror = std::abs(static_cast<int>(static_cast<float>(px) - s.x)) < g_level.paddleWidth / 2;
        }
        if (!main && !mirror) continue;
        if (ball.angle >= 180.0f && ball.angle <= 360.0f) {
            if (main && IsEffectActive(ITEM_BALL_ATTRACTOR)) {
                ball.active = 0;
                g_level.ballOnPaddle = 1;
                DeactivateEffect(ITEM_BALL_ATTRACTOR);
                return;
            }
            ball.angle = WrapAngle(90.0f - (s.x - static_cast<float>(px)) * 60.0f / halfWidth);
            PlayGameSound(SND_SPRING, PanFromX(s.x));
        }
        if (g_level.paddleMotion.y <= 0.0f)
            ball.angle = AngleOf(Direction(ball.angle) * ball.speed + g_level.paddleMotion / 16.0f);
        return;
    }
}

void LoseBall()
{
    if (g_game.lives <= 0) {
        EndLevel(0);
        return;
    }
    --g_game.lives;
    g_level.ballOnPaddle = 1;
}

void EndLevel(int completed)
{
    if (g_level.levelOver) return;
    g_level.savedMusicVolume = GetGameMusicVolume();
    g_level.leaveRequested = 0;
    g_level.levelOver = 1;
    if (completed) {
        if (g_game.levelNumber >= 1 && g_game.levelNumber <= kLevelCount) g_game.levels[g_game.levelNumber - 1].completed = 1;
    } else {
        g_level.levelFailed = 1;
    }
}

void LeaveLevel()
{
    int32_t mx = 0, my = 0, wheel = 0;
    ReadMouseDelta(&mx, &my, &wheel);
    MouseEvent ev{};
    PopMouseEvent(&ev);
    if (FirstKeyDown() != 0 || ev.code == MOUSE_LEFT_DOWN) g_level.leaveRequested = 1;
    if (!g_level.leaveRequested) return;
    const int volume = GetGameMusicVolume();
    if (volume > 0) {
        SetGameMusicVolume(volume - 1);
        return;
    }
    const int completed = g_level.levelFailed ? 0 : 1;
    FinishMusicFade();
    if (Screen* s = GetCurrentScreen()) s->ReturnToPreviousScreen(completed);
}

int UpdateGame()
{
    g_level.tickTime = timeGetTime();
    if (g_level.editorOn) {
        --FrameCounter();
        return 1;
    }
    if (WasKeyPressed(DIK_PAUSE) && !g_level.exitPrompt) g_level.paused = !g_level.paused;
    if (g_level.paused) {
        --FrameCounter();
        if (WasKeyPressed(DIK_ESCAPE)) g_level.paused = 0;
        return 1;
    }
    if (g_level.exitPrompt) {
        --FrameCounter();
        const int key = FirstKeyDown();
        if (key == DIK_ESCAPE || key == DIK_N) {
            g_level.exitPrompt = 0;
        } else if (key == DIK_Y) {
            g_level.exitPrompt = 0;
            // Leaving in the middle of the fade-out must not keep the lowered volume.
            FinishMusicFade();
            if (Screen* s = GetCurrentScreen()) s->ReturnToPreviousScreen(0);
            return 0;
        }
        return 1;
    }
    if (WasKeyPressed(DIK_ESCAPE)) g_level.exitPrompt = 1;
    if (g_level.scrollOffset <= 0) {
        g_level.scrollOffset = 0;
        if (!g_level.levelOver && !IsBossScreenCurrent())
            for (const Ball& b : g_balls)
                if (b.active && b.position.y < 15.0f) {
                    EndLevel(1);
                    break;
                }
    }
    if (g_settings.vanishing) {
        const int row = g_level.scrollOffset / kCellHeight + 20;
        for (int c = 0; c < kGridColumns; ++c) SetBlock(c, row, 0);
    }
    if (g_level.levelOver) {
        LeaveLevel();
        return 1;
    }
    g_level.paddleWidth = IsEffectActive(ITEM_WIDE_BUSTER) ? 120 : 80;
    int32_t mx = 0, my = 0, wheel = 0;
    ReadMouseDelta(&mx, &my, &wheel);
    MouseEvent ev{};
    PopMouseEvent(&ev);
    g_level.previousPaddleX = g_level.paddleX;
    g_level.previousPaddleY = g_level.paddleY;
    if (IsKeyHeld(DIK_RIGHT)) mx += 7;
    if (IsKeyHeld(DIK_LEFT)) mx -= 7;
    if (IsKeyHeld(DIK_UP)) my -= 7;
    if (IsKeyHeld(DIK_DOWN)) my += 7;
    if (g_level.paddleFreeze) {
        mx = my = 0;
        --g_level.paddleFreeze;
    }
    const int half = g_level.paddleWidth / 2;
    g_level.paddleX += mx;
    if (g_level.paddleX - half < 0) g_level.paddleX = half;
    if (g_level.paddleX + half + 2 > kScreenWidth) g_level.paddleX = kScreenWidth - 2 - half;
    const int top = IsEffectActive(ITEM_FREE_FLY) ? 480 * 2 / 4 : 380;
    const int halfH = g_level.paddleHeight / 2;
    g_level.paddleY += my;
    if (g_level.paddleY - halfH < top) g_level.paddleY = top + halfH;
    if (g_level.paddleY + halfH > 380) g_level.paddleY = 380 - halfH;
    if (g_level.ballOnPaddle && (ev.code == MOUSE_LEFT_DOWN || WasKeyPressed(DIK_SPACE))) {
        float angle = 45.0f;
        if (IsEffectActive(ITEM_SNIPER) || IsEffectActive(ITEM_RUBBER) || IsEffectActive(ITEM_TIMEBOMB))
            angle = static_cast<float>(static_cast<int>(g_level.aimAngle));
        g_level.ballOnPaddle = 0;
        AddBall(Vector2(static_cast<float>(g_level.paddleX), static_cast<float>(g_level.paddleY)), angle, 3.0f);
    }
    if (FrameCounter() % 10 == 0 &&
        (g_input.leftHeld || g_input.rightHeld || IsKeyHeld(DIK_SPACE)) && IsEffectActive(ITEM_CANNON))
        FireCannon();
    for (int key = DIK_1; key <= DIK_0; ++key)
        if (WasKeyPressed(key)) UseInventorySlot(key - DIK_1);
    if (g_level.ballOnPaddle) g_level.aimAngle = static_cast<float>(FramePingPong(180) / 2 + 45);
    int inPlay = 0;
    for (const Ball& b : g_balls) inPlay += b.active ? 1 : 0;
    g_level.ballsInPlay = inPlay;
    if (!inPlay && !g_level.ballOnPaddle) LoseBall();
    g_level.paddleMotion = Vector2(static_cast<float>(g_level.paddleX - g_level.previousPaddleX),
                                   static_cast<float>(g_level.paddleY - g_level.previousPaddleY));
    for (Ball& b : g_balls)
        if (b.active) {
            BounceOffPaddle(b);
            if (b.active) BounceOffPaddle(b);
        }
    int above = MoveBalls();
    if (IsEffectActive(ITEM_TIMEZIP)) above = 0;
    if (above && g_level.scrollOffset != 0 && ((FrameCounter() & 1) == 0 || g_settings.scrollSpeed == 1)) {
        g_level.scrollOffset -= g_level.scrollSpeed;
        for (Ball& b : g_balls)
            if (b.active) b.position.y += static_cast<float>(g_level.scrollSpeed);
    }
    UpdateEnemies(1);
    UpdateCapsules();
    UpdateEffectTimers();
    UpdateBullets();
    return 1;
}
