// Hostile modules: the loader and the renderer must stay inside their buffers and finish.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skerrow/Src/Sound/ModulePlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    struct Format {
        int rate, bits16, stereo, interpolation, seconds10;
    };
    const Format formats[] = {{44100, 1, 1, 1, 20}, {11025, 0, 0, 0, 10}, {22050, 1, 0, 1, 5}};
    for (const Format& f : formats) {
        ModulePlayer player(data, size, f.rate, f.bits16, f.stereo, f.interpolation);
        if (player.state < ModulePlayer::StateLoaded) return 0;
        const int frameBytes = (f.bits16 ? 2 : 1) * (f.stereo ? 2 : 1);
        std::vector<uint8_t> out(size_t(f.rate / 10) * size_t(frameBytes));
        std::vector<std::vector<uint8_t>> levels(size_t(player.channelCount), std::vector<uint8_t>(size_t(f.rate)));
        std::vector<uint8_t*> levelPointers;
        for (auto& l : levels) levelPointers.push_back(l.data());
        for (int i = 0; i < f.seconds10; ++i) {
            int frames = player.Render(out.data(), int(out.size()), levelPointers.empty() ? nullptr : levelPointers.data());
            if (frames < f.rate / 10) break;
        }
        player.Unload();
    }
    return 0;
}
