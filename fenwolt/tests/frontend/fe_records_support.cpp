#include "fenwolt/tests/frontend/fe_records_support.h"

#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Values from a running count, one field after another. The counts of a stamp start where its
// `start` says, so two stamps one apart differ in every numeric and text field. A field of few
// values (on/off, a choice, a narrow range) shows the digit `page` of its place in the stamp,
// counted in as many values as it has (the next value round for the second stamp), so that over
// the pages every two fields differ at least once, and the two stamps never agree on one.
class FieldStamp : public FieldVisitor {
public:
    // The values a file is to keep, and the other values that must all be replaced by loading it.
    static FieldStamp Saved(int32_t page) { return FieldStamp(1, page, false); }
    static FieldStamp Other(int32_t page) { return FieldStamp(2, page, true); }
    // The fields stamped so far; pages up to its bit length tell every two on/off fields apart.
    int32_t Fields() const { return place_; }

    void Int(const std::string&, int32_t& v, int32_t low, int32_t high) override;
    void Choice(const std::string&, int32_t& v, std::initializer_list<int32_t> values) override;
    void Instance(const std::string&, int32_t& v, int32_t slot) override;
    void Switch(const std::string&, int32_t& v) override { v = NextDigit(2); }
    void Flag(const std::string&, uint8_t& v) override { v = (uint8_t)NextDigit(2); }
    void Float(const std::string&, float& v) override;
    void FloatIn(const std::string&, float& v, float low, float high) override;
    void Text(const std::string&, char* v, size_t size, size_t keep) override;
    void Bytes(const std::string&, uint8_t* v, size_t size) override;

private:
    FieldStamp(int32_t start, int32_t page, bool inverted) : start_(start), page_(page), inverted_(inverted) {}
    int32_t Next() { return start_ + place_++; }
    // 0 .. values - 1.
    int32_t NextDigit(uint32_t values);
    int32_t start_, page_;
    bool inverted_;
    int32_t place_ = 0;
};

// Every field as its bytes, under its name.
class RecordImage : public FieldVisitor {
public:
    void Int(const std::string& name, int32_t& v, int32_t, int32_t) override { Add(name, &v, sizeof v); }
    void Choice(const std::string& name, int32_t& v, std::initializer_list<int32_t>) override { Add(name, &v, sizeof v); }
    void Instance(const std::string& name, int32_t& v, int32_t) override { Add(name, &v, sizeof v); }
    void Switch(const std::string& name, int32_t& v) override { Add(name, &v, sizeof v); }
    void Flag(const std::string& name, uint8_t& v) override { Add(name, &v, sizeof v); }
    void Float(const std::string& name, float& v) override { Add(name, &v, sizeof v); }
    void FloatIn(const std::string& name, float& v, float, float) override { Add(name, &v, sizeof v); }
    void Text(const std::string& name, char* v, size_t size, size_t) override { Add(name, v, size); }
    void Bytes(const std::string& name, uint8_t* v, size_t size) override { Add(name, v, size); }

    // The fields whose bytes differ from `other`'s (empty when none does), at most eight named.
    std::string Differences(const RecordImage& other) const { return Named(other, false); }
    // The fields whose bytes are the same as `other`'s.
    std::string Agreements(const RecordImage& other) const { return Named(other, true); }

private:
    void Add(const std::string& name, const void* v, size_t size);
    std::string Named(const RecordImage& other, bool same) const;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> fields_;
};

// The widest values the readers take for these fields.
constexpr int32_t kManyGoals = 999;
constexpr int32_t kLastMinute = 200;
constexpr int32_t kManyTurns = 100000;
constexpr int32_t kManyPoints = 1000000;
constexpr int32_t kLeagueCount = 10000;
constexpr int32_t kStampedKits = 4;
// Where a stamp's instances lie: the players from the base, their number markers 30 on, the
// ball and its marker 60 on. The two stamps' ranges never meet.
constexpr int32_t kMarkerSlot = 30;
constexpr int32_t kBallSlot = 60;

std::string At(const std::string& name, int i) { return name + "[" + std::to_string(i) + "]"; }

void Vec(FieldVisitor& visit, const std::string& name, D3DVECTOR& v)
{
    visit.Float(name + ".x", v.x);
    visit.Float(name + ".y", v.y);
    visit.Float(name + ".z", v.z);
}

