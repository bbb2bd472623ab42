// One line of text edited in place: a team name, a player name, the chat line. The text shows in
// sprite 1993 with a red "<" caret in sprite 1994; while an entry runs every key-down goes to it
// before the screen sees it, and a left-button press anywhere commits it. The edit works on a
// private buffer: the target field is written only on commit, and never beyond its size.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
// The language table's record type is also called TextEntry; declared first, it stays reachable
// as "struct TextEntry" where this header's TextEntry state is in scope.
#include "fenwolt/Game/Engine/Texts.h"

#include <cstdint>

constexpr SpriteHandle TEXT_ENTRY_TEXT_SPRITE = 1993;
constexpr SpriteHandle TEXT_ENTRY_CARET_SPRITE = 1994;
constexpr int32_t TEXT_ENTRY_BUFFER_SIZE = 500;
// The command a screen's message handler receives when an entry has ended.
constexpr int32_t TEXT_ENTRY_ENDED_COMMAND = 1034;

// Whether an entry is running is the application's TextEntryRunning flag (GameApp.h), which
// GameApp::HandleMessage and the match screen test and SetScreen clears.
struct TextEntryState {
    char buffer[TEXT_ENTRY_BUFFER_SIZE];  // zero-terminated, zero-filled at the start
    int32_t caret;                        // 0..length
    int32_t maximum;                      // characters the text may hold, the terminator not counted
    char* target;                         // holds maximum + 1 bytes
    float originX;
    BitmapFont* font;
    int32_t fontIndex;
    // The sprite that shows the field on its screen: hidden during the entry, given the new text
    // at the end. SPRITE_NONE when the entry has no such sprite. The caller sets it (or leaves
    // it) before BeginTextEntry; every end of an entry puts it back to SPRITE_NONE.
    int32_t editedSprite;
    uint8_t savedActive[SPRITE_COUNT];  // sprites that were clickable when the entry began
    // The entry edits a name (it began over the field's text): it cannot end with nothing in it.
    bool keepsOldTextWhenBlank;
};
extern TextEntryState TextEntry;

// Starts an entry at (x, y) in a font (0..2) over `target`, which must hold maximum + 1 bytes.
// Without an initial text the field starts as one space with the caret on it. A negative
// maximum or one of 500 or more, or no target, starts nothing. An entry begun over a text (a
// team's or a player's name) cannot be emptied: committed with nothing but blanks, it keeps the
// text it began with, as Escape does. One begun without (the chat line) may end blank.
void BeginTextEntry(float x, float y, int fontIndex, const char* initialText, int32_t maximum, char* target);
// A key message (256 or 257) while an entry runs; acts on key-down only, the virtual-key code
// read from LastMessageParam.
void TextEntryOnKey();
// A left-button press while an entry runs: commits like Enter (the same rule for a blank name).
void TextEntryOnClick();
// Ends the entry (the target as it stands) and sends the screen TEXT_ENTRY_ENDED_COMMAND.
void EndTextEntry();
// What a screen switch does to a running entry: it stops without writing the target and
// without telling the screen, and forgets the edited sprite.
void AbortTextEntry();

// The caret's screen x for the current buffer and caret (the "<" stands right of the character
// at the caret; at the end of the text, after the last character).
float TextEntryCaretX();
