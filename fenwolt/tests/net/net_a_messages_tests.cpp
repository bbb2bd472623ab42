// Game messages: every type's size and field offsets byte for byte, what a receiver refuses,
// and that received messages reach the globals and the screen on the main thread, in order.
#include "net_a_fixture.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Screens.h"
#include "platform/win32/byte_order.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

using namespace net_a;

namespace {

class GameMessageTest : public NetGlobalsTest {};

int32_t I32At(const std::vector<uint8_t>& b, size_t at) { return (int32_t)LoadLe32(&b[at]); }
float F32At(const std::vector<uint8_t>& b, size_t at)
{
    const uint32_t u = (uint32_t)I32At(b, at);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

}  // namespace

TEST_F(GameMessageTest, EveryTypeHasItsFixedSize)
{
    const std::vector<std::pair<int32_t, size_t>> sizes = {{1, 24}, {2, 12}, {3, 76},  {5, 4},    {6, 204},
                                                           {7, 113}, {8, 13}, {9, 4},   {10, 4},   {11, 28},
                                                           {12, 4632}, {13, 4}, {14, 12}, {15, 12}, {16, 41}};
    for (auto [type, size] : sizes) {
        EXPECT_EQ(size, GameMessageSize(type)) << type;
        std::vector<uint8_t> m = BuildGameMessage(type);
        ASSERT_EQ(size, m.size()) << type;
        EXPECT_EQ(type, I32At(m, 0));
    }
    for (int32_t none : {0, 4, 17, -1, 0x12002}) {
        EXPECT_EQ(0u, GameMessageSize(none));
        EXPECT_TRUE(BuildGameMessage(none).empty());
    }
}

TEST_F(GameMessageTest, PlayerAndBallStatesLieAtTheirOffsets)
{
    MatchPlayer& m = MatchPlayers[7];
    m.model = 40;
    FacingArrowModels[7] = 41;
    InstanceAt(40)->Position = {1.5f, 2.5f, 3.5f};
    InstanceAt(40)->Rotation = {0.25f, 0.5f, 0.75f};
    InstanceAt(41)->Rotation = {9.f, -1.25f, 9.f};
    m.moveTarget = {11.f, 12.f, 13.f};
    m.heading = 14.f;
    m.action = 5;
    m.facePoint = {15.f, 16.f, 17.f};
    m.spare = 18.f;
    m.stance = 2;
    m.turnsDown = 3;
    Net.messagePlayer = 7;
    std::vector<uint8_t> b = BuildGameMessage(GAME_MSGID_PLAYER_STATE);
    EXPECT_EQ(7, I32At(b, 4));
    const float model[6] = {1.5f, 2.5f, 3.5f, 0.25f, 0.5f, 0.75f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(model[i], F32At(b, 8 + 4 * i));
    EXPECT_EQ(11.f, F32At(b, 32));
    EXPECT_EQ(13.f, F32At(b, 40));
    EXPECT_EQ(14.f, F32At(b, 44));
    EXPECT_EQ(5, I32At(b, 48));
    EXPECT_EQ(15.f, F32At(b, 52));
    EXPECT_EQ(17.f, F32At(b, 60));
    EXPECT_EQ(18.f, F32At(b, 64));
    EXPECT_EQ(2, I32At(b, 68));
    EXPECT_EQ(-1.25f, F32At(b, 72));
    b = BuildGameMessage(GAME_MSGID_PLAYER_OUT);
    EXPECT_EQ((std::vector<uint8_t>{2, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0}), b);

    TheBall.model = 42;
    InstanceAt(42)->Position = {20.f, 21.f, 22.f};
    InstanceAt(42)->Rotation = {23.f, 24.f, 25.f};
    TheBall.aimPoint = {26.f, 27.f, 28.f};
    TheBall.rotation = 29.f;
    TheBall.bendX = 30.f;
    TheBall.loft = 31.f;
    TheBall.bendZ = 32.f;
    TheBall.destination = {33.f, 34.f, 35.f};
    TheBall.kickStart = {36.f, 37.f, 38.f};
    TheBall.groundPoint = {39.f, 40.f, 41.f};
    TheBall.bendRefMouseX = 42;
    TheBall.bendRefMouseY = 43;
    TheBall.bendMouseX = 44;
    TheBall.bendMouseY = 45;
    ShotClass = 2;
    BallInFlight = 1;
    b = BuildGameMessage(GAME_MSGID_BALL_STATE);
    // Floats 20..41 fill offsets 4..91 in order, then the four mouse ints, the class and the flag.
    for (int i = 0; i < 22; ++i) EXPECT_EQ(20.f + i, F32At(b, 4 + 4 * i)) << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(42 + i, I32At(b, 92 + 4 * i));
    EXPECT_EQ(2, I32At(b, 108));
    EXPECT_EQ(1, b[112]);
}

TEST_F(GameMessageTest, MenuMessagesLieAtTheirOffsets)
{
    MatchSetup.difficulty = 3;
    MatchSetup.minutesPerHalf = 12;
    MatchSetup.abilitySwapLocked = 1;
    EXPECT_EQ((std::vector<uint8_t>{8, 0, 0, 0, 3, 0, 0, 0, 12, 0, 0, 0, 1}), BuildGameMessage(GAME_MSGID_SETTINGS));

    std::snprintf(TeamNames[0], TEAM_NAME_SIZE, "Home");
    std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Elevenchars");
    std::vector<uint8_t> b = BuildGameMessage(GAME_MSGID_TEAM_NAMES);
    EXPECT_EQ(0, std::memcmp(b.data() + 4, "Home\0\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(0, std::memcmp(b.data() + 16, "Elevenchars\0", 12));

    Net.isHost = 0;  // the guest sends the away squad
    CreateDefaultSquads();
    TeamSquads[1].players[4].attributes[ATTR_SPEED] = 7.25f;
    MatchSetup.kitChoice[1] = 5;
    b = BuildGameMessage(GAME_MSGID_TEAM_SQUAD);
    EXPECT_EQ(1, I32At(b, 4));
    // Field by field, the squad comes out exactly as its stored record.
    EXPECT_EQ(0, std::memcmp(b.data() + 8, &TeamSquads[1], sizeof(TeamSquad)));
    EXPECT_EQ(0, std::memcmp(b.data() + 4616, TeamNames[1], 12));
    EXPECT_EQ(5, I32At(b, 4628));

    OutgoingEndTurnCode = END_TURN_NOT_READY;
    OutgoingEndTurnValue = -9;
    EXPECT_EQ((std::vector<uint8_t>{14, 0, 0, 0, 3, 0, 0, 0, 0xF7, 0xFF, 0xFF, 0xFF}), BuildGameMessage(GAME_MSGID_END_TURN));
    SelectedPlayer = 13;
    BenchSlot = 14;
    EXPECT_EQ((std::vector<uint8_t>{15, 0, 0, 0, 13, 0, 0, 0, 14, 0, 0, 0}), BuildGameMessage(GAME_MSGID_SUBSTITUTION));

    std::snprintf(Chat.outgoing, sizeof Chat.outgoing, "hello");
    b = BuildGameMessage(GAME_MSGID_CHAT);
    EXPECT_EQ(0, std::memcmp(b.data() + 4, "hello", 6));
    for (size_t i = 9; i < 41; ++i) EXPECT_EQ(0, b[i]);

    for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) SharedRandomTable[i] = 100 + i;
    b = BuildGameMessage(GAME_MSGID_RANDOM_TABLE);
    for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) EXPECT_EQ(100 + i, I32At(b, 4 + 4 * (size_t)i));

    HomeGoals = 2;
    AwayGoals = 1;
    Minute = 67;
    Second = 5;
    LastScoringSide = 1;
    EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 67, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0}),
              BuildGameMessage(GAME_MSGID_SCORE));
}

