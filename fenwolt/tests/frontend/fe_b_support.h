// Shared by the competition, editor, statistics and saves tests: the front end's globals back to
// a known state, a kit list without files, and the application over the data set for the tests
// that drive screens.
#pragma once

#include "fenwolt/tests/engine/engine_test_support.h"

#include <cstdint>
#include <initializer_list>

// Competition, settings, kits, league, squads and match globals as after start-up, the random
// generator seeded, no network game.
void ResetFrontEndState(uint32_t seed = 1);
// KitTable holding these names, in this order.
void SetKitNames(std::initializer_list<const char*> names);
// The default squads (both teams) with their names.
void MakeDefaultSquads();

// The current screen as a frame of the game draws it, read back.
RgbImage DrawScreen();
// Text ink drawn in white or in the buttons' green.
bool IsWhiteInk(uint8_t r, uint8_t g, uint8_t b);
bool IsGreenInk(uint8_t r, uint8_t g, uint8_t b);
// How many pixels of ink lie in the room a text sprite must leave before the text that stands at
// `nextX`: the `spaces` spaces of its own font just left of nextX, over the rows of its glyph
// cells. None, when the two read as separate words.
int InkBeforeNextText(const RgbImage& frame, unsigned handle, int nextX, int spaces,
                      bool (*ink)(uint8_t, uint8_t, uint8_t));

// The application running over the data set; screens are built and messages sent by the test.
class FrontEndAppTest : public EngineAppTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The mouse to (x, y), then the message to the current screen.
    void Send(int32_t message, int x, int y);
    void MoveTo(int x, int y) { Send(512, x, y); }
    void LeftClick(int x, int y) { Send(513, x, y); }
    void RightClick(int x, int y) { Send(516, x, y); }
    // The centre of a created sprite's screen rectangle.
    void ClickSprite(unsigned handle, bool left = true);
    // The text a sprite shows, empty when it is not created.
    std::string SpriteText(unsigned handle);
    bool SpriteVisible(unsigned handle);
    bool SpriteActive(unsigned handle);
};
