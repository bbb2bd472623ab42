// skerrow_boss_bot: seeded boss fights, and the campaign that leads to them, played by a bot
// through the real screens and the generated data set; prints how the fight plays.
//
//   skerrow_boss_bot sweep    [--seeds N] [--seconds S]
//       the pointer swept from edge to edge for S seconds (40), the ball ignored: the share of
//       the time the paddle is frozen and the longest frozen stretch
//   skerrow_boss_bot fight    [--seeds N] [--lives L] [--minutes M] [--dodge 0|1]
//       a player who plays the ball towards the boss and never holds the pointer still (with
//       --dodge 1 also minding the boss's volleys), with L lives (8, a new game's) from the start
//       of the fight to its end or M minutes (30): wins, fight length, frozen share, lives spent
//   skerrow_boss_bot campaign [--seeds N] [--shop none|ships]
//       a new game played level by level (after every won level the shop buys nothing, or an
//       extra ship whenever the credits allow) until the boss, or until a level is lost five
//       times running; then the fight with what is left. Progress goes to stderr, level by
//       level; a level still unfinished after 20 minutes leaves its picture, stuck-levelN.png,
//       in the working folder.
//
// --data plays another data set (a folder with the two packs); --hand sets how many pixels the
// hand moves the pointer in one frame at most (8, about 600 a second). One tick is one frame of
// the game: 13 ms, about 77 a second.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HeadlessGame.h"
#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Screens.h"

namespace {

constexpr double kTicksPerSecond = 1000.0 / 13.0;
// How far the hand moves the pointer in one frame at most, in back-buffer pixels.
int g_handSpeed = 8;

struct Options {
    int seeds = 20;
    int lives = -1;
    double seconds = 40.0;
    double minutes = 30.0;
    bool buyShips = false;
    std::string data;
    bool dodge = false;
};

uint32_t g_clock = 1000;

// One poll with the Space key held or not, the pointer moved by dx and maybe one more key
// down, then one frame.
void Tick(bool space, int dx, int key = 0)
{
    uint8_t keys[256] = {};
    if (space) keys[DIK_SPACE] = 0x80;
    if (key) keys[key] = 0x80;
    DIMOUSESTATE mouse{};
    mouse.lX = std::clamp(dx, -g_handSpeed, g_handSpeed);
    g_clock += 13;
    ProcessInputStates(keys, &mouse, g_clock);
    ++FrameCounter();
    ProcessCurrentScreen();
}

// Space on every other tick while a ball waits or the level is over: a launch, or the way out.
bool WantsSpace(int tick) { return (g_level.ballOnPaddle || g_level.levelOver) && (tick & 1); }

// Where a ball will cross the paddle's line, its flight folded at the side walls.
float LandingX(const Ball& b)
{
    const Vector2 d = Direction(b.angle);
    if (d.y <= 0.0f) return b.position.x;
    float x = b.position.x + d.x * (static_cast<float>(g_level.paddleY) - b.position.y) / d.y;
    for (int fold = 0; fold < 8 && (x < 10.0f || x > 630.0f); ++fold) x = x < 10.0f ? 20.0f - x : 1260.0f - x;
    return x;
}

// The ball a player watches: a descending one first, the lowest of them.
const Ball* WatchedBall()
{
    const Ball* best = nullptr;
    for (const Ball& b : g_balls) {
        if (!b.active) continue;
        const bool down = b.angle > 180.0f, bestDown = best && best->angle > 180.0f;
        if (!best || (down && !bestDown) || (down == bestDown && b.position.y > best->position.y)) best = &b;
    }
    return best;
}

// The stretch of the paddle's line where a paddle centre would be hit by the boss's shots still
// to come: each shot crosses the paddle's zone (20 pixels above and below the line) over a piece
// of x that is long for a flat shot, widened by half the paddle. 0 when no shot is coming.
int ShotsDanger(float* lo, float* hi)
{
    int n = 0;
    const float line = static_cast<float>(g_level.paddleY), reach = static_cast<float>(g_level.paddleWidth / 2 + 6);
    for (const BossBullet& s : g_bossScreenInstance.shots) {
        if (!s.active || s.velocity.y <= 0.0f || s.position.y >= line + 20.0f) continue;
        const float slope = s.velocity.x / s.velocity.y;
        const float a = s.position.x + slope * (std::max(s.position.y, line - 20.0f) - s.position.y);
        const float b = s.position.x + slope * (line + 20.0f - s.position.y);
        const float from = std::min(a, b) - reach, to = std::max(a, b) + reach;
        *lo = n ? std::min(*lo, from) : from;
        *hi = n ? std::max(*hi, to) : to;
        ++n;
    }
    return n;
}

// The player who plays the ball and never holds the pointer still. Under a descending ball it
// takes the paddle to where the ball will land, off centre so that the ball leaves towards the
// boss (aimed at where the boss is now, not where it will be); while the ball climbs it swings
// 40 pixels either side of the ball on a one-second triangle. With `dodge` it also minds the
// boss: it sees the boss a reaction time late (20 frames, a quarter of a second), and while it
// sees the guns charge (Freeze) or fire it runs to and fro across the ball at full hand speed, so
// that it is never still when they go off; once shots fly it gets out of their way to the place
// nearest the ball that they miss, catching a ball about to land as far out as the paddle allows.
class BallPlayer {
public:
    explicit BallPlayer(bool dodge) : dodge_(dodge) {}

