// Saved games and teams: the stored layout, the round trip, what a slot shows, files that are
// short, long, damaged or hostile, which change nothing, and the slot lists as they are drawn.
#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/tests/frontend/fe_b_support.h"
#include "fenwolt/tests/frontend/fe_records_support.h"
#include "platform/win32/byte_order.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

int32_t I32At(const Bytes& b, size_t at) { return (int32_t)LoadLe32(&b[at]); }
float F32At(const Bytes& b, size_t at)
{
    const int32_t i = I32At(b, at);
    float f;
    std::memcpy(&f, &i, 4);
    return f;
}
void PutI32(Bytes& b, size_t at, int32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)((uint32_t)v >> (8 * i));
}
void PutF32(Bytes& b, size_t at, float v)
{
    int32_t i;
    std::memcpy(&i, &v, 4);
    PutI32(b, at, i);
}

// A game in the middle of a cup match, with values that stand out in the file.
void SetUpCupGame()
{
    ResetFrontEndState(5);
    SetKitNames({"kita.tga", "kitb.tga", "kitc.tga", "kitd.tga"});
    MakeDefaultSquads();
    std::strcpy(TeamNames[0], "Larks");
    std::strcpy(TeamNames[1], "Corvale FC");
    InitLeague();
    League.rows[4].won = 3;
    League.rows[4].goalsFor = 7;
    SortLeagueTable();
    Competition.gameMode = MODE_CUP;
    Competition.cupRound = 2;
    Competition.pointsToSpend[0] = 135;
    Competition.pointsToSpend[1] = 40;
    Competition.leagueMatch = 0;
    Competition.matchInProgress = 1;
    Competition.currentManager = 0;
    MatchSetup.difficulty = 3;
    MatchSetup.minutesPerHalf = 7;
    MatchSetup.abilitySwapLocked = 1;
    MatchSetup.kitChoice[0] = 2;
    MatchSetup.kitChoice[1] = 3;
    HomeGoals = 2;
    AwayGoals = 1;
    Minute = 31;
    Second = 25;
    Half = 1;
    TurnPhase = PHASE_AWAY_PLANS;
    MatchStopState = STOP_CORNER;
    SelectedPlayer = 14;
    BallHolder = 8;
    CameraTarget = D3DVECTOR{59.47f, 0.f, 42.08f};
    CameraEye = D3DVECTOR{46.f, 2.7f, 42.f};
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        MatchPlayers[i].model = 100 + i;
        MatchPlayers[i].numberMarkerModel = 200 + i;
        MatchPlayers[i].squadSlot = i % SIDE_SIZE;
        MatchPlayers[i].energy = 80.f + i;
        MatchPlayers[i].role = i % 4;
        std::snprintf(MatchPlayers[i].name, sizeof MatchPlayers[i].name, "Pitch%d", i);
    }
    TheBall.model = 150;
    TheBall.markerModel = 151;
    TheBall.destination = D3DVECTOR{10.f, 0.11907f, 20.f};
}

Bytes Encode()
{
    std::unique_ptr<SavedGameState, void (*)(SavedGameState*)> s(NewSavedGameState(), DeleteSavedGameState);
    CaptureSavedGame(*s, 6, "Wed Mar  4 10:20:30 2026\n");
    auto file = std::make_unique<SavedGameFile>();
    EncodeSavedGame(*s, *file);
    return Bytes(file->bytes, file->bytes + SavedGameFile::kSize);
}

// The game as it stands, written without its time text, to compare before and after a load.
Bytes GameImage()
{
    Bytes b = Encode();
    std::fill(b.begin(), b.begin() + 260, 0);
    return b;
}

std::filesystem::path SaveFile(int slot) { return "saves/sav" + std::to_string(slot) + ".sav"; }
}  // namespace

