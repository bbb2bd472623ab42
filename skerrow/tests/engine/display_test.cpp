#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "TestUtil.h"
#include "platform/ddraw/ddraw_testing.h"
#include "platform/win32/platform_internal.h"
#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Sprite.h"
#include "skerrow/Src/Tables.h"

namespace {

LRESULT CALLBACK TestProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// A shown window in the foreground, as the game has when it initialises the display.
HWND TestWindow()
{
    static HWND window = nullptr;
    if (window) return window;
    PlatformInit();
    WNDCLASSA wc{};
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = "SkerrowDisplayTest";
    RegisterClassA(&wc);
    window = CreateWindowExA(0, "SkerrowDisplayTest", "test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                             nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return window;
}

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        ASSERT_EQ(Graphics::Init(640, 480, 0), 1);
    }
    void TearDown() override
    {
        Graphics::Shutdown();
        PlatformDDrawUse555(false);
        PlatformDDrawSetDesktopDepth(32);
    }
    ScratchDir dir_;
};

void FillBack(uint16_t (*f)(int, int))
{
    uint16_t* p = nullptr;
    int pitch = 0;
    ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) p[static_cast<size_t>(y) * pitch + x] = f(x, y);
    UnlockSurface(g_display.backBuffer);
}

uint16_t BackPixel(int x, int y)
{
    uint16_t* p = nullptr;
    int pitch = 0;
    EXPECT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
    uint16_t v = p[static_cast<size_t>(y) * pitch + x];
    UnlockSurface(g_display.backBuffer);
    return v;
}

TEST_F(Display, WindowedInitOnA32BitDesktopKeeps16BitSurfaces)
{
    EXPECT_EQ(g_display.flipChain, 0);
    DDPIXELFORMAT f{};
    g_display.backBuffer->GetPixelFormat(&f);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    EXPECT_EQ(f.dwGBitMask, 0x07E0u);
    EXPECT_EQ(g_display.is555, 0);
    EXPECT_EQ(MakePixelColor(255, 255, 255), 0xFFFF);
    EXPECT_EQ(MakePixelColor(8, 4, 8), (1 << 11) | (1 << 5) | 1);
    LPDIRECTDRAWSURFACE7 s = nullptr;
    ASSERT_EQ(DXCreateSurface(10, 10, &s, DDSCAPS_OFFSCREENPLAIN), 1);
    s->GetPixelFormat(&f);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    s->Release();
}

TEST_F(Display, WindowedPresentShowsTheBackBufferAndFollowsTheWindow)
{
    FillBack([](int x, int y) -> uint16_t { return x < 320 ? 0xF800 : (y < 240 ? 0x07E0 : 0x001F); });
    DXFlip(1);
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;
    ASSERT_TRUE(PlatformDDrawLastPresented(w, h, rgb));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    EXPECT_EQ(rgb[0], 0xFF0000u);
    EXPECT_EQ(rgb[479 * 640 + 639], 0x0000FFu);
    EXPECT_EQ(rgb[10 * 640 + 400], 0x00FF00u);
    MoveWindow(g_display.window, 37, 23, 700, 560, TRUE);
    DXFlip(0);
    ASSERT_TRUE(PlatformDDrawLastPresented(w, h, rgb));
    EXPECT_EQ(rgb[0], 0xFF0000u);
    EXPECT_EQ(rgb[static_cast<size_t>(h - 1) * w + (w - 1)], 0x0000FFu);
    MoveWindow(g_display.window, 0, 0, 640, 480, TRUE);
}