TEST_F(GameMessageTest, WhatOneComputerSendsTheOtherStoresExactly)
{
    CreateDefaultSquads();
    TheBall.model = 42;
    InstanceAt(42)->Position = {5.f, 0.5f, 6.f};
    TheBall.destination = {50.f, 0.f, 40.f};
    ShotClass = 1;
    BallInFlight = 1;
    MatchPlayers[12].model = 43;
    MatchPlayers[12].moveTarget = {70.f, 0.f, 30.f};
    MatchPlayers[12].stance = 1;
    FacingArrowModels[12] = 44;
    Net.messagePlayer = 12;
    std::vector<std::vector<uint8_t>> sent;
    for (int32_t t : {3, 7, 6, 8, 11, 14, 16}) sent.push_back(BuildGameMessage(t));
    std::vector<uint8_t> ball = sent[1], player = sent[0];

    // The receiving computer starts from other values.
    InstanceAt(42)->Position = {0, 0, 0};
    InstanceAt(42)->MatrixValid = 1;
    TheBall.destination = {0, 0, 0};
    ShotClass = 0;
    BallInFlight = 0;
    MatchPlayers[12].moveTarget = {0, 0, 0};
    MatchPlayers[12].stance = 0;
    InstanceAt(43)->Moved = 0;
    for (auto& m : sent) Receive(m);
    EXPECT_EQ(0.f, TheBall.destination.x);  // nothing before the main thread applies it
    ProcessNetworkMessages();
    EXPECT_EQ(50.f, TheBall.destination.x);
    EXPECT_EQ(6.f, InstanceAt(42)->Position.z);
    EXPECT_EQ(0, InstanceAt(42)->MatrixValid);
    EXPECT_EQ(1, ShotClass);
    EXPECT_EQ(1, BallInFlight);
    EXPECT_EQ(70.f, MatchPlayers[12].moveTarget.x);
    EXPECT_EQ(1, MatchPlayers[12].stance);
    EXPECT_EQ(1, InstanceAt(43)->Moved);
    EXPECT_EQ(0, InstanceAt(43)->MatrixValid);
    // Sending again from the received state gives the same bytes.
    EXPECT_EQ(ball, BuildGameMessage(GAME_MSGID_BALL_STATE));
    EXPECT_EQ(player, BuildGameMessage(GAME_MSGID_PLAYER_STATE));
    EXPECT_EQ(0, SharedRandomIndex);
}

