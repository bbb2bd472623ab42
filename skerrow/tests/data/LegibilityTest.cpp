// Texts the screens print over pictures of the data set stay readable: the real screens draw
// over the generated pictures, and every pixel right around a text's strokes is compared with
// the text's colour by the contrast ratio of relative luminances ((L1 + 0.05) / (L2 + 0.05)).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "skerrow/Src/Animation.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/tests/screens/ScreenHarness.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
// Pixels this far from a stroke (in either axis) are the ground a reader sees the text on.
constexpr int kGroundReach = 2;

double Linear(int channel8)
{
    const double c = channel8 / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The relative luminance of a back-buffer pixel, its channels widened to 8 bits as shown.
double Luminance(uint16_t p)
{
    const int r = g_display.is555 ? (p >> 10 & 31) : (p >> 11 & 31);
    const int g6 = g_display.is555 ? (p >> 5 & 31) << 1 : (p >> 5 & 63);
    const int b = p & 31;
    return 0.2126 * Linear(r << 3 | r >> 2) + 0.7152 * Linear(g6 << 2 | g6 >> 4) + 0.0722 * Linear(b << 3 | b >> 2);
}

double Contrast(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

std::vector<uint16_t> BackBuffer()
{
    std::vector<uint16_t> out(kWidth * kHeight);
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return {};
    for (int y = 0; y < kHeight; ++y) std::memcpy(&out[y * kWidth], &pixels[y * pitch], kWidth * sizeof(uint16_t));
    UnlockSurface(g_display.backBuffer);
    return out;
}

void ClearBackBuffer()
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return;
    for (int y = 0; y < kHeight; ++y) std::memset(&pixels[y * pitch], 0, kWidth * sizeof(uint16_t));
    UnlockSurface(g_display.backBuffer);
}

// Where a text lands: its strokes (pixels of exactly its colour) and the ground around them
// (untouched pixels within kGroundReach of any pixel the text changed).
struct Footprint {
    uint16_t colour = 0;
    std::vector<int> strokes, ground;
};

// Draws the text alone on a black back buffer with the game's own printer to find its pixels.
Footprint FootprintOf(uint16_t colour, const std::function<void()>& print)
{
    ClearBackBuffer();
    print();
    const std::vector<uint16_t> ink = BackBuffer();
    Footprint f;
    f.colour = colour;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint16_t p = ink[y * kWidth + x];
            if (p == colour) f.strokes.push_back(y * kWidth + x);
            if (p != 0) continue;
            bool near = false;
            for (int dy = -kGroundReach; dy <= kGroundReach && !near; ++dy)
                for (int dx = -kGroundReach; dx <= kGroundReach && !near; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight && ink[ny * kWidth + nx] != 0;
                }
            if (near) f.ground.push_back(y * kWidth + x);
        }
    return f;
}

// The contrast between the text's colour and its ground in `frame`: against the ground's
// least contrasting pixel (what the test holds to) and against its mean (for the record).
struct Reading {
    double worst = 21.0, mean = 21.0;
    void Take(const Reading& r)
    {
        worst = std::min(worst, r.worst);
        mean = std::min(mean, r.mean);
    }
};

Reading ContrastOver(const Footprint& f, const std::vector<uint16_t>& frame)
{
    const double text = Luminance(f.colour);
    Reading r;
    double sum = 0;
    for (int i : f.ground) {
        const double l = Luminance(frame[i]);
        r.worst = std::min(r.worst, Contrast(text, l));
        sum += l;
    }
    if (!f.ground.empty()) r.mean = Contrast(text, sum / f.ground.size());
    return r;
}

// The strokes were drawn where the footprint says: the screen really prints the text there.
bool StrokesShown(const Footprint& f, const std::vector<uint16_t>& frame)
{
    for (int i : f.strokes)
        if (frame[i] != f.colour) return false;
    return !f.strokes.empty();
}

using Legibility = ScreensSuite;

