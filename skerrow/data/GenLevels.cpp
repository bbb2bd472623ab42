// The campaign: 100 levels in two episodes, their grids, the map coordinates and the
// prerequisite graph.
#include "skerrow/data/Flood.h"
#include "skerrow/data/GenCommon.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>

namespace gen {
namespace {

constexpr int kCols = 20;
constexpr uint8_t kEmpty = 0, kSoft = 1, kMedium = 2, kHard = 3, kWall = 4, kArmour = 5;

struct Level {
    int number = 0;
    int height = 0;
    int types = 0;
    int scroll = 1;
    std::vector<uint8_t> grid;  // height x 20
    std::vector<std::string> patterns;
    uint8_t& At(int r, int c) { return grid[size_t(r) * kCols + c]; }
};

// The strength of a block at a given place: later levels and places nearer the top (reached
// later in a level) draw harder blocks.
uint8_t Strength(Rng& rng, const Level& lv, int row, double bias = 0.0) {
    const double campaign = (lv.number - 1) / 99.0;
    const double depth = 1.0 - double(row) / lv.height;
    const double x = std::clamp(campaign * 0.55 + depth * 0.35 + bias + rng.Signed() * 0.25, 0.0, 1.4);
    if (lv.types >= 5 && x > 1.05) return kArmour;
    if (x > 0.72) return kHard;
    if (x > 0.38) return kMedium;
    return kSoft;
}

bool WallsAllowed(const Level& lv) { return lv.types >= 4; }

using Painter = void (*)(Level&, Rng&, int r0, int h);

void Mirror(Level& lv, int r, int c, uint8_t v) {
    lv.At(r, c) = v;
    lv.At(r, kCols - 1 - c) = v;
}

void PaintBricks(Level& lv, Rng& rng, int r0, int h) {
    const int gapEvery = rng.Range(4, 7);
    for (int r = r0; r < r0 + h; ++r) {
        const uint8_t v = Strength(rng, lv, r);
        for (int c = 0; c < kCols; ++c)
            if ((c + (r % 2) * (gapEvery / 2)) % gapEvery != 0) lv.At(r, c) = v;
    }
}

void PaintDiamonds(Level& lv, Rng& rng, int r0, int h) {
    const int count = rng.Range(1, 2);
    const double cy = r0 + h / 2.0;
    for (int k = 0; k < count; ++k) {
        const double cx = count == 1 ? 9.5 : (k == 0 ? 4.5 : 14.5);
        const double rad = count == 1 ? std::min(9.0, h / 2.0) : std::min(4.8, h / 2.0);
        for (int r = r0; r < r0 + h; ++r)
            for (int c = 0; c < kCols; ++c) {
                const double d = std::fabs(c - cx) + std::fabs(r + 0.5 - cy) * 0.9;
                if (d < rad) lv.At(r, c) = d > rad - 1.6 ? Strength(rng, lv, r, 0.3) : Strength(rng, lv, r, -0.2);
            }
    }
}

void PaintChecker(Level& lv, Rng& rng, int r0, int h) {
    const int size = rng.Range(1, 2);
    const uint8_t a = Strength(rng, lv, r0), b = Strength(rng, lv, r0 + h, -0.3);
    for (int r = r0; r < r0 + h; ++r)
        for (int c = 0; c < kCols; ++c)
            if (((c / size) + ((r - r0) / size)) % 2 == 0) lv.At(r, c) = a;
            else if (rng.Below(3) == 0) lv.At(r, c) = b;
}

void PaintPyramid(Level& lv, Rng& rng, int r0, int h) {
    const bool inverted = rng.Below(2) == 1;
    for (int i = 0; i < h; ++i) {
        const int r = r0 + i;
        const int step = inverted ? i : h - 1 - i;
        const int half = std::max(1, 10 - step * 10 / std::max(1, h));
        const uint8_t v = Strength(rng, lv, r);
        for (int c = 10 - half; c < 10 + half; ++c) lv.At(r, c) = v;
    }
}

void PaintStripes(Level& lv, Rng& rng, int r0, int h) {
    for (int r = r0; r < r0 + h; ++r) {
        if ((r - r0) % 3 == 2) continue;
        const uint8_t v = Strength(rng, lv, r, ((r - r0) % 6 < 3) ? 0.2 : -0.2);
        for (int c = 1; c < kCols - 1; ++c) lv.At(r, c) = v;
    }
}

void PaintWaves(Level& lv, Rng& rng, int r0, int h) {
    const double phase = rng.Unit() * 6.28, freq = 0.3 + rng.Unit() * 0.3;
    for (int c = 0; c < kCols; ++c) {
        const int mid = r0 + int(h / 2.0 + std::sin(c * freq + phase) * (h / 2.0 - 2));
        for (int r = mid - 1; r <= mid + 1; ++r)
            if (r >= r0 && r < r0 + h) lv.At(r, c) = Strength(rng, lv, r, r == mid ? 0.25 : -0.1);
    }
}

void PaintRings(Level& lv, Rng& rng, int r0, int h) {
    const double cy = r0 + h / 2.0, rad = std::min(h / 2.0 - 0.5, 8.5);
    const bool walls = WallsAllowed(lv) && rng.Below(2) == 0;
    for (int r = r0; r < r0 + h; ++r)
        for (int c = 0; c < kCols; ++c) {
            const double d = std::hypot((c - 9.5) / 1.6, r + 0.5 - cy);
            if (std::fabs(d - rad) < 0.8) {
                // A steel ring always leaves a way in at its foot.
                const bool gate = std::fabs(c - 9.5) < 1.0 && r > cy;
                lv.At(r, c) = walls && !gate ? kWall : Strength(rng, lv, r, 0.4);
            } else if (d < rad - 2) {
                lv.At(r, c) = Strength(rng, lv, r, 0.3);
            }
        }
}

void PaintCorridor(Level& lv, Rng& rng, int r0, int h) {
    // Zigzag steel walls with a passage; the pockets beside it are full of blocks.
    int gap = rng.Range(3, 15);
    for (int r = r0; r < r0 + h; ++r) {
        if ((r - r0) % 4 == 0) {
            gap = std::clamp(gap + (rng.Below(2) ? 5 : -5), 2, 16);
            for (int c = 0; c < kCols; ++c)
                lv.At(r, c) = (c >= gap && c < gap + 2) ? kEmpty : (WallsAllowed(lv) ? kWall : kHard);
        } else {
            for (int c = 0; c < kCols; ++c)
                if (rng.Below(10) < 6) lv.At(r, c) = Strength(rng, lv, r);
        }
    }
}

void PaintPillars(Level& lv, Rng& rng, int r0, int h) {
    const int spacing = rng.Range(4, 6);
    for (int r = r0; r < r0 + h; ++r)
        for (int c = 0; c < kCols; ++c) {
            const bool pillar = (c % spacing == spacing / 2);
            if (pillar)
                lv.At(r, c) = (WallsAllowed(lv) && (r - r0) % 6 != 5) ? kWall : Strength(rng, lv, r, 0.3);
            else if ((r - r0) % 2 == 0)
                lv.At(r, c) = Strength(rng, lv, r);
        }
}

void PaintBlobs(Level& lv, Rng& rng, int r0, int h) {
    const int n = rng.Range(3, 6);
    for (int k = 0; k < n; ++k) {
        const double cx = rng.Range(1, 9), cy = r0 + rng.Range(1, std::max(1, h - 2));
        const double rad = 1.5 + rng.Unit() * 2.5;
        const uint8_t v = Strength(rng, lv, int(cy));
        for (int r = r0; r < r0 + h; ++r)
            for (int c = 0; c < 10; ++c)
                if (std::hypot((c - cx) * 0.8, r - cy) < rad) Mirror(lv, r, c, v);
    }
}

void PaintFortress(Level& lv, Rng& rng, int r0, int h) {
    const int left = rng.Range(2, 5), right = kCols - 1 - left;
    const uint8_t shell = WallsAllowed(lv) ? kWall : kHard;
    for (int r = r0; r < r0 + h; ++r)
        for (int c = left; c <= right; ++c) {
            const bool edge = r == r0 || r == r0 + h - 1 || c == left || c == right;
            const bool gate = (r == r0 + h - 1 && (c == 9 || c == 10)) || (r == r0 && (c == left + 1 || c == right - 1));
            if (edge)
                lv.At(r, c) = gate ? kEmpty : shell;
            else if ((r + c) % 3 != 0)
                lv.At(r, c) = Strength(rng, lv, r, 0.35);
        }
    // Loose blocks around the walls.
    for (int r = r0; r < r0 + h; ++r)
        for (int c = 0; c < left - 1; ++c)
            if (rng.Below(2)) Mirror(lv, r, c, Strength(rng, lv, r, -0.2));
}

void PaintInvaders(Level& lv, Rng& rng, int r0, int h) {
    static const char* const kShapes[][8] = {
        {"..#...", "...#..", "..####", ".##.##", "######", "#.####", "#.#...", "...##."},
        {"...##.", "..####", ".##.##", ".#####", "...#.#", "..#.#.", ".#....", "......"},
        {"#.....", ".#..#.", ".####.", "##.###", "######", ".####.", ".#..#.", "#....#"},
    };
    const int s = rng.Below(3);
    const int top = r0 + std::max(0, (h - 8) / 2);
    for (int side = 0; side < 2; ++side) {
        const int base = side == 0 ? 5 : 15;
        const uint8_t body = Strength(rng, lv, top, 0.1), eye = Strength(rng, lv, top, 0.5);
        for (int y = 0; y < 8 && top + y < r0 + h; ++y)
            for (int x = 0; x < 6; ++x) {
                if (x > 4) continue;
                const char ch = kShapes[s][y][5 - x];  // one half of a symmetric sprite
                if (ch != '#') continue;
                const uint8_t v = (y == 3 && x == 2) ? eye : body;
                lv.At(top + y, base - 1 - x) = v;
                lv.At(top + y, base + x) = v;
            }
    }
}

void PaintFunnel(Level& lv, Rng& rng, int r0, int h) {
    for (int i = 0; i < h; ++i) {
        const int r = r0 + i;
        const int edge = std::min(8, i * 9 / std::max(1, h));
        for (int c = 0; c <= edge; ++c) {
            const uint8_t v = (c == edge && WallsAllowed(lv) && i % 3 != 2) ? kWall : Strength(rng, lv, r);
            Mirror(lv, r, c, v);
        }
    }
}

struct Pattern {
    const char* name;
    Painter paint;
    int minH, maxH;
    int fromLevel;
};

const Pattern kPatterns[] = {
    {"bricks", PaintBricks, 6, 14, 1},     {"diamonds", PaintDiamonds, 9, 18, 1},
    {"checker", PaintChecker, 6, 12, 1},   {"pyramid", PaintPyramid, 8, 16, 1},
    {"stripes", PaintStripes, 6, 15, 2},   {"waves", PaintWaves, 8, 14, 3},
    {"blobs", PaintBlobs, 8, 16, 4},       {"invaders", PaintInvaders, 8, 10, 5},
    {"rings", PaintRings, 11, 18, 8},      {"corridor", PaintCorridor, 9, 21, 10},
    {"pillars", PaintPillars, 8, 16, 12},  {"fortress", PaintFortress, 8, 14, 15},
    {"funnel", PaintFunnel, 8, 14, 18},
};

// A ball finds its way through an opening two cells wide, as every gate the patterns leave is,
// but all but never through a one-cell slot, least of all one along a side wall. So the way
// up, and to every block, is traced for a ball two cells wide; where steel shuts part of the
// level off, the cheapest shaft two cells wide is dug down through it to the reached part
// (nearest the middle when several cost the same), its steel turned into hard blocks.
void OpenWideWays(Level& lv) {
    const int windows = kCols - 1;  // window c covers columns c and c + 1
    auto steel = [&](int r, int c) { return int(lv.At(r, c) == kWall) + int(lv.At(r, c + 1) == kWall); };
    for (;;) {
        const std::vector<uint8_t> seen = FloodFromBottom(lv.height, windows, [&](int r, int c) { return steel(r, c) == 0; });
        // dig[r][c]: the steel cells between window (r, c) and the reached window below it.
        std::vector<int> dig(size_t(lv.height + 1) * windows, 0);
        for (int r = lv.height - 1; r >= 0; --r)
            for (int c = 0; c < windows; ++c) {
                const size_t i = size_t(r) * windows + c;
                dig[i] = seen[i] ? 0 : steel(r, c) + dig[i + windows];
            }
        int bestR = -1, bestC = 0, bestCost = 0;
        for (int r = 0; r + 1 < lv.height; ++r)
            for (int c = 0; c < windows; ++c) {
                const size_t i = size_t(r) * windows + c;
                if (seen[i] || steel(r, c)) continue;
                const int cost = dig[i + windows];
                if (bestR < 0 || cost < bestCost ||
                    (cost == bestCost && std::abs(2 * c + 2 - kCols) < std::abs(2 * bestC + 2 - kCols))) {
                    bestR = r;
                    bestC = c;
                    bestCost = cost;
                }
            }
        if (bestR < 0) return;
        for (int r = bestR + 1; r < lv.height && !seen[size_t(r) * windows + bestC]; ++r)
            for (int c = bestC; c <= bestC + 1; ++c)
                if (lv.At(r, c) == kWall) lv.At(r, c) = kHard;
    }
}

// Blocks in nooks narrower than two cells (beside a pillar or a funnel's edge) must still be
// reachable: open the steel straight below the lowest one shut off until none is.
void OpenNooks(Level& lv) {
    for (;;) {
        const std::vector<uint8_t> seen = FloodFromBottom(lv.height, kCols, [&](int r, int c) { return lv.At(r, c) != kWall; });
        int fixR = -1, fixC = -1;
        for (int r = lv.height - 1; r >= 0 && fixR < 0; --r)
            for (int c = 0; c < kCols; ++c)
                if (!seen[size_t(r) * kCols + c] && lv.At(r, c) != kWall) {
                    fixR = r;
                    fixC = c;
                    break;
                }
        if (fixR < 0) return;
        for (int r = fixR + 1; r < lv.height && lv.At(r, fixC) == kWall; ++r) lv.At(r, fixC) = kHard;
    }
}

void MakeCompletable(Level& lv) {
    OpenWideWays(lv);
    OpenNooks(lv);
}

const char* const kAdjectives[] = {
    "Amber", "Silent", "Crimson", "Frozen", "Hollow", "Golden", "Shattered", "Azure",
    "Burning", "Velvet", "Iron", "Drifting", "Emerald", "Twin", "Broken", "Sunken",
    "Radiant", "Obsidian", "Whispering", "Cobalt", "Restless", "Pale", "Ancient", "Violet",
    "Scarlet", "Glass", "Lonely", "Copper", "Starlit", "Howling", "Silver", "Dusky",
    "Electric", "Hidden", "Crystal", "Lost", "Blazing", "Quiet", "Jagged"};
const char* const kNouns[] = {
    "Gate", "Drift", "Reef", "Spire", "Nebula", "Harbour", "Labyrinth", "Orbit",
    "Forge", "Garden", "Rift", "Beacon", "Citadel", "Cascade", "Halo", "Vault",
    "Frontier", "Maelstrom", "Crossing", "Bastion", "Ring", "Hive", "Comet", "Lagoon",
    "Canyon", "Mirror", "Tide", "Fortress", "Crown", "Shoal", "Archive", "Lantern"};

std::string LevelName(int n, std::set<std::string>& used) {
    for (int k = 0;; ++k) {
        const std::string name = std::string(kAdjectives[(n * 7 + k) % std::size(kAdjectives)]) + " " +
                                 kNouns[(n * 11 + k * 3) % std::size(kNouns)];
        if (used.insert(name).second) return name;
    }
}

std::string Describe(const Level& lv) {
    static const std::map<std::string, std::string> kWords = {
        {"bricks", "brick walls"},   {"diamonds", "diamonds"},       {"checker", "chequered fields"},
        {"pyramid", "pyramids"},     {"stripes", "coloured bands"},  {"waves", "waves of blocks"},
        {"blobs", "drifting clusters"}, {"invaders", "old invaders"}, {"rings", "rings"},
        {"corridor", "steel corridors"}, {"pillars", "steel pillars"}, {"fortress", "a fortress"},
        {"funnel", "a funnel"}};
    std::vector<std::string> seen;
    for (const std::string& p : lv.patterns)
        if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
    std::string s = "Expect ";
    for (size_t i = 0; i < seen.size() && i < 4; ++i) {
        if (i) s += (i + 1 == std::min<size_t>(seen.size(), 4)) ? " and " : ", ";
        s += kWords.at(seen[i]);
    }
    s += ".";
    if (lv.number <= 5) s += " A gentle start: learn to aim.";
    else if (lv.number >= 90) s += " The last defences before the guardian.";
    else if (lv.scroll > 1) s += " The sky falls fast here.";
    else if (lv.types >= 5) s += " Armoured blocks need many hits.";
    return s;
}

Level BuildLevel(int n) {
    Rng rng(uint32_t(n) * 7919u + 17u);
    Level lv;
    lv.number = n;
    const double d = (n - 1) / 99.0;
    lv.height = std::clamp(150 + int(d * 300) + rng.Range(-10, 40), 150, 500);
    lv.types = n < 10 ? 3 : (n < 40 ? 4 : 5);
    lv.scroll = (n > 60 && n % 5 == 0) ? 2 : 1;
    lv.grid.assign(size_t(lv.height) * kCols, kEmpty);

    int last = -1;
    int r = lv.height - 7;  // the launch area at the bottom stays clear
    while (r > 3) {
        int choice;
        do {
            choice = rng.Below(int(std::size(kPatterns)));
        } while (choice == last || kPatterns[choice].fromLevel > n);
        const Pattern& p = kPatterns[choice];
        int h = rng.Range(p.minH, p.maxH);
        if (r - h < 2) h = r - 2;
        if (h < 4) break;
        p.paint(lv, rng, r - h, h);
        lv.patterns.push_back(p.name);
        last = choice;
        const int gap = std::max(2, rng.Range(3, 8) - int(d * 3));
        r -= h + gap;
    }
    MakeCompletable(lv);
    return lv;
}

// Prerequisites by place within an episode (k = 1..50): every fifth step forks into two
// levels that are joined again by the next one.
std::vector<int> LocalRequires(int k) {
    switch (k % 5) {
        case 3: return {k - 2};
        case 4: return {k - 2, k - 1};
        default: return {k - 1};
    }
}

}  // namespace

void MakeLevels(DataSet& ds, Canvas* contact, Canvas* preview) {
    std::set<std::string> names;
    std::string coords = "[Coordinates]\n";
    std::vector<Level> levels;
    for (int n = 1; n <= 100; ++n) {
        Level lv = BuildLevel(n);
        const int episode = n <= 50 ? 1 : 2;
        const int k = n - (episode - 1) * 50;
        // Requires: the map adds 50 to the numbers of levels 52..100, not to those of 51.
        std::string req;
        if (n == 51) {
            req = "50";
        } else if (k > 1) {
            for (int b : LocalRequires(k)) {
                if (!req.empty()) req += ",";
                req += std::to_string(b);
            }
        }
        char head[1024];
        const std::string name = LevelName(n, names);
        std::snprintf(head, sizeof head,
                      "[Level data]\nName = %s\nText = %s\nHeight = %d\nBack tiles set = %d\n"
                      "Scroll speed = %d\nRequires = %s\nMax blocks types = %d\n\n",
                      name.c_str(), Describe(lv).c_str(), lv.height, (n - 1) % 20, lv.scroll,
                      req.c_str(), lv.types);
        std::string text = head;
        static const int kHits[] = {0, 1, 2, 3, 0, 5};
        static const int kScore[] = {0, 10, 25, 50, 0, 120};
        for (int t = 1; t <= lv.types; ++t)
            text += "[Block type " + std::to_string(t) + "]\nHit counter = " + std::to_string(kHits[t]) +
                    "\nScore = " + std::to_string(kScore[t]) + "\n\n";
        char file[64];
        std::snprintf(file, sizeof file, "Episode%d\\Levels\\Level%02d", episode, k);
        ds.AddText(file, text);
        ds.Add(std::string(file) + ".map", lv.grid);

        const double y = 230 + (n - 1) * 18.2;
        const double x = 329 + 200 * std::sin(2 * 3.14159265358979 * (n - 1) / 10.0);
        coords += "Level " + std::to_string(n) + " = " + std::to_string(int(x)) + ", " +
                  std::to_string(int(y)) + "\n";
        levels.push_back(std::move(lv));
    }
    ds.AddText("Coordinates", coords);

    if (contact) {
        static const Rgba kColours[] = {RGB(12, 12, 24),  RGB(90, 200, 255), RGB(90, 240, 120),
                                        RGB(255, 200, 60), RGB(150, 150, 160), RGB(255, 80, 90)};
        *contact = Canvas(25 * 44 + 4, 4 * 508 + 4, RGB(40, 40, 40));
        for (const Level& lv : levels) {
            const int i = lv.number - 1;
            const int ox = 4 + (i % 25) * 44, oy = 4 + (i / 25) * 508 + (500 - lv.height);
            for (int r = 0; r < lv.height; ++r)
                for (int c = 0; c < kCols; ++c) {
                    const Rgba col = kColours[lv.grid[size_t(r) * kCols + c]];
                    contact->Set(ox + c * 2, oy + r, col);
                    contact->Set(ox + c * 2 + 1, oy + r, col);
                }
        }
    }
    // The opening two screens of a few levels as the game draws them (five images per level,
    // one per hits left), for a person to judge the look.
    auto blocks = ds.pictures.find("Blocks.tga");
    if (preview && blocks != ds.pictures.end()) {
        const int shown[] = {1, 12, 35, 51, 77, 100};
        const int rows = 50;
        *preview = Canvas(6 * 650, rows * 16 + 20, RGB(8, 8, 16));
        for (int k = 0; k < 6; ++k) {
            const Level& lv = levels[size_t(shown[k] - 1)];
            Rng rng{uint32_t(shown[k])};
            int images[6];
            for (int& im : images) im = rng.Range(1, 41);
            static const int kHits[] = {0, 1, 2, 3, 0, 5};
            for (int i = 0; i < rows; ++i) {
                const int r = lv.height - rows + i;
                for (int c = 0; c < kCols; ++c) {
                    const uint8_t v = lv.grid[size_t(r) * kCols + c];
                    if (!v) continue;
                    const int frame = images[std::min(5, kHits[v])];
                    for (int y = 0; y < 16; ++y)
                        for (int x = 0; x < 32; ++x)
                            preview->Set(k * 650 + c * 32 + x, 10 + i * 16 + y,
                                         blocks->second.Get((frame / 16) * 32 + x, (frame % 16) * 16 + y));
                }
            }
        }
    }
}

}  // namespace gen
