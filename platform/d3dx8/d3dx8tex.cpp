#include "platform/d3dx8/d3dx8tex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/d3dx8/d3dx8_internal.h"
#include "platform/d3dx8/image_decode.h"

using d3dx_detail::Image;
using d3dx_detail::Trace;

namespace {

constexpr size_t kMaxPictureFileBytes = 128u * 1024 * 1024;

UINT RoundUpPow2(UINT v)
{
    UINT p = 1;
    while (p < v && p < 0x80000000u) p <<= 1;
    return p;
}

UINT RoundDownPow2(UINT v)
{
    UINT p = 1;
    while ((p << 1) != 0 && (p << 1) <= v) p <<= 1;
    return p;
}

UINT FullChain(UINT w, UINT h)
{
    UINT levels = 1;
    UINT m = std::max(w, h);
    while (m > 1) {
        m >>= 1;
        ++levels;
    }
    return levels;
}

// The formats to try, nearest first, for a requested format.
std::vector<D3DFORMAT> Candidates(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_UNKNOWN:
    case D3DFMT_A8R8G8B8:
        return {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
        return {f, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5};
    case D3DFMT_R5G6B5:
        return {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    case D3DFMT_X1R5G5B5:
        return {D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    case D3DFMT_A1R5G5B5:
        return {D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8};
    case D3DFMT_A4R4G4B4:
        return {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5};
    case D3DFMT_X4R4G4B4:
        return {D3DFMT_X4R4G4B4, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8};
    default:
        return {f};
    }
}

HRESULT PickFormat(IDirect3DDevice8* device, DWORD usage, D3DFORMAT requested, D3DFORMAT* granted)
{
    IDirect3D8* d3d = nullptr;
    HRESULT hr = device->GetDirect3D(&d3d);
    if (FAILED(hr) || !d3d) {
        Trace("D3DXCheckTextureRequirements", "the device gives no Direct3D object to ask about formats");
        return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    }
    D3DDEVICE_CREATION_PARAMETERS params;
    D3DDISPLAYMODE mode;
    hr = device->GetCreationParameters(&params);
    if (SUCCEEDED(hr)) hr = device->GetDisplayMode(&mode);
    if (FAILED(hr)) {
        d3d->Release();
        Trace("D3DXCheckTextureRequirements", "the device does not describe itself");
        return hr;
    }
    hr = D3DERR_NOTAVAILABLE;
    for (D3DFORMAT f : Candidates(requested)) {
        if (SUCCEEDED(d3d->CheckDeviceFormat(params.AdapterOrdinal, params.DeviceType, mode.Format, usage,
                                             D3DRTYPE_TEXTURE, f))) {
            *granted = f;
            hr = S_OK;
            break;
        }
    }
    d3d->Release();
    if (FAILED(hr)) Trace("D3DXCheckTextureRequirements", "the device offers no usable texture format");
    return hr;
}

// Source position of each texture pixel along one axis for bilinear stretching: pixel centres
// map onto pixel centres, so that the picture stays aligned; weights in 1/256.
struct Tap {
    UINT a, b;
    uint32_t wb;  // weight of b; a gets 256 - wb
};

std::vector<Tap> Taps(UINT from, UINT to)
{
    std::vector<Tap> taps(to);
    for (UINT i = 0; i < to; ++i) {
        const double s = std::clamp((i + 0.5) * from / to - 0.5, 0.0, double(from - 1));
        const UINT a = static_cast<UINT>(s);
        taps[i] = {a, std::min(a + 1, from - 1), static_cast<uint32_t>((s - a) * 256.0 + 0.5)};
    }
    return taps;
}

inline uint32_t Mix(uint32_t p, uint32_t q, uint32_t wq)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = (((p >> shift) & 0xFF) * (256 - wq) + ((q >> shift) & 0xFF) * wq + 128) >> 8;
        out |= v << shift;
    }
    return out;
}

std::vector<uint32_t> Stretch(const Image& img, UINT w, UINT h)
{
    if (img.width == w && img.height == h) return img.argb;
    const std::vector<Tap> xs = Taps(img.width, w), ys = Taps(img.height, h);
    std::vector<uint32_t> out(size_t(w) * h);
    for (UINT y = 0; y < h; ++y) {
        const uint32_t* top = &img.argb[size_t(ys[y].a) * img.width];
        const uint32_t* bottom = &img.argb[size_t(ys[y].b) * img.width];
        for (UINT x = 0; x < w; ++x) {
            const Tap& t = xs[x];
            out[size_t(y) * w + x] = Mix(Mix(top[t.a], top[t.b], t.wb), Mix(bottom[t.a], bottom[t.b], t.wb), ys[y].wb);
        }
    }
    return out;
}

// The next mip level: each pixel the average of (up to) 2 x 2 pixels of the level above.
std::vector<uint32_t> HalveLevel(const std::vector<uint32_t>& src, UINT w, UINT h, UINT nw, UINT nh)
{
    std::vector<uint32_t> dst(size_t(nw) * nh);
    for (UINT y = 0; y < nh; ++y)
        for (UINT x = 0; x < nw; ++x) {
            const UINT xs[2] = {std::min(x * 2, w - 1), std::min(x * 2 + 1, w - 1)};
            const UINT ys[2] = {std::min(y * 2, h - 1), std::min(y * 2 + 1, h - 1)};
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 0;
                for (UINT yy : ys)
                    for (UINT xx : xs) sum += (src[size_t(yy) * w + xx] >> shift) & 0xFF;
                out |= ((sum + 2) / 4) << shift;
            }
            dst[size_t(y) * nw + x] = out;
        }
    return dst;
}