// The map's round buttons print their grey names centred 4 pixels below where their comets
// are drawn; the comet passes them at every frame of its animation, and the name reads at
// least 3 : 1 against everything right around it at each.
TEST_F(Legibility, MapButtonNamesReadOverEveryFrameOfTheirComets)
{
    const int labelX[4] = {108, 231, 397, 535}, labelY[4] = {404, 441, 441, 404};
    const char* const names[4] = {"START", "SHOP", "SAVE", "QUIT"};
    const uint16_t grey = PackPixelRgb(0x969696);
    std::vector<Footprint> labels;
    for (int i = 0; i < 4; ++i)
        labels.push_back(FootprintOf(grey, [&] { PrintCentred(TextFont(), 16, labelX[i], labelY[i] + 4, grey, names[i]); }));

    StartAt(&g_menuScreenInstance);
    Frame();
    ClickAt(456, 199);  // NEW GAME
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    // The pointer rests away from the buttons, so every name is printed idle.
    g_cursorX = 600;
    g_cursorY = 150;

    // The comet's own script, stepped alongside the screen's, tells when every frame has
    // been on the screen: two whole turns of it are watched.
    AnimationSet comet;
    ASSERT_TRUE(comet.Load("BackObjects\\ts0back5.anm"));
    comet.Animate("Rotation", 1);
    ASSERT_GT(comet.FrameCount(), 0);
    std::vector<int> entered(comet.FrameCount(), 0);  // times each frame came on
    Reading seen[4];
    int bright[4] = {0, 0, 0, 0};
    for (int frame = 0, last = -1; *std::min_element(entered.begin(), entered.end()) < 2; ++frame) {
        ASSERT_LT(frame, 2000) << "the comet's animation never shows all its frames";
        Frame();
        comet.Animate("Rotation", 0);
        const int now = comet.CurrentFrame();
        if (now != last && now >= 0 && now < int(entered.size())) ++entered[now];
        last = now;
        const std::vector<uint16_t> shown = BackBuffer();
        if (frame == 0) SaveShot("legibility-map");
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(StrokesShown(labels[i], shown)) << names[i] << " at frame " << frame;
            seen[i].Take(ContrastOver(labels[i], shown));
            // The comet is still there to see: bright pixels in the square it is drawn in.
            for (int y = labelY[i] - 24; y < labelY[i] + 24; ++y)
                for (int x = labelX[i] - 24; x < labelX[i] + 24; ++x) bright[i] += Luminance(shown[y * kWidth + x]) > 0.4;
        }
    }
    for (int i = 0; i < 4; ++i) {
        std::printf("%s: contrast %.2f : 1 at worst, %.2f : 1 to the mean ground\n", names[i], seen[i].worst,
                    seen[i].mean);
        EXPECT_GE(seen[i].worst, 3.0) << names[i];
        EXPECT_GT(bright[i], 0) << names[i] << " has lost its comet";
    }
}

// The saved-games lists print their slot texts in pure blue, which cannot reach more than
// (0.0722 + 0.05) / 0.05 against black: the ground of every row is dark enough that each
// text keeps within 5 % of that on both screens, a full-length title included.
TEST_F(Legibility, SavedGameRowsReadAsWellAsTheirBlueAllows)
{
    const uint16_t blue = PrinterColour(0xFF);
    const double best = Contrast(Luminance(blue), 0.0);
    for (SaveListScreen* screen : {static_cast<SaveListScreen*>(&g_saveScreen), static_cast<SaveListScreen*>(&g_loadScreen)}) {
        StartAt(screen);
        std::strcpy(screen->listing[2], "Marvellous Pilot");  // the 16 characters a title can have
        g_cursorX = 600;
        g_cursorY = 100;
        Frame();
        const std::vector<uint16_t> shown = BackBuffer();
        SaveShot(std::string("legibility-") + screen->GetName());
        // All rows at once, their white numbers too, so that no row's ground is another's ink.
        const Footprint rows = FootprintOf(blue, [&] {
            for (int row = 0; row < kSaveSlots; ++row) {
                const int y = 170 + 16 * row + 14;
                PrintText(SmallFont(), 16, 240, y, PrinterColour(0xFFFFFF), std::to_string(row + 1).append(".").c_str());
                PrintText(SmallFont(), 16, 270, y, blue, screen->listing[row]);
            }
        });
        ASSERT_TRUE(StrokesShown(rows, shown)) << screen->GetName();
        const Reading seen = ContrastOver(rows, shown);
        std::printf("%s rows: contrast %.2f : 1 at worst, %.2f : 1 to the mean ground (blue on black %.2f)\n",
                    screen->GetName(), seen.worst, seen.mean, best);
        EXPECT_GE(seen.worst, 0.95 * best) << screen->GetName();
    }
}

}  // namespace
