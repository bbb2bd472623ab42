// The squad editor: buying and selling abilities, the rating, the formation markers, swaps with
// the bench, the order of the squad, the computer's formation and spending, and the kits.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/tests/frontend/fe_b_support.h"
#include "platform/tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {
SquadPlayer& Player(int team, int slot) { return TeamSquads[team].players[slot]; }
}  // namespace

TEST(EditorAbilities, EveryColumnFromLowestToHighestAndBackAtFivePointsAStep)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    for (int c = 0; c < ABILITY_COLUMN_COUNT; ++c) {
        const AbilityColumn& col = AbilityColumns[c];
        float& value = Player(0, 4).attributes[col.attribute];
        value = col.lowest;
        Competition.pointsToSpend[0] = 10000;
        const int steps = (int)std::lround((col.highest - col.lowest) / col.step);
        for (int i = 0; i < steps; ++i) {
            ASSERT_TRUE(AdjustAbility(0, c, 4, true)) << col.head << " step " << i;
            EXPECT_EQ(Competition.pointsToSpend[0], 10000 - 5 * (i + 1));
        }
        EXPECT_FLOAT_EQ(value, col.highest) << col.head;
        EXPECT_FALSE(AdjustAbility(0, c, 4, true)) << col.head << " never above its highest";
        EXPECT_EQ(Competition.pointsToSpend[0], 10000 - 5 * steps);
        for (int i = 0; i < steps; ++i) ASSERT_TRUE(AdjustAbility(0, c, 4, false)) << col.head << " down " << i;
        EXPECT_FLOAT_EQ(value, col.lowest) << col.head;
        EXPECT_EQ(Competition.pointsToSpend[0], 10000);
        EXPECT_FALSE(AdjustAbility(0, c, 4, false)) << col.head << " never below its lowest";
        EXPECT_EQ(Competition.pointsToSpend[0], 10000);
    }
    EXPECT_EQ(AbilityColumns[0].spriteBase, 281u);
    EXPECT_EQ(AbilityColumns[15].spriteBase, 581u);
}

TEST(EditorAbilities, ARaiseNeedsTheWholeFivePoints)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    const int speed = AbilityColumnOf(ATTR_SPEED);
    const float before = Player(0, 3).attributes[ATTR_SPEED];
    for (int points : {0, 1, 4}) {
        Competition.pointsToSpend[0] = points;
        EXPECT_FALSE(AdjustAbility(0, speed, 3, true)) << points;
        EXPECT_EQ(Competition.pointsToSpend[0], points);
        EXPECT_FLOAT_EQ(Player(0, 3).attributes[ATTR_SPEED], before);
    }
    Competition.pointsToSpend[0] = 0;
    EXPECT_TRUE(AdjustAbility(0, speed, 3, true) == false);
    EXPECT_TRUE(AdjustAbility(0, AbilityColumnOf(ATTR_TACKLING), 3, false));
    EXPECT_EQ(Competition.pointsToSpend[0], 5);
    EXPECT_TRUE(AdjustAbility(0, speed, 3, true));
    EXPECT_EQ(Competition.pointsToSpend[0], 0);
    // The away team spends from its own budget.
    Competition.pointsToSpend[1] = 5;
    EXPECT_TRUE(AdjustAbility(1, speed, 3, true));
    EXPECT_EQ(Competition.pointsToSpend[1], 0);
    EXPECT_EQ(Competition.pointsToSpend[0], 0);
}

TEST(EditorAbilities, RatingAveragesTheScaledAbilitiesOfTheStarters)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    for (int s = 0; s < SQUAD_SIZE; ++s)
        for (const AbilityColumn& c : AbilityColumns) Player(0, s).attributes[c.attribute] = c.highest;
    EXPECT_EQ(SquadRating(0), 100);
    // The bench does not count.
    for (int s = 11; s < SQUAD_SIZE; ++s)
        for (const AbilityColumn& c : AbilityColumns) Player(0, s).attributes[c.attribute] = c.lowest;
    EXPECT_EQ(SquadRating(0), 100);
    // Each player's total is cut to an integer before the next is added: 11 x 1599.9 = 17598.9
    // would give 99.99; cut per player it is 11 x 1599 = 17589, and 17589 / 176 = 99.
    for (int s = 0; s < 11; ++s) Player(0, s).attributes[ATTR_TURN] = 0.999f;
    EXPECT_EQ(SquadRating(0), 99);
    for (int s = 0; s < 11; ++s)
        for (const AbilityColumn& c : AbilityColumns) Player(0, s).attributes[c.attribute] = 0.f;
    EXPECT_EQ(SquadRating(0), 0);
}