// Every message that carries fields, each field sent with a value no other field of the message
// has, received over other values: each value must land in its own field, so that two fields
// swapped in the writer or in the reader are seen whichever two they are. A message built again
// from what arrived gives the bytes that were sent, where it carries what it stored.
TEST_F(GameMessageTest, EveryFieldOfEveryMessageArrivesInItsOwnPlace)
{
    CreateDefaultSquads();
    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    ResetSubstitutions();
    NetworkGameActive = true;
    MatchPlayers[7].model = 40;
    FacingArrowModels[7] = 41;
    TheBall.model = 42;
    auto vec = [](float x) { return D3DVECTOR{x, x + 1.f, x + 2.f}; };
    auto same = [](const D3DVECTOR& a, const D3DVECTOR& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };

    struct Case {
        int32_t type;
        std::function<void()> send, other;
        std::function<std::string()> wrong;  // the fields that did not arrive as sent
        bool rebuilds;
    };
    const std::vector<Case> cases = {
        {GAME_MSGID_SCORE,
         [] { HomeGoals = 3, AwayGoals = 4, Minute = 56, Second = 7, LastScoringSide = 1; },
         [] { HomeGoals = AwayGoals = Minute = Second = LastScoringSide = 0; },
         [] {
             std::string w;
             if (HomeGoals != 3) w += " HomeGoals";
             if (AwayGoals != 4) w += " AwayGoals";
             if (Minute != 56) w += " Minute";
             if (Second != 7) w += " Second";
             if (LastScoringSide != 1) w += " LastScoringSide";
             return w;
         },
         true},
        {GAME_MSGID_PLAYER_OUT,
         [] { Net.messagePlayer = 7, MatchPlayers[7].turnsDown = 3; },
         [] { MatchPlayers[7].turnsDown = MatchPlayers[3].turnsDown = 0; },
         [] {
             return std::string(MatchPlayers[7].turnsDown != 3 || MatchPlayers[3].turnsDown != 0 ? " turnsDown" : "");
         },
         true},
        {GAME_MSGID_PLAYER_STATE,
         [&] {
             Net.messagePlayer = 7;
             MatchPlayer& m = MatchPlayers[7];
             InstanceAt(40)->Position = vec(101.f);
             InstanceAt(40)->Rotation = vec(104.f);
             m.moveTarget = vec(107.f);
             m.heading = 110.f;
             m.action = 5;
             m.facePoint = vec(111.f);
             m.spare = 114.f;
             m.stance = 2;
             InstanceAt(41)->Rotation.y = 115.f;
         },
         [] {
             MatchPlayer& m = MatchPlayers[7];
             InstanceAt(40)->Position = InstanceAt(40)->Rotation = m.moveTarget = m.facePoint = D3DVECTOR{0, 0, 0};
             m.heading = m.spare = InstanceAt(41)->Rotation.y = 0.f;
             m.action = m.stance = 0;
             InstanceAt(40)->Moved = 0;
             InstanceAt(40)->MatrixValid = 1;
         },
         [&] {
             const MatchPlayer& m = MatchPlayers[7];
             std::string w;
             if (!same(InstanceAt(40)->Position, vec(101.f))) w += " position";
             if (!same(InstanceAt(40)->Rotation, vec(104.f))) w += " rotation";
             if (!same(m.moveTarget, vec(107.f))) w += " moveTarget";
             if (m.heading != 110.f) w += " heading";
             if (m.action != 5) w += " action";
             if (!same(m.facePoint, vec(111.f))) w += " facePoint";
             if (m.spare != 114.f) w += " spare";
             if (m.stance != 2) w += " stance";
             if (InstanceAt(41)->Rotation.y != 115.f) w += " arrow";
             if (InstanceAt(40)->Moved != 1 || InstanceAt(40)->MatrixValid != 0) w += " (model not marked moved)";
             return w;
         },
         true},
        {GAME_MSGID_RANDOM_TABLE,
         [] {
             for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) SharedRandomTable[i] = 1000 + 7 * i;
             SharedRandomIndex = 9;
         },
         [] { std::memset(SharedRandomTable, 0, sizeof SharedRandomTable); },
         [] {
             std::string w;
             for (int i = 0; i < SHARED_RANDOM_COUNT; ++i)
                 if (SharedRandomTable[i] != 1000 + 7 * i) w += " [" + std::to_string(i) + "]";
             if (SharedRandomIndex != 0) w += " index";
             return w;
         },
         true},
        {GAME_MSGID_BALL_STATE,
         [&] {
             InstanceAt(42)->Position = vec(20.f);
             InstanceAt(42)->Rotation = vec(23.f);
             TheBall.aimPoint = vec(26.f);
             TheBall.rotation = 29.f;
             TheBall.bendX = 30.f;
             TheBall.loft = 31.f;
             TheBall.bendZ = 32.f;
             TheBall.destination = vec(33.f);
             TheBall.kickStart = vec(36.f);
             TheBall.groundPoint = vec(39.f);
             TheBall.bendRefMouseX = 42;
             TheBall.bendRefMouseY = 43;
             TheBall.bendMouseX = 44;
             TheBall.bendMouseY = 45;
             ShotClass = 2;
             BallInFlight = 1;
         },
         [] {
             const int32_t model = TheBall.model, marker = TheBall.markerModel;
             std::memset(&TheBall, 0, sizeof TheBall);
             TheBall.model = model;
             TheBall.markerModel = marker;
             InstanceAt(42)->Position = InstanceAt(42)->Rotation = D3DVECTOR{0, 0, 0};
             InstanceAt(42)->Moved = 0;
             InstanceAt(42)->MatrixValid = 1;
             ShotClass = 0;
             BallInFlight = 0;
         },
         [&] {
             std::string w;
             if (!same(InstanceAt(42)->Position, vec(20.f))) w += " position";
             if (!same(InstanceAt(42)->Rotation, vec(23.f))) w += " model rotation";
             if (!same(TheBall.aimPoint, vec(26.f))) w += " aimPoint";
             if (TheBall.rotation != 29.f) w += " rotation";
             if (TheBall.bendX != 30.f) w += " bendX";
             if (TheBall.loft != 31.f) w += " loft";
             if (TheBall.bendZ != 32.f) w += " bendZ";
             if (!same(TheBall.destination, vec(33.f))) w += " destination";
             if (!same(TheBall.kickStart, vec(36.f))) w += " kickStart";
             if (!same(TheBall.groundPoint, vec(39.f))) w += " groundPoint";
             if (TheBall.bendRefMouseX != 42) w += " bendRefMouseX";
             if (TheBall.bendRefMouseY != 43) w += " bendRefMouseY";
             if (TheBall.bendMouseX != 44) w += " bendMouseX";
             if (TheBall.bendMouseY != 45) w += " bendMouseY";
             if (ShotClass != 2) w += " ShotClass";
             if (BallInFlight != 1) w += " BallInFlight";
             if (InstanceAt(42)->Moved != 1 || InstanceAt(42)->MatrixValid != 0) w += " (model not marked moved)";
             return w;
         },
         true},
        {GAME_MSGID_SETTINGS,
         [] { MatchSetup.difficulty = 7, MatchSetup.minutesPerHalf = 20, MatchSetup.abilitySwapLocked = 1; },
         [] { MatchSetup.difficulty = 0, MatchSetup.minutesPerHalf = 3, MatchSetup.abilitySwapLocked = 0; },
         [] {
             std::string w;
             if (MatchSetup.difficulty != 7) w += " difficulty";
             if (MatchSetup.minutesPerHalf != 20) w += " minutesPerHalf";
             if (MatchSetup.abilitySwapLocked != 1) w += " abilitySwapLocked";
             return w;
         },
         true},
        {GAME_MSGID_TEAM_NAMES,
         [] {
             std::snprintf(TeamNames[0], TEAM_NAME_SIZE, "Larks");
             std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Corvale");
         },
         [] { std::memset(TeamNames, 0, sizeof TeamNames); },
         [] {
             std::string w;
             if (std::strcmp(TeamNames[0], "Larks") != 0) w += " home name";
             if (std::strcmp(TeamNames[1], "Corvale") != 0) w += " away name";
             return w;
         },
         true},
        {GAME_MSGID_END_TURN,
         [] { OutgoingEndTurnCode = END_TURN_AGREE, OutgoingEndTurnValue = -9; },
         [] { IncomingEndTurnCode = IncomingEndTurnValue = 0; },
         [] {
             std::string w;
             if (IncomingEndTurnCode != END_TURN_AGREE) w += " code";
             if (IncomingEndTurnValue != -9) w += " value";
             return w;
         },
         false},
        {GAME_MSGID_SUBSTITUTION,
         [] { SelectedPlayer = 4, BenchSlot = 14; },
         [] { SelectedPlayer = 2, BenchSlot = 11; },
         [] {
             std::string w;
             if (MatchPlayers[4].squadSlot != 14) w += " substitution";
             if (SelectedPlayer != 2 || BenchSlot != 11) w += " (selection disturbed)";
             return w;
         },
         false},
        {GAME_MSGID_CHAT,
         [] { std::snprintf(Chat.outgoing, sizeof Chat.outgoing, "well played"); },
         [] { ResetChat(); },
         [] { return std::string(std::strcmp(Chat.lines[0], "well played") != 0 ? " line" : ""); },
         false},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "message " << c.type);
        c.send();
        const std::vector<uint8_t> sent = BuildGameMessage(c.type);
        c.other();
        Receive(sent);
        ProcessNetworkMessages();
        EXPECT_EQ(c.wrong(), "") << "fields not arrived as sent";
        if (c.rebuilds) {
            EXPECT_EQ(sent, BuildGameMessage(c.type)) << "built again from what arrived";
        }
    }
}