TEST_F(Display, FullScreenFlipsAndScreenshotsTheFrameJustDrawn)
{
    Graphics::Shutdown();
    ASSERT_EQ(Graphics::Init(640, 480, 1), 1);
    ASSERT_EQ(g_display.flipChain, 1);
    FillBack([](int, int) -> uint16_t { return 0x001F; });
    DXFlip(1);
    FillBack([](int, int) -> uint16_t { return 0xF800; });
    DXFlip(1);
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;
    ASSERT_TRUE(PlatformDDrawLastPresented(w, h, rgb));
    EXPECT_EQ(rgb[100], 0xFF0000u);
    g_display.screenshotCounter = 100;
    SaveScreenshot();
    std::vector<uint8_t> pcx = ReadFileBytes("screen100.pcx");
    ASSERT_GT(pcx.size(), 128u);
    // The first plane line is red: 31 * 8 + 7 in runs of 63 and a last run of 10.
    EXPECT_EQ(pcx[128], 0xC0 + 63);
    EXPECT_EQ(pcx[129], 31 * 8 + 7);
    Graphics::Shutdown();
}

// Print Screen keeps every picture: the pictures of an earlier run (and a link someone put at
// a picture's name) stay as they are, the next free number is taken, and a picture the disk
// cannot take leaves no file behind and is logged.
TEST_F(Display, ScreenshotsTakeTheNextFreeNumberAndNeverLeaveAnEmptyFile)
{
    const std::string outside = (std::filesystem::temp_directory_path() / ("skerrow-shot-" + std::to_string(getpid()))).string();
    WriteFileText(outside, "someone else's");
    WriteFileText("screen00.pcx", "the last run's");
    std::filesystem::create_symlink(outside, "screen01.pcx");
    FillBack([](int, int) -> uint16_t { return 0xF800; });
    DXFlip(1);
    g_display.screenshotCounter = 0;
    SaveScreenshot();
    SaveScreenshot();
    const std::vector<uint8_t> before = ReadFileBytes("screen00.pcx");
    EXPECT_EQ(std::string(before.begin(), before.end()), "the last run's");
    const std::vector<uint8_t> link = ReadFileBytes(outside);
    EXPECT_EQ(std::string(link.begin(), link.end()), "someone else's");
    for (const char* name : {"screen02.pcx", "screen03.pcx"}) {
        const std::vector<uint8_t> pcx = ReadFileBytes(name);
        Bitmap b;
        ASSERT_EQ(b.DecodeImage(pcx.data(), static_cast<int32_t>(pcx.size())), 1) << name;
        EXPECT_EQ(b.width, 640);
    }

    // A disk with room for a few more log lines but not for a picture (about 32 KB).
    ASSERT_LT(ReadFileBytes("Log.txt").size(), 12000u);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{16384, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    SaveScreenshot();
    SaveScreenshot();
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) files += e.path().filename() != "Log.txt";
    EXPECT_EQ(files, 4) << "nothing of the two pictures the disk did not take";
    const std::vector<uint8_t> log = ReadFileBytes("Log.txt");
    EXPECT_NE(std::string(log.begin(), log.end()).find("Screenshot not saved: File too large"), std::string::npos);
    // The disk takes pictures again: the next one follows the last written.
    SaveScreenshot();
    EXPECT_TRUE(std::filesystem::exists("screen04.pcx"));
    std::filesystem::remove(outside);
}

TEST_F(Display, FailedModeSetAndFailedDeviceLeaveNoHalfBuiltDisplay)
{
    Graphics::Shutdown();
    PlatformDDrawFailNext("SetDisplayMode", DDERR_UNSUPPORTEDMODE);
    ASSERT_EQ(Graphics::Init(640, 480, 1), 1);
    // The desktop stayed 32-bit: the game still draws into 16-bit surfaces and presents by blit.
    EXPECT_EQ(g_display.flipChain, 0);
    DDPIXELFORMAT f{};
    g_display.backBuffer->GetPixelFormat(&f);
    EXPECT_EQ(f.dwRGBBitCount, 16u);
    DXFlip(1);
    Graphics::Shutdown();
    PlatformDDrawFailNext("CreateDevice", DDERR_GENERIC);
    EXPECT_EQ(Graphics::Init(640, 480, 0), 0);
    EXPECT_EQ(g_display.ddraw, nullptr);
    EXPECT_EQ(g_display.primary, nullptr);
    EXPECT_EQ(g_display.backBuffer, nullptr);
    DXFlip(1);  // nothing to present, nothing to dereference
    SaveScreenshot();
    EXPECT_EQ(Graphics::Init(640, 480, 0), 1);
}