TEST(SavedGameLayout, BlocksLieAtTheirOffsetsWithoutPadding)
{
    SetUpCupGame();
    const Bytes b = Encode();
    ASSERT_EQ(b.size(), 23924u);
    EXPECT_EQ(std::string((const char*)b.data()), "Wed Mar  4 10:20:30 2026\n");
    EXPECT_EQ(I32At(b, 260), 6);
    EXPECT_EQ(b[264], 1);
    EXPECT_EQ(I32At(b, 268), MODE_CUP);
    EXPECT_FLOAT_EQ(F32At(b, 272), 59.47f);
    EXPECT_FLOAT_EQ(F32At(b, 284 + 4), 2.7f);
    EXPECT_EQ(I32At(b, 296), 2);
    EXPECT_EQ(I32At(b, 300), 1);
    EXPECT_EQ(I32At(b, 308 + 8), 1) << "goal-side table [2]";
    EXPECT_EQ(I32At(b, 324), 100) << "player 0's instance";
    EXPECT_EQ(I32At(b, 324 + 260 * 21), 121);
    EXPECT_FLOAT_EQ(F32At(b, 324 + 260 * 3 + 128), 83.f) << "player 3's energy";
    EXPECT_EQ(std::string((const char*)&b[324 + 260 * 5 + 181]), "Pitch5");
    EXPECT_FLOAT_EQ(F32At(b, 6044), 6.f) << "formation x of the keeper";
    EXPECT_FLOAT_EQ(F32At(b, 6132 + 4), 23.f) << "formation z of player 1";
    EXPECT_EQ(I32At(b, 6220 + 4 * 9), ROLE_ATT);
    EXPECT_EQ(I32At(b, 6396), 14);
    EXPECT_EQ(I32At(b, 6400), 9);
    EXPECT_EQ(I32At(b, 6404), 20);
    EXPECT_EQ(b[6409], 1) << "the ball marker is shown (block 16 at an odd offset)";
    EXPECT_EQ(I32At(b, 6460), 150);
    EXPECT_FLOAT_EQ(F32At(b, 6460 + 32), 10.f);
    EXPECT_EQ(I32At(b, 6552), 8);
    EXPECT_EQ(I32At(b, 6613), PHASE_AWAY_PLANS);
    EXPECT_EQ(I32At(b, 6641), 31);
    EXPECT_EQ(I32At(b, 6645), 25);
    EXPECT_EQ(I32At(b, 6649), 1);
    EXPECT_EQ(I32At(b, 6681), STOP_CORNER);
    EXPECT_FLOAT_EQ(F32At(b, 6726), 10.f) << "HUD panel x";
    EXPECT_FLOAT_EQ(F32At(b, 6730), 467.f) << "HUD panel y";
    EXPECT_EQ(I32At(b, 13634), MODE_CUP);
    EXPECT_EQ(std::string((const char*)&b[13638]), "Larks");
    EXPECT_EQ(std::string((const char*)&b[13650]), "Corvale FC");
    EXPECT_EQ(std::string((const char*)&b[13662 + 96]), std::string(TeamSquads[0].players[0].name));
    EXPECT_FLOAT_EQ(F32At(b, 13662 + 4608 + 288 * 2), TeamSquads[1].players[2].attributes[ATTR_SPEED]);
    EXPECT_EQ(I32At(b, 22878), 2);
    EXPECT_EQ(I32At(b, 22882), 3);
    EXPECT_EQ(I32At(b, 22890), 2);
    EXPECT_EQ(I32At(b, 22894), 135);
    EXPECT_EQ(I32At(b, 22898), 40);
    EXPECT_EQ(I32At(b, 22902), 0);
    EXPECT_EQ(I32At(b, 22906 + 48 * 4), 0) << "team 4 tops the table";
    EXPECT_EQ(I32At(b, 22906 + 48 * 4 + 28), 9);
    EXPECT_EQ(std::string((const char*)&b[22906 + 36]), "Larks");
    EXPECT_EQ(I32At(b, 23674), 1);
    EXPECT_EQ(I32At(b, 23822), -1);
    EXPECT_EQ(b[23826], 1);
    EXPECT_EQ(I32At(b, 23879), 7);
    EXPECT_EQ(b[23883], 1);
    EXPECT_EQ(I32At(b, 23884), 4) << "difficulty 3 kept in the first reserved word";
    EXPECT_EQ(I32At(b, 23888), 1) << "manager 0 kept in the second";
    for (size_t at = 23892; at < 23924; at += 4) EXPECT_EQ(I32At(b, at), 0);
}

