// What every screen around play does alike: the cursor, header frames, backgrounds and text.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"

class TrueTypeFont;

// Moves the cursor by the mouse motion, or puts it where the desktop's pointer is over the
// game's window, kept within the screen; returns the wheel motion.
int MoveCursor();
void DrawCursor();
void DrawHeader(const char* frame);
// Loads a picture into an off-screen surface; 0 (and a log line) when it is missing.
int LoadPicture(const char* name, LPDIRECTDRAWSURFACE7* out);
void ReleasePicture(LPDIRECTDRAWSURFACE7* surface);
void DrawPicture(LPDIRECTDRAWSURFACE7 surface, int x, int y);
// Copies a picture file onto a surface at (x, y), keying out `key` when not negative.
int CopyPictureOnto(const char* name, LPDIRECTDRAWSURFACE7 dest, int x, int y);
TrueTypeFont& TextFont();
TrueTypeFont& SmallFont();
// The value a screen passes to the text printer, taken as the printer takes it (16 bits).
inline uint16_t PrinterColour(uint32_t value) { return static_cast<uint16_t>(value & 0xFFFF); }
// One text drawn as it stands (never a format), in its own text batch.
void PrintText(TrueTypeFont& font, int size, int x, int y, uint16_t colour, const char* text);
void PrintRight(TrueTypeFont& font, int size, int right, int y, uint16_t colour, const char* text);
void PrintCentred(TrueTypeFont& font, int size, int centre, int y, uint16_t colour, const char* text);
int TextWidth(TrueTypeFont& font, int size, const char* text);
// A text that must stay within the band left..right of the picture it is printed over: drawn at
// x when it fits there, else moved left as far as `left`, else broken at blanks into lines
// `lineStep` apart that each fit the band. Returns the lines drawn.
int PrintInBand(TrueTypeFont& font, int size, int x, int y, int left, int right, int lineStep, uint16_t colour,
                const char* text);
// A one-line text from a file (a hiscore name, a save title) made fit for its column: control
// bytes are left out, so that a line feed from a damaged file cannot move it onto the next
// row, and it is cut where it would grow wider than `width` pixels.
void FitToColumn(TrueTypeFont& font, int size, const char* text, int width, char* out, int outSize);
// What the player is told when a file of theirs (a save, the hiscores) could not be written, by
// the cause the file layer gave; drawn centred on row `y` in the screens' small lettering
// (nothing for no notice).
const char* NotSavedNotice(int error);
void DrawNotSavedNotice(const char* notice, int y);
// A text with its first "%d" replaced by `number`, every other character kept as it stands.
void FormatNumberInto(const char* text, int number, char* out, int size);
// The next mouse event code of the ring (0 none).
int32_t PopMouseCode();
void PlayMenuSound();
