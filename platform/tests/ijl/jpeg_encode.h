// Test helper: JPEG streams made with libjpeg, so that the readers are tested on real encoder
// output (colour, grey and four-channel).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

// `pixels` holds `components` bytes per pixel, rows top first. CMYK streams are written as Adobe
// writes them (inverted).
inline std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, int width, int height, int components,
                                       int quality = 95)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (components == 3) {
        // No chroma subsampling, so that small test pictures keep exact colours per pixel.
        for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(c.next_scanline) * width * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}