class SaveSlots : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* kit : {"kit/kita.tga", "kit/kitb.tga", "kit/kitc.tga", "kit/kitd.tga"}) dir.Write(kit, "x");
        SetUpCupGame();
    }
    ScratchDirectory dir{"fe-saves"};
};

TEST_F(SaveSlots, SaveLoadAndSaveAgainGiveTheSameBytesButTheTime)
{
    ASSERT_TRUE(SaveGame(3));
    const Bytes first = FileBytes(SaveFile(3));
    ASSERT_EQ(first.size(), 23924u);
    EXPECT_FALSE(std::filesystem::exists(TemporaryNameOf("saves/sav3.sav")));
    const Bytes before = GameImage();

    // Everything the file holds is changed, then loaded back.
    ResetFrontEndState(99);
    SetKitNames({"kita.tga", "kitb.tga", "kitc.tga", "kitd.tga"});
    MatchSetup.difficulty = 9;
    Competition.currentManager = 1;
    ASSERT_NE(GameImage(), before);
    ASSERT_TRUE(LoadSavedGame(3));
    EXPECT_EQ(GameImage(), before);
    EXPECT_EQ(Competition.gameMode, MODE_CUP);
    EXPECT_EQ(Competition.cupRound, 2);
    EXPECT_EQ(Competition.pointsToSpend[0], 135);
    EXPECT_EQ(Competition.pointsToSpend[1], 40);
    EXPECT_EQ(League.rows[4].position, 0);
    EXPECT_EQ(MatchSetup.difficulty, 3) << "the difficulty comes back from the reserved words";
    EXPECT_EQ(Competition.currentManager, 0);
    EXPECT_STREQ(TeamNames[1], "Corvale FC");

    ASSERT_TRUE(SaveGame(3));
    const Bytes second = FileBytes(SaveFile(3));
    ASSERT_EQ(second.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin() + 260, first.end(), second.begin() + 260));
}

// Every field of every record a saved game or a team file holds, each with a value of its own, is
// saved, given another value, and loaded back: each must come back as it was saved, in its own
// place. The on/off fields take their turn over as many rounds as it takes to tell every two of
// them apart. The saved game's poses live in the application's instance table.
class SavedGameFields : public SaveSlots {
protected:
    void SetUp() override
    {
        SaveSlots::SetUp();
        if (!TheAppConstructed()) {
            ConstructTheApp();
            constructedHere_ = true;
        }
    }
    void TearDown() override
    {
        if (constructedHere_) DestroyTheApp();
    }
    bool constructedHere_ = false;
};

TEST_F(SavedGameFields, EveryFieldComesBackAsItWasSavedAndInItsOwnPlace)
{
    const RoundTripResult r =
        RoundTripEveryField(WalkSavedGame, [] { return SaveGame(3); }, [] { return LoadSavedGame(3); }, ScrubPoses);
    EXPECT_EQ(r.faults, "");
    EXPECT_GT(r.fields, 5000);
}

TEST_F(SaveSlots, EveryFieldOfATeamComesBackAsItWasSavedAndInItsOwnPlace)
{
    const RoundTripResult r = RoundTripEveryField([](FieldVisitor& visit) { WalkTeam(visit, TeamStaging); },
                                                  [] { return SaveTeam(4); }, [] { return LoadTeam(4); });
    EXPECT_EQ(r.faults, "");
    EXPECT_GT(r.fields, 1000);
}

// Every field's bytes, page after page of a round trip, under its name.
class FieldPages : public FieldVisitor {
public:
    // Called once for every page, with the values that page saves.
    void Page(const std::function<void(FieldVisitor&)>& walk)
    {
        at_ = 0;
        walk(*this);
    }
    // The fields of one size that hold the same bytes as another on every page, at most eight
    // named; empty when every two fields differ on some page.
    std::string Alike() const
    {
        std::map<std::vector<uint8_t>, const std::string*> seen;
        std::string out;
        int found = 0;
        for (const auto& [name, bytes] : fields_) {
            const auto [it, added] = seen.emplace(bytes, &name);
            if (!added && found++ < 8) out += (out.empty() ? "" : ", ") + *it->second + " and " + name;
        }
        return found > 8 ? out + " and " + std::to_string(found - 8) + " more" : out;
    }
    size_t Fields() const { return fields_.size(); }