// The team file holds no budget: a player who saves a team, sells abilities back and loads the
// team again gets the abilities back and pays for them again.
TEST(EditorAbilities, LoadingATeamKeepsPointsPlusAbilitiesTheSame)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    Competition.pointsToSpend[0] = 950;
    const int tackling = AbilityColumnOf(ATTR_TACKLING);
    CopyTeamToStaging(0);  // SAVE TEAM
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(AdjustAbility(0, tackling, 2 + i % 3, false));
    ASSERT_EQ(Competition.pointsToSpend[0], 980);
    CopyStagingToTeam(0);  // LOAD TEAM of the saved copy
    EXPECT_EQ(Competition.pointsToSpend[0], 950);
    EXPECT_EQ(std::memcmp(&TeamSquads[0], &TeamStaging.squad, sizeof TeamSquads[0]), 0);

    // A dearer team than the budget allows is still loaded, and the budget stops at zero.
    TeamStaging.squad = TeamSquads[0];
    for (SquadPlayer& p : TeamStaging.squad.players)
        for (const AbilityColumn& c : AbilityColumns) p.attributes[c.attribute] = c.highest;
    Competition.pointsToSpend[0] = 10;
    CopyStagingToTeam(0);
    EXPECT_EQ(Competition.pointsToSpend[0], 0);
    // A team one step dearer than the one in hand costs exactly that step.
    TeamStaging.squad = TeamSquads[0];
    ASSERT_TRUE(AdjustAbility(0, tackling, 4, false));
    ASSERT_EQ(Competition.pointsToSpend[0], 5);
    CopyStagingToTeam(0);
    EXPECT_EQ(Competition.pointsToSpend[0], 0);
    EXPECT_FLOAT_EQ(Player(0, 4).attributes[ATTR_TACKLING], AbilityColumns[tackling].highest);
}

TEST(EditorFormation, MarkersBecomeDefendersMidfieldersAndAttackersByHeight)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    SelectedMarker = 4;  // slot 3
    struct Case {
        int y;
        int role;
    } cases[] = {{437, ROLE_DEF}, {496, ROLE_DEF}, {497, ROLE_MID}, {562, ROLE_MID}, {563, ROLE_ATT}, {597, ROLE_ATT}};
    for (const Case& c : cases) {
        ASSERT_TRUE(MoveSelectedStarter(0, 120, c.y)) << c.y;
        EXPECT_EQ(Player(0, 3).role, c.role) << c.y;
        EXPECT_NEAR(Player(0, 3).formationX, (c.y - 437) / 160.0 * 55.025 + 4.5, 1e-3);
        // The marker stands where the mouse was.
        EXPECT_NEAR(MarkerScreenY(Player(0, 3)) + 4.f, (float)c.y, 1e-3);
    }
    struct Wing {
        int x;
        int side;
        int flag;
    } wings[] = {{5, 3, 1}, {72, 3, 1}, {73, 0, 0}, {173, 0, 0}, {174, 2, 1}, {245, 2, 1}};
    for (const Wing& w : wings) {
        ASSERT_TRUE(MoveSelectedStarter(0, w.x, 500));
        EXPECT_EQ(Player(0, 3).wingSide, w.side) << w.x;
        EXPECT_EQ(Player(0, 3).wingFlag, w.flag) << w.x;
        EXPECT_NEAR(Player(0, 3).formationZ, (w.x - 5) / 240.0 * 74.96 + 4.58, 1e-3);
        EXPECT_NEAR(MarkerScreenX(Player(0, 3)) + 8.f, (float)w.x, 1e-3);
    }
    const SquadPlayer before = Player(0, 3);
    EXPECT_FALSE(MoveSelectedStarter(0, 4, 500)) << "outside the pitch";
    EXPECT_FALSE(MoveSelectedStarter(0, 100, 598));
    EXPECT_EQ(std::memcmp(&before, &Player(0, 3), sizeof before), 0);

    // The keeper's marker can be picked but he never moves.
    SelectedMarker = 1;
    const SquadPlayer keeper = Player(0, 0);
    EXPECT_FALSE(MoveSelectedStarter(0, 120, 500));
    EXPECT_EQ(std::memcmp(&keeper, &Player(0, 0), sizeof keeper), 0);
    SelectedMarker = 0;
    EXPECT_FALSE(MoveSelectedStarter(0, 120, 500));
}

