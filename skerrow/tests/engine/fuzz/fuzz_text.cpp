// Animation scripts and INI text from outside: parse arbitrary bytes, run every animation.
#include <cstdint>
#include <string>

#include "skerrow/Src/Animation.h"
#include "skerrow/Src/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    AnimationSet set;
    set.Parse(text.c_str());
    for (int i = 0; i < set.ScriptCount(); ++i)
        for (int tick = 0; tick < 40; ++tick) set.SetAnimation(i, tick == 0);
    RECT r;
    set.GetFrameRect(&r);
    return 0;
}
