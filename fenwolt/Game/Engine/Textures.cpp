#include "fenwolt/Game/Engine/Textures.h"

#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8tex.h"
#include "platform/ijl/ijl.h"
#include "platform/win32/byte_order.h"

#include <algorithm>
#include <cstring>

namespace {

// One stored pixel of the given byte size as an ARGB word.
uint32_t ToArgb(const uint8_t* p, int bytes)
{
    switch (bytes) {
    case 2: {
        // 15- and 16-bit TGA pixels are X1R5G5B5.
        uint16_t v = LoadLe16(p);
        uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return 0xFF000000u | (r << 19) | (g << 11) | (b << 3);
    }
    case 3:
        return 0xFF000000u | ((uint32_t)p[2] << 16) | ((uint32_t)p[1] << 8) | p[0];
    default:
        return ((uint32_t)p[3] << 24) | ((uint32_t)p[2] << 16) | ((uint32_t)p[1] << 8) | p[0];
    }
}

}  // namespace

bool WritePixelsInFormat(const DecodedPicture& picture, D3DFORMAT format, uint8_t* bits, int pitch, int texW,
                         int texH)
{
    int w = std::min(picture.Width, texW), h = std::min(picture.Height, texH);
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = picture.Pixels.data() + (size_t)y * picture.Width;
        uint8_t* row = bits + (size_t)y * pitch;
        for (int x = 0; x < w; ++x) {
            uint32_t c = src[x];
            uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            switch (format) {
            case D3DFMT_R5G6B5:
                reinterpret_cast<uint16_t*>(row)[x] = PackR5G6B5(c);
                break;
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5: {
                uint16_t top = (format == D3DFMT_X1R5G5B5 || a >= 128) ? 0x8000 : 0;
                reinterpret_cast<uint16_t*>(row)[x] = (uint16_t)(top | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
                break;
            }
            case D3DFMT_A4R4G4B4:
                reinterpret_cast<uint16_t*>(row)[x] = (uint16_t)((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
                break;
            case D3DFMT_A8R8G8B8:
                reinterpret_cast<uint32_t*>(row)[x] = c;
                break;
            case D3DFMT_X8R8G8B8:
                reinterpret_cast<uint32_t*>(row)[x] = c | 0xFF000000u;
                break;
            default:
                return false;
            }
        }
    }
    return true;
}

uint16_t PackR5G6B5(uint32_t argb)
{
    uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    return (uint16_t)((r / 8) << 11 | (g / 8) << 6 | (b / 8));
}

bool DecodeTga(const uint8_t* data, size_t size, DecodedPicture& out)
{
    out = DecodedPicture{};
    if (!data || size < 18) return false;
    const int idLength = data[0], mapType = data[1], type = data[2];
    const int mapLength = LoadLe16(data + 5), mapEntryBits = data[7];
    const int width = LoadLe16(data + 12), height = LoadLe16(data + 14);
    const int depth = data[16];
    const bool topFirst = (data[17] & 0x20) != 0;
    if (type != 2 && type != 10) return false;
    if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
    if (width <= 0 || height <= 0 || width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE) return false;
    size_t pos = 18 + (size_t)idLength;
    if (mapType != 0) pos += (size_t)mapLength * (size_t)((mapEntryBits + 7) / 8);
    if (pos > size) return false;
    const int bytes = depth <= 16 ? 2 : depth / 8;
    out.Width = width;
    out.Height = height;
    out.HasAlpha = depth == 32;
    out.Pixels.assign((size_t)width * height, 0);

    for (int stored = 0; stored < height; ++stored) {
        uint32_t* row = out.Pixels.data() + (size_t)(topFirst ? stored : height - 1 - stored) * width;
        if (type == 2) {
            size_t need = (size_t)width * bytes;
            if (size - pos < need) return false;
            for (int x = 0; x < width; ++x) row[x] = ToArgb(data + pos + (size_t)x * bytes, bytes);
            pos += need;
            continue;
        }
        // Run-length packets; a row ends with the packet that fills it, surplus pixels dropped.
        int x = 0;
        while (x < width) {
            if (pos >= size) return false;
            const int header = data[pos++];
            const int count = (header & 0x7F) + 1;
            if (header & 0x80) {
                if (size - pos < (size_t)bytes) return false;
                uint32_t value = ToArgb(data + pos, bytes);
                pos += bytes;
                for (int i = 0; i < count && x < width; ++i) row[x++] = value;
            } else {
                if (size - pos < (size_t)count * bytes) return false;
                for (int i = 0; i < count; ++i) {
                    if (x < width) row[x++] = ToArgb(data + pos, bytes);
                    pos += bytes;
                }
            }
        }
    }
    return true;
}

bool DecodeJpegFile(const char* file, DecodedPicture& out)
{
    out = DecodedPicture{};
    JPEG_CORE_PROPERTIES props{};
    if (ijlInit(&props) != IJL_OK) return false;
    props.JPGFile = file;
    if (ijlRead(&props, IJL_JFILE_READPARAMS) != IJL_OK) {
        ijlFree(&props);
        return false;
    }
    const DWORD w = props.JPGWidth, h = props.JPGHeight;
    // Only grey and colour pictures fit the three bytes a pixel the loader decodes into.
    if (w == 0 || h == 0 || w > MAX_PICTURE_SIDE || h > MAX_PICTURE_SIDE ||
        (props.JPGChannels != 1 && props.JPGChannels != 3)) {
        DebugOutPair("Unsupported JPEG picture", file);
        ijlFree(&props);
        return false;
    }
    std::vector<BYTE> bgr((size_t)w * h * 3);
    props.DIBWidth = w;
    props.DIBHeight = (INT)h;
    props.DIBChannels = 3;
    props.DIBColor = IJL_BGR;
    props.DIBPadBytes = 0;
    props.DIBBytes = bgr.data();
    props.JPGColor = props.JPGChannels == 1 ? IJL_G : IJL_YCBCR;
    if (ijlRead(&props, IJL_JFILE_READWHOLEIMAGE) != IJL_OK) {
        ijlFree(&props);
        return false;
    }
    ijlFree(&props);
    out.Width = (int)w;
    out.Height = (int)h;
    out.Pixels.resize((size_t)w * h);
    for (size_t i = 0; i < out.Pixels.size(); ++i) {
        const BYTE* p = bgr.data() + i * 3;
        out.Pixels[i] = 0xFF000000u | ((uint32_t)p[2] << 16) | ((uint32_t)p[1] << 8) | p[0];
    }
    return true;
}

bool DecodePictureFile(const char* file, DecodedPicture& out)
{
    if (std::strstr(file, ".jpg")) return DecodeJpegFile(file, out);
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) return false;
    const uint8_t* data = static_cast<const uint8_t*>(GlobalLock(block));
    const bool ok = data && DecodeTga(data, size, out);
    if (data) GlobalUnlock(block);
    GlobalFree(block);
    return ok;
}

int UploadPicture(IDirect3DDevice8* device, const DecodedPicture& picture, IDirect3DTexture8** texture,
                  TextureTargetInfo& info)
{
    if (!device || !texture || picture.Width <= 0 || picture.Height <= 0) return 1;
    UINT w = (UINT)picture.Width, h = (UINT)picture.Height, levels = 1;
    D3DFORMAT format = picture.HasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_R5G6B5;
    info.TextureWidth = (int32_t)w;
    info.TextureHeight = (int32_t)h;
    info.Levels = 1;
    info.Format = format;
    if (FAILED(D3DXCheckTextureRequirements(device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED))) return 1;
    info.TextureWidth = (int32_t)w;
    info.TextureHeight = (int32_t)h;
    info.Levels = (int32_t)levels;
    info.Format = format;
    IDirect3DTexture8* created = nullptr;
    if (FAILED(device->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &created)) || !created) return 1;
    D3DLOCKED_RECT locked{};
    if (FAILED(created->LockRect(0, &locked, nullptr, D3DLOCK_NOSYSLOCK))) {
        created->Release();
        return 1;
    }
    info.ScaleU = (float)picture.Width / (float)w;
    info.ScaleV = (float)picture.Height / (float)h;
    info.Padded = (w != (UINT)picture.Width || h != (UINT)picture.Height) ? 1 : 0;
    bool written = WritePixelsInFormat(picture, format, static_cast<uint8_t*>(locked.pBits), locked.Pitch, (int)w,
                                       (int)h);
    created->UnlockRect(0);
    if (!written) {
        DebugTrace("Texture format %d granted for a picture is not writable\n", (int)format);
        created->Release();
        return 1;
    }
    if (*texture) (*texture)->Release();
    *texture = created;
    info.FromOwnLoader = 1;
    return 0;
}

int LoadImageIntoTexture(IDirect3DDevice8* device, const char* file, IDirect3DTexture8** texture,
                         TextureTargetInfo& info)
{
    info.FromOwnLoader = 0;
    if (!device || !file || !texture) return 1;
    DecodedPicture picture;
    if (!DecodePictureFile(file, picture)) return 1;
    return UploadPicture(device, picture, texture, info);
}

int LoadImageIntoMeshTexture(XFileMesh& mesh, IDirect3DDevice8* device, const char* file)
{
    if (!mesh.Textures || mesh.TextureSlots == 0) return 1;
    return LoadImageIntoTexture(device, file, &mesh.Textures[0], mesh.TexInfo);
}

int LoadImageIntoSpriteTexture(Sprite& sprite, IDirect3DDevice8* device, const char* file)
{
    return LoadImageIntoTexture(device, file, &sprite.Texture, sprite.TexInfo);
}