// The squad message: every field of every one of the sixteen players' records with a value of its
// own (the roles, wings and flags within their ranges, apart within each record), the team's
// name and kit choice, arrive as they were sent, in their own places.
TEST_F(GameMessageTest, EveryFieldOfASquadArrivesInItsOwnPlace)
{
    CreateDefaultSquads();
    Net.isHost = 0;  // the guest sends the away squad
    TeamSquad& away = TeamSquads[1];
    int32_t count = 1;
    auto stats = [&](SquadStats& st) {
        for (int32_t* v : {&st.tacklesWon, &st.tackleAttemptsLost, &st.haveBeenTackled, &st.preventedBeingTackled,
                           &st.foulsDone, &st.haveBeenFouled, &st.passAttempts[0], &st.passAttempts[1],
                           &st.passAttempts[2], &st.goodPasses[0], &st.goodPasses[1], &st.goodPasses[2],
                           &st.attemptsOnGoal, &st.goalsScored})
            *v = count++;
        st.timeOnBall = 0.25f + (float)count++;
    };
    for (int i = 0; i < SQUAD_SIZE; ++i) {
        SquadPlayer& p = away.players[i];
        for (float& a : p.attributes) a = 0.5f + (float)count++;
        p.role = (i + 1) % 4;
        p.wingFlag = i % 2;
        p.wingSide = (i + 2) % 4;
        p.formationX = 0.75f + (float)count++;
        p.formationZ = 0.75f + (float)count++;
        std::memset(p.name, 0, sizeof p.name);
        std::snprintf(p.name, sizeof p.name, "N%d", count++);
        p.gamesPlayed = count++;
        stats(p.career);
        stats(p.lastMatch);
        for (int32_t& r : p.reserved) r = count++;
    }
    std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Visitors");
    MatchSetup.kitChoice[1] = 3;
    const TeamSquad sent = away;
    const std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_TEAM_SQUAD);

    std::memset(&away, 0, sizeof away);
    std::memset(TeamNames[1], 0, TEAM_NAME_SIZE);
    MatchSetup.kitChoice[1] = 0;
    Receive(m);
    ProcessNetworkMessages();
    for (int i = 0; i < SQUAD_SIZE; ++i)
        EXPECT_EQ(0, std::memcmp(&sent.players[i], &away.players[i], sizeof(SquadPlayer))) << "player " << i;
    EXPECT_STREQ("Visitors", TeamNames[1]);
    EXPECT_EQ(3, MatchSetup.kitChoice[1]);
}

