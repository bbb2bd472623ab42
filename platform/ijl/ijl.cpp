// Reading over libjpeg-turbo. libjpeg reports fatal errors through a callback that must not
// return, so decoding runs in a plain C-style function guarded by setjmp: no object with a
// destructor lives in the frames that longjmp crosses.
#include "platform/ijl/ijl.h"
#include "platform/win32/win32.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {

constexpr DWORD kInitMagic = 0x4A504721u;
// Larger files or images than this are refused rather than risking exhausting memory.
constexpr long kMaxFileBytes = 256L * 1024 * 1024;
constexpr DWORD kMaxDimension = 32768;

struct ErrorTrap {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    IJLERR code;
};

void OnFatal(j_common_ptr cinfo)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    trap->code = IJL_ERR_DATA;
    if (cinfo->err->msg_code == JERR_NO_SOI) trap->code = IJL_ERR_NOT_JPEG;
    if (cinfo->err->msg_code == JERR_OUT_OF_MEMORY) trap->code = IJL_MEMORY_ERROR;
    longjmp(trap->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level)
{
    // A stream that ends early would decode as grey filler: treat it as damaged.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
        trap->code = IJL_ERROR_EOF;
        longjmp(trap->jump, 1);
    }
}

void OnOutput(j_common_ptr) {}

// Writes one decoded pixel (components as libjpeg gave them) in the caller's layout.
inline void StorePixel(BYTE* out, DWORD channels, IJL_COLOR color, const JSAMPLE* in, int inComponents,
                       J_COLOR_SPACE space)
{
    BYTE r, g, b;
    if (space == JCS_RGB) {
        r = in[0]; g = in[1]; b = in[2];
    } else if (space == JCS_CMYK) {
        // Adobe writes CMYK inverted: the stored value is already 255 - ink.
        r = static_cast<BYTE>(in[0] * in[3] / 255);
        g = static_cast<BYTE>(in[1] * in[3] / 255);
        b = static_cast<BYTE>(in[2] * in[3] / 255);
    } else {
        r = g = b = in[0];
    }
    if (color == IJL_OTHER) {
        for (DWORD c = 0; c < channels; ++c) out[c] = c < static_cast<DWORD>(inComponents) ? in[c] : 0;
        return;
    }
    if (color == IJL_G) {
        BYTE y = (space == JCS_GRAYSCALE) ? in[0] : static_cast<BYTE>((r * 77 + g * 150 + b * 29) >> 8);
        for (DWORD c = 0; c < channels; ++c) out[c] = y;
        return;
    }
    BYTE first = (color == IJL_BGR) ? b : r;
    BYTE last = (color == IJL_BGR) ? r : b;
    if (channels >= 1) out[0] = first;
    if (channels >= 2) out[1] = g;
    if (channels >= 3) out[2] = last;
    for (DWORD c = 3; c < channels; ++c) out[c] = 255;
}

// Decodes (or, without `decode`, only inspects) a JPEG held in memory.
IJLERR DecodeMemory(JPEG_CORE_PROPERTIES* p, const BYTE* data, size_t size, bool decode)
{
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = OnFatal;
    trap.mgr.emit_message = OnMessage;
    trap.mgr.output_message = OnOutput;
    trap.code = IJL_OK;
    JSAMPLE* volatile row = nullptr;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(row);
        return trap.code;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);

    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxDimension ||
        cinfo.image_height > kMaxDimension) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_ERR_DATA;
    }
    p->JPGWidth = cinfo.image_width;
    p->JPGHeight = cinfo.image_height;
    p->JPGChannels = static_cast<DWORD>(cinfo.num_components);
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: p->JPGColor = IJL_G; break;
    case JCS_YCbCr: p->JPGColor = IJL_YCBCR; break;
    case JCS_RGB: p->JPGColor = IJL_RGB; break;
    default: p->JPGColor = IJL_OTHER; break;
    }
    if (!decode) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_OK;
    }

    const DWORD height = static_cast<DWORD>(p->DIBHeight < 0 ? -static_cast<int64_t>(p->DIBHeight) : p->DIBHeight);
    if (!p->DIBBytes || p->DIBWidth != cinfo.image_width || height != cinfo.image_height ||
        p->DIBChannels < 1 || p->DIBChannels > 4) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_INVALID_JPEG_PROPERTIES;
    }

    // Raw components only for the caller who asked for them; otherwise let libjpeg produce
    // RGB (grey expanded) or CMYK, and lay out the caller's bytes from that.
    J_COLOR_SPACE space;
    if (p->DIBColor == IJL_OTHER) {
        space = cinfo.jpeg_color_space;
    } else if (cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        space = JCS_GRAYSCALE;
    } else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        space = JCS_CMYK;
    } else if (cinfo.num_components == 3) {
        space = JCS_RGB;
    } else {
        // Some other component count: show its first component as grey.
        space = JCS_UNKNOWN;
    }
    cinfo.out_color_space = space;
    jpeg_start_decompress(&cinfo);
    const int comps = cinfo.output_components;
    row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(cinfo.output_width) * comps));
    if (!row) {
        jpeg_destroy_decompress(&cinfo);
        return IJL_MEMORY_ERROR;
    }
    const size_t stride = static_cast<size_t>(p->DIBWidth) * p->DIBChannels + p->DIBPadBytes;
    const J_COLOR_SPACE layout = (space == JCS_UNKNOWN) ? JCS_GRAYSCALE : space;
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t y = cinfo.output_scanline;
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&cinfo, rows, 1);
        const size_t target = p->DIBHeight < 0 ? (height - 1 - y) : y;
        BYTE* out = p->DIBBytes + target * stride;
        for (DWORD x = 0; x < p->DIBWidth; ++x)
            StorePixel(out + static_cast<size_t>(x) * p->DIBChannels, p->DIBChannels, p->DIBColor,
                       row + static_cast<size_t>(x) * comps, comps, layout);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    return IJL_OK;
}