TEST_F(Display, Mode555ChangesTablesAndScreenshotPlanes)
{
    Graphics::Shutdown();
    PlatformDDrawUse555(true);
    PlatformDDrawSetDesktopDepth(16);
    ASSERT_EQ(Graphics::Init(640, 480, 0), 1);
    EXPECT_EQ(g_display.is555, 1);
    EXPECT_EQ(g_pixelFormat555, 1);
    EXPECT_EQ(MakePixelColor(255, 255, 255), 0x7FFF);
    std::vector<uint16_t> row(100, 0x7C00);  // 555 red
    ASSERT_EQ(WritePcx(row.data(), 100, 1, 100, "red.pcx"), 1);
    std::vector<uint8_t> pcx = ReadFileBytes("red.pcx");
    ASSERT_EQ(pcx.size(), 128u + 12u);
    EXPECT_EQ(pcx[0], 0x0A);
    EXPECT_EQ(pcx[8], 99);
    EXPECT_EQ(pcx[65], 3);
    EXPECT_EQ(pcx[66], 100);
    EXPECT_EQ(std::vector<uint8_t>(pcx.begin() + 128, pcx.end()),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xE5, 0xFF, 0xFF, 0x07, 0xE5, 0x07, 0xFF, 0x07, 0xE5, 0x07}));
}

TEST(DisplayHelpers, PcxRunsOf63AndZeroPixels)
{
    ScratchDir dir;
    g_display.is555 = 0;
    std::vector<uint16_t> row(100, 0x0000);
    ASSERT_EQ(WritePcx(row.data(), 100, 1, 100, "black.pcx"), 1);
    std::vector<uint8_t> pcx = ReadFileBytes("black.pcx");
    ASSERT_EQ(pcx.size(), 128u + 12u);
    for (int plane = 0; plane < 3; ++plane) {
        EXPECT_EQ(pcx[128 + plane * 4], 0xC0 + 63);
        EXPECT_EQ(pcx[129 + plane * 4], 0x07);
        EXPECT_EQ(pcx[130 + plane * 4], 0xC0 + 37);
        EXPECT_EQ(pcx[131 + plane * 4], 0x07);
    }
    // The screenshot decodes through the game's own reader to the colours written.
    std::vector<uint16_t> img = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    ASSERT_EQ(WritePcx(img.data(), 2, 2, 2, "four.pcx"), 1);
    std::vector<uint8_t> four = ReadFileBytes("four.pcx");
    Bitmap b;
    ASSERT_EQ(b.DecodeImage(four.data(), static_cast<int32_t>(four.size())), 1);
    EXPECT_EQ(b.Pixel32(0, 0), 0xFF0707u);
    EXPECT_EQ(b.Pixel32(1, 0), 0x07FF07u);
    EXPECT_EQ(b.Pixel32(0, 1), 0x0707FFu);
    EXPECT_EQ(b.Pixel32(1, 1), 0xFFFFFFu);
}

TEST(DisplayHelpers, ClipToScreenNeverInvertsTheSource)
{
    g_clipScreenWidth = 640;
    g_clipScreenHeight = 480;
    int x = 700, y = 10;
    RECT r = {0, 0, 32, 16};
    ClipToScreen(&x, &y, &r);
    EXPECT_EQ(x, 640);
    EXPECT_EQ(r.right - r.left, 0);
    x = -10, y = 0, r = {0, 0, 32, 16};
    ClipToScreen(&x, &y, &r);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 32);
    x = 630, y = 470, r = {5, 5, 37, 21};
    ClipToScreen(&x, &y, &r);
    EXPECT_EQ(r.right, 15);
    EXPECT_EQ(r.bottom, 15);
    for (int dx = -100; dx <= 0; dx += 25) {
        x = dx, y = -50, r = {0, 0, 32, 16};
        ClipToScreen(&x, &y, &r);
        EXPECT_LE(r.left, r.right) << dx;
        EXPECT_LE(r.top, r.bottom) << dx;
    }
}

