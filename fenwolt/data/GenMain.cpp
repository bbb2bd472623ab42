// fenwolt-data-gen OUTPUT_DIR [CONTACT_DIR]
//   writes the game's working directory; with CONTACT_DIR also PNG contact sheets.
// fenwolt-data-gen --measure-widths
//   prints the glyph advances measured from the fonts (the source of GlyphWidths.h).
#include <cstdio>
#include <cstring>
#include <exception>

#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Generate.h"

int main(int argc, char** argv) {
    try {
        if (argc == 2 && std::strcmp(argv[1], "--measure-widths") == 0) {
            for (int k = 0; k < 3; ++k) {
                auto w = fwdata::MeasureWidthTable(k);
                std::printf("kind %d\n", k);
                for (int i = 0; i < 256; ++i) std::printf("%d,%s", w[size_t(i)], i % 16 == 15 ? "\n" : " ");
            }
            return 0;
        }
        if (argc < 2 || argc > 3 || argv[1][0] == '-') {
            std::fprintf(stderr, "usage: fenwolt-data-gen OUTPUT_DIR [CONTACT_DIR]\n");
            return 2;
        }
        auto files = fwdata::GenerateDataSet(argv[1], argc == 3 ? argv[2] : "");
        std::printf("fenwolt-data-gen: %zu files in %s\n", files.size(), argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fenwolt-data-gen: %s\n", e.what());
        return 1;
    }
}