template <class T, size_t N, class Visit>
void Each(const std::string& name, T (&values)[N], Visit each)
{
    for (size_t i = 0; i < N; ++i) each(At(name, (int)i), values[i]);
}

void Stats(FieldVisitor& visit, const std::string& name, SquadStats& s)
{
    const auto count = [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, kManyGoals * 1000); };
    count(name + ".tacklesWon", s.tacklesWon);
    count(name + ".tackleAttemptsLost", s.tackleAttemptsLost);
    count(name + ".haveBeenTackled", s.haveBeenTackled);
    count(name + ".preventedBeingTackled", s.preventedBeingTackled);
    count(name + ".foulsDone", s.foulsDone);
    count(name + ".haveBeenFouled", s.haveBeenFouled);
    Each(name + ".passAttempts", s.passAttempts, count);
    Each(name + ".goodPasses", s.goodPasses, count);
    count(name + ".attemptsOnGoal", s.attemptsOnGoal);
    count(name + ".goalsScored", s.goalsScored);
    visit.Float(name + ".timeOnBall", s.timeOnBall);
}

void Squad(FieldVisitor& visit, const std::string& name, TeamSquad& squad)
{
    for (int i = 0; i < SQUAD_SIZE; ++i) {
        SquadPlayer& p = squad.players[i];
        const std::string n = At(name, i);
        Each(n + ".attributes", p.attributes, [&](const std::string& a, float& v) { visit.FloatIn(a, v, 0.f, 100.f); });
        visit.Int(n + ".role", p.role, ROLE_KEEPER, ROLE_ATT);
        visit.Switch(n + ".wingFlag", p.wingFlag);
        visit.Choice(n + ".wingSide", p.wingSide, {0, 2, 3});
        visit.FloatIn(n + ".formationX", p.formationX, 0.f, FORMATION_MIRROR_X);
        visit.FloatIn(n + ".formationZ", p.formationZ, 0.f, TOUCHLINE_HIGH_Z);
        visit.Text(n + ".name", p.name, sizeof p.name, 14);
        visit.Int(n + ".gamesPlayed", p.gamesPlayed, 0, kManyGoals);
        Stats(visit, n + ".career", p.career);
        Stats(visit, n + ".lastMatch", p.lastMatch);
        Each(n + ".reserved", p.reserved, [&](const std::string& r, int32_t& v) { visit.Int(r, v, -kManyPoints, kManyPoints); });
    }
}

void Player(FieldVisitor& visit, int i)
{
    MatchPlayer& p = MatchPlayers[i];
    const std::string n = At("MatchPlayers", i);
    visit.Instance(n + ".model", p.model, i);
    visit.Instance(n + ".numberMarkerModel", p.numberMarkerModel, kMarkerSlot + i);
    visit.Int(n + ".numberTexture", p.numberTexture, 0, SQUAD_SIZE - 1);
    Vec(visit, n + ".moveTarget", p.moveTarget);
    visit.Float(n + ".heading", p.heading);
    Vec(visit, n + ".facePoint", p.facePoint);
    visit.Float(n + ".spare", p.spare);
    visit.Float(n + ".bodySize", p.bodySize);
    visit.Float(n + ".headHeight", p.headHeight);
    Each(n + ".attributes", p.attributes, [&](const std::string& a, float& v) { visit.FloatIn(a, v, 0.f, 100.f); });
    visit.Float(n + ".energy", p.energy);
    visit.Int(n + ".action", p.action, 0, ANIM_TURN);
    visit.Int(n + ".stance", p.stance, 0, 2);
    visit.Int(n + ".turnsDown", p.turnsDown, 0, kManyTurns);
    visit.Int(n + ".contacts", p.contacts, 0, kManyTurns);
    visit.Int(n + ".moveCounterA", p.moveCounterA, 0, kManyTurns);
    visit.Int(n + ".moveCounterB", p.moveCounterB, 0, kManyTurns);
    visit.Int(n + ".aiCounter", p.aiCounter, 0, kManyTurns);
    visit.Int(n + ".role", p.role, ROLE_KEEPER, ROLE_ATT);
    visit.Switch(n + ".wingFlag", p.wingFlag);
    visit.Choice(n + ".wingSide", p.wingSide, {0, 2, 3});
    visit.Float(n + ".formationX", p.formationX);
    visit.Float(n + ".formationZ", p.formationZ);
    visit.Flag(n + ".offside", p.offside);
    visit.Text(n + ".name", p.name, sizeof p.name, sizeof p.name - 1);
    visit.Int(n + ".squadSlot", p.squadSlot, 0, SQUAD_SIZE - 1);
    visit.Bytes(n + ".reserved0", p.reserved0, sizeof p.reserved0);
    visit.Bytes(n + ".sceneFlag", &p.sceneFlag, 1);
    visit.Bytes(n + ".reserved1", p.reserved1, sizeof p.reserved1);
    visit.Float(n + ".energyCeiling", p.energyCeiling);
    visit.Bytes(n + ".reserved2", p.reserved2, sizeof p.reserved2);
}

