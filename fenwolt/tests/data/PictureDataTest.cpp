// Textures, pictures, cursors and glyph sheets of the generated data set, decoded as the
// game's image loader decodes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>

#include "DataReaders.h"
#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Textures.h"

using namespace fwcheck;

namespace {

Picture Load(const std::string& name) {
    std::string path = Resolve(DataRoot(), name);
    if (path.empty()) {
        Picture p;
        p.error = "missing";
        return p;
    }
    // the game takes the JPEG path whenever ".jpg" occurs in the name
    if (name.find(".jpg") != std::string::npos) return ReadJpeg(path);
    return ReadTga(ReadBytes(path));
}

int Alpha(const Picture& p, int x, int y) { return int(p.argb[size_t(y) * size_t(p.width) + size_t(x)] >> 24); }

}  // namespace

// Sizes the callers declare: sprites cut these rectangles out of the files.
TEST(FenwoltPictureData, PicturesHaveTheSizesTheirCallersDeclare) {
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"interface\\title.jpg", {800, 600}},   {"interface\\start.jpg", {800, 600}},
        {"interface\\plain.jpg", {800, 600}},   {"interface\\loading.jpg", {800, 600}},
        {"interface\\ldet.jpg", {800, 600}},    {"interface\\lres.jpg", {800, 600}},
        {"interface\\stats.jpg", {800, 600}},   {"interface\\conf.tga", {401, 232}},
        {"interface\\cursor.tga", {32, 32}},    {"interface\\cursor2.tga", {32, 32}},
        {"interface\\Font1E.tga", {1024, 256}}, {"interface\\Font1F.tga", {512, 256}},
        {"interface\\Font1G.tga", {512, 256}},  {"textures\\slogo.tga", {160, 56}},
        {"textures\\endturn.tga", {128, 36}},   {"textures\\pass.tga", {128, 37}},
        {"textures\\options.tga", {128, 37}},   {"textures\\sub.tga", {128, 37}},
        {"textures\\128top.tga", {128, 32}},    {"textures\\128mid.tga", {128, 64}},
        {"textures\\128bot.tga", {128, 32}},    {"textures\\256top.tga", {256, 32}},
        {"textures\\256mid.tga", {256, 64}},    {"textures\\256bot.tga", {256, 32}},
        {"textures\\512top.tga", {512, 32}},    {"textures\\512mid.tga", {512, 64}},
        {"textures\\512bot.tga", {512, 32}},    {"textures\\infball.tga", {32, 32}},
        {"textures\\infstun.tga", {32, 32}},    {"textures\\inftire.tga", {32, 32}},
    };
    for (const auto& [name, wh] : sizes) {
        SCOPED_TRACE(name);
        Picture p = Load(name);
        ASSERT_EQ(p.error, "");
        EXPECT_EQ(p.width, wh.first);
        EXPECT_EQ(p.height, wh.second);
    }
}

TEST(FenwoltPictureData, JpegsAreBaselineColourPictures) {
    for (const char* name : {"interface\\title.jpg", "interface\\start.jpg", "interface\\plain.jpg",
                             "interface\\loading.jpg", "interface\\ldet.jpg", "interface\\lres.jpg",
                             "interface\\stats.jpg", "textures\\blocktex.jpg", "textures\\pitch.jpg",
                             "textures\\sky.jpg", "texture2\\pitch.jpg"}) {
        SCOPED_TRACE(name);
        Picture p = Load(name);
        ASSERT_EQ(p.error, "");
        EXPECT_FALSE(p.progressive);
        EXPECT_EQ(p.components, 3);
        // not a flat placeholder: a picture has contrast
        uint32_t lo = 255, hi = 0;
        for (uint32_t c : p.argb) {
            uint32_t g = ((c >> 16 & 255) + (c >> 8 & 255) + (c & 255)) / 3;
            lo = std::min(lo, g);
            hi = std::max(hi, g);
        }
        EXPECT_GT(hi - lo, 60u);
    }
}