    int operator()(int tick)
    {
        const bool fight = GetCurrentScreen() == &g_bossScreenInstance;
        const BossScreen& boss = g_bossScreenInstance;
        seen_[tick % kReaction] = fight ? boss.state : BOSS_WAIT;
        const int seen = tick >= kReaction ? seen_[(tick + 1) % kReaction] : BOSS_WAIT;
        const Ball* ball = WatchedBall();
        if (!ball) return 0;
        const int x = g_level.paddleX, half = g_level.paddleWidth / 2;
        const bool down = ball->angle > 180.0f;
        const float land = down ? LandingX(*ball) : ball->position.x;
        // Balls make a second pass in the fight.
        const float fall = -Direction(ball->angle).y * ball->speed * (fight ? 2.0f : 1.0f);
        const bool landingSoon = down && fall > 0.0f && (g_level.paddleY - ball->position.y) / fall < 25.0f;
        float lo = 0.0f, hi = 0.0f;
        const bool shots = dodge_ && fight && ShotsDanger(&lo, &hi);
        const bool charging = dodge_ && fight && (seen == BOSS_FREEZE || seen == BOSS_FIRE);
        if (shots) {
            // Out of the shots' way on the nearer side (the other one when a wall is in the
            // way), as near the ball as that allows; a ball about to land is still caught, as
            // far out of their way as the paddle's edge allows.
            bool left = x - lo < hi - x;
            if (left && lo < 60.0f) left = false;
            if (!left && hi > 580.0f && lo >= 60.0f) left = true;
            const float edge = left ? lo - 1.0f : hi + 1.0f;
            float target = left ? std::min(land, edge) : std::max(land, edge);
            if (landingSoon) {
                const float reach = static_cast<float>(half - 3);
                target = left ? std::min(target, land + reach) : std::max(target, land - reach);
            }
            return static_cast<int>(target) - x;
        }
        if (charging && !landingSoon) {
            // Never still when the guns go off: to and fro across the ball at full hand speed.
            if (!away_) away_ = land >= x ? 1 : -1;
            if (x >= std::min(580.0f, land + 60.0f)) away_ = -1;
            if (x <= std::max(60.0f, land - 60.0f)) away_ = 1;
            return away_ * g_handSpeed;
        }
        away_ = 0;
        if (!down) {
            const int phase = tick % 76;
            const int swing = (phase < 38 ? phase : 76 - phase) * 80 / 38 - 40;
            return static_cast<int>(ball->position.x) + swing - x;
        }
        // In a level: off centre by a step that changes now and then, so the ball does not keep one line.
        float offset = static_cast<float>(((tick / 97) % 5 - 2) * 9);
        if (fight) {
            const double toBoss =
                std::atan2(static_cast<double>(g_level.paddleY - boss.bossY), boss.bossX - land) * 180.0 / 3.14159265;
            offset = static_cast<float>((90.0 - std::clamp(toBoss, 35.0, 145.0)) * half / 60.0);
        }
        return static_cast<int>(land - offset) - x;
    }

private:
    static constexpr int kReaction = 20;
    bool dodge_;
    int seen_[kReaction] = {};
    int away_ = 0;
};

// The player of the report: the pointer swept from edge to edge, the ball ignored.
class Sweeper {
public:
    int operator()(int)
    {
        if (g_level.paddleX >= 580) direction_ = -1;
        if (g_level.paddleX <= 60) direction_ = 1;
        return direction_ * g_handSpeed;
    }

private:
    int direction_ = 1;
};

void ResetStack()
{
    g_currentScreen = nullptr;
    g_screenDepth = 0;
    g_input = InputState{};
    std::memset(g_particles, 0, sizeof g_particles);
    g_menuScreenInstance.SwitchScreen(0);
}

struct Fight {
    int ticks = 0;        // from the first frame to the boss's fall, the lost last ball or the limit
    int frozenTicks = 0;  // frames in which the paddle could not move
    int longestFrozen = 0;
    int hits = 0;         // shots that froze the paddle
    bool won = false;
    int livesSpent = 0;
    int livesLeft = 0;
    int bossHealth = 0;
};

// The campaign as the map hands it to the fight: every level done, lives, credits and items.
void EnterFight(int lives, int money, const InventorySlot* inventory)
{
    ResetStack();
    ResetCampaign();
    for (LevelInfo& l : g_game.levels) l.completed = l.revealed = 1;
    g_game.lives = lives;
    g_game.money = money;
    if (inventory) std::memcpy(g_game.inventory, inventory, sizeof g_game.inventory);
    g_nodeScreenInstance.SwitchScreen(0);
}

template <class Player>
Fight PlayFight(unsigned seed, int maxTicks, Player player)
{
    srand(seed);
    Fight f;
    BossScreen& boss = g_bossScreenInstance;
    const int lives = g_game.lives;
    int stretch = 0;
    for (int tick = 0; tick < maxTicks && GetCurrentScreen() == &boss; ++tick) {
        if (boss.state == BOSS_DEFEATED || g_level.levelOver) break;
        const bool frozen = g_level.paddleFreeze > 0;
        f.frozenTicks += frozen;
        stretch = frozen ? stretch + 1 : 0;
        f.longestFrozen = std::max(f.longestFrozen, stretch);
        const int before = g_level.paddleFreeze;
        Tick(WantsSpace(tick), player(tick));
        f.hits += g_level.paddleFreeze == 100 && before != 100;
        f.ticks = tick + 1;
    }
    f.won = boss.state == BOSS_DEFEATED;
    f.livesLeft = g_game.lives;
    f.livesSpent = lives - g_game.lives + (g_level.levelFailed ? 1 : 0);
    f.bossHealth = std::max(0, boss.health);
    return f;
}

double Seconds(double ticks) { return ticks / kTicksPerSecond; }

double Median(std::vector<double> v)
{
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* what, const std::vector<Fight>& fights)
{
    long ticks = 0, frozen = 0, hits = 0;
    int wins = 0, longest = 0;
    std::vector<double> lengths, wonLengths, shares, spent;
    for (const Fight& f : fights) {
        ticks += f.ticks;
        frozen += f.frozenTicks;
        hits += f.hits;
        wins += f.won;
        longest = std::max(longest, f.longestFrozen);
        lengths.push_back(Seconds(f.ticks));
        if (f.won) wonLengths.push_back(Seconds(f.ticks));
        shares.push_back(f.ticks ? 100.0 * f.frozenTicks / f.ticks : 0.0);
        spent.push_back(f.livesSpent);
    }
    std::printf("%s: %zu fights, frozen %.1f%% of the time (median fight %.1f%%, worst %.1f%%), longest frozen "
                "stretch %.1f s, %.1f freezing hits a minute\n",
                what, fights.size(), ticks ? 100.0 * frozen / ticks : 0.0, Median(shares),
                shares.empty() ? 0.0 : *std::max_element(shares.begin(), shares.end()), Seconds(longest),
                ticks ? hits * 60.0 / Seconds(ticks) : 0.0);
    std::printf("%s: won %d of %zu; fight length median %.0f s (won fights: median %.0f s); balls lost median %.0f, "
                "most %.0f\n",
                what, wins, fights.size(), Median(lengths), Median(wonLengths), Median(spent),
                spent.empty() ? 0.0 : *std::max_element(spent.begin(), spent.end()));
}

void RunSweep(const Options& o)
{
    std::vector<Fight> fights;
    const int ticks = static_cast<int>(o.seconds * kTicksPerSecond);
    for (int s = 1; s <= o.seeds; ++s) {
        // Lives enough that the sweep is never cut short by lost balls.
        EnterFight(1000, 0, nullptr);
        fights.push_back(PlayFight(static_cast<unsigned>(s), ticks, Sweeper()));
    }
    char what[64];
    std::snprintf(what, sizeof what, "sweep %.0f s", o.seconds);
    Report(what, fights);
}

void RunFights(const Options& o)
{
    std::vector<Fight> fights;
    const int lives = o.lives >= 0 ? o.lives : 8;
    for (int s = 1; s <= o.seeds; ++s) {
        EnterFight(lives, 0, nullptr);
        const Fight f = PlayFight(static_cast<unsigned>(s), static_cast<int>(o.minutes * 60 * kTicksPerSecond), BallPlayer(o.dodge));
        std::printf("  seed %2d: %s after %5.0f s, frozen %4.1f%%, %d lives left, boss health %d\n", s,
                    f.won ? "won " : "lost", Seconds(f.ticks), f.ticks ? 100.0 * f.frozenTicks / f.ticks : 0.0,
                    f.livesLeft, f.bossHealth);
        fights.push_back(f);
    }
    char what[64];
    std::snprintf(what, sizeof what, "fight with %d lives", lives);
    Report(what, fights);
}

// The next level a player would pick: the lowest one that is open and not yet won.
int NextLevel()
{
    for (int i = 0; i < kLevelCount; ++i)
        if (g_game.levels[i].requirementsMet && !g_game.levels[i].completed) return i + 1;
    return 0;
}

struct Campaign {
    bool reached = false;
    int level = 0;  // the last level won
    int attempts = 0, lost = 0, itemsUsed = 0;
    long ticks = 0;
    int lives = 0, money = 0, score = 0, items = 0;
    InventorySlot inventory[kInventorySlots] = {};
};

Campaign PlayCampaign(unsigned seed, bool buyShips)
{
    Campaign c;
    ResetStack();
    srand(seed);
    LoadLevelList(1);
    const int levelLimit = static_cast<int>(20 * 60 * kTicksPerSecond);
    for (int lostRunning = 0; lostRunning < 5;) {
        Screen* s = GetCurrentScreen();
        if (s == &g_bossScreenInstance) {
            c.reached = true;
            break;
        }
        if (s == &g_shopScreen) {
            while (buyShips && BuyItem(ITEM_BALL)) {
            }
            g_shopScreen.ReturnToPreviousScreen(0);
            continue;
        }
        if (s != &g_nodeScreenInstance) break;
        const int n = NextLevel();
        if (!n) break;
        ++c.attempts;
        g_levelSeed = seed * 1000u + static_cast<unsigned>(c.attempts);
        g_nodeScreenInstance.StartLevel(n);
        g_levelSeed = 0;
        BallPlayer player(false);
        int tick = 0, lastScroll = g_level.scrollOffset, still = 0, nextSlot = 0;
        for (; tick < levelLimit && GetCurrentScreen() == &g_gameScreen; ++tick) {
            // A level that has not moved on for a minute: an item from the inventory, in turn.
            still = g_level.scrollOffset == lastScroll ? still + 1 : 0;
            lastScroll = g_level.scrollOffset;
            int key = 0;
            if (still >= 4600) {
                still = 0;
                for (int k = 0; k < kInventorySlots && !key; ++k, nextSlot = (nextSlot + 1) % kInventorySlots)
                    if (g_game.inventory[nextSlot].id && !g_game.inventory[nextSlot].active) key = DIK_1 + nextSlot;
                c.itemsUsed += key != 0;
            }
            Tick(WantsSpace(tick), player(tick), key);
        }
        c.ticks += tick;
        if (GetCurrentScreen() == &g_gameScreen) {
            // Stuck: the picture tells why; the level is left as a player would leave it.
            SaveBackBufferPng("stuck-level" + std::to_string(n) + ".png");
            g_gameScreen.ReturnToPreviousScreen(0);
        }
        const bool won = g_game.levels[n - 1].completed;
        c.lost += !won;
        lostRunning = won ? 0 : lostRunning + 1;
        c.level = won ? n : c.level;
        std::fprintf(stderr, "level %3d %s after %4.0f s: %d lives, %d credits\n", n,
                     won ? "won " : "lost", Seconds(tick), g_game.lives, g_game.money);
    }
    c.lives = g_game.lives;
    c.money = g_game.money;
    c.score = g_game.score;
    std::memcpy(c.inventory, g_game.inventory, sizeof c.inventory);
    for (const InventorySlot& s : g_game.inventory) c.items += s.id ? s.count : 0;
    return c;
}

void RunCampaigns(const Options& o)
{
    std::vector<Fight> fights;
    std::vector<double> lives;
    for (int s = 1; s <= o.seeds; ++s) {
        const Campaign c = PlayCampaign(static_cast<unsigned>(s), o.buyShips);
        std::printf("  seed %2d: %s after %d level starts (%d lost, %.0f min of play, %d items used): %d lives, "
                    "%d credits, score %d, %d items:",
                    s, c.reached ? "the boss" : ("stuck after level " + std::to_string(c.level)).c_str(), c.attempts,
                    c.lost, Seconds(c.ticks) / 60.0, c.itemsUsed, c.lives, c.money, c.score, c.items);
        for (const InventorySlot& slot : c.inventory)
            if (slot.id) std::printf(" %s x%d", g_itemNames[slot.id], slot.count);
        std::printf("\n");
        std::fflush(stdout);
        if (!c.reached) continue;
        lives.push_back(c.lives);
        EnterFight(c.lives, c.money, c.inventory);
        const Fight f = PlayFight(static_cast<unsigned>(s), static_cast<int>(o.minutes * 60 * kTicksPerSecond), BallPlayer(o.dodge));
        std::printf("           the fight %s after %.0f s, frozen %.1f%%, %d lives left, boss health %d\n",
                    f.won ? "won" : "lost", Seconds(f.ticks), f.ticks ? 100.0 * f.frozenTicks / f.ticks : 0.0,
                    f.livesLeft, f.bossHealth);
        std::fflush(stdout);
        fights.push_back(f);
    }
    const char* shop = o.buyShips ? "ships bought" : "nothing bought";
    if (fights.empty()) {
        std::printf("campaign (%s): no campaign reached the boss\n", shop);
        return;
    }
    std::printf("campaign (%s): %zu of %d reached the boss, lives there median %.0f\n", shop, fights.size(), o.seeds,
                Median(lives));
    Report("fight after the campaign", fights);
}

int Usage()
{
    std::fprintf(stderr, "usage: skerrow_boss_bot sweep|fight|campaign [--seeds N] [--seconds S] [--lives L] "
                         "[--minutes M] [--shop none|ships] [--hand PIXELS] [--dodge 0|1] [--data DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const std::string mode = argv[1];
    Options o;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--seeds") o.seeds = std::atoi(value.c_str());
        else if (key == "--seconds") o.seconds = std::atof(value.c_str());
        else if (key == "--lives") o.lives = std::atoi(value.c_str());
        else if (key == "--minutes") o.minutes = std::atof(value.c_str());
        else if (key == "--shop") o.buyShips = value == "ships";
        else if (key == "--data") o.data = value;
        else if (key == "--dodge") o.dodge = std::atoi(value.c_str()) != 0;
        else if (key == "--hand") g_handSpeed = std::max(1, std::atoi(value.c_str()));
        else return Usage();
    }
    if (!StartHeadlessGame(o.data)) {
        std::fprintf(stderr, "skerrow_boss_bot: no display or no data set in %s\n",
                     o.data.empty() ? BUILD_ROOT "/data/skerrow" : o.data.c_str());
        return 1;
    }
    InstallScreens();
    if (mode == "sweep") RunSweep(o);
    else if (mode == "fight") RunFights(o);
    else if (mode == "campaign") RunCampaigns(o);
    else return Usage();
    return 0;
}
