// skerrow-tool: the data pipeline's front over the engine's own readers and the pack writer.
//   pack DIR PREFIX OUT      every file under DIR into a pack archive, names prefixed
//   cat PACK NAME            an entry read through the resource locator, to stdout
//   decode IMAGE OUT.png     a PCX, BMP or TGA decoded by Bitmap, written as PNG
//   render-s3m ...           (when the sound engine is built) an S3M module to a WAV file
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/png_file.h"
#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/ResourceLocator.h"

#ifdef SKERROW_TOOL_PACKWRITER
#include "skerrow/data/PackWriter.h"
#endif
#ifdef SKERROW_TOOL_RENDER_S3M
#include "skerrow/tools/render_s3m.h"
#endif

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: skerrow-tool pack DIR PREFIX OUT\n"
                 "       skerrow-tool cat PACK NAME\n"
                 "       skerrow-tool decode IMAGE OUT.png\n"
#ifdef SKERROW_TOOL_RENDER_S3M
                 "       skerrow-tool render-s3m ...\n"
#endif
    );
    return 2;
}

int PackCommand(int argc, char** argv)
{
    if (argc != 5) return Usage();
#ifdef SKERROW_TOOL_PACKWRITER
    namespace fs = std::filesystem;
    fs::path dir = argv[2];
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        std::fprintf(stderr, "skerrow-tool: %s is not a directory\n", argv[2]);
        return 1;
    }
    std::vector<std::string> names;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file()) names.push_back(fs::relative(it->path(), dir).generic_string());
    }
    if (ec) {
        std::fprintf(stderr, "skerrow-tool: cannot list %s: %s\n", argv[2], ec.message().c_str());
        return 1;
    }
    // Sorted names make the same directory give the same archive on every machine.
    std::sort(names.begin(), names.end());
    std::vector<PackWriterEntry> entries;
    for (const std::string& name : names) {
        std::ifstream in(dir / name, std::ios::binary);
        PackWriterEntry e;
        e.name = name;
        e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "skerrow-tool: cannot read %s\n", name.c_str());
            return 1;
        }
        entries.push_back(std::move(e));
    }
    std::string error;
    if (!WritePackArchive(argv[4], entries, argv[3], &error)) {
        std::fprintf(stderr, "skerrow-tool: %s\n", error.c_str());
        return 1;
    }
    std::printf("%zu files packed into %s\n", entries.size(), argv[4]);
    return 0;
#else
    std::fprintf(stderr, "skerrow-tool: built without the pack writer\n");
    return 1;
#endif
}

int CatCommand(int argc, char** argv)
{
    if (argc != 4) return Usage();
    if (!AddSearchPath(argv[2], "", 1)) {
        std::fprintf(stderr, "skerrow-tool: %s is not a readable pack archive\n", argv[2]);
        return 1;
    }
    char* data = LoadResourceFile(argv[3], 1);
    if (!data) {
        std::fprintf(stderr, "skerrow-tool: %s not found in %s\n", argv[3], argv[2]);
        return 1;
    }
    size_t size = static_cast<size_t>(GetLastResourceSize());
    bool ok = std::fwrite(data, 1, size, stdout) == size;
    FreeResourceBuffer(data);
    return ok ? 0 : 1;
}

bool WritePng(const char* path, const Bitmap& image)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t c = image.Pixel32(x, y);
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
        }
    std::string why;
    return PlatformWritePng(path, image.width, image.height, 3, rgb, why);
}

int DecodeCommand(int argc, char** argv)
{
    if (argc != 4) return Usage();
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "skerrow-tool: cannot open %s\n", argv[2]);
        return 1;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bitmap image;
    if (data.size() > 0x7FFFFFFF ||
        !image.DecodeImage(data.data(), static_cast<int32_t>(data.size()))) {
        std::fprintf(stderr, "skerrow-tool: %s is not a PCX, BMP or TGA image the game can read\n", argv[2]);
        return 1;
    }
    if (!WritePng(argv[3], image)) {
        std::fprintf(stderr, "skerrow-tool: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %dx%d, %d bits\n", argv[2], image.width, image.height, image.bpp);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "pack") return PackCommand(argc, argv);
    if (command == "cat") return CatCommand(argc, argv);
    if (command == "decode") return DecodeCommand(argc, argv);
#ifdef SKERROW_TOOL_RENDER_S3M
    if (command == "render-s3m") return RenderS3mCommand(argc - 1, argv + 1);
#endif
    return Usage();
}
