#include "fenwolt/Game/Engine/Engine.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"

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
    for (int i = 0; i < FONT_COUNT; ++i)
        if (BitmapFont* f = TheApp.FontTable[i])
            f->CreateDeviceObjects(TheApp.Device, FONT_SHEET_FILES[i], i);
    // What was loaded on a device that went away comes back on this one, fonts and meshes before
    // the sprites that show their textures.
    for (XFileMesh* m : TheApp.MeshTable)
        if (m) m->JoinDevice(TheApp.Device);
    RestoreAnimationBuffers(TheApp.Device);
    for (Sprite* s : TheApp.SpriteTable)
        if (s) s->JoinDevice(TheApp.Device);
    for (Sprite* s : TheApp.CursorSprites)
        if (s) s->JoinDevice(TheApp.Device);
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
    // Every object made on the device goes, or releasing the device would leave it referenced;
    // sprites, meshes and animations keep what they were made from for the next device.
    for (BitmapFont* f : TheApp.FontTable)
        if (f) f->DestroyDeviceObjects();
    for (Sprite* s : TheApp.SpriteTable)
        if (s) s->LeaveDevice();
    for (Sprite* s : TheApp.CursorSprites)
        if (s) s->LeaveDevice();
    for (XFileMesh* m : TheApp.MeshTable)
        if (m) m->LeaveDevice();
    ReleaseAnimationBuffers();
    // Shadow buffers are made again when next drawn.
    for (ModelInstance& instance : TheApp.InstanceTable) instance.ReleaseDeviceBuffers();
    return S_OK;
}
