// The rendering engine's entry points for the application object: start-up, and the device
// object and video resource steps of the device's life.
#pragma once

#include "platform/win32/wintypes.h"

// Once at start-up: language texts, screen table, instance hooks.
void InitEngineTables();
// After the device was created: the three fonts' glyph sheets, and on a new device what the
// sprites, meshes and animations held on the old one.
HRESULT CreateEngineDeviceObjects();
// After creation and every reset: vertex buffers and state blocks of fonts and sprites, the
// meshes' device copies.
HRESULT RestoreEngineVideoResources();
// Before a reset.
HRESULT ReleaseEngineVideoResources();
// When the device goes: every device object of the engine's tables; the tables keep their
// content for the next device.
HRESULT DestroyEngineDeviceObjects();
