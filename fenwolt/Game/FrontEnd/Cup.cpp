#include "fenwolt/Game/FrontEnd/Cup.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/data/ClubNames.h"

#include <cstdio>

namespace {
enum : unsigned {
    CUP_TITLE = 20,
    CUP_ROUND = 21,
    CUP_SWAPPING_LABEL = 22,
    CUP_DIFFICULTY_LABEL = 23,
    CUP_TEAM_LABEL = 25,
    CUP_OPPONENT_LABEL = 26,
    CUP_MINUTES_LABEL = 27,
    RESULT_TITLE = 7,
    RESULT_ROUND = 8,
    RESULT_VERDICT = 31,
    RESULT_OUTCOME = 32,
    RESULT_STATS = 197,
    RESULT_CONTINUE = 199,
};

const char* const kRoundNames[CUP_ROUNDS] = {"FIRST ROUND", "SECOND ROUND", "QUARTER-FINAL", "SEMI-FINAL", "FINAL"};

int32_t ClampRound(int32_t round) { return round < 0 ? 0 : (round >= CUP_ROUNDS ? CUP_ROUNDS - 1 : round); }

CupOutcome OutcomeOf(int32_t homeGoals, int32_t awayGoals, int32_t round)
{
    if (homeGoals > awayGoals) return ClampRound(round) == CUP_ROUNDS - 1 ? CUP_WON : CUP_THROUGH;
    if (awayGoals > homeGoals) return CUP_OUT;
    return CUP_REPLAY;
}
}  // namespace

const char* CupRoundName(int32_t round) { return kRoundNames[ClampRound(round)]; }

const char* CupOpponentName(int32_t round) { return fwdata::kCupOpponents[ClampRound(round)]; }

void StartCupMatchPoints()
{
    if (Competition.cupReplay) return;
    if (Competition.cupRound <= 0) {
        SetStartingPoints();
        return;
    }
    Competition.pointsToSpend[0] += 100;
    Competition.pointsToSpend[1] += Competition.cupRound * 250;
    MatchSetup.kitChoice[1] = StepKitIndex(MatchSetup.kitChoice[1], +1);
}

CupOutcome DecideCupResult(int32_t homeGoals, int32_t awayGoals)
{
    Competition.cupReplay = 0;
    const CupOutcome outcome = OutcomeOf(homeGoals, awayGoals, Competition.cupRound);
    if (outcome == CUP_REPLAY) Competition.cupReplay = 1;
    return outcome;
}

const char* CupOutcomeText(CupOutcome outcome, int32_t round)
{
    switch (outcome) {
    case CUP_THROUGH:
        switch (ClampRound(round)) {
        case 1: return "Well done you are through to the QUARTER-FINAL.";
        case 2: return "Well done you are through to the SEMI-FINAL.";
        case 3: return "Well done you are through to the FINAL.";
        default: return "Well done you are through to the next round.";
        }
    case CUP_WON: return "Congratulations, you've WON the Cup!";
    case CUP_OUT: return "You are OUT of the Cup.";
    case CUP_REPLAY: return "You must replay the match.";
    }
    return "";
}

