// The generated sounds and music through the platform's segment readers.
#include <gtest/gtest.h>

#include <cmath>

#include "DataReaders.h"
#include "platform/dmusic/sound_files.h"

using namespace fwcheck;

TEST(FenwoltDataThroughPlatform, EffectsAndMusicBecomeSegments) {
    for (const char* n : {"wav\\gasp.wav", "wav\\whistle.wav", "wav\\shoot.wav", "wav\\kick.wav", "wav\\head.wav",
                          "wav\\crowd.wav", "wav\\boo.wav", "wav\\cheer.wav", "wav\\whistlel.wav", "wav\\post.wav",
                          "wav\\foul.wav"}) {
        SCOPED_TRACE(n);
        auto bytes = ReadBytes(Resolve(DataRoot(), n));
        dmusic_files::WaveSound w;
        std::string error;
        ASSERT_TRUE(dmusic_files::ParseWave(bytes.data(), bytes.size(), w, error)) << error;
        EXPECT_GT(w.FrameCount(), size_t(dmusic_files::kMixRate / 10));
        float peak = 0;
        for (float s : w.frames) peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.3f);
        EXPECT_LE(peak, 1.0f);
    }
    for (const char* n : {"wav\\dvxtitle.mid", "wav\\qn002.mid", "wav\\qn003.mid"}) {
        SCOPED_TRACE(n);
        auto bytes = ReadBytes(Resolve(DataRoot(), n));
        dmusic_files::MidiSong song;
        std::string error;
        ASSERT_TRUE(dmusic_files::ParseMidi(bytes.data(), bytes.size(), song, error)) << error;
        EXPECT_GT(song.events.size(), 500u);
        // the game forces its own tempo; at 100 beats a minute every piece lasts well over 20 s
        EXPECT_GT(double(song.lengthTicks) / song.division * 0.6, 20.0);
    }
}
