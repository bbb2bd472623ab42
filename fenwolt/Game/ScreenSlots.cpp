#include "fenwolt/Game/ScreenSlots.h"

namespace {
void DefaultMessageHandler(int32_t) {}
void DefaultUpdateHandler(float) {}
void DefaultRenderHandler() {}
}  // namespace

ScreenMessageHandlerFn ScreenMessageHandler = DefaultMessageHandler;
ScreenUpdateHandlerFn ScreenUpdateHandler = DefaultUpdateHandler;
ScreenRenderHandlerFn ScreenRenderHandler = DefaultRenderHandler;
bool ScreenReady = false;

void SetScreenMessageHandler(ScreenMessageHandlerFn h) { ScreenMessageHandler = h ? h : DefaultMessageHandler; }
void SetScreenUpdateHandler(ScreenUpdateHandlerFn h) { ScreenUpdateHandler = h ? h : DefaultUpdateHandler; }
void SetScreenRenderHandler(ScreenRenderHandlerFn h) { ScreenRenderHandler = h ? h : DefaultRenderHandler; }

void ResetScreenHandlers()
{
    SetScreenMessageHandler(nullptr);
    SetScreenUpdateHandler(nullptr);
    SetScreenRenderHandler(nullptr);
}

void RunScreenRenderHandler()
{
    if (ScreenRenderHandler) ScreenRenderHandler();
}