// Every texture the match can ask for exists in both qualities (the quality rule writes '2'
// over the eighth character), and the 3D textures are power-of-two sized.
TEST(FenwoltPictureData, TexturesHaveLowQualityTwins) {
    std::vector<std::string> names = {"textures\\goaly.tga",   "textures\\rplayer.tga", "textures\\yplayer.tga",
                                      "textures\\ball.tga",    "textures\\markeru.tga", "textures\\marker.tga",
                                      "textures\\markerx.tga", "textures\\markerxr.tga", "textures\\markerm.tga",
                                      "textures\\markermp.tga", "textures\\shadow.tga", "textures\\markermq.tga",
                                      "textures\\markermr.tga", "textures\\shade.tga",   "textures\\blocktex.jpg"};
    for (char c = 'a'; c <= 'p'; ++c) names.push_back(std::string("textures\\no") + c + ".tga");
    for (const auto& n : names) {
        SCOPED_TRACE(n);
        Picture hi = Load(n);
        std::string twin = n;
        twin[7] = '2';
        Picture lo = Load(twin);
        ASSERT_EQ(hi.error, "");
        ASSERT_EQ(lo.error, "");
        EXPECT_LE(lo.width, hi.width);
        EXPECT_EQ(hi.width & (hi.width - 1), 0);
        EXPECT_EQ(hi.height & (hi.height - 1), 0);
    }
}

// The kick arrows take one of three textures by their distance from the ball; the arrow mesh
// wraps the whole picture round it, so each is opaque all over, and each has a colour of its own.
TEST(FenwoltPictureData, KickArrowTexturesCoverTheArrowInThreeColours) {
    std::vector<uint32_t> centres;
    for (const char* n : {"textures\\markermp.tga", "textures\\markermq.tga", "textures\\markermr.tga"}) {
        SCOPED_TRACE(n);
        Picture p = Load(n);
        ASSERT_EQ(p.error, "");
        int clear = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) clear += Alpha(p, x, y) < 200;
        EXPECT_EQ(clear, 0);
        centres.push_back(p.argb[size_t(p.height / 2) * size_t(p.width) + size_t(p.width / 2)] & 0xFFFFFFu);
    }
    EXPECT_NE(centres[0], centres[1]);
    EXPECT_NE(centres[1], centres[2]);
    EXPECT_NE(centres[0], centres[2]);
}

// Shadows are the flattened meshes drawn with their picture through the meshes' own texture
// coordinates, which reach every corner: it must be one even, half-transparent black all over,
// or the silhouettes fall apart (or come out white).
TEST(FenwoltPictureData, ShadowPictureIsAnEvenTranslucentBlack) {
    for (const char* n : {"textures\\shade.tga", "texture2\\shade.tga"}) {
        SCOPED_TRACE(n);
        Picture p = Load(n);
        ASSERT_EQ(p.error, "");
        ASSERT_GE(p.width, 16);
        const int middle = Alpha(p, p.width / 2, p.height / 2);
        EXPECT_GE(middle, 90) << "dark enough to see on the grass";
        EXPECT_LE(middle, 180) << "the grass shows through";
        int uneven = 0, coloured = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                coloured += (p.argb[size_t(y) * size_t(p.width) + size_t(x)] & 0xFFFFFFu) != 0;
                uneven += Alpha(p, x, y) != middle;
            }
        EXPECT_EQ(coloured, 0) << "black wherever it covers";
        EXPECT_EQ(uneven, 0);
    }
}

