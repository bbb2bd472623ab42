// The front end's test bench: the application over a real headless device in a scratch folder
// that sees the data set and the English texts, with input delivered the way the script
// delivers it (the platform's key and mouse state, then the program's own window procedure).
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/tests/engine/engine_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

class FrontEndATest : public EngineAppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Every waiting window message through the window procedure (GameApp::HandleMessage).
    static void Pump();
    static void KeyDown(int vk);
    static void KeyUp(int vk);
    // Down, then up.
    static void Key(int vk);
    static void MoveTo(int x, int y);
    static void LeftDown(int x, int y);
    static void LeftUp(int x, int y);
    static void Click(int x, int y);
    // The middle of a sprite's screen rectangle.
    static int CentreX(unsigned handle);
    static int CentreY(unsigned handle);
    static void ClickSprite(unsigned handle) { Click(CentreX(handle), CentreY(handle)); }
    // Handlers called straight, with the mouse at (x, y) and no window message.
    static void SendToScreen(int32_t message, int x, int y);

    static std::string TextOf(unsigned handle);
    static bool Visible(unsigned handle);
    static bool Active(unsigned handle);
    static bool Created(unsigned handle);
    // ACTIVE and VISIBLE of every handle, as 1 and 2 (0 for a sprite not created, which is
    // neither drawn nor hit).
    static std::vector<int> SpriteFlags();
    // Runs the screen's update handler for `seconds` in steps of `step`.
    static void RunFor(float seconds, float step = 0.02f);

    static void RecordScreenMessages();

public:
    // The messages that reached the recording screen handler that RecordScreenMessages
    // installs, and the sprite under the mouse at each.
    static std::vector<int32_t> messages;
    static std::vector<SpriteHandle> hits;
};