    void Int(const std::string& n, int32_t& v, int32_t, int32_t) override { Add(n, &v, sizeof v); }
    void Choice(const std::string& n, int32_t& v, std::initializer_list<int32_t>) override { Add(n, &v, sizeof v); }
    void Instance(const std::string& n, int32_t& v, int32_t) override { Add(n, &v, sizeof v); }
    void Switch(const std::string& n, int32_t& v) override { Add(n, &v, sizeof v); }
    void Flag(const std::string& n, uint8_t& v) override { Add(n, &v, sizeof v); }
    void Float(const std::string& n, float& v) override { Add(n, &v, sizeof v); }
    void FloatIn(const std::string& n, float& v, float, float) override { Add(n, &v, sizeof v); }
    void Text(const std::string& n, char* v, size_t size, size_t) override { Add(n, v, size); }
    void Bytes(const std::string& n, uint8_t* v, size_t size) override { Add(n, v, size); }

private:
    // The size leads each field's bytes, so that only fields of one size can be alike.
    void Add(const std::string& name, const void* v, size_t size)
    {
        if (at_ == fields_.size()) fields_.push_back({name, {(uint8_t)size, (uint8_t)(size >> 8)}});
        const auto* p = static_cast<const uint8_t*>(v);
        std::vector<uint8_t>& bytes = fields_[at_++].second;
        bytes.insert(bytes.end(), p, p + size);
    }
    std::vector<std::pair<std::string, std::vector<uint8_t>>> fields_;
    size_t at_ = 0;
};

// A field read into another's place comes back with the other's value: the round trips above
// catch it only if the two were saved with different values. Over the pages of each round trip,
// every two fields of a saved game, and of a team file, do differ: no two can change places
// unseen, however few values either may take.
TEST_F(SavedGameFields, EveryTwoFieldsAreSavedWithDifferentValuesOnSomePage)
{
    FieldPages game;
    const RoundTripResult r = RoundTripEveryField(
        WalkSavedGame, [&] { return game.Page(WalkSavedGame), SaveGame(3); }, [] { return LoadSavedGame(3); },
        ScrubPoses);
    ASSERT_EQ(r.faults, "");
    EXPECT_EQ(game.Alike(), "");

    FieldPages team;
    const auto walkTeam = [](FieldVisitor& visit) { WalkTeam(visit, TeamStaging); };
    const RoundTripResult t =
        RoundTripEveryField(walkTeam, [&] { return team.Page(walkTeam), SaveTeam(4); }, [] { return LoadTeam(4); });
    ASSERT_EQ(t.faults, "");
    EXPECT_EQ(team.Alike(), "");
}

TEST_F(SaveSlots, SlotLabelsShowTheModeAndTheTimeAndFreeSlots)
{
    ASSERT_TRUE(SaveGame(0));
    Competition.gameMode = MODE_LEAGUE;
    ASSERT_TRUE(SaveGame(9));
    ReadSaveSlotNames();
    EXPECT_EQ(SlotUsed[0], 1);
    const std::string label = SlotLabels[0];
    EXPECT_EQ(label.rfind("CUP ", 0), 0u) << label;
    EXPECT_EQ(label.size(), 4u + 24u) << "the ctime text without its line feed: " << label;
    EXPECT_EQ(std::string(SlotLabels[9]).rfind("LGE ", 0), 0u);
    for (int s = 1; s < 9; ++s) {
        EXPECT_EQ(SlotUsed[s], 0);
        EXPECT_STREQ(SlotLabels[s], "--- ----------");
    }
}

