#include <cmath>
#include <cstdlib>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

BackObjects g_backObjects = {{}, -1000, -1};

void SpawnEnemy(int x, int y, int type)
{
    for (Enemy& e : g_enemies) {
        if (e.type) continue;
        e = Enemy{};
        e.type = type;
        e.position = Vector2(static_cast<float>(x), static_cast<float>(y));
        e.angle = AngleOf(Vector2(static_cast<float>(320 - x), static_cast<float>(200 - y)));
        e.counter = 0;
        e.state = ENEMY_MOVING;
        return;
    }
}

void KillEnemy(Enemy& e)
{
    PlayGameSound(SND_KILL_ENEMY, 50);
    e.state = ENEMY_DYING;
    e.counter = 15;
    g_game.score += 150;
    const float x = e.position.x, y = e.position.y;
    if (e.type == 1) {
        SpawnParticles(x, y, 8, 1, 5.0f);
        SpawnParticles(x, y, 8, 2, 5.0f);
    } else if (e.type == 2) {
        SpawnParticles(x, y, 20, 2, 5.0f);
    } else {
        SpawnParticles(x, y, 20, 5, 5.0f);
    }
}

namespace {
// A wall turn of an enemy: the ball's mirror without the random nudge.
float MirrorX(float a) { return a < 180.0f ? 180.0f - a : 540.0f - a; }
float Wrap(float a)
{
    while (a < 0.0f) a += 360.0f;
    while (a >= 360.0f) a -= 360.0f;
    return a;
}
}  // namespace

void UpdateEnemies(int spawnAllowed)
{
    if (spawnAllowed && g_level.enemyPeriod > 0 && FrameCounter() % g_level.enemyPeriod == 0 &&
        !IsEffectActive(ITEM_SCREAMER)) {
        const int x = rand() % 640;
        const int y = 30 + rand() % 270;
        SpawnEnemy(x, y, 1 + rand() % 3);
    }
    for (Enemy& e : g_enemies) {
        if (!e.type) continue;
        if (e.state != ENEMY_DYING && std::abs(static_cast<int>(static_cast<float>(g_level.paddleX) - e.position.x)) < g_level.paddleWidth / 2 &&
            std::abs(static_cast<int>(static_cast<float>(g_level.paddleY) - e.position.y)) < g_level.paddleHeight / 2)
            KillEnemy(e);
        if (e.state == ENEMY_DYING) {
            if (--e.counter <= 0) e.type = 0;
        } else if (e.state == ENEMY_LEAVING) {
            Vector2 d = e.position - Vector2(320.0f, 400.0f);
            d.y = -std::fabs(d.y);
            d.Normalize();
            if (d.x == 0.0f && d.y == 0.0f) d.y = -1.0f;
            e.position += d * 10.0f;
            if (e.position.x < 0.0f || e.position.x > 639.0f || e.position.y < 0.0f || e.position.y > 399.0f) e.type = 0;
        } else {
            if (IsEffectActive(ITEM_SCREAMER)) {
                e.state = ENEMY_LEAVING;
                continue;
            }
            if (FrameCounter() % 6 == 0) e.counter = (e.counter + 1) % 16;
            e.position += Direction(e.angle);
            if (e.position.x > 640.0f) {
                e.angle = Wrap(MirrorX(e.angle));
                e.position.x = 638.0f;
            } else if (e.position.x < 1.0f) {
                e.angle = Wrap(MirrorX(e.angle));
                e.position.x = 2.0f;
            }
            if (e.position.y > 380.0f) {
                e.angle = Wrap(360.0f - e.angle);
                e.position.y = 378.0f;
            } else if (e.position.y < 20.0f) {
                e.angle = Wrap(360.0f - e.angle);
                e.position.y = 22.0f;
            }
        }
    }
}

void FireCannon()
{
    const int swing = FramePingPong(20);
    const int xs[2] = {g_level.paddleX - swing - 10, g_level.paddleX + swing + 10};
    for (int x : xs)
        for (Bullet& b : g_bullets) {
            if (b.active) continue;
            b.active = 1;
            b.x = x;
            b.y = g_level.paddleY - 15;
            PlayGameSound(SND_FIRE, 50);
            break;
        }
}

