// The screen the game opens on until the menu exists: a cleared display that Escape leaves.
#pragma once

#include "skerrow/Src/game/Screen.h"

class FirstScreen : public Screen {
public:
    const char* GetName() override { return "FirstScreen"; }
    void InitSurfaces() override {}
    void ReleaseSurfaces() override {}
    void OnDisplay(Screen* previous, int32_t argument) override {}
    int32_t Process() override;
};

extern FirstScreen g_firstScreenInstance;