// The path dots lie on the same square mesh, the picture stretched over it: the dot beyond a
// player's reach is a dark disc as large as the one within reach, fading out at its edge, with
// the square's corners clear (a trail of dark tiles is what it must not be).
TEST(FenwoltPictureData, OutOfReachDotIsARoundSoftDarkDisc) {
    for (const char* dir : {"textures\\", "texture2\\"}) {
        SCOPED_TRACE(dir);
        Picture dot = Load(std::string(dir) + "shadow.tga"), inReach = Load(std::string(dir) + "markerm.tga");
        ASSERT_EQ(dot.error, "");
        ASSERT_EQ(inReach.error, "");
        ASSERT_EQ(dot.width, inReach.width);
        ASSERT_EQ(dot.width, dot.height);
        const int size = dot.width, half = size / 2;
        // Alpha along the row through the middle, from the centre outwards.
        auto radial = [&](const Picture& p) {
            std::vector<int> a;
            for (int x = half; x < size; ++x) a.push_back(Alpha(p, x, half));
            return a;
        };
        auto radius = [](const std::vector<int>& a) {
            int r = 0;
            while (r < int(a.size()) && a[size_t(r)] > 0) ++r;
            return r;
        };
        const std::vector<int> a = radial(dot);
        EXPECT_GE(a[0], 90) << "dark enough to see on the grass";
        EXPECT_LE(a[0], 180) << "the grass shows through";
        EXPECT_NEAR(radius(a), radius(radial(inReach)), size / 16 + 1) << "as large as the dot within reach";
        int levels = 0;
        for (size_t i = 1; i < a.size(); ++i) {
            EXPECT_LE(a[i], a[i - 1]) << "darkest in the middle";
            levels += a[i] > 0 && a[i] < a[0];
        }
        EXPECT_GE(levels, size / 16) << "a soft edge, not a cut-out";
        int black = 0, beyond = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                black += (dot.argb[size_t(y) * size_t(size) + size_t(x)] & 0xFFFFFFu) == 0;
                // Round: nothing lies further from the middle than the dot reaches along the row.
                const float d = std::hypot(x + 0.5f - float(half), y + 0.5f - float(half));
                if (d > float(radius(a)) + 1.0f) beyond += Alpha(dot, x, y) > 0;
            }
        EXPECT_EQ(black, size * size);
        EXPECT_EQ(beyond, 0) << "the corners of the square are clear";
    }
}

TEST(FenwoltPictureData, KitsShareTheBodyLayoutAndTheDefaultsExist) {
    Picture body = Load("textures\\rplayer.tga");
    ASSERT_EQ(body.error, "");
    // the kit list is whatever matches kit\kit*.tga
    int kits = 0;
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(DataRoot() + "/kit")) {
        std::string f = e.path().filename().string();
        if (f.rfind("kit", 0) == 0 && f.size() > 4 && f.substr(f.size() - 4) == ".tga") found.push_back(f);
    }
    EXPECT_EQ(found.size(), fwdata::KitNames().size());
    for (const auto& k : found) {
        SCOPED_TRACE(k);
        Picture p = Load("kit\\" + k);
        ASSERT_EQ(p.error, "");
        EXPECT_EQ(p.width, body.width);
        EXPECT_EQ(p.height, body.height);
        ++kits;
    }
    // the cup moves the away side to the next kit every round: five rounds and two teams
    EXPECT_GE(kits, 7);
    EXPECT_EQ(Load("kit\\kitbbpb.tga").error, "");
    EXPECT_EQ(Load("kit\\kitwwpw.tga").error, "");
}

TEST(FenwoltPictureData, SlidersAndCursorsAreWhereTheScreensCutThem) {
    Picture c = Load("interface\\controls.tga");
    ASSERT_EQ(c.error, "");
    ASSERT_EQ(c.bits, 32);
    for (int x = 2; x < 170; x += 7) EXPECT_EQ(Alpha(c, x, 138), 255) << x;   // the bar
    for (int y = 228; y < 254; y += 5) EXPECT_EQ(Alpha(c, 127, y), 255) << y; // the knob
    EXPECT_EQ(Alpha(c, 60, 60), 0);
    for (const char* n : {"interface\\cursor.tga", "interface\\cursor2.tga"}) {
        Picture p = Load(n);
        ASSERT_EQ(p.error, "");
        ASSERT_EQ(p.bits, 32);
        EXPECT_EQ(Alpha(p, 2, 6), 255) << n;    // the pointer's tip is at the top left
        EXPECT_EQ(Alpha(p, 30, 30), 0) << n;    // the rest is clear
    }
}