void UpdateBullets()
{
    for (Bullet& b : g_bullets) {
        if (!b.active) continue;
        b.y -= 5;
        if (b.y < 0) {
            b.active = 0;
            continue;
        }
        if ((FrameCounter() & 3) == 0) AddParticle(static_cast<float>(b.x + rand() % 6 - 3), static_cast<float>(b.y), 3, 2 + rand() % 3);
        for (Enemy& e : g_enemies) {
            if (!e.type) continue;
            if (std::fabs(e.position.x - static_cast<float>(b.x)) < 10.0f && std::fabs(e.position.y - static_cast<float>(b.y)) < 10.0f) {
                KillEnemy(e);
                b.active = 0;
                break;
            }
        }
        if (!b.active) continue;
        const int row = (b.y + g_level.scrollOffset) / kCellHeight;
        const int column = b.x / kCellWidth;
        if (row < 0 || row >= g_level.height - 1) continue;
        BlockCell* cell = GetBlockCell(column, row);
        if (!cell || !cell->type) continue;
        b.active = 0;
        if (cell->hits == 0) continue;
        if (--cell->hits == 0) {
            const float vy = static_cast<float>(kCellHeight * row - g_level.scrollOffset);
            SpawnParticles(static_cast<float>(kCellWidth * column + 16), vy + 8.0f, 5, 3, 3.0f);
            if (cell->capsule) {
                const int id = cell->capsule;
                cell->capsule = 0;
                SpawnCapsule(kCellWidth * column, static_cast<int>(vy), id, id == ITEM_TIMEBOMB ? 40 : 0);
            }
            if (cell->type <= kMaxBlockTypes) g_game.score += g_blockTypes[cell->type - 1].score;
            cell->type = 0;
        }
    }
}

int SpawnParticles(float x, float y, int count, int type, float divisor)
{
    if (count > kMaxParticles) count = kMaxParticles;
    if (divisor == 0.0f) divisor = 1.0f;
    int made = 0;
    for (int i = 0; i < count; ++i) {
        Particle* p = nullptr;
        for (Particle& q : g_particles)
            if (!q.type) {
                p = &q;
                break;
            }
        if (!p) break;
        const int column = 2 + rand() % 3;
        const float angle = static_cast<float>(rand() % 360);
        const float speed = static_cast<float>(20 + rand() % 20) / 5.0f / divisor;
        // Type 0 marks a free slot: particles of type 0 take the row of any other type.
        *p = Particle{type ? type : 6, x, y, static_cast<float>(CosDeg(angle)) * speed,
                      static_cast<float>(SinDeg(angle)) * speed, 120, 0, static_cast<int16_t>(column)};
        ++made;
    }
    return made;
}

Particle* AddParticle(float x, float y, int type, int column)
{
    for (Particle& p : g_particles)
        if (!p.type) {
            p = Particle{type ? type : 6, x, y, 0.0f, -1.0f, 120, 0, static_cast<int16_t>(column)};
            return &p;
        }
    return nullptr;
}

int SpawnEngineParticles(float x, float y, int count, int, int side)
{
    if (count > kMaxParticles) count = kMaxParticles;
    int made = 0;
    for (int i = 0; i < count; ++i) {
        Particle* p = AddParticle(x + static_cast<float>(rand() % 10 - 5), y + static_cast<float>(rand() % 10 - 5), 3, 2 + rand() % 3);
        if (!p) break;
        p->behaviour = static_cast<int16_t>(side == 0 ? 5 : 4);
        p->life = 12;
        p->dx = 0.0f;
        p->dy = 0.0f;
        ++made;
    }
    return made;
}

namespace {
int ParticleRow(int type)
{
    switch (type) {
    case 0: return 5;
    case 1: return 2;
    case 2: return 1;
    case 3: return 3;
    case 4: return 4;
    case 5: return 6;
    default: return 0;
    }
}
}  // namespace

