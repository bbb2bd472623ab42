#include <gtest/gtest.h>

#include "TestUtil.h"
#include "skerrow/Src/Bitmap.h"

namespace {

std::vector<uint8_t> Fixture(const char* name)
{
    return ReadFileBytes(std::string(SOURCE_ROOT) + "/skerrow/tests/engine/data/" + name);
}

uint32_t Expected(int x, int y)
{
    return static_cast<uint32_t>(40 * x % 256) << 16 | static_cast<uint32_t>(60 * y % 256) << 8 | static_cast<uint32_t>(20 * (x + y) % 256);
}

int Decode(Bitmap& b, const std::vector<uint8_t>& data) { return b.DecodeImage(data.data(), static_cast<int32_t>(data.size())); }

void ExpectSourcePixels(const Bitmap& b, int w, int h, const char* what)
{
    ASSERT_EQ(b.width, w) << what;
    ASSERT_EQ(b.height, h) << what;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_EQ(b.Pixel32(x, y), Expected(x, y)) << what << " at " << x << "," << y;
}

TEST(Bitmap, DecodesEveryFixtureFromAnIndependentEncoder)
{
    struct Case {
        const char* file;
        int w, h, bpp;
    } cases[] = {
        {"pcx24_6x4.pcx", 6, 4, 32}, {"pcx24_5x3.pcx", 5, 3, 32},   {"pcx8_64x4.pcx", 64, 4, 8},
        {"bmp24_5x3.bmp", 5, 3, 32}, {"bmp8_6x4.bmp", 6, 4, 8},     {"bmp8rle_6x4.bmp", 6, 4, 8},     {"bmp24v5_6x4.bmp", 6, 4, 32},
        {"tga24_5x3.tga", 5, 3, 32}, {"tga24rle_5x3.tga", 5, 3, 32}, {"tga8_6x4.tga", 6, 4, 8},
        {"tga8rle_6x4.tga", 6, 4, 8},
    };
    for (const Case& c : cases) {
        Bitmap b;
        ASSERT_EQ(Decode(b, Fixture(c.file)), 1) << c.file;
        EXPECT_EQ(b.bpp, c.bpp) << c.file;
        ExpectSourcePixels(b, c.w, c.h, c.file);
    }
}

TEST(Bitmap, PcxPaletteComesFromTheLast768BytesWithFullAlpha)
{
    Bitmap b;
    std::vector<uint8_t> data = Fixture("pcx8_64x4.pcx");
    ASSERT_EQ(Decode(b, data), 1);
    const uint8_t* pal = data.data() + data.size() - 768;
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(b.palette[i], 0xFF000000u | pal[i * 3] << 16 | pal[i * 3 + 1] << 8 | pal[i * 3 + 2]);
}

std::vector<uint8_t> PcxHeader(int w, int h, int planes)
{
    std::vector<uint8_t> d(128, 0);
    d[0] = 0x0A;
    d[1] = 5;
    d[2] = 1;
    d[3] = 8;
    PutLe16(d, 8, static_cast<uint16_t>(w - 1));
    PutLe16(d, 10, static_cast<uint16_t>(h - 1));
    d[65] = static_cast<uint8_t>(planes);
    PutLe16(d, 66, static_cast<uint16_t>(w));
    return d;
}

TEST(Bitmap, PcxRunsLiteralsAndHostileVariants)
{
    std::vector<uint8_t> d = PcxHeader(6, 1, 1);
    d.insert(d.end(), {0xC5, 0x10, 0x85});
    d.resize(d.size() + 768, 0);
    Bitmap b;
    ASSERT_EQ(Decode(b, d), 1);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(b.pixels[x], 0x10);
    EXPECT_EQ(b.pixels[5], 0x85);

    // A run past the row's end is cut there; the next row starts fresh.
    std::vector<uint8_t> cross = PcxHeader(2, 2, 1);
    cross.insert(cross.end(), {0xC3, 0x07, 0x09, 0x0A});
    cross.resize(cross.size() + 768, 0);
    ASSERT_EQ(Decode(b, cross), 1);
    EXPECT_EQ(b.pixels[0], 7);
    EXPECT_EQ(b.pixels[1], 7);
    EXPECT_EQ(b.pixels[2], 9);
    EXPECT_EQ(b.pixels[3], 10);

    // Data that ends early, a short palette, absurd sizes, unknown planes: refused.
    std::vector<uint8_t> shortData = PcxHeader(64, 64, 1);
    shortData.resize(shortData.size() + 768, 0);
    EXPECT_EQ(Decode(b, shortData), 0);
    std::vector<uint8_t> shortPalette = PcxHeader(2, 1, 1);
    shortPalette.insert(shortPalette.end(), {1, 2});
    EXPECT_EQ(Decode(b, shortPalette), 0);
    std::vector<uint8_t> inverted = PcxHeader(2, 1, 1);
    PutLe16(inverted, 4, 10);
    inverted.resize(inverted.size() + 800, 0);
    EXPECT_EQ(Decode(b, inverted), 0);
    std::vector<uint8_t> planes = PcxHeader(2, 1, 2);
    planes.resize(planes.size() + 800, 0);
    EXPECT_EQ(Decode(b, planes), 0);
}

std::vector<uint8_t> BmpHeader(int w, int h, int bpp, uint32_t colorsUsed, uint32_t paletteEntries)
{
    std::vector<uint8_t> d(54, 0);
    d[0] = 'B';
    d[1] = 'M';
    PutLe32(d, 10, 54 + paletteEntries * 4);
    PutLe32(d, 14, 40);
    PutLe32(d, 18, static_cast<uint32_t>(w));
    PutLe32(d, 22, static_cast<uint32_t>(h));
    PutLe16(d, 26, 1);
    PutLe16(d, 28, static_cast<uint16_t>(bpp));
    PutLe32(d, 46, colorsUsed);
    return d;
}

TEST(Bitmap, BmpPaddingPaletteTopDownAndHostileVariants)
{
    // Width 3 at 24 bits: 9 bytes of pixels and 3 of padding per row, bottom row first.
    std::vector<uint8_t> d = BmpHeader(3, 2, 24, 0, 0);
    const uint8_t rows[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    d.insert(d.end(), rows, rows + sizeof rows);
    Bitmap b;
    ASSERT_EQ(Decode(b, d), 1);
    EXPECT_EQ(b.Pixel32(0, 1), 0x030201u);
    EXPECT_EQ(b.Pixel32(2, 1), 0x090807u);
    EXPECT_EQ(b.Pixel32(0, 0), 0x0D0C0Bu);
    // The same rows stored top-down (negative height).
    std::vector<uint8_t> top = d;
    PutLe32(top, 22, static_cast<uint32_t>(-2));
    ASSERT_EQ(Decode(b, top), 1);
    EXPECT_EQ(b.Pixel32(0, 0), 0x030201u);
    EXPECT_EQ(b.Pixel32(0, 1), 0x0D0C0Bu);

    // Colours used 16: entries 0-15 filled, the rest zero.
    std::vector<uint8_t> p = BmpHeader(4, 1, 8, 16, 16);
    for (int i = 0; i < 16; ++i) {
        p.push_back(static_cast<uint8_t>(i));
        p.push_back(0x20);
        p.push_back(0x30);
        p.push_back(0);
    }
    p.insert(p.end(), {0, 15, 3, 4});
    ASSERT_EQ(Decode(b, p), 1);
    EXPECT_EQ(b.palette[15], 0x30200Fu);
    EXPECT_EQ(b.palette[16], 0u);
    EXPECT_EQ(b.palette[255], 0u);
    EXPECT_EQ(b.Pixel32(1, 0), 0x30200Fu);
    // Colours used 1000 with a palette of 16: never read past what the file holds.
    PutLe32(p, 46, 1000);
    ASSERT_EQ(Decode(b, p), 1);
    EXPECT_EQ(b.palette[16], 0u);
    // Compressed, unsupported depth, pixel data beyond the file: refused.
    std::vector<uint8_t> rle = p;
    PutLe32(rle, 30, 2);
    EXPECT_EQ(Decode(b, rle), 0);
    std::vector<uint8_t> four = BmpHeader(4, 1, 4, 0, 0);
    four.resize(four.size() + 4, 0);
    EXPECT_EQ(Decode(b, four), 0);
    std::vector<uint8_t> shortRows = BmpHeader(100, 100, 24, 0, 0);
    EXPECT_EQ(Decode(b, shortRows), 0);
}

std::vector<uint8_t> TgaHeader(int type, int w, int h, int depth, int mapLength = 0, int mapBits = 0)
{
    std::vector<uint8_t> d(18, 0);
    d[1] = mapLength ? 1 : 0;
    d[2] = static_cast<uint8_t>(type);
    PutLe16(d, 5, static_cast<uint16_t>(mapLength));
    d[7] = static_cast<uint8_t>(mapBits);
    PutLe16(d, 12, static_cast<uint16_t>(w));
    PutLe16(d, 14, static_cast<uint16_t>(h));
    d[16] = static_cast<uint8_t>(depth);
    return d;
}

TEST(Bitmap, TgaPacketsOriginColourMapsAndHostileVariants)
{
    // 0x83 repeats the next pixel 4 times, 0x03 copies the next 4.
    std::vector<uint8_t> d = TgaHeader(10, 8, 1, 24);
    d.insert(d.end(), {0x83, 1, 2, 3, 0x03, 10, 0, 0, 11, 0, 0, 12, 0, 0, 13, 0, 0});
    Bitmap b;
    ASSERT_EQ(Decode(b, d), 1);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.Pixel32(x, 0), 0x030201u);
    for (int x = 4; x < 8; ++x) EXPECT_EQ(b.Pixel32(x, 0), static_cast<uint32_t>(6 + x));

    // A run packet crossing from the first stored row into the second.
    std::vector<uint8_t> cross = TgaHeader(10, 2, 2, 24);
    cross.insert(cross.end(), {0x82, 5, 5, 5, 0x00, 9, 9, 9});
    ASSERT_EQ(Decode(b, cross), 1);
    EXPECT_EQ(b.Pixel32(0, 1), 0x050505u);  // first stored row is the bottom
    EXPECT_EQ(b.Pixel32(1, 1), 0x050505u);
    EXPECT_EQ(b.Pixel32(0, 0), 0x050505u);
    EXPECT_EQ(b.Pixel32(1, 0), 0x090909u);

    // The origin bit: rows stored top-down.
    std::vector<uint8_t> top = TgaHeader(2, 1, 2, 24);
    top[17] = 0x20;
    top.insert(top.end(), {1, 1, 1, 2, 2, 2});
    ASSERT_EQ(Decode(b, top), 1);
    EXPECT_EQ(b.Pixel32(0, 0), 0x010101u);
    EXPECT_EQ(b.Pixel32(0, 1), 0x020202u);

    // A 16-bit colour map (x555 entries) and a map that starts at index 2.
    std::vector<uint8_t> mapped = TgaHeader(1, 2, 1, 8, 2, 16);
    mapped[3] = 2;
    mapped.insert(mapped.end(), {0x00, 0x7C, 0x1F, 0x00, 2, 3});
    ASSERT_EQ(Decode(b, mapped), 1);
    EXPECT_EQ(b.Pixel32(0, 0), 0xFF0000u);
    EXPECT_EQ(b.Pixel32(1, 0), 0x0000FFu);

    // 16-bit true colour (x555) into the display's layout.
    std::vector<uint8_t> hi = TgaHeader(2, 1, 1, 16);
    hi.insert(hi.end(), {0xE0, 0x83});  // 0x83E0: top bit set, green 31
    g_pixelFormat555 = 1;
    ASSERT_EQ(Decode(b, hi), 1);
    EXPECT_EQ(b.bpp, 16);
    EXPECT_EQ(b.Pixel16(0, 0), 0x03E0);
    g_pixelFormat555 = 0;
    ASSERT_EQ(Decode(b, hi), 1);
    EXPECT_EQ(b.Pixel16(0, 0), 0x07E0);

    // Grey images, pixel data beyond the file, runs beyond the file: refused.
    std::vector<uint8_t> grey = TgaHeader(3, 1, 1, 8);
    grey.push_back(0);
    EXPECT_EQ(Decode(b, grey), 0);
    std::vector<uint8_t> shortPlain = TgaHeader(2, 4, 4, 24);
    shortPlain.resize(shortPlain.size() + 10, 0);
    EXPECT_EQ(Decode(b, shortPlain), 0);
    std::vector<uint8_t> shortRle = TgaHeader(10, 4, 4, 24);
    shortRle.insert(shortRle.end(), {0x05, 1, 2});
    EXPECT_EQ(Decode(b, shortRle), 0);
}

TEST(Bitmap, EveryTruncationOfEveryFixtureIsSafe)
{
    for (const char* name : {"pcx24_6x4.pcx", "pcx8_64x4.pcx", "bmp8_6x4.bmp", "bmp24v5_6x4.bmp", "tga24rle_5x3.tga",
                             "tga8rle_6x4.tga"}) {
        std::vector<uint8_t> data = Fixture(name);
        for (size_t len = 1; len < data.size(); ++len) {
            Bitmap b;
            if (b.DecodeImage(data.data(), static_cast<int32_t>(len))) {
                EXPECT_GT(b.width, 0);
            }
        }
    }
}

TEST(Bitmap, ResampleAveragesBoxesIntoEitherLayout)
{
    Bitmap src;
    ASSERT_EQ(src.Create(2, 2, 32), 1);
    uint32_t px[4] = {0x000000, 0x080808, 0x101010, 0x181818};
    std::memcpy(src.pixels, px, sizeof px);
    Bitmap one;
    ASSERT_EQ(one.Create(1, 1, 32), 1);
    ASSERT_EQ(one.ResampleFrom(src), 1);
    EXPECT_EQ(one.Pixel32(0, 0), 0x0C0C0Cu);

    Bitmap pal;
    ASSERT_EQ(pal.Create(1, 1, 8), 1);
    pal.palette[3] = 0xFFFF8040;
    pal.pixels[0] = 3;
    Bitmap out;
    g_pixelFormat555 = 0;
    ASSERT_EQ(out.Create(1, 1, 16), 1);
    ASSERT_EQ(out.ResampleFrom(pal), 1);
    EXPECT_EQ(out.Pixel16(0, 0), (0xFF >> 3) << 11 | (0x80 >> 2) << 5 | 0x40 >> 3);
    g_pixelFormat555 = 1;
    ASSERT_EQ(out.ResampleFrom(pal), 1);
    EXPECT_EQ(out.Pixel16(0, 0), (0xFF >> 3) << 10 | (0x80 >> 3) << 5 | 0x40 >> 3);
    g_pixelFormat555 = 0;
    // Enlarging leaves the unreached pixels black instead of dividing by zero.
    Bitmap big;
    ASSERT_EQ(big.Create(3, 1, 32), 1);
    ASSERT_EQ(big.ResampleFrom(one), 1);
    EXPECT_EQ(big.Pixel32(0, 0), 0x0C0C0Cu);
}

TEST(Bitmap, LoadLogsAMissingFile)
{
    ScratchDir dir;
    Bitmap b;
    EXPECT_EQ(b.Load("Nothing.tga"), 0);
    std::vector<uint8_t> log = ReadFileBytes("Log.txt");
    EXPECT_EQ(std::string(log.begin(), log.end()), "Bitmap::Load( Nothing.tga ) is absent\n");
}

}  // namespace