TEST_F(SaveSlots, ShortLongAndHostileFilesChangeNothingAndShowAsFree)
{
    ASSERT_TRUE(SaveGame(2));
    const Bytes good = FileBytes(SaveFile(2));
    const Bytes state = GameImage();

    auto expectRefused = [&](const Bytes& bytes, const char* what) {
        dir.Write(SaveFile(5).string(), bytes);
        EXPECT_FALSE(LoadSavedGame(5)) << what;
        EXPECT_EQ(GameImage(), state) << what;
        ReadSaveSlotNames();
        EXPECT_EQ(SlotUsed[5], 0) << what;
        EXPECT_STREQ(SlotLabels[5], "--- ----------") << what;
    };
    expectRefused(Bytes(), "empty");
    expectRefused(Bytes(good.begin(), good.begin() + 271), "shorter than the header");
    expectRefused(Bytes(good.begin(), good.begin() + 272), "the header only");
    expectRefused(Bytes(good.begin(), good.end() - 1), "one byte short");
    Bytes longer = good;
    longer.push_back(0);
    expectRefused(longer, "one byte long");

    struct Mutation {
        const char* what;
        size_t at;
        int32_t value;
    } mutations[] = {
        {"slot 10", 260, 10},
        {"mode 3 in the header", 268, 3},
        {"player instance 2500", 324, 2500},
        {"negative player instance", 324 + 260 * 7, -1},
        {"number texture 16", 324 + 8, 16},
        {"player role 4", 324 + 160, 4},
        {"wing side 1", 324 + 168, 1},
        {"squad slot 16", 324 + 196, 16},
        {"formation role 5", 6220, 5},
        {"selected player 22", 6396, 22},
        {"ball instance 2500", 6460, 2500},
        {"ball holder 23", 6552, 23},
        {"kick-off partner -1", 6565, -1},
        {"turn phase 4", 6613, 4},
        {"kick-off phase 1", 6633 + 4, 1},
        {"second 60", 6645, 60},
        {"half 0", 6649, 0},
        {"stop state 10", 6681, 10},
        {"penalty end 212", 6685, 212},
        {"set-piece taker 99", 6693, 99},
        {"restricted range reversed", 6712, 15},
        {"animation slot 17", 6734 + 20, 17},
        {"animation frame 100", 6734 + 24, 100},
        {"game mode 7", 13634, 7},
        {"squad role 9", 13662 + 76, 9},
        {"home kit -1", 22878, -1},
        {"away kit 64", 22882, 64},
        {"cup round 5", 22890, 5},
        {"league match 31", 22902, 31},
        {"league place 16", 22906, 16},
        {"managers 3", 23674, 3},
        {"substitutions 4", 23678, 4},
        {"injuries -1", 23814, -1},
        {"last kicker 23", 23827, 23},
        {"distance order 40", 23831, 40},
        {"selection cycle 11", 23875, 11},
        {"minutes 2", 23879, 2},
        {"minutes 46", 23879, 46},
        {"difficulty word 12", 23884, 12},
        {"manager word 3", 23888, 3},
    };
    for (const Mutation& m : mutations) {
        Bytes bad = good;
        PutI32(bad, m.at, m.value);
        expectRefused(bad, m.what);
    }
    for (size_t at : {(size_t)264, (size_t)6409, (size_t)6564, (size_t)6697, (size_t)23883}) {
        Bytes bad = good;
        bad[at] = 2;
        expectRefused(bad, "a flag byte of 2");
    }
    for (size_t at : {(size_t)272, (size_t)324 + 52, (size_t)6460 + 32, (size_t)6621, (size_t)13662}) {
        Bytes bad = good;
        PutF32(bad, at, std::numeric_limits<float>::quiet_NaN());
        expectRefused(bad, "not a number");
        PutF32(bad, at, std::numeric_limits<float>::infinity());
        expectRefused(bad, "infinite");
    }
    Bytes wild = good;
    PutF32(wild, 13662 + 4 * ATTR_TACKLING, 1e30f);
    expectRefused(wild, "an ability far beyond 100");

    // Text fields without their terminator are cut, never read past.
    Bytes unterminated = good;
    std::memset(&unterminated[0], 'T', 260);
    std::memset(&unterminated[13638], 'N', 24);
    std::memset(&unterminated[13662 + 96], 'S', 28);
    std::memset(&unterminated[324 + 181], 'P', 15);
    std::memset(&unterminated[22906 + 36], 'L', 12);
    dir.Write(SaveFile(5).string(), unterminated);
    ReadSaveSlotNames();
    EXPECT_EQ(SlotUsed[5], 1);
    EXPECT_LT(std::strlen(SlotLabels[5]), (size_t)SLOT_LABEL_SIZE);
    ASSERT_TRUE(LoadSavedGame(5));
    EXPECT_EQ(std::strlen(TeamNames[0]), 11u);
    EXPECT_EQ(std::strlen(TeamNames[1]), 11u);
    EXPECT_EQ(std::strlen(TeamSquads[0].players[0].name), 14u);
    EXPECT_EQ(std::strlen(MatchPlayers[0].name), 14u);
    EXPECT_EQ(std::strlen(League.rows[0].name), 11u);
}