void UpdateParticles(int draw)
{
    CSprite* sheet = (draw && g_sprites) ? &g_sprites->particles : nullptr;
    for (Particle& p : g_particles) {
        if (!p.type) continue;
        p.x += p.dx;
        p.y += p.dy;
        if (p.behaviour == 1) p.dy += 0.1f;
        if (p.behaviour == 2) p.dy -= 0.1f;
        if (--p.life <= 0) {
            p.type = 0;
            continue;
        }
        if (sheet && sheet->IsLoaded()) {
            const int row = ParticleRow(p.type == 6 ? 0 : p.type);
            RECT src = {p.column * 5, row * 5, p.column * 5 + 5, row * 5 + 5};
            sheet->Render(src, static_cast<int>(p.x), static_cast<int>(p.y), ALIGN_LEFT | ALIGN_TOP);
        }
    }
}

void ClearBackdrop()
{
    for (BackObject& o : g_backObjects.slots) o.active = 0;
    g_backObjects.lastSpawnFrame = -1000;
}

void UpdateBackdrop()
{
    const int set = g_level.backTileSet;
    if (set != g_backObjects.lastTileSet) {
        for (BackObject& o : g_backObjects.slots) o.active = 0;
        g_backObjects.lastTileSet = set;
    }
    const int loaded = (g_sprites && set >= 0 && set < kMaxTileSets) ? g_sprites->backObjectCount[set] : 0;
    if (FrameCounter() - g_backObjects.lastSpawnFrame > 25) {
        for (BackObject& o : g_backObjects.slots) {
            if (o.active) continue;
            const int smashes = rand() % 20 == 0 ? 1 : 0;
            const float angle = static_cast<float>(rand() % 360);
            Vector2 pos(static_cast<float>(rand() % 700), static_cast<float>(rand() % 540));
            switch (rand() % 4) {
            case 0: pos.x = -30.0f; break;
            case 1: pos.y = -30.0f; break;
            case 2: pos.x = 670.0f; break;
            default: pos.y = 510.0f; break;
            }
            if (loaded > 0) {
                o.active = 1;
                o.smashes = smashes;
                o.animation = rand() % loaded;
                o.position = pos;
                o.dx = static_cast<float>(CosDeg(angle)) * 3.0f;
                o.dy = static_cast<float>(SinDeg(angle)) * 3.0f;
            }
            g_backObjects.lastSpawnFrame = FrameCounter();
            break;
        }
    }
    int count = 0;
    for (BackObject& o : g_backObjects.slots) {
        if (!o.active) continue;
        o.position.x += o.dx;
        o.position.y += o.dy;
        if (o.position.x < -30.0f || o.position.x > 669.0f || o.position.y < -30.0f || o.position.y > 509.0f) {
            o.active = 0;
            continue;
        }
        ++count;
        if (!g_sprites || o.animation < 0 || o.animation >= loaded) continue;
        CSprite& sheet = g_sprites->backObjects[set][o.animation];
        AnimationSet& anim = g_sprites->backObjectAnims[set][o.animation];
        sheet.DrawAnimation(anim, static_cast<int>(o.position.x), static_cast<int>(o.position.y), -1);
        if (!o.smashes) continue;
        RECT r;
        anim.GetFrameRect(&r);
        const int r0 = (static_cast<int>(o.position.y) + g_level.scrollOffset) / kCellHeight - 1;
        const int c0 = static_cast<int>(o.position.x) / kCellWidth - 1;
        const int r1 = r0 + (r.bottom - r.top) / kCellHeight, c1 = c0 + (r.right - r.left) / kCellWidth;
        for (int row = r0; row <= r1; ++row)
            for (int c = c0; c <= c1; ++c) {
                BlockCell* cell = GetBlockCell(c, row);
                if (!cell || !cell->type) continue;
                DestroyBlock(*cell, 3, c, row);
                PlayGameSound(SND_HIT_BLOCK, c * 100 / 20);
            }
    }
    if (IsKeyHeld(DIK_TAB)) DrawBitmapText(0, 50, 0xFFFF, 0.3f, "Back Objetcs = %d", count);
}
