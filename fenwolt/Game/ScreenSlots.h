// The three handler slots through which the current screen plugs into the application object.
// A slot is never empty: a null handler installs the slot's default, which does nothing.
#pragma once

#include <cstdint>

typedef void (*ScreenMessageHandlerFn)(int32_t messageId);
typedef void (*ScreenUpdateHandlerFn)(float step);
typedef void (*ScreenRenderHandlerFn)();

extern ScreenMessageHandlerFn ScreenMessageHandler;
extern ScreenUpdateHandlerFn ScreenUpdateHandler;
extern ScreenRenderHandlerFn ScreenRenderHandler;
// GameApp::RenderFrame draws only while set.
extern bool ScreenReady;

void SetScreenMessageHandler(ScreenMessageHandlerFn handler);
void SetScreenUpdateHandler(ScreenUpdateHandlerFn handler);
void SetScreenRenderHandler(ScreenRenderHandlerFn handler);
void ResetScreenHandlers();
void RunScreenRenderHandler();
