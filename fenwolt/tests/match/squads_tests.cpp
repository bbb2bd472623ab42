#include "match_core_support.h"

#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/data/ClubNames.h"
#include "platform/win32/crt_rand.h"

#include <cstring>

namespace {

const SquadPlayer& Slot(int team, int slot) { return TeamSquads[team].players[slot]; }

TEST(Squads, DefaultSquadsKeepSlot11KeeperAndSlot15AttackerWhateverTheDraws)
{
    for (uint32_t seed : {1u, 2u, 7u, 99u, 12345u}) {
        srand(seed);
        CreateDefaultSquads();
        for (int team = 0; team < 2; ++team) {
            const SquadPlayer& keeper = Slot(team, 11);
            EXPECT_EQ(keeper.role, ROLE_KEEPER);
            EXPECT_FLOAT_EQ(keeper.attributes[ATTR_TACKLING], 80.f);
            EXPECT_FLOAT_EQ(keeper.attributes[ATTR_STAMINA], 50.f);
            EXPECT_FLOAT_EQ(keeper.attributes[ATTR_HEADING], 0.1f);
            EXPECT_FLOAT_EQ(keeper.formationX, 6.f);
            const SquadPlayer& striker = Slot(team, 15);
            EXPECT_EQ(striker.role, ROLE_ATT);
            EXPECT_FLOAT_EQ(striker.attributes[ATTR_SHOOT_SHORT], 80.f);
            EXPECT_FLOAT_EQ(striker.attributes[ATTR_CONTROL], 70.f);
            for (int slot = 12; slot <= 14; ++slot) {
                EXPECT_NE(Slot(team, slot).role, ROLE_KEEPER) << "bench slots draw positions 1..9";
            }
        }
    }
}

TEST(Squads, DefaultSquadsFollowTheFormationAndRoleAdjustments)
{
    srand(3);
    CreateDefaultSquads();
    EXPECT_STREQ(TeamNames[0], "HomeTeam");
    EXPECT_STREQ(TeamNames[1], "AwayTeam");
    // Slot 1 is a wide defender, 5 a wide midfielder, 7 a central one, 9 a striker.
    const SquadPlayer& wideDef = Slot(0, 1);
    EXPECT_EQ(wideDef.role, ROLE_DEF);
    EXPECT_FLOAT_EQ(wideDef.attributes[ATTR_SPEED], 6.0f);
    EXPECT_FLOAT_EQ(wideDef.attributes[ATTR_DRIBBLE], 3.5f);
    EXPECT_FLOAT_EQ(wideDef.attributes[ATTR_THROW_IN], 70.f);
    const SquadPlayer& centralDef = Slot(0, 3);
    EXPECT_FLOAT_EQ(centralDef.attributes[ATTR_SPEED], 5.0f);
    const SquadPlayer& wideMid = Slot(1, 5);
    EXPECT_FLOAT_EQ(wideMid.attributes[ATTR_SPEED], 7.0f);
    EXPECT_FLOAT_EQ(wideMid.attributes[ATTR_STAMINA], 90.f);
    EXPECT_FLOAT_EQ(Slot(1, 7).attributes[ATTR_DRIBBLE], 3.0f);
    EXPECT_FLOAT_EQ(Slot(0, 9).attributes[ATTR_VOLLEY], 0.5f);
    EXPECT_FLOAT_EQ(Slot(0, 9).formationX, 50.f);
    EXPECT_FLOAT_EQ(Slot(0, 10).formationZ, 50.f);
    EXPECT_STREQ(Slot(0, 0).name, fwdata::kClubSurnames[0][0]);
    EXPECT_STREQ(Slot(1, 15).name, fwdata::kClubSurnames[1][15]);
    EXPECT_EQ(Slot(1, 4).career.goalsScored, 0);
}

TEST(Squads, ResetKeepsNamesAndStatistics)
{
    CreateDefaultSquads();
    SetClubName(0, 5);
    TeamSquads[0].players[2].career.tacklesWon = 7;
    TeamSquads[0].players[2].attributes[ATTR_SPEED] = 9.9f;
    ResetSquadAttributes(0);
    EXPECT_STREQ(TeamNames[0], fwdata::kClubNames[5]);
    EXPECT_EQ(TeamSquads[0].players[2].career.tacklesWon, 7);
    EXPECT_FLOAT_EQ(TeamSquads[0].players[2].attributes[ATTR_SPEED], 6.0f);
}

TEST(Squads, ClubNumbersOutOfRangeFallBack)
{
    SetClubSquadNames(1, 18);
    EXPECT_STREQ(TeamSquads[1].players[3].name, fwdata::kClubSurnames[1][3]);
    SetClubSquadNames(1, -4);
    EXPECT_STREQ(TeamSquads[1].players[0].name, fwdata::kClubSurnames[1][0]);
    SetClubName(0, 16);
    EXPECT_STREQ(TeamNames[0], fwdata::kClubNames[16]);
    SetClubName(0, 17);
    EXPECT_STREQ(TeamNames[0], fwdata::kClubNames[17]);
    SetClubName(0, 250);
    EXPECT_STREQ(TeamNames[0], fwdata::kClubNames[17]);
}

TEST_F(MatchCoreTest, CopyToPitchCutsLongSurnamesAndDerives)
{
    // A 27-character name without room for anything after it, and one filling all 28 bytes.
    std::strcpy(TeamSquads[1].players[4].name, "Abcdefghijklmnopqrstuvwxyz0");
    std::memset(TeamSquads[1].players[5].name, 'Q', sizeof(TeamSquads[1].players[5].name));
    std::strcpy(TeamSquads[1].players[6].name, "Fourteen Chars");
    MatchPlayers[15].energy = 3.f;
    CopySquadToPitch(1, 1);
    EXPECT_STREQ(MatchPlayers[15].name, "Abcdefghijklmn");
    EXPECT_EQ(std::strlen(MatchPlayers[16].name), 14u);
    EXPECT_STREQ(MatchPlayers[17].name, "Fourteen Chars");
    EXPECT_FLOAT_EQ(MatchPlayers[15].energy, 100.f);
    EXPECT_EQ(MatchPlayers[20].role, ROLE_ATT);
    // Derived on the way: a default striker's Shielding is (40 + 25 + 70) / 3.
    EXPECT_FLOAT_EQ(MatchPlayers[20].attributes[ATTR_SHIELDING], 45.f);
}

TEST_F(MatchCoreTest, DeriveAttributesBendEdges)
{
    float* a = MatchPlayers[3].attributes;
    auto setPassing = [&](float v) {
        for (int k = ATTR_PASS_SHORT; k <= ATTR_SHOOT_LONG; ++k) a[k] = v;
    };
    setPassing(49.9f);
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_BEND], 0.1f);
    setPassing(50.f);  // b = 0 after (b - 50) x 2, limited up to 1
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_BEND], 0.1f);
    setPassing(75.f);
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_BEND], 5.0f);
    setPassing(100.f);
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_BEND], 10.0f);
    setPassing(180.f);
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_BEND], 10.0f);
    a[ATTR_VOLLEY] = 0.7f;
    setPassing(70.f);
    DeriveAttributes(3);
    EXPECT_FLOAT_EQ(a[ATTR_DEAD_BALL], 70.f);
}