void Ball(FieldVisitor& visit)
{
    MatchBall& b = TheBall;
    visit.Instance("TheBall.model", b.model, kBallSlot);
    visit.Instance("TheBall.markerModel", b.markerModel, kBallSlot + 1);
    Vec(visit, "TheBall.aimPoint", b.aimPoint);
    visit.Float("TheBall.bendX", b.bendX);
    visit.Float("TheBall.loft", b.loft);
    visit.Float("TheBall.bendZ", b.bendZ);
    Vec(visit, "TheBall.destination", b.destination);
    Vec(visit, "TheBall.kickStart", b.kickStart);
    Vec(visit, "TheBall.groundPoint", b.groundPoint);
    visit.Float("TheBall.rotation", b.rotation);
    visit.Float("TheBall.radius", b.radius);
    visit.Int("TheBall.bendRefMouseX", b.bendRefMouseX, -kManyPoints, kManyPoints);
    visit.Int("TheBall.bendRefMouseY", b.bendRefMouseY, -kManyPoints, kManyPoints);
    visit.Int("TheBall.bendMouseX", b.bendMouseX, -kManyPoints, kManyPoints);
    visit.Int("TheBall.bendMouseY", b.bendMouseY, -kManyPoints, kManyPoints);
}

// The pose a saved game keeps of the instance a record names (the ball's: position and turn).
void Pose(FieldVisitor& visit, const std::string& name, int32_t instance, bool whole)
{
    ModelInstance* m = InstanceAt(instance);
    if (!m) return;
    Vec(visit, name + ".Position", m->Position);
    visit.Float(name + ".Rotation.y", m->Rotation.y);
    if (!whole) return;
    visit.Int(name + ".AnimationSlot", m->AnimationSlot, 0, ANIMATION_SLOT_COUNT - 1);
    for (int c = 0; c < SNAPSHOT_CHANNELS; ++c) {
        visit.Int(At(name + ".AnimCurrentFrame", c), m->AnimCurrentFrame[c], 0, MAX_ANIMATION_FRAMES - 1);
        visit.Int(At(name + ".AnimNextFrame", c), m->AnimNextFrame[c], 0, MAX_ANIMATION_FRAMES - 1);
        visit.Float(At(name + ".AnimBlend", c), m->AnimBlend[c]);
        visit.Float(At(name + ".AnimTimeInFrame", c), m->AnimTimeInFrame[c]);
    }
}

void LeagueRows(FieldVisitor& visit)
{
    for (int i = 0; i < LEAGUE_TEAMS; ++i) {
        LeagueTableRow& row = League.rows[i];
        const std::string n = At("League.rows", i);
        visit.Int(n + ".position", row.position, 0, LEAGUE_TEAMS - 1);
        visit.Int(n + ".played", row.played, 0, kLeagueCount);
        visit.Int(n + ".won", row.won, 0, kLeagueCount);
        visit.Int(n + ".drawn", row.drawn, 0, kLeagueCount);
        visit.Int(n + ".lost", row.lost, 0, kLeagueCount);
        visit.Int(n + ".goalsFor", row.goalsFor, 0, kLeagueCount * 100);
        visit.Int(n + ".goalsAgainst", row.goalsAgainst, 0, kLeagueCount * 100);
        visit.Int(n + ".points", row.points, 0, kLeagueCount * 3);
        visit.Int(n + ".goalDifference", row.goalDifference, -kLeagueCount * 100, kLeagueCount * 100);
        visit.Text(n + ".name", row.name, sizeof row.name, sizeof row.name - 1);
    }
}

}  // namespace