TEST_F(SaveSlots, AFailedSaveLeavesTheOldFileAndSaysSo)
{
    ASSERT_TRUE(SaveGame(4));
    const Bytes old = FileBytes(SaveFile(4));
    HomeGoals = 9;
    // The new file cannot be written: a folder stands where it would go.
    std::filesystem::create_directories(TemporaryNameOf("saves/sav4.sav"));
    EXPECT_FALSE(SaveGame(4));
    EXPECT_EQ(FileBytes(SaveFile(4)), old);
    std::filesystem::remove(TemporaryNameOf("saves/sav4.sav"));
    // The new file cannot take the old one's place.
    std::filesystem::create_directories("saves/sav7.sav/inside");
    EXPECT_FALSE(SaveGame(7));
    EXPECT_FALSE(std::filesystem::exists(TemporaryNameOf("saves/sav7.sav")));
    EXPECT_TRUE(std::filesystem::is_directory("saves/sav7.sav"));
    EXPECT_FALSE(SaveGame(-1));
    EXPECT_FALSE(SaveGame(10));
    EXPECT_FALSE(LoadSavedGame(10));
    // Without a saves folder one is made.
    std::filesystem::remove_all("saves");
    EXPECT_TRUE(SaveGame(1));
    EXPECT_EQ(std::filesystem::file_size(SaveFile(1)), 23924u);
}

TEST_F(SaveSlots, AMissingFileLoadsNothing)
{
    const Bytes state = GameImage();
    EXPECT_FALSE(LoadSavedGame(8));
    EXPECT_EQ(GameImage(), state);
}

TEST_F(SaveSlots, LongTimeTextsAreCutToTheLabel)
{
    ASSERT_TRUE(SaveGame(1));
    Bytes b = FileBytes(SaveFile(1));
    std::memset(&b[0], 'x', 259);
    b[259] = 0;
    dir.Write(SaveFile(1).string(), b);
    ReadSaveSlotNames();
    EXPECT_EQ(SlotUsed[1], 1);
    EXPECT_EQ(std::strlen(SlotLabels[1]), (size_t)SLOT_LABEL_SIZE - 1);
}

