// Test helper: builds TGA files byte by byte.
#pragma once

#include <cstdint>
#include <vector>

struct TgaSpec {
    uint8_t type = 2;
    uint8_t bits = 24;
    uint16_t width = 1, height = 1;
    uint8_t descriptor = 0;
    uint8_t idLength = 0;
    uint16_t mapFirst = 0, mapLength = 0;
    uint8_t mapBits = 0;
};

inline std::vector<uint8_t> MakeTga(const TgaSpec& s, const std::vector<uint8_t>& payload,
                                    const std::vector<uint8_t>& colourMap = {})
{
    std::vector<uint8_t> f = {s.idLength,
                              uint8_t(s.mapLength ? 1 : 0),
                              s.type,
                              uint8_t(s.mapFirst & 0xFF),
                              uint8_t(s.mapFirst >> 8),
                              uint8_t(s.mapLength & 0xFF),
                              uint8_t(s.mapLength >> 8),
                              s.mapBits,
                              0, 0, 0, 0,
                              uint8_t(s.width & 0xFF),
                              uint8_t(s.width >> 8),
                              uint8_t(s.height & 0xFF),
                              uint8_t(s.height >> 8),
                              s.bits,
                              s.descriptor};
    for (int i = 0; i < s.idLength; ++i) f.push_back(uint8_t('I'));
    f.insert(f.end(), colourMap.begin(), colourMap.end());
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}