TEST_F(MatchCoreTest, EnergyRecoveryByMinuteAndCeiling)
{
    // Standing players (at their targets) recover by the minute of the match.
    struct Case {
        int minute;
        float recovered;
    } cases[] = {{70, 0.75f}, {71, 0.5f}, {77, 0.5f}, {78, 0.25f}};
    for (const Case& c : cases) {
        Minute = c.minute;
        MatchPlayers[2].energy = 60.f;
        UseEnergy(0, SIDE_SIZE);
        EXPECT_FLOAT_EQ(MatchPlayers[2].energy, 60.f + c.recovered) << "minute " << c.minute;
    }
    // A player with a run ordered loses 1, never below 0.
    MatchPlayers[3].moveTarget.x += 5.f;
    MatchPlayers[3].energy = 0.5f;
    UseEnergy(0, SIDE_SIZE);
    EXPECT_FLOAT_EQ(MatchPlayers[3].energy, 0.f);
    // An injured player never shows more than his ceiling.
    MatchPlayers[4].energyCeiling = 10.f;
    MatchPlayers[4].energy = 9.9f;
    for (int turn = 0; turn < 50; ++turn) UseEnergy(0, SIDE_SIZE);
    EXPECT_FLOAT_EQ(MatchPlayers[4].energy, 10.f);
    EXPECT_FLOAT_EQ(MatchPlayers[5].energy, 100.f);
}

TEST_F(MatchCoreTest, EnergyInStoppagesAndMinuteDrain)
{
    MatchStopState = STOP_THROW_IN;
    Minute = 10;
    StoppageTurns = 4;
    MatchPlayers[12].energy = 50.f;
    MatchPlayers[12].moveTarget.x += 3.f;  // moving or not, everyone recovers in a stoppage
    UseEnergy(SIDE_SIZE, PLAYER_COUNT);
    EXPECT_FLOAT_EQ(MatchPlayers[12].energy, 51.5f);
    Minute = 80;
    UseEnergy(SIDE_SIZE, PLAYER_COUNT);
    EXPECT_FLOAT_EQ(MatchPlayers[12].energy, 52.f);
    StoppageTurns = 5;
    UseEnergy(SIDE_SIZE, PLAYER_COUNT);
    EXPECT_FLOAT_EQ(MatchPlayers[12].energy, 52.f);

    MatchPlayers[0].energy = 0.4f;
    EnergyMinuteDrain(0, PLAYER_COUNT);
    EXPECT_FLOAT_EQ(MatchPlayers[0].energy, 0.f);
    EXPECT_FLOAT_EQ(MatchPlayers[12].energy, 51.f);
    EnergyMinuteDrain(-5, 99);  // a hostile range stays inside the table
}

TEST(Squads, SeasonTotalsAddLastMatchAndCountStarters)
{
    CreateDefaultSquads();
    SquadPlayer& starter = TeamSquads[0].players[4];
    SquadPlayer& sub = TeamSquads[1].players[13];
    starter.lastMatch.goalsScored = 2;
    starter.lastMatch.passAttempts[1] = 5;
    starter.lastMatch.timeOnBall = 12.5f;
    starter.career.goalsScored = 3;
    sub.lastMatch.tacklesWon = 1;
    sub.gamesPlayed = 1;  // counted by the substitution
    AccumulateSeasonStats();
    EXPECT_EQ(starter.career.goalsScored, 5);
    EXPECT_EQ(starter.career.passAttempts[1], 5);
    EXPECT_FLOAT_EQ(starter.career.timeOnBall, 12.5f);
    EXPECT_EQ(starter.gamesPlayed, 1);
    EXPECT_EQ(starter.lastMatch.goalsScored, 2) << "the last match stays for the statistics screen";
    EXPECT_EQ(sub.gamesPlayed, 1);
    EXPECT_EQ(sub.career.tacklesWon, 1);
}

}  // namespace
