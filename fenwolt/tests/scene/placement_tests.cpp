#include "fenwolt/Game/Engine/PlacementLists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A stand-in instance table: creation takes the first free slot, as the game's does.
ModelInstance* g_table = nullptr;
int g_tableSize = 0;
std::vector<std::string> g_created;
std::vector<float> g_scales;

int CreateIn(const char* mesh, const char*, float x, float, float, float, float, float, float scale)
{
    if (std::strcmp(mesh, "missing.x") == 0) return INSTANCE_NONE;
    for (int i = 0; i < g_tableSize; ++i) {
        if (g_table[i].InUse) continue;
        g_table[i] = ModelInstance{};
        g_table[i].InUse = 1;
        g_table[i].Position.x = x;
        std::snprintf(g_table[i].Name, sizeof g_table[i].Name, "%s", mesh);
        g_created.push_back(mesh);
        g_scales.push_back(scale);
        return i;
    }
    return INSTANCE_NONE;
}

int FreeIn(int index)
{
    g_table[index].InUse = 0;
    g_table[index].Kind = 0;
    return 1;
}

std::string Record(const std::string& mesh, int kind, const std::string& sep = ",", int shadow = 0)
{
    std::string r = mesh + sep + "tex.tga" + sep + "1.5" + sep + "2" + sep + "-3e1" + sep + "0" + sep + "1.25" + sep +
                    "0" + sep + "2.5" + sep + "9" + sep + "9" + sep + "1" + sep + std::to_string(kind) + sep +
                    std::to_string(shadow) + sep + "0";
    for (int i = 15; i <= 20; ++i) r += sep + "x";
    for (int i = 21; i <= 30; ++i) r += sep + std::to_string(i * 10);
    return r + "\r\n";
}

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_table = table;
        g_tableSize = 8;
        g_created.clear();
        g_scales.clear();
        PlacementInstanceHooks hooks;
        hooks.Create = CreateIn;
        hooks.Free = FreeIn;
        SetPlacementInstanceHooks(hooks);
    }
    void TearDown() override { SetPlacementInstanceHooks(PlacementInstanceHooks{}); }
    int Load(const std::string& text) { return LoadModelListInto(table, 8, text.data(), text.size()); }
    int Used()
    {
        int n = 0;
        for (auto& m : table) n += m.InUse;
        return n;
    }
    ModelInstance table[8];
};

TEST_F(PlacementTest, RecordsBecomeInstancesWithTheirFlagsAndUserValues)
{
    ASSERT_EQ(Load(Record("stand.x", 11, ",", 1)), 1);
    ASSERT_EQ(Used(), 1);
    const ModelInstance& m = table[0];
    EXPECT_EQ(m.Kind, 11);
    EXPECT_TRUE(m.Translucent);
    EXPECT_TRUE(m.CastsShadow);
    EXPECT_TRUE(m.ShadowDirty);
    EXPECT_FALSE(m.Billboard);
    EXPECT_EQ(m.UserValues[0], 210);
    EXPECT_EQ(m.UserValues[9], 300);
    EXPECT_FLOAT_EQ(m.Position.x, 1.5f);
    EXPECT_FLOAT_EQ(g_scales[0], 2.5f);
}

TEST_F(PlacementTest, LineBreaksAndRunsOfSeparatorsCarryNoMeaning)
{
    const std::string a = Record("a.x", 3) + Record("b.x", 3);
    const std::string b = Record("a.x", 3) + "\r\n\r\n" + Record("b.x", 3, ",\n");
    ASSERT_EQ(Load(a), 1);
    std::vector<std::string> first = g_created;
    for (auto& m : table) m = ModelInstance{};
    g_created.clear();
    ASSERT_EQ(Load(b), 1);
    EXPECT_EQ(g_created, first);
    EXPECT_EQ(table[1].UserValues[9], 300);
    // ",," is one separator: an empty texture field does not exist, so every later field moves
    // up one place and the second record lends the first its last field.
    std::string shifted = Record("c.x", 3, ",", 1) + Record("d.x", 3);
    shifted.replace(shifted.find(",tex.tga"), 8, ",");
    for (auto& m : table) m = ModelInstance{};
    g_created.clear();
    ASSERT_EQ(Load(shifted), 1);
    EXPECT_EQ(g_created, std::vector<std::string>{"c.x"});
    EXPECT_EQ(table[0].Kind, 1) << "the shadow flag's value lands in the kind";
    EXPECT_TRUE(table[0].Translucent) << "the written kind 3 now reads as the translucent flag";
    EXPECT_EQ(table[0].UserValues[8], 300);
    EXPECT_EQ(table[0].UserValues[9], 0) << "the next record's mesh name, read as a number";
}

TEST_F(PlacementTest, ReloadingFreesOnlyTheEarlierKindElevenSet)
{
    const std::string list = Record("a.x", 11) + Record("b.x", 4);
    ASSERT_EQ(Load(list), 1);
    ASSERT_EQ(Load(list), 1);
    int eleven = 0, four = 0;
    for (auto& m : table) {
        if (!m.InUse) continue;
        eleven += m.Kind == 11;
        four += m.Kind == 4;
    }
    EXPECT_EQ(eleven, 1);
    EXPECT_EQ(four, 2);
    UnloadModelListFrom(table, 8);
    EXPECT_EQ(Used(), 2);
}

TEST_F(PlacementTest, IncompleteRecordsFailedMeshesAndAFullTable)
{
    std::string list = Record("a.x", 2) + Record("missing.x", 2) + Record("b.x", 2);
    list += "c.x,tex,1,2,3";  // incomplete: ignored
    ASSERT_EQ(Load(list), 1);
    EXPECT_EQ(Used(), 2);
    std::string many;
    for (int i = 0; i < 12; ++i) many += Record("m.x", 2);
    ASSERT_EQ(Load(many), 1);
    EXPECT_EQ(Used(), 8);
    // No way to create instances: a clear failure, nothing freed.
    SetPlacementInstanceHooks(PlacementInstanceHooks{});
    table[0].Kind = 11;
    EXPECT_EQ(Load(Record("a.x", 11)), 0);
    EXPECT_TRUE(table[0].InUse);
}

TEST_F(PlacementTest, NumbersReadFromTheirLeadingCharacters)
{
    EXPECT_FLOAT_EQ(ParsePlacementFloat("12.5abc"), 12.5f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("-.5"), -0.5f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("1e3"), 1000.f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("2e"), 2.f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("abc"), 0.f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("nan"), 0.f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat("0x10"), 0.f);
    EXPECT_FLOAT_EQ(ParsePlacementFloat(" 5"), 0.f);
    EXPECT_EQ(ParsePlacementInt("42.9"), 42);
    EXPECT_EQ(ParsePlacementInt("-7x"), -7);
    EXPECT_EQ(ParsePlacementInt("+"), 0);
    EXPECT_EQ(ParsePlacementInt("99999999999999999999"), INT32_MAX);
}

TEST_F(PlacementTest, LongNamesAreCutToTheRecord)
{
    const std::string name(400, 'n');
    PlacementRecord got;
    const std::string text = Record(name, 1);
    EXPECT_EQ(ParsePlacementList(
                  text.data(), text.size(),
                  [](const PlacementRecord& r, void* out) { *static_cast<PlacementRecord*>(out) = r; }, &got),
              1);
    EXPECT_EQ(std::strlen(got.MeshFile), 259u);
    EXPECT_STREQ(got.TextureFile, "tex.tga");
}

}  // namespace