IJLERR Fail(IJLERR code, const char* what)
{
    std::fprintf(stderr, "ijl: %s: %s\n", what, ijlErrorStr(code));
    return code;
}

}  // namespace

IJLERR ijlInit(JPEG_CORE_PROPERTIES* props)
{
    if (!props) return IJL_INVALID_JPEG_PROPERTIES;
    std::memset(props, 0, sizeof *props);
    props->DIBChannels = 3;
    props->DIBColor = IJL_BGR;
    props->JPGChannels = 3;
    props->JPGColor = IJL_YCBCR;
    props->JPGSubsampling = IJL_411;
    props->initialised = kInitMagic;
    return IJL_OK;
}

IJLERR ijlFree(JPEG_CORE_PROPERTIES* props)
{
    if (!props || props->initialised != kInitMagic) return IJL_INVALID_JPEG_PROPERTIES;
    props->initialised = 0;
    return IJL_OK;
}

IJLERR ijlRead(JPEG_CORE_PROPERTIES* props, IJLIOTYPE mode)
{
    if (!props || props->initialised != kInitMagic)
        return Fail(IJL_INVALID_JPEG_PROPERTIES, "read on a block that was not initialised");
    const bool decode = (mode == IJL_JFILE_READWHOLEIMAGE || mode == IJL_JBUFF_READWHOLEIMAGE);
    if (mode == IJL_JBUFF_READPARAMS || mode == IJL_JBUFF_READWHOLEIMAGE) {
        if (!props->JPGBytes || props->JPGSizeBytes == 0) return IJL_INVALID_JPEG_PROPERTIES;
        return DecodeMemory(props, props->JPGBytes, props->JPGSizeBytes, decode);
    }
    if (mode != IJL_JFILE_READPARAMS && mode != IJL_JFILE_READWHOLEIMAGE)
        return Fail(IJL_INVALID_ENCODER, "unsupported read mode");
    if (!props->JPGFile || !props->JPGFile[0]) return IJL_INVALID_FILENAME;

    // Names may use '\' and any letter case, as the games write them.
    std::FILE* f = PlatformFopen(props->JPGFile, "rb");
    if (!f) return IJL_INVALID_FILENAME;
    std::vector<BYTE> bytes;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size <= 0 || size > kMaxFileBytes || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return size == 0 ? IJL_ERROR_EOF : IJL_FILE_ERROR;
    }
    bytes.resize(static_cast<size_t>(size));
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (got != bytes.size()) return IJL_FILE_ERROR;
    return DecodeMemory(props, bytes.data(), bytes.size(), decode);
}

const char* ijlErrorStr(IJLERR code)
{
    switch (code) {
    case IJL_OK: return "No error";
    case IJL_INVALID_ENCODER: return "Invalid encoder or read mode";
    case IJL_UNSUPPORTED_BYTES_PER_PIXEL: return "Unsupported bytes per pixel";
    case IJL_MEMORY_ERROR: return "Memory allocation failed";
    case IJL_INVALID_JPEG_PROPERTIES: return "Invalid properties block";
    case IJL_INVALID_FILENAME: return "File cannot be opened";
    case IJL_ERROR_EOF: return "Unexpected end of data";
    case IJL_ERR_NOT_JPEG: return "Not a JPEG stream";
    case IJL_ERR_DATA: return "Damaged JPEG data";
    case IJL_FILE_ERROR: return "File read error";
    case IJL_INTERNAL_ERROR: return "Internal error";
    case IJL_BUFFER_TOO_SMALL: return "Buffer too small";
    }
    return "Unknown error";
}