void WalkSavedGame(FieldVisitor& visit)
{
    const auto index = [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, PLAYER_COUNT - 1); };
    const auto holder = [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, PLAYER_COUNT); };
    const auto flag = [&](const std::string& n, uint8_t& v) { visit.Flag(n, v); };
    const auto number = [&](const std::string& n, float& v) { visit.Float(n, v); };

    visit.Flag("Competition.matchInProgress", Competition.matchInProgress);
    Vec(visit, "CameraTarget", CameraTarget);
    Vec(visit, "CameraEye", CameraEye);
    Each("TeamGoals", TeamGoals, [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, kManyGoals); });
    visit.Switch("LastScoringSide", LastScoringSide);
    visit.Int("GoalSideTable[0]", GoalSideTable[0], -kManyPoints, kManyPoints);
    visit.Switch("GoalSideTable[1]", GoalSideTable[1]);
    visit.Switch("GoalSideTable[2]", GoalSideTable[2]);
    visit.Choice("BallInBox", BallInBox, {BOX_NONE, BOX_LOW, BOX_HIGH});
    for (int i = 0; i < PLAYER_COUNT; ++i) Player(visit, i);
    Each("FormationTables.x", FormationTables.x, number);
    Each("FormationTables.z", FormationTables.z, number);
    Each("FormationTables.role", FormationTables.role,
         [&](const std::string& n, int32_t& v) { visit.Int(n, v, ROLE_KEEPER, ROLE_ATT); });
    Each("FormationTables.wingFlag", FormationTables.wingFlag, [&](const std::string& n, int32_t& v) { visit.Switch(n, v); });
    index("SelectedPlayer", SelectedPlayer);
    index("LastSelectedHome", LastSelectedHome);
    index("LastSelectedAway", LastSelectedAway);
    visit.Flag("ShowBallMarker", ShowBallMarker);
    Each("TickerLineInUse", TickerLineInUse, flag);
    Each("TickerLineX", TickerLineX, number);
    Ball(visit);
    holder("BallHolder", BallHolder);
    holder("LastHolder", LastHolder);
    visit.Int("LastTouchSide", LastTouchSide, 0, 2);
    visit.Flag("KickOffPending", KickOffPending);
    holder("KickOffPartner", KickOffPartner);
    visit.Int("PendingKickKind", PendingKickKind, -1, 5);
    visit.Flag("PendingKickGood", PendingKickGood);
    Vec(visit, "WantedCameraTarget", WantedCameraTarget);
    Vec(visit, "WantedCameraEye", WantedCameraEye);
    Vec(visit, "PickedPoint", PickedPoint);
    visit.Int("TurnPhase", TurnPhase, PHASE_HOME_PLANS, PHASE_AWAY_MOVES);
    visit.Float("PhaseTimer", PhaseTimer);
    Each("PhaseDuration", PhaseDuration, number);
    visit.Choice("KickOffPhase", KickOffPhase, {PHASE_HOME_PLANS, PHASE_AWAY_PLANS});
    visit.Int("Minute", Minute, 0, kLastMinute);
    visit.Int("Second", Second, 0, 59);
    visit.Int("Half", Half, 1, 3);
    visit.Switch("FirstKickOffSide", FirstKickOffSide);
    Each("EventFlags", EventFlags, flag);
    visit.Int("MatchStopState", MatchStopState, STOP_IN_PLAY, STOP_FOUL);
    visit.Choice("PenaltyEnd", PenaltyEnd, {0, PENALTY_LOW_END, PENALTY_HIGH_END});
    visit.Switch("RestartSide", RestartSide);
    holder("SetPieceTaker", SetPieceTaker);
    visit.Flag("TakerHasBall", TakerHasBall);
    visit.Flag("DeadBallKickPending", DeadBallKickPending);
    visit.Flag("ThrowInPending", ThrowInPending);
    Vec(visit, "RestartSpot", RestartSpot);
    visit.Int("RestrictedFirst", RestrictedFirst, 0, SIDE_SIZE);
    visit.Int("RestrictedEnd", RestrictedEnd, SIDE_SIZE, PLAYER_COUNT);
    visit.Float("KeepAwayDistance", KeepAwayDistance);
    visit.Flag("RestartPending", RestartPending);
    visit.Flag("InfoPanelShown", InfoPanelShown);
    visit.Float("HudPanelX", HudPanelX);
    visit.Float("HudPanelY", HudPanelY);
    for (int i = 0; i < PLAYER_COUNT; ++i) Pose(visit, At("pose of player", i), MatchPlayers[i].model, true);
    Pose(visit, "pose of the ball", TheBall.model, false);
    visit.Int("Competition.gameMode", Competition.gameMode, MODE_EXHIBITION, MODE_LEAGUE);
    for (int side = 0; side < 2; ++side) visit.Text(At("TeamNames", side), TeamNames[side], TEAM_NAME_SIZE, TEAM_NAME_SIZE - 1);
    Squad(visit, "TeamSquads[0]", TeamSquads[0]);
    Squad(visit, "TeamSquads[1]", TeamSquads[1]);
    Each("MatchSetup.kitChoice", MatchSetup.kitChoice,
         [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, kStampedKits - 1); });
    visit.Int("StoppageTurns", StoppageTurns, 0, kManyTurns);
    visit.Int("Competition.cupRound", Competition.cupRound, 0, 4);
    Each("Competition.pointsToSpend", Competition.pointsToSpend,
         [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, kManyPoints); });
    visit.Int("Competition.leagueMatch", Competition.leagueMatch, 0, LEAGUE_MATCHES);
    LeagueRows(visit);
    visit.Int("MatchSetup.managers", MatchSetup.managers, 1, 2);
    Each("SubstitutionsMade", SubstitutionsMade, [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, MAX_SUBSTITUTIONS); });
    for (int side = 0; side < 2; ++side)
        Each(At("BenchSlotUsed", side), BenchSlotUsed[side],
             [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, MAX_SUBSTITUTIONS); });
    Each("InjuryCount", InjuryCount, [&](const std::string& n, int32_t& v) { visit.Int(n, v, 0, MAX_INJURIES); });
    holder("LastKicker", LastKicker);
    Each("DistanceOrder", DistanceOrder, holder);
    visit.Int("SelectionCycleIndex", SelectionCycleIndex, 0, SIDE_SIZE - 1);
    visit.Int("MatchSetup.minutesPerHalf", MatchSetup.minutesPerHalf, MINUTES_PER_HALF_MIN, MINUTES_PER_HALF_MAX);
    visit.Flag("MatchSetup.abilitySwapLocked", MatchSetup.abilitySwapLocked);
    visit.Int("MatchSetup.difficulty", MatchSetup.difficulty, 0, DIFFICULTY_MAX);
    visit.Switch("Competition.currentManager", Competition.currentManager);
}

