// TGA and JPEG files, as D3DXCreateTextureFromFile reads them, into textures of an in-memory
// device that requires power-of-two sizes (so that stretching and mip levels run too).
#include <cstddef>
#include <cstdint>

#include "fake_device.h"
#include "platform/d3dx8/d3dx8tex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FakeDevice* device = new FakeDevice;
    device->caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    device->caps.MaxTextureWidth = device->caps.MaxTextureHeight = 512;
    IDirect3DTexture8* texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileInMemory(device, data, static_cast<UINT>(size), &texture)))
        texture->Release();
    device->Release();
    return 0;
}
