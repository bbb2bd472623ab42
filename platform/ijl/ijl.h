// The JPEG library's read interface: a properties block is initialised, the file's parameters
// are read, the caller describes its output buffer in the block, the whole image is decoded
// into it, and the block is freed. Only reading is provided; the games never write JPEG.
#pragma once

#include "platform/win32/wintypes.h"

enum IJLERR : int {
    IJL_OK = 0,
    IJL_INVALID_ENCODER = -2,
    IJL_UNSUPPORTED_BYTES_PER_PIXEL = -4,
    IJL_MEMORY_ERROR = -5,
    IJL_INVALID_JPEG_PROPERTIES = -8,
    IJL_INVALID_FILENAME = -10,
    IJL_ERROR_EOF = -11,
    IJL_ERR_NOT_JPEG = -13,
    IJL_ERR_DATA = -21,
    IJL_FILE_ERROR = -23,
    IJL_INTERNAL_ERROR = -24,
    IJL_BUFFER_TOO_SMALL = -28,
};

// Fixed underlying types: a caller may pass any value, and an unknown one must be refused, not
// be undefined.
enum IJLIOTYPE : int {
    IJL_JFILE_READPARAMS = 0,
    IJL_JBUFF_READPARAMS = 1,
    IJL_JFILE_READWHOLEIMAGE = 2,
    IJL_JBUFF_READWHOLEIMAGE = 3,
};

enum IJL_COLOR : int {
    IJL_RGB = 1,
    IJL_BGR = 2,
    IJL_YCBCR = 3,
    IJL_G = 4,
    IJL_RGBA_FPX = 5,
    IJL_YCBCRA_FPX = 6,
    IJL_OTHER = 255,
};

enum IJL_DIBSUBSAMPLING : int { IJL_NONE = 0 };
enum IJL_JPGSUBSAMPLING : int { IJL_411 = 1, IJL_422 = 2 };

struct JPEG_CORE_PROPERTIES {
    // Output (the caller's pixel buffer).
    BYTE* DIBBytes;
    DWORD DIBWidth;
    // Positive: the buffer's first row is the image's top row; negative: its bottom row.
    INT DIBHeight;
    DWORD DIBPadBytes;   // bytes after each row
    DWORD DIBChannels;   // bytes per pixel written
    IJL_COLOR DIBColor;  // order of those bytes
    IJL_DIBSUBSAMPLING DIBSubsampling;

    // Input: a file name, or bytes in memory for the buffer modes.
    LPCSTR JPGFile;
    BYTE* JPGBytes;
    DWORD JPGSizeBytes;

    // Filled by a parameter read.
    DWORD JPGWidth;
    DWORD JPGHeight;
    DWORD JPGChannels;
    IJL_COLOR JPGColor;  // informative: the stream's own markers decide how it is decoded
    IJL_JPGSUBSAMPLING JPGSubsampling;

    // Set by ijlInit and cleared by ijlFree, so a block that was never initialised is refused.
    DWORD initialised;
};

IJLERR ijlInit(JPEG_CORE_PROPERTIES* props);
IJLERR ijlFree(JPEG_CORE_PROPERTIES* props);
IJLERR ijlRead(JPEG_CORE_PROPERTIES* props, IJLIOTYPE mode);
// The library's message for an error code (never null).
const char* ijlErrorStr(IJLERR code);
