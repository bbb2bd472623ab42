// Vertex shader source text through the assembler.
#include <cstddef>
#include <cstdint>

#include "platform/d3dx8/d3dx8shader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LPD3DXBUFFER code = nullptr, errors = nullptr, constants = nullptr;
    D3DXAssembleShader(data, static_cast<UINT>(size), 0, &constants, &code, &errors);
    if (code) code->Release();
    if (errors) errors->Release();
    if (constants) constants->Release();
    return 0;
}