TEST(EditorFormation, SwapsKeepTheSpotsAndNeverMixKeepersWithOutfieldPlayers)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    Player(0, 12).role = ROLE_MID;
    Player(0, 12).formationX = 41.f;
    Player(0, 12).wingSide = 2;
    std::strcpy(Player(0, 12).name, "Benchman");
    std::strcpy(Player(0, 7).name, "Starter");
    Player(0, 12).attributes[ATTR_SPEED] = 9.5f;
    const SquadPlayer starter = Player(0, 7), bench = Player(0, 12);
    ASSERT_TRUE(SwapWithSubstitute(0, 7, 12));
    EXPECT_STREQ(Player(0, 7).name, "Benchman");
    EXPECT_FLOAT_EQ(Player(0, 7).attributes[ATTR_SPEED], 9.5f);
    EXPECT_STREQ(Player(0, 12).name, "Starter");
    for (const auto& [slot, keep] : {std::pair<int, const SquadPlayer*>{7, &starter}, {12, &bench}}) {
        EXPECT_EQ(Player(0, slot).formationX, keep->formationX);
        EXPECT_EQ(Player(0, slot).formationZ, keep->formationZ);
        EXPECT_EQ(Player(0, slot).role, keep->role);
        EXPECT_EQ(Player(0, slot).wingSide, keep->wingSide);
        EXPECT_EQ(Player(0, slot).wingFlag, keep->wingFlag);
    }

    // Slot 11 is the second keeper: he swaps with the keeper only.
    ASSERT_EQ(Player(0, 11).role, ROLE_KEEPER);
    const TeamSquad squad = TeamSquads[0];
    EXPECT_FALSE(SwapWithSubstitute(0, 0, 12));
    EXPECT_FALSE(SwapWithSubstitute(0, 5, 11));
    EXPECT_EQ(std::memcmp(&squad, &TeamSquads[0], sizeof squad), 0);
    std::strcpy(Player(0, 11).name, "Reserve");
    EXPECT_TRUE(SwapWithSubstitute(0, 0, 11));
    EXPECT_STREQ(Player(0, 0).name, "Reserve");
    EXPECT_FALSE(SwapWithSubstitute(0, 3, 3)) << "two starters do not swap";
}

TEST(EditorFormation, OrderingSortsRolesThenWingsAndLeavesKeeperAndBench)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    const int roles[11] = {0, 3, 2, 1, 3, 1, 2, 1, 2, 1, 2};
    const int sides[11] = {0, 0, 3, 2, 0, 0, 0, 3, 2, 0, 0};
    for (int s = 0; s < 11; ++s) {
        Player(0, s).role = roles[s];
        Player(0, s).wingSide = sides[s];
        std::snprintf(Player(0, s).name, sizeof Player(0, s).name, "P%d", s);
    }
    const TeamSquad before = TeamSquads[0];
    OrderSquad(0);
    EXPECT_STREQ(Player(0, 0).name, "P0");
    for (int s = 1; s < 10; ++s) {
        const SquadPlayer &a = Player(0, s), &b = Player(0, s + 1);
        EXPECT_TRUE(a.role < b.role || (a.role == b.role && a.wingSide >= b.wingSide)) << s;
    }
    EXPECT_STREQ(Player(0, 1).name, "P7");  // the defender on wing 3 leads
    for (int s = 11; s < SQUAD_SIZE; ++s)
        EXPECT_EQ(std::memcmp(&before.players[s], &Player(0, s), sizeof(SquadPlayer)), 0);
}

TEST(EditorComputer, AutoSpendStopsBelowFivePointsAndStaysWithinTheLimits)
{
    for (int budget : {0, 4, 5, 303, 1000, 2748}) {
        ResetFrontEndState(3);
        MakeDefaultSquads();
        Competition.pointsToSpend[1] = budget;
        const TeamSquad before = TeamSquads[1];
        AutoSpend(1);
        const int left = Competition.pointsToSpend[1];
        EXPECT_GE(left, 0) << budget;
        EXPECT_LT(left, 5) << budget;
        EXPECT_EQ((budget - left) % 5, 0);
        int raises = 0;
        for (int s = 0; s < SQUAD_SIZE; ++s)
            for (const AbilityColumn& c : AbilityColumns) {
                const float a = before.players[s].attributes[c.attribute];
                const float b = Player(1, s).attributes[c.attribute];
                if (s >= 11) {
                    EXPECT_EQ(a, b) << "the bench is never bought for";
                }
                EXPECT_LE(b, std::fmax(a, c.highest)) << c.head;
                raises += (int)std::lround((b - a) / c.step);
            }
        EXPECT_EQ(raises * 5, budget - left) << budget;
    }
    // A budget beyond everything the starters can take leaves the rest unspent.
    ResetFrontEndState();
    MakeDefaultSquads();
    Competition.pointsToSpend[1] = 100000;
    AutoSpend(1);
    EXPECT_GT(Competition.pointsToSpend[1], 5);
    EXPECT_FLOAT_EQ(Player(1, 0).attributes[ATTR_SPEED], 10.f);
}