void WalkTeam(FieldVisitor& visit, TeamStagingCopy& team)
{
    visit.Text("name", team.name, sizeof team.name, sizeof team.name - 1);
    Squad(visit, "squad", team.squad);
    visit.Int("kitChoice", team.kitChoice, 0, KIT_TABLE_SIZE - 1);
}

void WalkOptions(FieldVisitor& visit, OptionsRecord& o)
{
    const auto any = [&](const std::string& n, int32_t& v) { visit.Int(n, v, -kManyPoints, kManyPoints); };
    visit.Switch("musicOn", o.musicOn);
    visit.Switch("effectsOn", o.effectsOn);
    any("reservedToggle", o.reservedToggle);
    any("reserved0", o.reserved0);
    any("renderSetting", o.renderSetting);
    any("reservedCycle", o.reservedCycle);
    visit.Int("volume", o.volume, 0, 100);
    visit.Switch("textureQuality", o.textureQuality);
    any("reserved1", o.reserved1);
    visit.Int("shadowsOn", o.shadowsOn, 0, 2);
    visit.Switch("ShowCrowd", o.ShowCrowd);
    visit.Flag("BeginnersCamera", o.BeginnersCamera);
    visit.Flag("FollowBallAtEndTurn", o.FollowBallAtEndTurn);
    visit.Flag("CentrePlayerWhenSelected", o.CentrePlayerWhenSelected);
    visit.Bytes("padding", &o.padding, 1);
    visit.Switch("PitchLevelView", o.PitchLevelView);
    visit.Int("PlayerInfoPanel", o.PlayerInfoPanel, 0, 3);
}

