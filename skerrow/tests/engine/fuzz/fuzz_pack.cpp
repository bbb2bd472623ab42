// Pack archives from outside: open, list and inflate every entry of arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "skerrow/Src/ResourceLocator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::string path = "/tmp/skerrow_fuzz_pack_" + std::to_string(getpid()) + ".dat";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    PackArchive pack;
    if (pack.Open(path.c_str())) {
        for (const PackEntry& e : pack.Entries()) {
            int out = 0;
            char* buffer = pack.FindEntry(e.name.c_str(), &out);
            if (buffer && (buffer[out] != 0 || buffer[out + 1] != 0)) std::abort();
            delete[] buffer;
        }
    }
    std::remove(path.c_str());
    return 0;
}
