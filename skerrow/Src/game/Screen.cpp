#include "skerrow/Src/game/Screen.h"

#include "skerrow/Src/Log.h"

Screen* g_screenStack[kScreenStackSize];
Screen* g_currentScreen = nullptr;
int32_t g_screenDepth = 0;

Screen::Screen() { g_screenDepth = 0; }

Screen::~Screen()
{
    // The current screen's own derived part is already gone here: it cannot be called, only
    // forgotten. Any other screen being destroyed releases the current one's surfaces.
    if (g_currentScreen == this)
        g_currentScreen = nullptr;
    else
        SetScreenSurfaces(0);
}

int Screen::SwitchScreen(int32_t argument)
{
    keyTime = 0;
    frameCounter = 0;
    // A push beyond the stack would write past it: the deepest entry is reused instead.
    if (g_screenDepth >= kScreenStackSize) {
        LogMessage("Screen stack full: %s replaces the deepest entry\n", GetName());
        g_screenDepth = kScreenStackSize - 1;
    }
    g_screenStack[g_screenDepth] = g_currentScreen;
    ++g_screenDepth;
    if (g_currentScreen) g_currentScreen->ReleaseSurfaces();
    g_currentScreen = this;
    LogMessage("Call %s::OnDisplay()\n", GetName());
    OnDisplay(g_screenStack[g_screenDepth - 1], argument);
    LogMessage("Call %s::InitSurface()\n", g_currentScreen->GetName());
    g_currentScreen->InitSurfaces();
    LogMessage("Screen switched to %s\n\n", g_currentScreen->GetName());
    return 1;
}

int Screen::ReturnToPreviousScreen(int32_t argument)
{
    keyTime = 0;
    frameCounter = 0;
    // Returning from the root (or an empty stack) has nowhere to go.
    if (g_screenDepth <= 0 || !g_screenStack[g_screenDepth - 1]) {
        LogMessage("%s: no screen to return to\n", GetName());
        return 0;
    }
    ReleaseSurfaces();
    --g_screenDepth;
    g_currentScreen = g_screenStack[g_screenDepth];
    LogMessage("%s::OnDisplay()\n", g_currentScreen->GetName());
    g_currentScreen->OnDisplay(this, argument);
    LogMessage("%s::InitSurface()\n", g_currentScreen->GetName());
    g_currentScreen->InitSurfaces();
    LogMessage("Screen switched to %s\n", g_currentScreen->GetName());
    return 1;
}

int32_t Screen::PingPong(int32_t period) const
{
    if (period <= 0) return 0;
    int32_t f = frameCounter;
    return ((f / period) & 1) ? f % period : period - f % period;
}

void ResetToFirstScreen()
{
    Screen* root = g_screenDepth > 1 ? g_screenStack[1] : nullptr;
    if (!root) return;
    Screen* old = g_currentScreen;
    if (old) old->ReleaseSurfaces();
    g_currentScreen = root;
    root->ReleaseSurfaces();
    LogMessage("%s::InitSurface()\n", root->GetName());
    root->InitSurfaces();
    LogMessage("%s::OnDisplay()\n", root->GetName());
    root->OnDisplay(old, 0);
    LogMessage("Screen switched to %s\n", root->GetName());
    g_screenDepth = 1;
    root->keyTime = 0;
    root->frameCounter = 0;
}

void SwitchScreenIfOther(Screen* target, int32_t argument)
{
    if (target && target != g_currentScreen) target->SwitchScreen(argument);
}

void SendKeyToScreen(WPARAM wParam, LPARAM lParam)
{
    if (!g_currentScreen || (static_cast<uint32_t>(lParam) & 0x80000000u)) return;
    g_currentScreen->keyTime = timeGetTime();
    g_currentScreen->OnKey(static_cast<uint8_t>(wParam & 0xFF));
}

void SetScreenSurfaces(int create)
{
    if (!g_currentScreen) return;
    if (create)
        g_currentScreen->InitSurfaces();
    else
        g_currentScreen->ReleaseSurfaces();
}

int32_t ProcessCurrentScreen()
{
    if (!g_currentScreen) return 0;
    ++g_currentScreen->frameCounter;
    return g_currentScreen->Process();
}

Screen* GetCurrentScreen() { return g_currentScreen; }