TEST_F(GameMessageTest, MalformedMessagesAreDroppedWholeWithATrace)
{
    std::vector<std::vector<uint8_t>> bad;
    for (int32_t t : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) {
        std::vector<uint8_t> m = BuildGameMessage(t);
        std::vector<uint8_t> longer = m, shorter = m;
        longer.push_back(0);
        shorter.pop_back();
        bad.push_back(longer);
        if (!shorter.empty()) bad.push_back(shorter);
    }
    auto with = [](int32_t type, size_t at, int32_t value) {
        std::vector<uint8_t> m = BuildGameMessage(type);
        std::memcpy(m.data() + at, &value, 4);
        return m;
    };
    const float nan = std::nanf("");
    int32_t nanBits;
    std::memcpy(&nanBits, &nan, 4);
    bad.push_back(with(GAME_MSGID_PLAYER_OUT, 4, 22));
    bad.push_back(with(GAME_MSGID_PLAYER_OUT, 4, -1));
    bad.push_back(with(GAME_MSGID_PLAYER_STATE, 4, 1000000));
    bad.push_back(with(GAME_MSGID_PLAYER_STATE, 8, nanBits));
    bad.push_back(with(GAME_MSGID_BALL_STATE, 56, 0x7F800000));  // infinite destination
    bad.push_back(with(GAME_MSGID_BALL_STATE, 108, 7));
    bad.push_back(with(GAME_MSGID_SUBSTITUTION, 4, 30));
    bad.push_back(with(GAME_MSGID_SUBSTITUTION, 8, 3));  // a starter is no bench slot
    bad.push_back(with(GAME_MSGID_TEAM_SQUAD, 4, 2));
    bad.push_back(with(GAME_MSGID_TEAM_SQUAD, 4628, KIT_TABLE_SIZE));
    bad.push_back(with(GAME_MSGID_SETTINGS, 4, 11));
    bad.push_back(with(GAME_MSGID_SETTINGS, 8, 2));
    bad.push_back(with(GAME_MSGID_END_TURN, 4, 0));
    bad.push_back(with(GAME_MSGID_RANDOM_TABLE, 40, -5));
    bad.push_back(with(GAME_MSGID_SCORE, 20, 2));
    std::vector<uint8_t> chat = BuildGameMessage(GAME_MSGID_CHAT);
    std::memset(chat.data() + 4, 'x', 37);
    bad.push_back(chat);
    std::vector<uint8_t> names = BuildGameMessage(GAME_MSGID_TEAM_NAMES);
    std::memset(names.data() + 16, 'y', 12);
    bad.push_back(names);
    std::vector<uint8_t> squad = BuildGameMessage(GAME_MSGID_TEAM_SQUAD);
    std::memset(squad.data() + 8 + 3 * sizeof(SquadPlayer) + offsetof(SquadPlayer, name), 'z', 28);
    bad.push_back(squad);
    bad.push_back({4, 0, 0, 0});
    bad.push_back({1, 0});

    const uint64_t before = GlobalsHash();
    for (auto& m : bad) {
        const char* why = nullptr;
        EXPECT_FALSE(ValidateGameMessage(m.data(), m.size(), &why)) << I32At(m, 0) << " size " << m.size();
        EXPECT_NE(nullptr, why);
        Receive(m);
    }
    ProcessNetworkMessages();
    EXPECT_EQ(before, GlobalsHash());
    EXPECT_TRUE(notifications.empty());
}

