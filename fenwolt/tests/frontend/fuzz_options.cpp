// The options file reader over arbitrary bytes: whatever the file holds, every field the game
// reads ends in its range. The loading screen's line is made from a language text, so the same
// bytes also serve as its format.
#include "fenwolt/Game/FrontEnd/Loading.h"
#include "fenwolt/Game/FrontEnd/Options.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
void Check(bool ok)
{
    if (!ok) std::abort();
}
bool IsSwitch(int32_t v) { return v == 0 || v == 1; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OptionsRecord record;
    ReadOptionsImage(record, data, size);
    NormaliseOptions(record);
    Check(IsSwitch(record.musicOn) && IsSwitch(record.effectsOn) && IsSwitch(record.ShowCrowd));
    Check(IsSwitch(record.BeginnersCamera) && IsSwitch(record.FollowBallAtEndTurn));
    Check(IsSwitch(record.CentrePlayerWhenSelected) && IsSwitch(record.PitchLevelView));
    Check(record.volume >= 0 && record.volume <= 100);
    Check(IsSwitch(record.textureQuality));
    Check(record.shadowsOn >= 0 && record.shadowsOn <= 2);
    Check(record.PlayerInfoPanel >= 0 && record.PlayerInfoPanel <= 3);
    // A second read over a record already read keeps the ranges too.
    ReadOptionsImage(record, data + (size > 3 ? 3 : 0), size > 3 ? size - 3 : 0);
    Check(record.volume >= 0 && record.volume <= 100 && record.PlayerInfoPanel >= 0 && record.PlayerInfoPanel <= 3);

    const std::string format(reinterpret_cast<const char*>(data), size);
    char line[300];
    const int32_t percent = size > 0 ? data[0] % 101 : 0;
    FormatLoadingLine(line, sizeof(line), format.c_str(), percent);
    Check(std::strlen(line) < sizeof(line));
    return 0;
}
