// Hostile WAV files through the sound engine's sample loader, then played and mixed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/dsound/dsound_testing.h"
#include "skerrow/Src/Sound/SoundEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int loaded = 0;
    static bool ready = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        DirectSoundSetManualMixing(true);
        return InitSoundEngine() == 0;
    }();
    if (!ready) std::abort();  // the loader would not even be reached
    if (++loaded >= 90) {  // the sample table holds 100
        ReleaseSoundEngine();
        if (InitSoundEngine() != 0) std::abort();
        loaded = 1;
    }
    SampleHandle h = LoadSample(data, size, 0);
    if (h >= 0) {
        PlaySample(h, 100, 30);
        PlaySample(h, 50, 70);
        std::vector<int16_t> out(2 * 2048);
        DirectSoundMixFrames(out.data(), 2048);
    }
    return 0;
}