TEST(DisplayHelpers, LinesAreDrawnDownwardsAndClippedPerPixel)
{
    std::vector<uint16_t> px(20 * 20, 0);
    g_display.clipRect = {0, 0, 20, 20};
    DrawLinePixels(px.data(), 20, 3, 0, 3, 5, 9);
    int count = 0;
    for (uint16_t v : px) count += v == 9;
    EXPECT_EQ(count, 6);
    std::fill(px.begin(), px.end(), 0);
    DrawLinePixels(px.data(), 20, 10, 5, 0, 0, 7);
    EXPECT_EQ(px[0], 7);
    EXPECT_EQ(px[5 * 20 + 10], 7);
    std::fill(px.begin(), px.end(), 0);
    DrawLinePixels(px.data(), 20, -5, 10, 25, 10, 1);
    count = 0;
    for (uint16_t v : px) count += v == 1;
    EXPECT_EQ(count, 20);
}

TEST(DisplayHelpers, ErrorNames)
{
    EXPECT_STREQ(GetDDErrorName(DDERR_SURFACELOST), "DDERR_SURFACELOST");
    EXPECT_STREQ(GetDDErrorName(DDERR_INVALIDRECT), "DDERR_INVALIDRECT");
    EXPECT_STREQ(GetDDErrorName(0x12345678), "Not defined error");
    EXPECT_STREQ(GetDDErrorName(DD_OK), "");
    int32_t version = 0, platform = 0;
    GetDirectXVersion(&version, &platform);
    EXPECT_EQ(version, 0x700);
    EXPECT_EQ(platform, 2);
}

class Sprites : public Display {};

TEST_F(Sprites, AlignmentClippingAndScaledDraws)
{
    // A 32 x 16 frame of solid white on a sheet whose colour 0 is the key.
    std::vector<uint8_t> bmp(54, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp, 10, 54);
    PutLe32(bmp, 14, 40);
    PutLe32(bmp, 18, 32);
    PutLe32(bmp, 22, 16);
    PutLe16(bmp, 28, 24);
    bmp.resize(54 + 32 * 16 * 3, 0xFF);
    bmp[54] = bmp[55] = bmp[56] = 0;  // bottom-left pixel is the key colour
    WriteFileBytes("sheet.bmp", bmp);
    WriteFileText("sheet.frm", "[Sprite 1]\nrectsx = 0, 0, 32, 16\nname = Ball\noffsxy = 0 0\n[Sprite 2]\nname = NoRect\n");
    g_resourceLocator.AddSearchPath("NoPack.dat", "", 3);
    CSprite sprite;
    EXPECT_EQ(sprite.FrameCount(), 1);
    ASSERT_EQ(sprite.LoadWithFrames("sheet.bmp", "sheet.frm"), 2);
    g_resourceLocator.Clear();
    EXPECT_EQ(sprite.FrameCount(), 2);
    EXPECT_EQ(sprite.FindFrame("ball"), 1);
    EXPECT_EQ(sprite.FindFrame("none"), 0);
    sprite.SetKeyColor(0);
    auto clear = []() { FillBack([](int, int) -> uint16_t { return 0x1111; }); };
    auto bounds = [](RECT& out) {
        out = {10000, 10000, -1, -1};
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (BackPixel(x, y) == 0xFFFF) {
                    out.left = std::min<LONG>(out.left, x);
                    out.top = std::min<LONG>(out.top, y);
                    out.right = std::max<LONG>(out.right, x + 1);
                    out.bottom = std::max<LONG>(out.bottom, y + 1);
                }
    };
    RECT r;
    clear();
    ASSERT_EQ(sprite.DrawFrame("Ball", 100, 100, 0), 1);
    bounds(r);
    EXPECT_EQ(r.left, 84);
    EXPECT_EQ(r.top, 92);
    EXPECT_EQ(BackPixel(84, 92 + 15), 0x1111);  // the key pixel let the background through
    clear();
    sprite.DrawFrame("Ball", 100, 100, 0x20002);
    bounds(r);
    EXPECT_EQ(r.left, 68);
    EXPECT_EQ(r.top, 84);
    clear();
    ASSERT_EQ(sprite.DrawFrameEx("Ball", 100, 100, 0, 0x10001, 2.0f, 0.0f), 1);
    bounds(r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right, 164);
    EXPECT_EQ(r.bottom, 132);
    clear();
    sprite.DrawFrame("Ball", -10, 0, -1);
    bounds(r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 22);
    clear();
    EXPECT_EQ(sprite.DrawFrame("Ball", 700, 0, -1), 0);
    EXPECT_EQ(sprite.DrawFrame("Missing", 10, 10, -1), 0);
    // A scaled draw half off the right edge keeps its scale in the visible part.
    clear();
    ASSERT_EQ(sprite.DrawFrameEx("Ball", 620, 0, 0, 0x10001, 2.0f, 0.0f), 1);
    bounds(r);
    EXPECT_EQ(r.left, 620);
    EXPECT_EQ(r.right, 640);
    EXPECT_EQ(r.bottom, 32);
    EXPECT_EQ(sprite.DrawFrameEx("Ball", 700, 0, 0, 0x10001, 2.0f, 0.0f), 0);
}

