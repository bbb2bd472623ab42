// The D3DX 8 utilities: maths, meshes from text .x files, textures from TGA and JPEG files and
// the vertex shader assembler.
#pragma once

#include "platform/d3dx8/d3dx8core.h"
#include "platform/d3dx8/d3dx8math.h"
#include "platform/d3dx8/d3dx8mesh.h"
#include "platform/d3dx8/d3dx8shader.h"
#include "platform/d3dx8/d3dx8tex.h"