void BuildCupScreen()
{
    const int32_t round = ClampRound(Competition.cupRound);
    const bool firstMatch = round == 0 && !Competition.cupReplay;
    if (firstMatch)
        CreateDefaultSquads();
    else
        SetClubSquadNames(1, round + 1);

    BeginMenuScreen(OnCupMessage, "interface\\plain.jpg");
    CreateLabel(CUP_TITLE, 400, 30, "KNOCKOUT CUP DETAILS", 1);
    CreateLabel(CUP_ROUND, 400, 50, CupRoundName(round), 1);
    std::snprintf(TeamNames[1], TEAM_NAME_SIZE, "%s", CupOpponentName(round));
    CreateLabel(CUP_TEAM_LABEL, 400, 80, "Your Team:", 32);
    CreateLabel(CUP_OPPONENT_LABEL, 400, 110, "Opponents:", 32);
    CreateLabel(CUP_DIFFICULTY_LABEL, 400, 140, "Difficulty Level:", 32);
    CreateLabel(CUP_MINUTES_LABEL, 400, 170, "Minutes per Half:", 32);
    CreateLabel(CUP_SWAPPING_LABEL, 400, 200, "Allow Ability Swapping:", 32);
    CreateLabel(SETUP_AWAY_NAME, 420, 110, " ", 0);
    UseGreenTextColours();
    CreateTextSprite(SETUP_HOME_NAME, 420, 80, 0, " ", 0);
    CreateTextSprite(SETUP_DIFFICULTY, 420, 140, 0, " ", 0);
    CreateTextSprite(SETUP_MINUTES, 420, 170, 0, " ", 0);
    CreateTextSprite(SETUP_SWAPPING, 420, 200, 0, " ", 0);
    CreateTextSprite(SETUP_START, 400, 240, 0, "START MATCH", 1);
    CreateTextSprite(SETUP_RETURN, 657, 567, 0, "End Cup Tournament", 1);
    if (!firstMatch) {
        HideSprite(CUP_DIFFICULTY_LABEL);
        HideSprite(SETUP_DIFFICULTY);
    }
    ListKits();
    ShowSetupValues(true);
    Competition.matchInProgress = 0;
}

void OnCupMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == SETUP_MINUTES || hit == SETUP_SWAPPING || hit == SETUP_DIFFICULTY ||
                             hit == SETUP_HOME_NAME || hit == SETUP_START || hit == SETUP_RETURN);
        return;
    }
    if (message != MSG_LEFT_DOWN && message != MSG_RIGHT_DOWN) return;
    if (hit == SPRITE_NONE) return;
    const bool left = message == MSG_LEFT_DOWN;
    if (left) {
        if (hit == SETUP_START) {
            MatchSetup.managers = 1;
            Competition.currentManager = 0;
            StartCupMatchPoints();
            SetScreen(ScreenId::TeamDetails);
            return;
        }
        if (hit == SETUP_RETURN) {
            AskToAbandon();
            return;
        }
        if (hit == SETUP_HOME_NAME) {
            EditTeamName(SETUP_HOME_NAME, 0);
            return;
        }
    }
    if (hit != SETUP_MINUTES && hit != SETUP_SWAPPING && hit != SETUP_DIFFICULTY) return;
    if (StepSetupValue(hit, left)) ShowSetupValues(true);
}

void BuildCupResultScreen()
{
    const int32_t round = ClampRound(Competition.cupRound);
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    BeginMenuScreen(OnCupResultMessage, "interface\\plain.jpg");
    CreateLabel(RESULT_TITLE, 400, 30, "KNOCKOUT CUP RESULT", 1);
    CreateLabel(RESULT_ROUND, 400, 50, CupRoundName(round), 1);
    CreateMatchResult(90);
    // The outcome has a sprite of its own so that the verdict above stays on screen.
    CreateLabel(RESULT_OUTCOME, 400, 130, CupOutcomeText(DecideCupResult(HomeGoals, AwayGoals), round), 1);
    UseGreenTextColours();
    CreateTextSprite(RESULT_STATS, 707, 537, 0, "Team Stats", 1);
    CreateTextSprite(RESULT_CONTINUE, 400, 567, 0, "Continue", 1);
}

void OnCupResultMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == RESULT_STATS || hit == RESULT_CONTINUE);
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    if (hit == RESULT_STATS) {
        SetScreen(ScreenId::TeamStats);
        return;
    }
    if (hit != RESULT_CONTINUE) return;
    switch (DecideCupResult(HomeGoals, AwayGoals)) {
    case CUP_THROUGH:
        Competition.cupRound = ClampRound(Competition.cupRound) + 1;
        SetScreen(ScreenId::CupSetup);
        return;
    case CUP_REPLAY:
        SetScreen(ScreenId::CupSetup);
        return;
    case CUP_WON:
    case CUP_OUT:
        SetScreen(ScreenId::StartMenu);
        return;
    }
}
