// Text entry through the program's own message path: keys and clicks as the platform delivers
// them, the private buffer, the target written only on commit and never beyond its size.
#include "fe_a_support.h"

#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned HOME_NAME = 34, AWAY_NAME = 35, START = 199;

class TextEntryTest : public FrontEndATest {
protected:
    void SetUp() override
    {
        FrontEndATest::SetUp();
        if (HasFatalFailure()) return;
        UseGreenTextColours();
        std::memset(TeamNames, 0, sizeof(TeamNames));
        std::strcpy(TeamNames[0], "Rovers");
        std::strcpy(TeamNames[1], "United");
        CreateTextSprite(HOME_NAME, 420.f, 100.f, 0, TeamNames[0], 0);
        CreateTextSprite(AWAY_NAME, 420.f, 130.f, 0, TeamNames[1], 0);
        CreateTextSprite(START, 400.f, 260.f, 0, "START MATCH", 1);
        RecordScreenMessages();
    }
    // An edit of the home name in place, as the set-up screens do it.
    void EditHome()
    {
        const Sprite* s = SpriteAt(HOME_NAME);
        TextEntry.editedSprite = HOME_NAME;
        BeginTextEntry(s->X, s->Y, 0, TeamNames[0], TEAM_NAME_SIZE - 1, TeamNames[0]);
    }
    static void Type(const char* keys)
    {
        for (const char* k = keys; *k; ++k) Key((unsigned char)*k);
    }
    static std::string Buffer() { return TextEntry.buffer; }
    static int Ended() { return (int)std::count(messages.begin(), messages.end(), TEXT_ENTRY_ENDED_COMMAND); }
};

}  // namespace

TEST_F(TextEntryTest, WithoutInitialTextTheFirstKeyReplacesTheSpaceInTheCaseShiftAndCapsGive)
{
    char field[12] = "Old";
    BeginTextEntry(100.f, 300.f, 0, nullptr, 11, field);
    ASSERT_TRUE(TextEntryRunning);
    EXPECT_EQ(TextOf(TEXT_ENTRY_TEXT_SPRITE), " ");
    EXPECT_EQ(TextOf(TEXT_ENTRY_CARET_SPRITE), "<");
    EXPECT_EQ(TextEntry.caret, 0);
    // The caret points at the character it stands on: right of the single space.
    EXPECT_FLOAT_EQ(SpriteAt(TEXT_ENTRY_CARET_SPRITE)->X, 100.f + (float)GetGlyphWidth(TextEntry.font->Kind, ' '));

    Key('A');
    EXPECT_EQ(Buffer(), "a");
    KeyDown(VK_SHIFT);
    Key('B');
    KeyUp(VK_SHIFT);
    Key(VK_CAPITAL);  // Caps Lock on
    Key('C');
    Key(VK_CAPITAL);  // and off again
    Key('D');
    Key('7');
    Key(VK_SPACE);
    EXPECT_EQ(Buffer(), "aBCd7 ");
    // Up, down, Home and End type the characters of their key codes.
    Key(VK_UP);
    Key(VK_DOWN);
    Key(VK_HOME);
    Key(VK_END);
    EXPECT_EQ(Buffer(), "aBCd7 &($#");
    EXPECT_STREQ(field, "Old") << "the target is written only on commit";
    Key(VK_RETURN);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(field, "aBCd7 &($#");
    EXPECT_EQ(Ended(), 1);
    // No edited sprite: the entry's own text stays on screen, the caret goes.
    EXPECT_TRUE(Visible(TEXT_ENTRY_TEXT_SPRITE));
    EXPECT_EQ(TextOf(TEXT_ENTRY_TEXT_SPRITE), "aBCd7 &($#");
    EXPECT_FALSE(Visible(TEXT_ENTRY_CARET_SPRITE));
}