void ScrubPoses()
{
    if (!TheAppConstructed()) return;
    for (ModelInstance& m : TheApp.InstanceTable) {
        m.Position = D3DVECTOR{-1.f, -1.f, -1.f};
        m.Rotation.y = -1.f;
        m.AnimationSlot = -1;
        for (int c = 0; c < ANIMATION_CHANNELS; ++c) {
            m.AnimCurrentFrame[c] = m.AnimNextFrame[c] = -1;
            m.AnimBlend[c] = m.AnimTimeInFrame[c] = -1.f;
        }
    }
}

// --- FieldStamp ---------------------------------------------------------------------------------
void FieldStamp::Int(const std::string&, int32_t& v, int32_t low, int32_t high)
{
    v = low + NextDigit((uint32_t)(high - low) + 1u);
}

void FieldStamp::Choice(const std::string&, int32_t& v, std::initializer_list<int32_t> values)
{
    v = values.begin()[NextDigit((uint32_t)values.size())];
}

void FieldStamp::Instance(const std::string&, int32_t& v, int32_t slot)
{
    Next();
    v = 100 * start_ + slot;
}

int32_t FieldStamp::NextDigit(uint32_t values)
{
    uint64_t place = (uint64_t)place_;
    Next();
    if (values < 2) return 0;
    for (int32_t p = 0; p < page_ && place > 0; ++p) place /= values;
    // Turned on by the page: two fields of different counts of values, whose digits have run out
    // on the later pages, do not stay alike there.
    const uint32_t digit = (uint32_t)((place + (uint64_t)page_ * 7) % values);
    return (int32_t)(inverted_ ? (digit + 1) % values : digit);
}

void FieldStamp::Float(const std::string&, float& v) { v = (float)Next() * 0.5f + 0.25f; }

void FieldStamp::FloatIn(const std::string&, float& v, float low, float high)
{
    v = low + (high - low) * (float)NextDigit(101) / 100.f;
}

void FieldStamp::Text(const std::string&, char* v, size_t size, size_t keep)
{
    std::memset(v, 0, size);
    char text[32];
    std::snprintf(text, sizeof text, "T%d", Next());
    std::memcpy(v, text, std::min(std::strlen(text), std::min(keep, size - 1)));
}

void FieldStamp::Bytes(const std::string&, uint8_t* v, size_t size)
{
    for (size_t i = 0; i < size; ++i) v[i] = (uint8_t)Next();
}

// --- RecordImage --------------------------------------------------------------------------------
void RecordImage::Add(const std::string& name, const void* v, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(v);
    fields_.emplace_back(name, std::vector<uint8_t>(p, p + size));
}

std::string RecordImage::Named(const RecordImage& other, bool same) const
{
    constexpr size_t kNamed = 8;
    if (fields_.size() != other.fields_.size())
        return "the images hold " + std::to_string(fields_.size()) + " and " + std::to_string(other.fields_.size()) +
               " fields";
    std::string out;
    size_t found = 0;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if ((fields_[i].second == other.fields_[i].second) != same) continue;
        if (found++ < kNamed) out += (out.empty() ? "" : ", ") + fields_[i].first;
    }
    if (found > kNamed) out += " and " + std::to_string(found - kNamed) + " more";
    return out;
}

RoundTripResult RoundTripEveryField(const std::function<void(FieldVisitor&)>& walk, const std::function<bool()>& save,
                                    const std::function<bool()>& load, const std::function<void()>& scrub)
{
    RoundTripResult r;
    for (int32_t page = 0; page == 0 || (1 << page) < r.fields; ++page) {
        const std::string round = "round " + std::to_string(page) + ": ";
        FieldStamp saved = FieldStamp::Saved(page);
        walk(saved);
        r.fields = saved.Fields();
        RecordImage expected;
        walk(expected);
        if (!save()) return {round + "the save failed", r.fields};

        if (scrub) scrub();
        FieldStamp other = FieldStamp::Other(page);
        walk(other);
        RecordImage replaced;
        walk(replaced);
        const std::string kept = expected.Agreements(replaced);
        if (!kept.empty()) return {round + "not given another value before the load: " + kept, r.fields};
        if (!load()) return {round + "the load failed", r.fields};

        RecordImage loaded;
        walk(loaded);
        const std::string wrong = expected.Differences(loaded);
        if (!wrong.empty()) return {round + "not back as saved: " + wrong, r.fields};
    }
    return r;
}
