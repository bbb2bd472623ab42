// The rendering engine's entry points for the application object: start-up, and the device
// object and video resource steps of the device's life.
#pragma once

#include "platform/win32/wintypes.h"

// Once at start-up: language texts, screen table, instance hooks.
void InitEngineTables();
// After the device was created: the three fonts' glyph sheets.
HRESULT CreateEngineDeviceObjects();
// After creation and every reset: vertex buffers and state blocks of fonts and sprites, the
// meshes' device copies.
HRESULT RestoreEngineVideoResources();
// Before a reset.
HRESULT ReleaseEngineVideoResources();
// When the device goes.
HRESULT DestroyEngineDeviceObjects();