TEST(EditorComputer, EveryFormationVariantStaysOnThePitch)
{
    bool seen[6] = {};
    for (uint32_t seed = 1; seed < 200; ++seed) {
        ResetFrontEndState(seed);
        MakeDefaultSquads();
        SetComputerFormation(1);
        int defenders = 0, attackers = 0;
        for (int s = 1; s < 11; ++s) {
            const SquadPlayer& p = Player(1, s);
            EXPECT_GT(p.formationX, 4.5f);
            EXPECT_LT(p.formationX, 114.55f);
            EXPECT_GT(p.formationZ, 4.58f);
            EXPECT_LT(p.formationZ, 79.54f);
            EXPECT_GE(p.role, ROLE_DEF);
            EXPECT_LE(p.role, ROLE_ATT);
            defenders += p.role == ROLE_DEF;
            attackers += p.role == ROLE_ATT;
        }
        EXPECT_EQ(Player(1, 0).role, ROLE_KEEPER);
        // The variants are told apart by their roles and spots.
        const SquadPlayer& s1 = Player(1, 1);
        const SquadPlayer& s7 = Player(1, 7);
        if (s1.role == ROLE_MID) seen[4] = true;
        else if (s7.role == ROLE_ATT) seen[5] = true;
        else if (s7.role == ROLE_DEF) seen[3] = true;
        else if (std::fabs(s1.formationX - 30.7f) < 0.01f) seen[1] = true;
        else if (std::fabs(s1.formationX - 24.7f) < 0.01f) seen[2] = true;
        else if (s1.formationX == 23.f) seen[0] = true;
        EXPECT_GE(defenders, 2);
        EXPECT_GE(attackers, 2);
    }
    for (int v = 0; v < 6; ++v) EXPECT_TRUE(seen[v]) << "variant " << v;
}

TEST(EditorKits, ListedInNameOrderWithDefaultsAndSafeWrapping)
{
    ResetFrontEndState();
    ScratchDirectory dir("fe-kits");
    for (const char* name : {"kit/kitwwpw.tga", "kit/KITrrpw.tga", "kit/kitbbpb.tga", "kit/kitaa.tga",
                             "kit/other.tga", "kit/kitnot.jpg", "kit/kitzz.TGA"})
        dir.Write(name, "x");
    ListKits();
    ASSERT_EQ(KitTable.count, 5);
    EXPECT_STREQ(KitTable.names[0], "kitaa.tga");
    EXPECT_STREQ(KitTable.names[1], "kitbbpb.tga");
    EXPECT_STREQ(KitTable.names[2], "KITrrpw.tga");
    EXPECT_STREQ(KitTable.names[3], "kitwwpw.tga");
    EXPECT_STREQ(KitTable.names[4], "kitzz.TGA");
    SetDefaultKits();
    EXPECT_EQ(MatchSetup.kitChoice[0], 1);
    EXPECT_EQ(MatchSetup.kitChoice[1], 3);

    // "<" and ">" wrap; the away kit steps over the home kit.
    MatchSetup.kitChoice[0] = 4;
    StepKit(0, +1);
    EXPECT_EQ(MatchSetup.kitChoice[0], 0);
    StepKit(0, -1);
    EXPECT_EQ(MatchSetup.kitChoice[0], 4);
    MatchSetup.kitChoice[0] = 2;
    MatchSetup.kitChoice[1] = 1;
    StepKit(1, +1);
    EXPECT_EQ(MatchSetup.kitChoice[1], 3);
    StepKit(1, -1);
    EXPECT_EQ(MatchSetup.kitChoice[1], 1);

    // One kit or none: nothing divides by zero and the choices stay inside the list.
    SetKitNames({"kitbbpb.tga"});
    SetDefaultKits();
    EXPECT_EQ(MatchSetup.kitChoice[0], 0);
    EXPECT_EQ(MatchSetup.kitChoice[1], 0);
    StepKit(1, +1);
    EXPECT_EQ(MatchSetup.kitChoice[1], 0);
    SetKitNames({});
    SetDefaultKits();
    StepKit(0, -1);
    StepKit(1, +1);
    EXPECT_EQ(StepKitIndex(7, +1), 0);
    EXPECT_EQ(MatchSetup.kitChoice[0], 0);
    EXPECT_EQ(MatchSetup.kitChoice[1], 0);

    // A kit folder that lost files since the choices were made gives the defaults again.
    std::filesystem::remove(dir.Path() / "kit/kitzz.TGA");
    MatchSetup.kitChoice[1] = 4;
    ListKits();
    EXPECT_EQ(KitTable.count, 4);
    EXPECT_EQ(MatchSetup.kitChoice[0], 1);
    EXPECT_EQ(MatchSetup.kitChoice[1], 3);
}

TEST(EditorKits, NoKitFolderGivesAnEmptyList)
{
    ResetFrontEndState();
    ScratchDirectory dir("fe-nokits");
    ListKits();
    EXPECT_EQ(KitTable.count, 0);
    EXPECT_EQ(MatchSetup.kitChoice[0], 0);
}