TEST_F(GameMessageTest, TwoEndTurnMessagesAreHandledOneAfterTheOther)
{
    // What the screen sees at each notification: the code and value then stored.
    std::vector<std::pair<int32_t, int32_t>> seen;
    onNotify = [&](uint32_t code) {
        if (code == NOTIFY_END_TURN) seen.push_back({IncomingEndTurnCode, IncomingEndTurnValue});
    };
    OutgoingEndTurnCode = END_TURN_REQUEST;
    OutgoingEndTurnValue = 1;
    Receive(BuildGameMessage(GAME_MSGID_END_TURN));
    OutgoingEndTurnCode = END_TURN_AGREE;
    OutgoingEndTurnValue = 2;
    Receive(BuildGameMessage(GAME_MSGID_END_TURN));
    Receive(BuildGameMessage(GAME_MSGID_PHASE_DONE));
    Receive(BuildGameMessage(GAME_MSGID_READY));
    Receive(BuildGameMessage(GAME_MSGID_10));
    Receive(BuildGameMessage(GAME_MSGID_13));
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 2}}), seen);
    EXPECT_EQ((std::vector<uint32_t>{29003, 29003, 6, 12, 29002, 11}), notifications);
}

TEST_F(GameMessageTest, AReceivedSubstitutionLeavesTheSelectionAsItWas)
{
    CreateDefaultSquads();
    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    ResetSubstitutions();
    SelectedPlayer = 13;
    BenchSlot = 12;
    Net.isHost = 1;
    NetworkGameActive = true;
    std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_SUBSTITUTION);
    std::memcpy(m.data() + 4, "\x04\0\0\0\x0E\0\0\0", 8);  // player 4 off, bench slot 14 on
    SelectedPlayer = 2;
    BenchSlot = 11;
    Receive(m);
    ProcessNetworkMessages();
    EXPECT_EQ(14, MatchPlayers[4].squadSlot);
    EXPECT_EQ(1, SubstitutionsMade[0]);
    EXPECT_EQ(2, SelectedPlayer);
    EXPECT_EQ(11, BenchSlot);
}