// Writes ARGB pixels as one row of the given format; false for a format this loader cannot write.
bool WriteRow(BYTE* row, const uint32_t* argb, UINT count, D3DFORMAT format)
{
    for (UINT i = 0; i < count; ++i) {
        const uint32_t p = argb[i];
        const uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        uint16_t w16;
        switch (format) {
        case D3DFMT_A8R8G8B8: std::memcpy(row + i * 4, &p, 4); continue;
        case D3DFMT_X8R8G8B8: {
            const uint32_t x = p | 0xFF000000u;
            std::memcpy(row + i * 4, &x, 4);
            continue;
        }
        case D3DFMT_R8G8B8:
            row[i * 3] = static_cast<BYTE>(b);
            row[i * 3 + 1] = static_cast<BYTE>(g);
            row[i * 3 + 2] = static_cast<BYTE>(r);
            continue;
        case D3DFMT_R5G6B5: w16 = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); break;
        case D3DFMT_X1R5G5B5: w16 = static_cast<uint16_t>(0x8000 | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); break;
        case D3DFMT_A1R5G5B5:
            w16 = static_cast<uint16_t>((a >= 128 ? 0x8000 : 0) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
            break;
        case D3DFMT_A4R4G4B4: w16 = static_cast<uint16_t>(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); break;
        case D3DFMT_X4R4G4B4: w16 = static_cast<uint16_t>(0xF000 | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); break;
        case D3DFMT_L8: row[i] = static_cast<BYTE>((r * 77 + g * 150 + b * 29) >> 8); continue;
        case D3DFMT_A8: row[i] = static_cast<BYTE>(a); continue;
        default: return false;
        }
        std::memcpy(row + i * 2, &w16, 2);
    }
    return true;
}

D3DFORMAT NaturalFormat(const Image& img)
{
    if (img.kind == d3dx_detail::ImageKind::Tga && (img.bitsPerPixel == 15 || img.bitsPerPixel == 16) && img.width)
        return img.hasAlpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    return img.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

HRESULT FillTexture(IDirect3DTexture8* tex, const Image& img, UINT width, UINT height, UINT levels, D3DFORMAT format)
{
    std::vector<uint32_t> level = Stretch(img, width, height);
    UINT w = width, h = height;
    for (UINT l = 0; l < levels; ++l) {
        if (l > 0) {
            const UINT nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
            level = HalveLevel(level, w, h, nw, nh);
            w = nw;
            h = nh;
        }
        D3DSURFACE_DESC desc;
        HRESULT hr = tex->GetLevelDesc(l, &desc);
        if (FAILED(hr)) return hr;
        if (desc.Width != w || desc.Height != h || desc.Format != format) {
            Trace("D3DXCreateTextureFromFile", "the texture's levels are not the sizes asked for");
            return D3DERR_INVALIDCALL;
        }
        D3DLOCKED_RECT locked;
        if (FAILED(hr = tex->LockRect(l, &locked, nullptr, 0))) return hr;
        bool ok = true;
        for (UINT y = 0; y < h && ok; ++y)
            ok = WriteRow(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch, &level[size_t(y) * w], w, format);
        tex->UnlockRect(l);
        if (!ok) {
            Trace("D3DXCreateTextureFromFile", "cannot write pixels in format " + std::to_string(format));
            return D3DERR_WRONGTEXTUREFORMAT;
        }
    }
    return S_OK;
}

}  // namespace