TEST_F(Sprites, KeyedDrawsClipAtEveryEdgeLikeAReference)
{
    // A 32 x 16 sheet: pixel (x, y) has colour (8x, 16y, 0) and every fifth pixel is black,
    // the key colour.
    const int W = 32, H = 16;
    std::vector<uint8_t> bmp(54, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp, 10, 54);
    PutLe32(bmp, 14, 40);
    PutLe32(bmp, 18, W);
    PutLe32(bmp, 22, static_cast<uint32_t>(-H));
    PutLe16(bmp, 28, 24);
    auto keyed = [](int x, int y) { return (x + 3 * y) % 5 == 0; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            bool k = keyed(x, y);
            bmp.push_back(0);
            bmp.push_back(k ? 0 : static_cast<uint8_t>(16 * y + 8));
            bmp.push_back(k ? 0 : static_cast<uint8_t>(8 * x + 8));
        }
    WriteFileBytes("edge.bmp", bmp);
    g_resourceLocator.AddSearchPath("NoPack.dat", "", 3);
    CSprite sprite;
    ASSERT_EQ(sprite.Load("edge.bmp"), 1);
    g_resourceLocator.Clear();
    sprite.SetKeyColor(0);
    auto sheetPixel = [&](int x, int y) { return MakePixelColor(8 * x + 8, 16 * y + 8, 0); };
    const int xs[] = {-40, -32, -31, -7, 0, 5, 600, 608, 609, 633, 639, 640, 700};
    const int ys[] = {-20, -16, -15, -3, 0, 200, 464, 465, 470, 479, 480};
    for (int px : xs)
        for (int py : ys) {
            FillBack([](int, int) -> uint16_t { return 0x0841; });
            sprite.Render(RECT{0, 0, W, H}, px, py, 0x10001);
            uint16_t* p = nullptr;
            int pitch = 0;
            ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
            int wrong = 0;
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 640; ++x) {
                    uint16_t want = 0x0841;
                    int sx = x - px, sy = y - py;
                    if (sx >= 0 && sx < W && sy >= 0 && sy < H && !keyed(sx, sy)) want = sheetPixel(sx, sy);
                    wrong += p[static_cast<size_t>(y) * pitch + x] != want;
                }
            UnlockSurface(g_display.backBuffer);
            EXPECT_EQ(wrong, 0) << "drawn at " << px << "," << py;
        }
}