TEST_F(GameMessageTest, ASquadForTheAwaySideReplacesOnlyTheAwaySide)
{
    CreateDefaultSquads();
    Net.isHost = 0;
    TeamSquads[1].players[9].role = ROLE_DEF;
    std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "Visitors");
    MatchSetup.kitChoice[1] = 3;
    std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_TEAM_SQUAD);
    // The host's own view before it arrives.
    CreateDefaultSquads();
    std::snprintf(TeamNames[0], TEAM_NAME_SIZE, "Locals");
    MatchSetup.kitChoice[0] = 2;
    MatchSetup.kitChoice[1] = 1;
    const TeamSquad home = TeamSquads[0];
    Receive(m);
    ProcessNetworkMessages();
    EXPECT_EQ(0, std::memcmp(&home, &TeamSquads[0], sizeof home));
    EXPECT_STREQ("Locals", TeamNames[0]);
    EXPECT_EQ(2, MatchSetup.kitChoice[0]);
    EXPECT_EQ(ROLE_DEF, TeamSquads[1].players[9].role);
    EXPECT_STREQ("Visitors", TeamNames[1]);
    EXPECT_EQ(3, MatchSetup.kitChoice[1]);
}

TEST_F(GameMessageTest, ASquadPlayersNameTravelsCutAndZeroFilled)
{
    CreateDefaultSquads();
    Net.isHost = 1;
    // What an edit left behind the name's end stays at home, and a name that fills its whole
    // field goes out cut to one character less.
    char (&edited)[28] = TeamSquads[0].players[2].name;
    std::memset(edited, 'x', sizeof edited);
    std::memcpy(edited, "Bo", 3);
    char (&full)[28] = TeamSquads[0].players[5].name;
    std::memset(full, 'y', sizeof full);
    std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_TEAM_SQUAD);
    const size_t at2 = 8 + 2 * sizeof(SquadPlayer) + offsetof(SquadPlayer, name);
    const size_t at5 = 8 + 5 * sizeof(SquadPlayer) + offsetof(SquadPlayer, name);
    EXPECT_EQ(0, std::memcmp(m.data() + at2, "Bo", 3));
    for (size_t i = 3; i < sizeof edited; ++i) EXPECT_EQ(0, m[at2 + i]) << i;
    for (size_t i = 0; i + 1 < sizeof full; ++i) EXPECT_EQ('y', m[at5 + i]) << i;
    EXPECT_EQ(0, m[at5 + sizeof full - 1]);

    CreateDefaultSquads();
    Receive(m);
    ProcessNetworkMessages();
    EXPECT_STREQ("Bo", TeamSquads[0].players[2].name);
    EXPECT_EQ(std::string(sizeof full - 1, 'y'), TeamSquads[0].players[5].name);
}

