#include "fenwolt/Game/FrontEnd/TextEntry.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cstring>

TextEntryState TextEntry{{}, 0, 0, nullptr, 0.f, nullptr, 0, SPRITE_NONE, {}, false};

namespace {

int32_t BufferLength()
{
    return (int32_t)strnlen(TextEntry.buffer, sizeof(TextEntry.buffer) - 1);
}

// Copies at most `maximum` characters of `source` into the buffer (the rest of it zero). A target
// field need not be terminated within its size: nothing past maximum characters is read.
void FillBuffer(const char* source, int32_t maximum)
{
    std::memset(TextEntry.buffer, 0, sizeof(TextEntry.buffer));
    if (!source) return;
    size_t limit = maximum > 0 ? (size_t)maximum : 0;
    if (limit > sizeof(TextEntry.buffer) - 1) limit = sizeof(TextEntry.buffer) - 1;
    std::memcpy(TextEntry.buffer, source, strnlen(source, limit));
}

// The committed text into the target: maximum characters at most, always terminated, nothing
// written past maximum + 1 bytes. The rest of the field is cleared: what a longer old text left
// behind its terminator would otherwise travel on into files and messages.
void WriteTarget()
{
    if (!TextEntry.target || TextEntry.maximum < 0) return;
    size_t length = strnlen(TextEntry.buffer, (size_t)TextEntry.maximum);
    std::memcpy(TextEntry.target, TextEntry.buffer, length);
    std::memset(TextEntry.target + length, 0, (size_t)TextEntry.maximum + 1 - length);
}

bool BufferBlank()
{
    for (int32_t i = 0; i < TEXT_ENTRY_BUFFER_SIZE && TextEntry.buffer[i]; ++i)
        if (TextEntry.buffer[i] != ' ') return false;
    return true;
}

// Enter, or a click: the text goes to the target, unless a name was emptied, which keeps the
// name it had.
void CommitEntry()
{
    if (TextEntry.keepsOldTextWhenBlank && BufferBlank())
        FillBuffer(TextEntry.target, TextEntry.maximum);
    else
        WriteTarget();
    EndTextEntry();
}

void RedrawText() { SetSpriteText(TEXT_ENTRY_TEXT_SPRITE, TextEntry.buffer); }

void PlaceCaret()
{
    Sprite* caret = SpriteAt(TEXT_ENTRY_CARET_SPRITE);
    if (!caret) return;
    PushRedTextColours();
    PlaceSprite(TEXT_ENTRY_CARET_SPRITE, TextEntryCaretX(), caret->Y);
    PopTextColours();
}

void RemoveAtCaret()
{
    const int32_t length = BufferLength();
    if (TextEntry.caret < 0 || TextEntry.caret >= length) return;
    std::memmove(TextEntry.buffer + TextEntry.caret, TextEntry.buffer + TextEntry.caret + 1,
                 (size_t)(length - TextEntry.caret));
}

void TypeCharacter(int code)
{
    const bool insert = (GetKeyState(VK_INSERT) & 1) != 0;
    const int32_t length = BufferLength();
    if (TextEntry.caret >= TextEntry.maximum) return;
    if (insert && length >= TextEntry.maximum) return;
    if (insert) {
        // The last byte of the buffer stays its terminator.
        int32_t last = length < TEXT_ENTRY_BUFFER_SIZE - 1 ? length : TEXT_ENTRY_BUFFER_SIZE - 2;
        for (int32_t i = last; i > TextEntry.caret; --i) TextEntry.buffer[i] = TextEntry.buffer[i - 1];
    }
    char c = (char)code;
    if (code >= 'A' && code <= 'Z') {
        const bool upper = IsKeyDown(VK_SHIFT) || (GetKeyState(VK_CAPITAL) & 1) != 0;
        if (!upper) c = (char)(code - 'A' + 'a');
    }
    TextEntry.buffer[TextEntry.caret] = c;
    ++TextEntry.caret;
    RedrawText();
}

void RestoreClickableSprites()
{
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        if (!TextEntry.savedActive[h]) continue;
        TextEntry.savedActive[h] = 0;
        SetSpriteActive(h, 1);
    }
}

// The edited sprite of the entry that is running (the caller may already have set the next).
int32_t g_runningEditedSprite = SPRITE_NONE;

// A new entry while one runs: the old one stops as Escape would, without telling the screen.
void CancelRunningEntry()
{
    TextEntryRunning = false;
    RestoreClickableSprites();
    HideSprite(TEXT_ENTRY_TEXT_SPRITE);
    HideSprite(TEXT_ENTRY_CARET_SPRITE);
    if (g_runningEditedSprite >= 0 && g_runningEditedSprite < SPRITE_COUNT) ShowSprite((unsigned)g_runningEditedSprite);
    g_runningEditedSprite = SPRITE_NONE;
}

}  // namespace