TEST_F(TextEntryTest, OverwriteAndInsertFollowTheInsertKeysToggleAndBothStopAtTheMaximum)
{
    EditHome();
    EXPECT_EQ(TextEntry.caret, 6);
    EXPECT_FALSE(Visible(HOME_NAME));
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key('X');  // overwrite: "Rov" + x + "rs"
    EXPECT_EQ(Buffer(), "Rovxrs");
    Key(VK_INSERT);
    EXPECT_EQ(Buffer(), "Rovxrs") << "Insert itself types nothing";
    Key('Y');  // insert
    EXPECT_EQ(Buffer(), "Rovxyrs");
    // Insert mode inside the text: at eleven characters the twelfth is refused.
    Type("ABCD");
    EXPECT_EQ(Buffer(), "Rovxyabcdrs");
    Key('Z');
    EXPECT_EQ(Buffer(), "Rovxyabcdrs");
    // Overwrite mode at the end of a full name: refused as well.
    Key(VK_INSERT);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_RIGHT);  // already at the end: stays
    EXPECT_EQ(TextEntry.caret, 11);
    Key('Q');
    EXPECT_EQ(Buffer(), "Rovxyabcdrs");
    // Overwriting inside a full name still works.
    Key(VK_LEFT);
    Key('T');
    EXPECT_EQ(Buffer(), "Rovxyabcdrt");
    Key(VK_RETURN);
    EXPECT_STREQ(TeamNames[0], "Rovxyabcdrt");
    EXPECT_STREQ(TeamNames[1], "United");
    // The edited sprite is back, showing the new name.
    EXPECT_TRUE(Visible(HOME_NAME));
    EXPECT_TRUE(Active(HOME_NAME));
    EXPECT_EQ(TextOf(HOME_NAME), "Rovxyabcdrt");
    EXPECT_FALSE(Visible(TEXT_ENTRY_TEXT_SPRITE));
    EXPECT_EQ(TextEntry.editedSprite, SPRITE_NONE);
}

TEST_F(TextEntryTest, EscapeThrowsTheEditAwayAndBackspaceAndDeleteWorkAtTheEdges)
{
    EditHome();
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);
    Key(VK_LEFT);  // at 0 already
    EXPECT_EQ(TextEntry.caret, 0);
    // Backspace at the start removes the first character.
    Key(VK_BACK);
    EXPECT_EQ(Buffer(), "overs");
    EXPECT_EQ(TextOf(TEXT_ENTRY_TEXT_SPRITE), "overs");
    Key(VK_DELETE);
    EXPECT_EQ(Buffer(), "vers");
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_BACK);
    EXPECT_EQ(Buffer(), "vrs");
    EXPECT_EQ(TextEntry.caret, 1);
    Key(VK_ESCAPE);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(TeamNames[0], "Rovers");
    EXPECT_TRUE(Visible(HOME_NAME));
    EXPECT_EQ(TextOf(HOME_NAME), "Rovers");
    EXPECT_EQ(Ended(), 1);
}

TEST_F(TextEntryTest, AClickCommitsAndTheSameClickReachesTheScreenWithItsButtonsBack)
{
    // What was clickable before: only visible, active sprites are switched off for the entry.
    ShowSpriteInactive(AWAY_NAME);
    CreateTextSprite(40, 10.f, 10.f, 0, "hidden but active", 0);
    SpriteAt(40)->SetVisible(false);
    const std::vector<int> before = SpriteFlags();

    EditHome();
    EXPECT_FALSE(Active(START));
    EXPECT_TRUE(Active(40));
    Key(VK_BACK);
    Key(VK_BACK);
    Click(CentreX(START), CentreY(START));
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(TeamNames[0], "Rove");
    // The screen learned that the entry ended, then saw the press on its button.
    ASSERT_GE(messages.size(), 2u);
    auto ended = std::find(messages.begin(), messages.end(), TEXT_ENTRY_ENDED_COMMAND);
    auto press = std::find(messages.begin(), messages.end(), (int32_t)WM_LBUTTONDOWN);
    ASSERT_NE(ended, messages.end());
    ASSERT_NE(press, messages.end());
    EXPECT_LT(ended - messages.begin(), press - messages.begin());
    EXPECT_EQ(hits[press - messages.begin()], START);

    std::vector<int> after = SpriteFlags();
    after[TEXT_ENTRY_TEXT_SPRITE] = before[TEXT_ENTRY_TEXT_SPRITE];
    after[TEXT_ENTRY_CARET_SPRITE] = before[TEXT_ENTRY_CARET_SPRITE];
    EXPECT_EQ(after, before);
}

TEST_F(TextEntryTest, AnUnterminatedNameIsReadAndWrittenWithinItsTwelveBytes)
{
    std::memset(TeamNames[0], 'H', TEAM_NAME_SIZE);  // no terminator: runs into the away name
    EditHome();
    EXPECT_EQ(Buffer(), std::string(11, 'H'));
    EXPECT_EQ(TextEntry.caret, 11);
    Key('X');
    EXPECT_EQ(Buffer(), std::string(11, 'H'));
    Key(VK_ESCAPE);
    EXPECT_STREQ(TeamNames[1], "United");
    EXPECT_EQ(TextOf(HOME_NAME), std::string(11, 'H'));

    EditHome();
    Key(VK_BACK);
    Key('Y');
    Key(VK_RETURN);
    EXPECT_EQ(std::string(TeamNames[0]), std::string(10, 'H') + "y");
    EXPECT_EQ(TeamNames[0][11], 0);
    EXPECT_STREQ(TeamNames[1], "United");
}