TEST_F(GameMessageTest, ChatKeepsTenLinesAndScrollsOnlyOverWrittenOnes)
{
    ResetChat();
    for (int i = 0; i < 12; ++i) {
        std::snprintf(Chat.outgoing, sizeof Chat.outgoing, "line %d", i);
        Receive(BuildGameMessage(GAME_MSGID_CHAT));
    }
    ProcessNetworkMessages();
    EXPECT_STREQ("In>line 11", Chat.shown);
    EXPECT_STREQ("line 11", Chat.lines[0]);
    EXPECT_STREQ("line 2", Chat.lines[9]);  // 0 and 1 dropped
    EXPECT_EQ(0, Chat.viewIndex);
    for (int i = 0; i < 15; ++i) ScrollChat(true);
    EXPECT_EQ(9, Chat.viewIndex);
    EXPECT_STREQ("In>line 2", Chat.shown);
    ScrollChat(false);
    EXPECT_STREQ("In>line 3", Chat.shown);

    ResetChat();
    std::snprintf(Chat.outgoing, sizeof Chat.outgoing, "only");
    Receive(BuildGameMessage(GAME_MSGID_CHAT));
    ProcessNetworkMessages();
    ScrollChat(true);  // nothing older: the view stays on the one line
    EXPECT_EQ(0, Chat.viewIndex);
    EXPECT_STREQ("In>only", Chat.shown);
    // A full-length line keeps its terminator.
    std::memset(Chat.outgoing, 'w', sizeof Chat.outgoing);
    Receive(BuildGameMessage(GAME_MSGID_CHAT));
    ProcessNetworkMessages();
    EXPECT_EQ(36u, std::strlen(Chat.lines[0]));
}

TEST_F(GameMessageTest, SetupMessagesRefreshTheSettingsTheyCarry)
{
    MatchSetup.difficulty = 7;
    MatchSetup.minutesPerHalf = 20;
    MatchSetup.abilitySwapLocked = 1;
    std::vector<uint8_t> m = BuildGameMessage(GAME_MSGID_SETTINGS);
    MatchSetup = MatchSettings{};
    Receive(m);
    ProcessNetworkMessages();
    EXPECT_EQ(7, MatchSetup.difficulty);
    EXPECT_EQ(20, MatchSetup.minutesPerHalf);
    EXPECT_EQ(1, MatchSetup.abilitySwapLocked);
}

TEST_F(GameMessageTest, APopUpOverTheScreenHoldsNotificationsUntilItCloses)
{
    // The system menu over the match takes the screen's handler: an end-turn request or the other
    // player's departure handed to it would be lost, so they wait, in order, for the match.
    OutgoingEndTurnCode = END_TURN_REQUEST;
    OutgoingEndTurnValue = 1;
    Receive(BuildGameMessage(GAME_MSGID_END_TURN));
    Receive(BuildGameMessage(GAME_MSGID_PHASE_DONE));
    PopupOpen = true;
    ProcessNetworkMessages();
    ResumeHeldNetworkMessages();
    EXPECT_TRUE(notifications.empty());
    PopupOpen = false;
    ResumeHeldNetworkMessages();
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{29003, 6}), notifications);
}
