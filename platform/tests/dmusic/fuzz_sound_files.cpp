// Feeds arbitrary bytes to both segment readers: neither may read out of bounds, hang or
// allocate without limit, whatever the header claims.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dmusic/sound_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;
    dmusic_files::WaveSound wave;
    if (dmusic_files::ParseWave(data, size, wave, error)) {
        if (wave.frames.size() % 2 != 0) __builtin_trap();
    }
    dmusic_files::MidiSong song;
    if (dmusic_files::ParseMidi(data, size, song, error)) {
        for (size_t i = 1; i < song.events.size(); ++i)
            if (song.events[i].tick < song.events[i - 1].tick || song.events[i].tick > song.lengthTicks)
                __builtin_trap();
        song.TempoAt(song.lengthTicks);
    }
    return 0;
}