float TextEntryCaretX()
{
    float x = TextEntry.originX;
    const int kind = TextEntry.font ? TextEntry.font->Kind : 0;
    for (int32_t i = 0; i < TEXT_ENTRY_BUFFER_SIZE && TextEntry.buffer[i]; ++i) {
        x += (float)GetGlyphWidth(kind, (unsigned char)TextEntry.buffer[i]);
        if (i >= TextEntry.caret) break;
    }
    return x;
}

void BeginTextEntry(float x, float y, int fontIndex, const char* initialText, int32_t maximum, char* target)
{
    if (maximum < 0 || maximum >= TEXT_ENTRY_BUFFER_SIZE || !target || fontIndex < 0 || fontIndex >= FONT_COUNT)
        return;
    if (TextEntryRunning) CancelRunningEntry();
    // The initial text is usually the target itself; a name filling its whole field may lack
    // its terminator, so no more than the maximum is read.
    FillBuffer(initialText, maximum);
    if (!initialText) TextEntry.buffer[0] = ' ';
    TextEntry.originX = x;
    TextEntry.fontIndex = fontIndex;
    TextEntry.font = TheAppConstructed() ? TheApp.FontTable[fontIndex] : nullptr;
    CreateTextSprite(TEXT_ENTRY_TEXT_SPRITE, x, y, fontIndex, TextEntry.buffer, 0);

    PushRedTextColours();
    const int kind = TextEntry.font ? TextEntry.font->Kind : 0;
    const float firstWidth = (float)GetGlyphWidth(kind, (unsigned char)TextEntry.buffer[0]);
    CreateTextSprite(TEXT_ENTRY_CARET_SPRITE, x + firstWidth, y, fontIndex, "<", 0);
    PopTextColours();

    TextEntry.caret = initialText ? BufferLength() : 0;
    TextEntry.maximum = maximum;
    TextEntry.target = target;
    TextEntry.keepsOldTextWhenBlank = initialText != nullptr;
    PlaceCaret();

    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        TextEntry.savedActive[h] = 0;
        Sprite* s = SpriteAt(h);
        if (s && s->IsVisible() && s->IsActive()) {
            s->SetActive(false);
            TextEntry.savedActive[h] = 1;
        }
    }
    g_runningEditedSprite = TextEntry.editedSprite;
    if (TextEntry.editedSprite >= 0 && TextEntry.editedSprite < SPRITE_COUNT) HideSprite((unsigned)TextEntry.editedSprite);
    TextEntryRunning = true;
}

void TextEntryOnKey()
{
    if (!TextEntryRunning || LastMessageId != WM_KEYDOWN) return;
    const uint32_t key = LastMessageParam;
    switch (key) {
    case VK_BACK:
        if (TextEntry.caret > 0) --TextEntry.caret;
        RemoveAtCaret();
        RedrawText();
        PlaceCaret();
        return;
    case VK_RETURN:
        CommitEntry();
        return;
    case VK_ESCAPE:
        FillBuffer(TextEntry.target, TextEntry.maximum);
        EndTextEntry();
        return;
    case VK_LEFT:
        if (TextEntry.caret > 0) {
            --TextEntry.caret;
            PlaceCaret();
        }
        return;
    case VK_RIGHT:
        if (TextEntry.caret < BufferLength()) {
            ++TextEntry.caret;
            PlaceCaret();
        }
        return;
    case VK_INSERT:
        return;
    case VK_DELETE:
        RemoveAtCaret();
        RedrawText();
        PlaceCaret();
        return;
    default:
        break;
    }
    if (key >= 32 && key <= 90) {
        TypeCharacter((int)key);
        PlaceCaret();
    }
}

void TextEntryOnClick()
{
    if (!TextEntryRunning) return;
    CommitEntry();
}

void EndTextEntry()
{
    TextEntryRunning = false;
    RestoreClickableSprites();
    const int32_t edited = TextEntry.editedSprite;
    if (edited < 0 || edited >= SPRITE_COUNT) {
        ShowSprite(TEXT_ENTRY_TEXT_SPRITE);
        HideSprite(TEXT_ENTRY_CARET_SPRITE);
    } else {
        HideSprite(TEXT_ENTRY_TEXT_SPRITE);
        HideSprite(TEXT_ENTRY_CARET_SPRITE);
        ShowSprite((unsigned)edited);
        SetSpriteText((unsigned)edited, TextEntry.buffer);
    }
    TextEntry.editedSprite = SPRITE_NONE;
    g_runningEditedSprite = SPRITE_NONE;
    SendScreenCommand(TEXT_ENTRY_ENDED_COMMAND);
}

void AbortTextEntry()
{
    TextEntryRunning = false;
    std::memset(TextEntry.savedActive, 0, sizeof(TextEntry.savedActive));
    TextEntry.editedSprite = SPRITE_NONE;
    g_runningEditedSprite = SPRITE_NONE;
    TextEntry.target = nullptr;
}