TEST_F(SaveSlots, TeamsRoundTripOverwriteAndCarryNoCompetition)
{
    Competition.gameMode = MODE_LEAGUE;
    Competition.matchInProgress = 1;
    std::strcpy(TeamStaging.name, "Saved XI");
    TeamStaging.squad = TeamSquads[0];
    TeamStaging.squad.players[3].attributes[ATTR_SPEED] = 9.5f;
    TeamStaging.kitChoice = 3;
    ASSERT_TRUE(SaveTeam(6));
    const Bytes b = FileBytes("saves/sav6.tem");
    ASSERT_EQ(b.size(), 4896u);
    EXPECT_EQ(I32At(b, 260), 6);
    EXPECT_EQ(b[264], 0) << "no match in a team file";
    EXPECT_EQ(I32At(b, 268), 0) << "the mode is 0 whatever is running";
    EXPECT_EQ(std::string((const char*)&b[272]), "Saved XI");
    EXPECT_FLOAT_EQ(F32At(b, 284 + 288 * 3), 9.5f);
    EXPECT_EQ(I32At(b, 4892), 3);

    ReadTeamSlotNames();
    EXPECT_EQ(SlotUsed[6], 1);
    EXPECT_EQ(std::string(SlotLabels[6]).rfind("Saved XI ", 0), 0u) << SlotLabels[6];
    EXPECT_EQ(SlotUsed[5], 0);
    EXPECT_STREQ(SlotLabels[5], "----------");

    std::strcpy(TeamStaging.name, "Second");
    ASSERT_TRUE(SaveTeam(6));
    ReadTeamSlotNames();
    EXPECT_EQ(std::string(SlotLabels[6]).rfind("Second ", 0), 0u) << "overwritten without asking";

    TeamStaging = TeamStagingCopy{};
    ASSERT_TRUE(LoadTeam(6));
    EXPECT_STREQ(TeamStaging.name, "Second");
    EXPECT_FLOAT_EQ(TeamStaging.squad.players[3].attributes[ATTR_SPEED], 9.5f);
    EXPECT_EQ(TeamStaging.kitChoice, 3);
}

TEST_F(SaveSlots, DamagedTeamFilesLoadNothing)
{
    std::strcpy(TeamStaging.name, "Keepers");
    TeamStaging.squad = TeamSquads[1];
    ASSERT_TRUE(SaveTeam(2));
    const Bytes good = FileBytes("saves/sav2.tem");
    const TeamStagingCopy before = TeamStaging;
    auto expectRefused = [&](const Bytes& bytes, const char* what) {
        dir.Write("saves/sav2.tem", bytes);
        EXPECT_FALSE(LoadTeam(2)) << what;
        EXPECT_EQ(std::memcmp(&before, &TeamStaging, sizeof before), 0) << what;
        ReadTeamSlotNames();
        EXPECT_EQ(SlotUsed[2], 0) << what;
    };
    expectRefused(Bytes(good.begin(), good.begin() + 284), "header and name only");
    expectRefused(Bytes(good.begin(), good.end() - 4), "no kit");
    Bytes longer = good;
    longer.resize(9000);
    expectRefused(longer, "too long");
    Bytes bad = good;
    PutI32(bad, 4892, 64);
    expectRefused(bad, "kit 64");
    bad = good;
    PutI32(bad, 284 + 76, 4);
    expectRefused(bad, "role 4");
    bad = good;
    PutF32(bad, 284, -1.f);
    expectRefused(bad, "negative speed");
    EXPECT_FALSE(LoadTeam(-1));
    EXPECT_FALSE(SaveTeam(10));
}

TEST(SavedFilesOfThisBuild, TheStoredCorpusFilesStillLoad)
{
    ResetFrontEndState();
    const Bytes game = FileBytes(std::filesystem::path(SOURCE_ROOT) / "fenwolt/tests/frontend/corpus_savegame/league_match.sav");
    std::unique_ptr<SavedGameState, void (*)(SavedGameState*)> s(NewSavedGameState(), DeleteSavedGameState);
    ASSERT_TRUE(ParseSavedGame(game.data(), game.size(), *s));
    ApplySavedGame(*s);
    EXPECT_EQ(Competition.gameMode, MODE_LEAGUE);
    EXPECT_EQ(Competition.leagueMatch, 4);
    EXPECT_EQ(MatchSetup.difficulty, 6);
    EXPECT_EQ(Minute, 12);
    EXPECT_STREQ(MatchPlayers[21].name, "N21");
    const Bytes team = FileBytes(std::filesystem::path(SOURCE_ROOT) / "fenwolt/tests/frontend/corpus_teamfile/team.tem");
    TeamFile t{};
    ASSERT_TRUE(ParseTeamFile(team.data(), team.size(), t));
    EXPECT_STREQ(t.teamName, "Corpus XI");
    EXPECT_EQ(t.kitChoice, 3);
}

class SavedGameScene : public FrontEndAppTest {};

