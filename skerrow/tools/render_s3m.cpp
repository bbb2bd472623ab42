#include "skerrow/tools/render_s3m.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "skerrow/Src/Sound/ModulePlayer.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, x & 0xffff);
    Put16(v, x >> 16);
}

}  // namespace

int RenderS3mCommand(int argc, char** argv)
{
    // argv[0] is the command name ("render-s3m").
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: skerrow-tool render-s3m IN.s3m OUT.wav [seconds]\n");
        return 2;
    }
    // Without a length the song plays to its end, but no longer than ten minutes: many songs
    // loop for ever.
    double seconds = 600.0;
    if (argc == 4) {
        char* end = nullptr;
        seconds = std::strtod(argv[3], &end);
        if (!end || *end || !(seconds > 0.0) || seconds > 3600.0) {
            std::fprintf(stderr, "render-s3m: seconds must be a number from 0 to 3600: %s\n", argv[3]);
            return 2;
        }
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "render-s3m: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int rate = 44100;
    ModulePlayer player(image.data(), image.size(), rate, 1, 1, 1);
    if (player.state < ModulePlayer::StateLoaded) {
        std::fprintf(stderr, "render-s3m: %s is not a module the player can load\n", argv[1]);
        return 1;
    }
    const int64_t wanted = int64_t(seconds * rate);
    std::vector<uint8_t> pcm;
    std::vector<int16_t> block(size_t(rate / 10) * 2);
    int64_t done = 0;
    while (done < wanted) {
        int frames = int(std::min<int64_t>(rate / 10, wanted - done));
        int got = player.Render(block.data(), frames * 4, nullptr);
        for (int i = 0; i < got * 2; ++i) Put16(pcm, uint16_t(block[size_t(i)]));
        done += got;
        if (got < frames) break;
    }
    std::vector<uint8_t> wav;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    Put32(wav, uint32_t(36 + pcm.size()));
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(wav, 16);
    Put16(wav, 1);
    Put16(wav, 2);
    Put32(wav, rate);
    Put32(wav, rate * 4);
    Put16(wav, 4);
    Put16(wav, 16);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    Put32(wav, uint32_t(pcm.size()));
    wav.insert(wav.end(), pcm.begin(), pcm.end());
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    if (!out) {
        std::fprintf(stderr, "render-s3m: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %.2f s rendered%s\n", argv[2], double(done) / rate,
                player.Ended() ? " (song end)" : "");
    return 0;
}
