// The six modules played by the game's own module player: they load, and a minute of each
// sounds (neither silence nor a wall of clipping).
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Sound/ModulePlayer.h"
#include "skerrow/tests/data/Readers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<uint8_t> Module(const std::string& name) {
    std::vector<testread::PackFile> files;
    std::string why;
    testread::ParsePack(testread::ReadFile(std::string(BUILD_ROOT) + "/data/skerrow/Ombrelit.dat"), files, why);
    for (auto& f : files)
        if (f.name == "DATA\\" + name) return f.data;
    return {};
}

TEST(ModulesInThePlayer, LoadAndPlayAMinuteOfMusic) {
    for (const char* name : {"fl1.s3m", "fl2.s3m", "fl3.s3m", "fl4.s3m", "arc_z.s3m", "arc3.s3m"}) {
        const std::vector<uint8_t> image = Module(name);
        ASSERT_FALSE(image.empty()) << name;
        ModulePlayer player(image.data(), image.size(), 44100, 1, 1, 1);
        ASSERT_EQ(player.state, ModulePlayer::StateLoaded) << name;
        std::vector<int16_t> buf(4410 * 2);
        double sum = 0;
        size_t frames = 0, clipped = 0;
        for (int chunk = 0; chunk < 600; ++chunk) {
            const int got = player.Render(buf.data(), int(buf.size() * 2), nullptr);
            ASSERT_EQ(got, 4410) << name << ": the song ended after " << chunk / 10 << " s";
            for (int16_t v : buf) {
                sum += double(v) * v;
                clipped += v == 32767 || v == -32768;
            }
            frames += size_t(got);
        }
        const double rms = std::sqrt(sum / (frames * 2));
        EXPECT_GT(rms, 800.0) << name;
        EXPECT_LT(double(clipped) / (frames * 2), 0.001) << name;
    }
}

}  // namespace
