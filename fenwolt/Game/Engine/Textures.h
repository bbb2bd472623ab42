// The game's own picture loader: TGA (uncompressed and run-length, 15/16/24/32 bits) and JPEG
// decoded straight into a managed texture whose top-left corner holds the picture.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture, top row first, one ARGB word a pixel. Pictures from 15/16/24-bit sources
// keep only five bits a channel (the low three bits are 0) and are opaque.
struct DecodedPicture {
    int Width = 0, Height = 0;
    bool HasAlpha = false;  // 32-bit source: kept as A8R8G8B8
    std::vector<uint32_t> Pixels;
};

// Pictures larger than this in either direction are refused (no texture is that large).
constexpr int MAX_PICTURE_SIDE = 8192;

// Decodes a TGA file image held in memory; false for an unsupported or damaged file.
bool DecodeTga(const uint8_t* data, size_t size, DecodedPicture& out);
// Decodes a JPEG file through the JPEG library; false on failure.
bool DecodeJpegFile(const char* file, DecodedPicture& out);
// Decodes a picture file as the loader reads it: JPEG when its name says ".jpg", else TGA.
bool DecodePictureFile(const char* file, DecodedPicture& out);
// The 16-bit word the loader writes for a picture pixel in an R5G6B5 texture:
// R / 8 << 11 | G / 8 << 6 | B / 8.
uint16_t PackR5G6B5(uint32_t argb);

// Writes the picture into locked texture memory in the format the device granted (16-bit
// formats get 16-bit words, 32-bit formats 32-bit words), clipped to the texture; false for a
// format the loader cannot write.
bool WritePixelsInFormat(const DecodedPicture& picture, D3DFORMAT format, uint8_t* bits, int pitch, int textureWidth,
                         int textureHeight);

// Creates a texture for the picture (size and format as the device grants them), writes the
// picture into its top-left corner in the granted format and fills the target's fields.
// On failure the texture pointer stays null and the result is 1; 0 on success.
int UploadPicture(IDirect3DDevice8* device, const DecodedPicture& picture, IDirect3DTexture8** texture,
                  TextureTargetInfo& info);

// The loader for both kinds of target: ".jpg" anywhere in the name chooses JPEG, else TGA.
// 0 loaded, 1 failed. A failed load leaves the target without a texture (nothing leaks).
int LoadImageIntoTexture(IDirect3DDevice8* device, const char* file, IDirect3DTexture8** texture,
                         TextureTargetInfo& info);
int LoadImageIntoMeshTexture(XFileMesh& mesh, IDirect3DDevice8* device, const char* file);
int LoadImageIntoSpriteTexture(Sprite& sprite, IDirect3DDevice8* device, const char* file);
