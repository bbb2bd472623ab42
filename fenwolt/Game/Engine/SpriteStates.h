// The render states sprites and fonts draw with, recorded into state blocks. The blocks never
// hold a texture: the texture is set from the live pointer at each draw, so a texture that was
// reloaded or released since the blocks were recorded is never applied.
#pragma once

#include "platform/d3d8/d3d8.h"

// Records the sprite states twice: the "saved" block and the drawing block. False on failure
// (both tokens 0).
bool RecordSpriteStateBlocks(IDirect3DDevice8* device, DWORD& savedBlock, DWORD& drawBlock);
void DeleteSpriteStateBlocks(IDirect3DDevice8* device, DWORD& savedBlock, DWORD& drawBlock);
