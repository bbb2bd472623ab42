// The start menu: the hub every other screen returns to.
#pragma once

#include <cstdint>

enum StartMenuSprite : uint32_t {
    STARTMENU_START = 70,
    STARTMENU_OPTIONS = 72,
    STARTMENU_LOAD = 73,
    STARTMENU_EXIT = 74,
};

void BuildStartMenuScreen();
void StartMenuMessageHandler(int32_t message);