HRESULT D3DXCheckTextureRequirements(IDirect3DDevice8* device, UINT* width, UINT* height, UINT* numMipLevels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool)
{
    if (!device) return D3DERR_INVALIDCALL;
    D3DCAPS8 caps;
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) {
        Trace("D3DXCheckTextureRequirements", "the device gives no capabilities");
        return hr;
    }
    UINT w = width ? *width : D3DX_DEFAULT, h = height ? *height : D3DX_DEFAULT;
    const bool wDefault = (w == 0 || w == D3DX_DEFAULT), hDefault = (h == 0 || h == D3DX_DEFAULT);
    if (wDefault && hDefault) w = h = 256;
    else if (wDefault) w = h;
    else if (hDefault) h = w;

    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        w = RoundUpPow2(w);
        h = RoundUpPow2(h);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);
    const bool pow2 = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    if (caps.MaxTextureWidth && w > caps.MaxTextureWidth) w = pow2 ? RoundDownPow2(caps.MaxTextureWidth) : caps.MaxTextureWidth;
    if (caps.MaxTextureHeight && h > caps.MaxTextureHeight)
        h = pow2 ? RoundDownPow2(caps.MaxTextureHeight) : caps.MaxTextureHeight;
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::min(w, h);

    if (numMipLevels) {
        const UINT full = FullChain(w, h);
        UINT levels = *numMipLevels;
        if (levels == 0 || levels == D3DX_DEFAULT || levels > full) levels = full;
        if (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) levels = 1;
        *numMipLevels = levels;
    }
    if (format) {
        D3DFORMAT requested = (static_cast<UINT>(*format) == D3DX_DEFAULT) ? D3DFMT_UNKNOWN : *format;
        D3DFORMAT granted = requested;
        if (FAILED(hr = PickFormat(device, usage, requested, &granted))) return hr;
        *format = granted;
    }
    if (width) *width = w;
    if (height) *height = h;
    return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, LPCVOID srcData, UINT srcDataSize, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture8** texture)
{
    if (texture) *texture = nullptr;
    if (!device || !texture || (!srcData && srcDataSize)) return D3DERR_INVALIDCALL;
    Image img;
    std::string error;
    if (!d3dx_detail::DecodeImage(static_cast<const uint8_t*>(srcData), srcDataSize, img, error)) {
        Trace("D3DXCreateTextureFromFile", error);
        return D3DXERR_INVALIDDATA;
    }
    if (colorKey != 0)
        for (uint32_t& p : img.argb)
            if (p == colorKey) p = 0;

    const D3DFORMAT natural = NaturalFormat(img);
    if (srcInfo) *srcInfo = {img.width, img.height, 1, 1, natural, img.kind == d3dx_detail::ImageKind::Jpeg ? D3DXIFF_JPG : D3DXIFF_TGA};
    UINT w = (width == 0 || width == D3DX_DEFAULT) ? img.width : width;
    UINT h = (height == 0 || height == D3DX_DEFAULT) ? img.height : height;
    UINT levels = mipLevels;
    D3DFORMAT fmt = (format == D3DFMT_UNKNOWN || static_cast<UINT>(format) == D3DX_DEFAULT) ? natural : format;
    HRESULT hr = D3DXCheckTextureRequirements(device, &w, &h, &levels, usage, &fmt, pool);
    if (FAILED(hr)) return hr;
    IDirect3DTexture8* tex = nullptr;
    if (FAILED(hr = device->CreateTexture(w, h, levels, usage, fmt, pool, &tex))) {
        Trace("D3DXCreateTextureFromFile", "the device refused the texture");
        return hr;
    }
    const UINT made = tex->GetLevelCount();
    if (FAILED(hr = FillTexture(tex, img, w, h, made ? std::min(made, levels) : levels, fmt))) {
        tex->Release();  // nothing half-made reaches the caller
        return hr;
    }
    *texture = tex;
    return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, LPCVOID srcData, UINT srcDataSize,
                                          IDirect3DTexture8** texture)
{
    return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                               nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, LPCSTR srcFile, UINT width, UINT height, UINT mipLevels,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                     D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture8** texture)
{
    if (texture) *texture = nullptr;
    std::vector<unsigned char> bytes;
    if (!d3dx_detail::ReadWholeFile(srcFile, bytes, kMaxPictureFileBytes)) {
        Trace("D3DXCreateTextureFromFile", std::string("cannot read ") + (srcFile ? srcFile : "(null)"));
        return D3DXERR_INVALIDDATA;
    }
    HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), static_cast<UINT>(bytes.size()), width,
                                                     height, mipLevels, usage, format, pool, filter, mipFilter,
                                                     colorKey, srcInfo, palette, texture);
    if (FAILED(hr)) Trace("D3DXCreateTextureFromFile", std::string("failed on ") + srcFile);
    return hr;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, LPCSTR srcFile, IDirect3DTexture8** texture)
{
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
