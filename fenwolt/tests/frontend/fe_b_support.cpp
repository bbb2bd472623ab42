#include "fenwolt/tests/frontend/fe_b_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/FrontEnd/TeamStats.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void ResetFrontEndState(uint32_t seed)
{
    srand(seed);
    UseSharedRandom = false;
    NetworkGameActive = false;
    Competition = CompetitionState{};
    MatchSetup = MatchSettings{};
    KitTable = KitList{};
    League = LeagueTable{};
    for (int32_t i = 0; i < LEAGUE_TEAMS; ++i) League.rows[i].position = i;
    std::memset(RoundPairs, 0, sizeof RoundPairs);
    std::memset(RoundGoals, 0, sizeof RoundGoals);
    std::memset(TeamSquads, 0, sizeof TeamSquads);
    std::memset(TeamNames, 0, sizeof TeamNames);
    TeamStaging = TeamStagingCopy{};
    LoadRequested = 0;
    LoadSlot = 0;
    SelectedMarker = 0;
    StatsViewCareer = 0;
    ResetFormationTables();
    ResetMatchGlobals();
}

void SetKitNames(std::initializer_list<const char*> names)
{
    KitTable = KitList{};
    for (const char* n : names) std::snprintf(KitTable.names[KitTable.count++], sizeof KitTable.names[0], "%s", n);
}

void MakeDefaultSquads() { CreateDefaultSquads(); }

RgbImage DrawScreen()
{
    TheApp.RenderFrame();
    return ReadBack();
}

bool IsWhiteInk(uint8_t r, uint8_t g, uint8_t b) { return r > 140 && g > 140 && b > 140; }
bool IsGreenInk(uint8_t r, uint8_t g, uint8_t b) { return g > 140 && r < 90 && b < 90; }

int InkBeforeNextText(const RgbImage& frame, unsigned handle, int nextX, int spaces,
                      bool (*ink)(uint8_t, uint8_t, uint8_t))
{
    const Sprite* s = SpriteAt(handle);
    if (!s || !s->Font) return -1;
    const int top = (int)s->Y, room = spaces * GetGlyphWidth(s->Font->Kind, ' ');
    int count = 0;
    for (int y = std::max(top, 0); y < std::min(top + s->Font->CellHeight, frame.height); ++y)
        for (int x = std::max(nextX - room, 0); x < std::min(nextX, frame.width); ++x) {
            const uint8_t* p = frame.At(x, y);
            count += ink(p[0], p[1], p[2]) ? 1 : 0;
        }
    return count;
}

void FrontEndAppTest::SetUp()
{
    ResetFrontEndState();
    EngineAppTest::SetUp();
}

void FrontEndAppTest::TearDown()
{
    SetScreen(0);
    EngineAppTest::TearDown();
}

void FrontEndAppTest::Send(int32_t message, int x, int y)
{
    MouseX = x;
    MouseY = y;
    LastMessageId = (uint32_t)message;
    if (ScreenMessageHandler) ScreenMessageHandler(message);
}

void FrontEndAppTest::ClickSprite(unsigned handle, bool left)
{
    Sprite* s = SpriteAt(handle);
    ASSERT_TRUE(s && s->Device) << "sprite " << handle << " is not created";
    const RECT& r = s->ScreenRect;
    Send(left ? 513 : 516, (int)(r.left + r.right) / 2, (int)(r.top + r.bottom) / 2);
}

std::string FrontEndAppTest::SpriteText(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    return s && s->Device ? std::string(s->Text) : std::string();
}

bool FrontEndAppTest::SpriteVisible(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    return s && s->Device && s->IsVisible();
}

bool FrontEndAppTest::SpriteActive(unsigned handle)
{
    Sprite* s = SpriteAt(handle);
    return s && s->Device && s->IsActive();
}