TEST_F(SavedGameScene, ThePosesGoOnThisScenesInstancesWhateverIndicesTheFileNames)
{
    SetUpCupGame();
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance& m = TheApp.InstanceTable[300 + i];
        m.InUse = 1;
        m.Position = D3DVECTOR{(float)i, 0.f, 2.f * (float)i};
        m.Rotation.y = 0.1f * (float)i;
        m.AnimationSlot = i % 12;
        m.Animating = 1;
        MatchPlayers[i].model = 300 + i;
    }
    TheApp.InstanceTable[400].InUse = 1;
    TheApp.InstanceTable[400].Position = D3DVECTOR{33.f, 0.11907f, 44.f};
    TheBall.model = 400;
    Bytes b = Encode();
    // The file names other instances: those of another run's scene.
    for (int i = 0; i < PLAYER_COUNT; ++i) PutI32(b, 324 + 260 * (size_t)i, 100 + i);
    PutI32(b, 6460, 150);
    for (int i = 0; i < PLAYER_COUNT; ++i) TheApp.InstanceTable[300 + i].Position = D3DVECTOR{0.f, 0.f, 0.f};
    TheApp.InstanceTable[400].Position = D3DVECTOR{0.f, 0.f, 0.f};

    std::unique_ptr<SavedGameState, void (*)(SavedGameState*)> s(NewSavedGameState(), DeleteSavedGameState);
    ASSERT_TRUE(ParseSavedGame(b.data(), b.size(), *s));
    ApplySavedGame(*s);
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        const ModelInstance& m = TheApp.InstanceTable[300 + i];
        EXPECT_EQ(MatchPlayers[i].model, 300 + i);
        EXPECT_FLOAT_EQ(m.Position.x, (float)i);
        EXPECT_FLOAT_EQ(m.Position.z, 2.f * (float)i);
        EXPECT_FLOAT_EQ(m.Rotation.y, 0.1f * (float)i);
        EXPECT_EQ(m.AnimationSlot, i % 12);
        EXPECT_EQ(m.Animating, 0) << "a loaded pose stands until the match moves it";
        EXPECT_FALSE(TheApp.InstanceTable[100 + i].InUse);
    }
    EXPECT_EQ(TheBall.model, 400);
    EXPECT_FLOAT_EQ(TheApp.InstanceTable[400].Position.x, 33.f);
    EXPECT_FLOAT_EQ(TheApp.InstanceTable[400].Position.z, 44.f);
}

// Drawn: on every list of the ten slots (loading a game, saving and loading a team, and the
// system menu's save list) each "Slot %d" ends two spaces of its font before its label at least,
// so that a slot and what it holds never read as one line ("Slot 10 --- ----").
class SlotLists : public FrontEndAppTest {};

TEST_F(SlotLists, EverySlotEndsWellBeforeItsLabel)
{
    constexpr unsigned kLabels = 1524;
    const struct {
        const char* name;
        ScreenId screen;
        bool popUp;
        unsigned firstSlot;
    } lists[] = {{"load game", ScreenId::LoadGame, false, 230},
                 {"save team", ScreenId::SaveTeam, false, 230},
                 {"load team", ScreenId::LoadTeam, false, 230},
                 {"system menu", ScreenId::SystemMenu, true, 1514}};
    for (const auto& l : lists) {
        SCOPED_TRACE(l.name);
        SetScreen(ScreenId::StartMenu);
        if (l.popUp)
            OpenPopupScreen(l.screen);
        else
            SetScreen(l.screen);
        ASSERT_EQ(SpriteText(l.firstSlot + 9), "Slot 10");
        const RgbImage frame = DrawScreen();
        for (unsigned i = 0; i < 10; ++i)
            EXPECT_EQ(InkBeforeNextText(frame, l.firstSlot + i, (int)SpriteAt(kLabels + i)->X, 2, IsGreenInk), 0)
                << SpriteText(l.firstSlot + i) << " runs up to its label " << SpriteText(kLabels + i);
        if (l.popUp) ClosePopupScreen();
    }
}

