#include "skerrow/Src/game/FirstScreen.h"

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/App.h"

FirstScreen g_firstScreenInstance;
Screen* g_firstScreen = &g_firstScreenInstance;

int32_t FirstScreen::Process()
{
    if (g_display.backBuffer) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = 0;
        g_display.backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    if (WasKeyPressed(DIK_ESCAPE)) QuitApplication();
    return 1;
}
