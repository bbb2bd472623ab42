#include "fenwolt/Game/Engine/Engine.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"

void InitEngineTables()
{
    InitLanguageTexts();
    // The constructor of the original sequence fills the fixed-width arrays a second time.
    LoadGlobalTextArrays();
    InitScreenTable();
    InstallInstanceHooks();
}

HRESULT CreateEngineDeviceObjects()
{
    if (!TheAppConstructed() || !TheApp.Device) return E_FAIL;
    static const char* const kFiles[FONT_COUNT] = {"interface\\Font1E.tga", "interface\\Font1F.tga",
                                                   "interface\\Font1G.tga"};
    for (int i = 0; i < FONT_COUNT; ++i)
        if (BitmapFont* f = TheApp.FontTable[i]) f->CreateDeviceObjects(TheApp.Device, kFiles[i], i);
    return S_OK;
}

HRESULT RestoreEngineVideoResources()
{
    if (!TheAppConstructed() || !TheApp.Device) return E_FAIL;
    for (BitmapFont* f : TheApp.FontTable)
        if (f) f->RestoreVideoResources();
    for (Sprite* s : TheApp.SpriteTable)
        if (s && s->Device) s->RestoreVideoResources();
    for (Sprite* s : TheApp.CursorSprites)
        if (s && s->Device) s->RestoreVideoResources();
    for (XFileMesh* m : TheApp.MeshTable)
        if (m && m->Loaded) m->RestoreVideoResources(TheApp.Device);
    return S_OK;
}

HRESULT ReleaseEngineVideoResources()
{
    if (!TheAppConstructed()) return E_FAIL;
    for (BitmapFont* f : TheApp.FontTable)
        if (f) f->ReleaseVideoObjects();
    for (Sprite* s : TheApp.SpriteTable)
        if (s) s->ReleaseVideoObjects();
    for (Sprite* s : TheApp.CursorSprites)
        if (s) s->ReleaseVideoObjects();
    for (XFileMesh* m : TheApp.MeshTable)
        if (m) m->ReleaseDeviceMesh();
    return S_OK;
}

HRESULT DestroyEngineDeviceObjects()
{
    if (!TheAppConstructed()) return E_FAIL;
    for (BitmapFont* f : TheApp.FontTable)
        if (f) f->DestroyDeviceObjects();
    for (Sprite* s : TheApp.SpriteTable)
        if (s) s->DestroyDeviceObjects();
    for (Sprite* s : TheApp.CursorSprites)
        if (s) s->DestroyDeviceObjects();
    return S_OK;
}