TEST(Tables, TrigIntensityColoursAndRandomHelpers)
{
    BuildStartupTables();
    EXPECT_EQ(g_sinTable[720], 1.0);
    EXPECT_EQ(g_cosTable[1440], -1.0);
    EXPECT_EQ(g_cosTable[720], 0.0);
    EXPECT_EQ(g_tanTable[720], 0.0);
    EXPECT_EQ(g_tanTable[2160], 0.0);
    EXPECT_EQ(g_intensityTable[50][31], 15);
    EXPECT_EQ(g_intensityTable[99][31], 30);
    EXPECT_EQ(g_intensityTable[0][31], 0);
    EXPECT_EQ(g_intensityTable[10][10], 1);
    EXPECT_EQ(AngleIndex(360.0f), 0);
    EXPECT_EQ(AngleIndex(-90.0f), 2160);
    EXPECT_EQ(SinDeg(450.0f), 1.0);
    PixelFormatShifts = {11, 6};
    ConvertColorTable();
    EXPECT_EQ(g_colors[2], 0xF800);
    EXPECT_EQ(g_colors[4], 0x07C0);
    PixelFormatShifts = {10, 5};
    ConvertColorTable();
    EXPECT_EQ(g_colors[2], 0x7C00);
    for (int i = 0; i < 500; ++i) {
        int v = RandomSpread(5);
        EXPECT_GE(v, -5);
        EXPECT_LE(v, 4);
    }
    EXPECT_EQ(RandomInt(0), 0);
    EXPECT_EQ(RandomRange(7, 7), 7);
    EXPECT_EQ(RandomSpread(0), 0);
    Vector2 v(3.0f, 4.0f);
    EXPECT_FLOAT_EQ(v.Length(), 5.0f);
    v.Normalize();
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    Vector2 zero;
    zero.Normalize();
    EXPECT_EQ(zero.x, 0.0f);
    RECT r = {1, 2, 11, 22};
    MoveRectTo(&r, 100, 200);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.bottom, 220);
    PixelFormatShifts = {10, 5};
    EXPECT_EQ(PackPixelRgb(0xFF0000), 0x7C00);
}

}  // namespace

#include "skerrow/Src/game/App.h"
#include "skerrow/Src/game/Screen.h"

namespace {

class CountingScreen : public Screen {
public:
    const char* GetName() override { return "CountingScreen"; }
    void InitSurfaces() override { ++inits; }
    void ReleaseSurfaces() override { ++releases; }
    void OnDisplay(Screen*, int32_t) override {}
    int32_t Process() override { return 0; }
    int inits = 0, releases = 0;
};

std::string LogNow()
{
    std::vector<uint8_t> b = ReadFileBytes("Log.txt");
    return std::string(b.begin(), b.end());
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(Display, ActivationReleasesOnceAndRebuildsOnce)
{
    CountingScreen screen;
    g_currentScreen = &screen;
    g_app = AppState{};
    g_app.fullscreen = 0;
    g_app.mainWindow = g_display.window;
    // Before the display is ready only the active value is recorded.
    WindowProc(g_display.window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(g_app.active, 0);
    EXPECT_EQ(screen.releases, 0);
    g_app.graphicsReady = 1;
    WindowProc(g_display.window, WM_ACTIVATEAPP, 0, 0);
    WindowProc(g_display.window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(screen.releases, 1);
    EXPECT_EQ(g_display.ddraw, nullptr);
    EXPECT_EQ(Count(LogNow(), "Release...\n\n"), 1u);
    RunFrame();  // inactive frames have no display to present to
    WindowProc(g_display.window, WM_ACTIVATEAPP, 1, 0);
    WindowProc(g_display.window, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(screen.inits, 1);
    EXPECT_NE(g_display.ddraw, nullptr);
    EXPECT_EQ(Count(LogNow(), "fAppActive = 1\nbFullScreen = 0\nActivate...\n\n"), 1u);
    g_currentScreen = nullptr;
    g_app = AppState{};
}

}  // namespace
