// The generator's writers, and the data set's determinism.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <filesystem>
#include <unistd.h>

#include "DataReaders.h"
#include "fenwolt/data/Audio.h"
#include "fenwolt/data/ClubNames.h"
#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Generate.h"
#include "fenwolt/data/Image.h"
#include "fenwolt/data/Mesh.h"
#include "fenwolt/data/Player.h"
#include "fenwolt/data/Scene.h"

namespace fs = std::filesystem;
using namespace fwcheck;

namespace {
std::string TempDir(const char* tag) {
    fs::path p = fs::temp_directory_path() / ("fenwolt-data-" + std::string(tag) + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p.string();
}
}  // namespace

TEST(FenwoltGenerator, TgaRoundTripKeepsOrientationAndAlpha) {
    std::string dir = TempDir("tga");
    fwdata::Image img(5, 3, fwdata::Argb(255, 10, 20, 30));
    img.Set(0, 0, fwdata::Argb(128, 255, 0, 0));   // top left
    img.Set(4, 2, fwdata::Argb(255, 0, 0, 255));   // bottom right
    fwdata::WriteTga(dir + "/a.tga", img, 32);
    fwdata::WriteTga(dir + "/b.tga", img, 24);
    Picture a = ReadTga(ReadBytes(dir + "/a.tga")), b = ReadTga(ReadBytes(dir + "/b.tga"));
    ASSERT_EQ(a.error, "");
    ASSERT_EQ(b.error, "");
    EXPECT_EQ(a.width, 5);
    EXPECT_EQ(a.height, 3);
    EXPECT_EQ(a.argb, img.px);
    EXPECT_EQ(b.argb[0], 0xFFFF0000u);    // 24 bits: alpha dropped, colour kept
    EXPECT_EQ(b.argb[14], 0xFF0000FFu);
    EXPECT_EQ(ReadBytes(dir + "/b.tga").size(), 18u + 5 * 3 * 3);
    EXPECT_THROW(fwdata::WriteTga(dir + "/c.tga", img, 16), std::runtime_error);
    EXPECT_THROW(fwdata::WriteTga(dir + "/missing/c.tga", img, 24), std::runtime_error);
    fs::remove_all(dir);
}

TEST(FenwoltGenerator, XWriterRoundTripsThroughTheGamesParser) {
    fwdata::Mesh m;
    m.name = "probe";
    m.AddBox({-1, 0, -2}, {1, 3, 2}, 0.0f, 0.25f, 0.5f, 1.0f);
    m.AddTube({0, 3, 0}, {0, 5, 0}, 0.5f, 0.25f, 6, 0, 0, 1, 1);
    XMesh x = ParseXText(fwdata::FormatXFile(m));
    ASSERT_EQ(x.error, "");
    ASSERT_EQ(x.verts.size(), m.verts.size());
    ASSERT_EQ(x.idx, m.idx);
    for (size_t i = 0; i < m.verts.size(); ++i) {
        EXPECT_NEAR(x.verts[i][0], m.verts[i].p.x, 1e-5f);
        EXPECT_NEAR(x.verts[i][2], m.verts[i].p.z, 1e-5f);
        EXPECT_NEAR(x.verts[i][4], m.verts[i].n.y, 1e-5f);
        EXPECT_NEAR(x.verts[i][7], m.verts[i].v, 1e-5f);
    }
    // a name with digits would be read as the vertex count; an empty mesh has nothing to draw
    m.name = "probe2";
    EXPECT_THROW(fwdata::FormatXFile(m), std::runtime_error);
    fwdata::Mesh empty;
    empty.name = "empty";
    EXPECT_THROW(fwdata::FormatXFile(empty), std::runtime_error);
}

TEST(FenwoltGenerator, MirroredMeshesStayFrontFacing) {
    fwdata::Mesh m;
    m.name = "side";
    m.AddQuad({0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, 0, 0, 1, 1);
    m.Transform(-1, 1, 1, 0, 0, 0);
    fwdata::Vec3 a = m.verts[m.idx[0]].p, b = m.verts[m.idx[1]].p, c = m.verts[m.idx[2]].p;
    EXPECT_GT(fwdata::Dot(fwdata::Cross(b - a, c - a), m.verts[m.idx[0]].n), 0.0f);
}

TEST(FenwoltGenerator, CharacterSetFollowsTheFonts) {
    EXPECT_EQ(fwdata::ToGameCharset("Défenseur"), std::string("D\x82" "fenseur"));
    EXPECT_EQ(fwdata::ToGameCharset("Zurück"), std::string("Zur\x81" "ck"));
    EXPECT_EQ(static_cast<unsigned char>(fwdata::ToGameCharset("Æ")[0]), 146);
    // no glyph, no text: the sharp s lies beyond the fonts' codes
    EXPECT_THROW(fwdata::ToGameCharset("Straße"), std::runtime_error);
    EXPECT_THROW(fwdata::ToGameCharset("\xC3"), std::runtime_error);
    EXPECT_EQ(fwdata::GameCodeToUnicode(169), 0u);
}

TEST(FenwoltGenerator, EncodersWriteExactLayouts) {
    fwdata::Animation a;
    a.file = "probe.anx";
    a.durations = {3, 4};
    a.frames = {{{1, 2, 3}}, {{4, 5, 6}}};
    auto bytes = fwdata::EncodeAnx(a, 1);
    Anx r = ParseAnx(bytes);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.version, 7u);
    EXPECT_EQ(r.durations, (std::vector<int32_t>{3, 4}));
    EXPECT_FLOAT_EQ(r.frames[1][0][2], 6.0f);
    EXPECT_THROW(fwdata::EncodeAnx(a, 2), std::runtime_error);   // frames must cover the whole mesh
    a.durations.assign(101, 1);
    a.frames.assign(101, {{0, 0, 0}});
    EXPECT_THROW(fwdata::EncodeAnx(a, 1), std::runtime_error);   // the store holds 100 frames
    Wav w = ParseWav(fwdata::EncodeWav({0, 1000, -1000}, 22050));
    ASSERT_EQ(w.error, "");
    EXPECT_EQ(w.samples, (std::vector<int16_t>{0, 1000, -1000}));
    std::string list = fwdata::FormatResourceList({"a.x", "b.tga"});
    EXPECT_EQ(list, "a.x\r\nb.tga\r\n");
    auto fields = SplitPlacementFields(fwdata::FormatPlacementList(fwdata::StadiumPlacements()));
    EXPECT_EQ(fields.size(), 31 * fwdata::StadiumPlacements().size());
}

// Two runs write the same bytes: the build may run the generator at any time.
TEST(FenwoltGenerator, DataSetIsDeterministic) {
    std::string dir = TempDir("det");
    auto names = fwdata::GenerateDataSet(dir, "");
    ASSERT_GT(names.size(), 150u);
    for (const auto& n : names) {
        std::string mine = fwdata::DataPath(dir, n), built = fwdata::DataPath(DataRoot(), n);
        ASSERT_EQ(ReadBytes(mine), ReadBytes(built)) << n;
    }
    fs::remove_all(dir);
}

// Names are copied into fixed fields: 12 bytes for a team, 15 for a player on the pitch.
TEST(FenwoltGenerator, ClubNamesFitTheirFields) {
    std::set<std::string> clubs;
    for (const char* c : fwdata::kClubNames) {
        EXPECT_LE(std::strlen(c), 11u) << c;
        EXPECT_GT(std::strlen(c), 0u);
        clubs.insert(c);
    }
    for (const char* c : fwdata::kCupOpponents) {
        EXPECT_LE(std::strlen(c), 11u) << c;
        clubs.insert(c);
    }
    EXPECT_EQ(clubs.size(), 18u + 5u);   // every club and opponent distinct
    std::set<std::string> everyone;
    for (const auto& squad : fwdata::kClubSurnames) {
        std::set<std::string> names;
        for (const char* s : squad) {
            EXPECT_LE(std::strlen(s), 14u) << s;
            for (const char* p = s; *p; ++p) EXPECT_GT(fwdata::GameWidthTable(1)[static_cast<unsigned char>(*p)], 0);
            names.insert(s);
            everyone.insert(s);
        }
        EXPECT_EQ(names.size(), 16u);   // no club fields the same surname twice
    }
    EXPECT_GT(everyone.size(), 100u);   // varied across the clubs
}