// The advance after a glyph is its table width, so a glyph drawn narrower than its advance
// shows as a gap inside a word ("M usic"). Letters and digits fill their advances: at most two
// pixels are left before the ink and after it in every font.
TEST(FenwoltPictureData, LettersAndDigitsFillTheirAdvances) {
    const char* files[3] = {"interface\\Font1E.tga", "interface\\Font1F.tga", "interface\\Font1G.tga"};
    const int cellW[3] = {32, 24, 24}, cellH[3] = {24, 16, 16};
    auto isLetterOrDigit = [](int code) {
        if (code < 128) return std::isalnum(code) != 0;
        // the accented letters; 156, 158, 159 and 166..168 are signs
        return code <= 155 || code == 157 || (code >= 160 && code <= 165);
    };
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(files[k]);
        const auto& w = fwdata::GameWidthTable(k);
        Picture p = Load(files[k]);
        ASSERT_EQ(p.error, "");
        for (int code = 33; code <= 165; ++code) {
            if (!isLetterOrDigit(code)) continue;
            const int cx = (code % 20) * cellW[k], cy = (code / 20) * cellH[k];
            int inkLeft = cellW[k], inkRight = -1;
            for (int y = 0; y < cellH[k]; ++y)
                for (int x = 0; x < cellW[k]; ++x)
                    if (Alpha(p, cx + x, cy + y) > 0) {
                        inkLeft = std::min(inkLeft, x);
                        inkRight = std::max(inkRight, x);
                    }
            ASSERT_GE(inkRight, 0) << "empty glyph " << code;
            EXPECT_LE(inkLeft, 2) << "space before glyph " << code;
            EXPECT_LE(w[size_t(code)] - 1 - inkRight, 2) << "space after glyph " << code << " (advance "
                                                           << w[size_t(code)] << ")";
        }
    }
}

// The glyph sheets follow the width tables: each glyph of code c lies in cell c of the
// 20-column grid, and its ink stays left of the advance the table gives.
TEST(FenwoltPictureData, GlyphsFitTheirWidthTables) {
    const int sample[][4] = {{' ', 8, 8, 4},   {'!', 9, 6, 4},   {'.', 5, 4, 3},    {'0', 20, 14, 10},
                             {'1', 12, 7, 6},  {'A', 21, 14, 10}, {'I', 9, 5, 5},    {'M', 27, 19, 13},
                             {'W', 25, 19, 14}, {'a', 15, 10, 8}, {'i', 8, 5, 4},    {'m', 23, 16, 11},
                             {146, 32, 23, 17}, {168, 15, 11, 7}};
    const char* files[3] = {"interface\\Font1E.tga", "interface\\Font1F.tga", "interface\\Font1G.tga"};
    const int cellW[3] = {32, 24, 24}, cellH[3] = {24, 16, 16}, maxW[3] = {32, 23, 17};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(files[k]);
        const auto& w = fwdata::GameWidthTable(k);
        for (const auto& s : sample) EXPECT_EQ(w[size_t(s[0])], s[k + 1]) << "code " << s[0];
        Picture p = Load(files[k]);
        ASSERT_EQ(p.error, "");
        ASSERT_EQ(p.bits, 32);
        for (int code = 0; code < 256; ++code) {
            if (code >= 32 && code <= 168) {
                EXPECT_GE(w[size_t(code)], 3);
                EXPECT_LE(w[size_t(code)], maxW[k]);
            } else {
                EXPECT_EQ(w[size_t(code)], 0) << code;
            }
            if (code < 33 || code > 168 || code == 127) continue;
            int cx = (code % 20) * cellW[k], cy = (code / 20) * cellH[k];
            int inkRight = -1, ink = 0;
            for (int y = 0; y < cellH[k]; ++y)
                for (int x = 0; x < cellW[k]; ++x)
                    if (Alpha(p, cx + x, cy + y) > 0) {
                        inkRight = std::max(inkRight, x);
                        ++ink;
                    }
            EXPECT_GT(ink, 0) << "empty glyph " << code;
            EXPECT_LT(inkRight, w[size_t(code)]) << "glyph " << code << " overruns its advance";
        }
        // nothing is drawn in the cells before the space
        for (int y = 0; y < 2 * cellH[k]; ++y)
            for (int x = 0; x < 20 * cellW[k]; ++x) {
                if (y >= cellH[k] && x >= 12 * cellW[k]) continue;
                ASSERT_EQ(Alpha(p, x, y), 0);
            }
    }
}