TEST_F(TextEntryTest, ARefusedStartChangesNothingAndAScreenSwitchStopsTheEntryQuietly)
{
    char field[600] = "keep";
    BeginTextEntry(10.f, 10.f, 0, "x", 500, field);
    EXPECT_FALSE(TextEntryRunning);
    BeginTextEntry(10.f, 10.f, 0, "x", 10, nullptr);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_TRUE(Active(START));

    EditHome();
    Key('Z');
    SetScreen(4);  // names no screen: an empty one
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(TeamNames[0], "Rovers");
    EXPECT_EQ(Ended(), 0);
    EXPECT_EQ(TextEntry.editedSprite, SPRITE_NONE);
    // The next screen's entry (the chat line, without an edited sprite) leaves its sprite 34 be.
    CreateTextSprite(HOME_NAME, 10.f, 10.f, 0, "other screen", 0);
    BeginTextEntry(10.f, 500.f, 1, nullptr, 36, field);
    EXPECT_TRUE(Visible(HOME_NAME));
    Key(VK_RETURN);
    EXPECT_STREQ(field, " ");
    EXPECT_EQ(TextOf(HOME_NAME), "other screen");
}

TEST_F(TextEntryTest, KeyReleasesAndKeysOutsideTheTypingRangeDoNothing)
{
    EditHome();
    const std::string before = Buffer();
    LastMessageId = WM_KEYUP;
    LastMessageParam = 'Q';
    TextEntryOnKey();
    Key(VK_F1);
    Key(VK_NUMPAD1);
    Key(VK_TAB);
    EXPECT_EQ(Buffer(), before);
    EXPECT_TRUE(TextEntryRunning);
    Key(VK_RETURN);
}

// A name cannot be emptied: Backspace over all of it (or blanks in its place), then Enter or a
// click, and the old name stays; the chat line, begun without a text, may end blank.
TEST_F(TextEntryTest, ANameEmptiedOrBlankedKeepsTheOldNameButTheChatLineMayEndBlank)
{
    EditHome();
    for (int i = 0; i < 8; ++i) Key(VK_BACK);
    EXPECT_EQ(Buffer(), "");
    Key(VK_RETURN);
    EXPECT_FALSE(TextEntryRunning);
    EXPECT_STREQ(TeamNames[0], "Rovers");
    EXPECT_EQ(TextOf(HOME_NAME), "Rovers");
    EXPECT_TRUE(Visible(HOME_NAME));
    EXPECT_EQ(Ended(), 1);

    EditHome();
    for (int i = 0; i < 6; ++i) Key(VK_BACK);
    Type("   ");
    Click(CentreX(START), CentreY(START));
    EXPECT_STREQ(TeamNames[0], "Rovers");
    EXPECT_EQ(TextOf(HOME_NAME), "Rovers");

    // A player's name, in its 28-byte field with a maximum of 12.
    char player[28] = "Oliveira";
    BeginTextEntry(40.f, 300.f, 1, player, 12, player);
    for (int i = 0; i < 8; ++i) Key(VK_DELETE);
    for (int i = 0; i < 8; ++i) Key(VK_BACK);
    Key(VK_RETURN);
    EXPECT_STREQ(player, "Oliveira");

    char chat[60] = "sent before";
    BeginTextEntry(40.f, 500.f, 1, nullptr, 59, chat);
    Key(VK_BACK);
    Key(VK_RETURN);
    EXPECT_STREQ(chat, "");
}

// A shorter name leaves nothing of the longer one behind its end: the whole field is what the
// files and the messages carry.
TEST_F(TextEntryTest, AShorterNameClearsTheRestOfItsField)
{
    std::strcpy(TeamNames[0], "SomeTeamFC");
    EditHome();
    for (int i = 0; i < 8; ++i) Key(VK_BACK);
    Key(VK_RETURN);
    const char expected[TEAM_NAME_SIZE] = {'S', 'o', 0};
    EXPECT_EQ(std::memcmp(TeamNames[0], expected, TEAM_NAME_SIZE), 0);
    EXPECT_STREQ(TeamNames[1], "United");
}

// Through the exhibition set-up screen as a player meets it.
TEST_F(TextEntryTest, TheSetUpScreensTeamNameCannotBeEmptied)
{
    SetScreen(ScreenId::ExhibitionSetup);
    const std::string shown = TextOf(HOME_NAME);
    ASSERT_FALSE(shown.empty());
    ClickSprite(HOME_NAME);
    ASSERT_TRUE(TextEntryRunning);
    for (int i = 0; i < 12; ++i) Key(VK_BACK);
    Key(VK_RETURN);
    EXPECT_EQ(std::string(TeamNames[0]), shown);
    EXPECT_EQ(TextOf(HOME_NAME), shown);
    // And the field can still be clicked for another go.
    ClickSprite(HOME_NAME);
    EXPECT_TRUE(TextEntryRunning);
    Key(VK_ESCAPE);
}
