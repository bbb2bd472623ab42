#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes the root window of `display` (":N") to `path` as a PNG and hands back its RGB rows;
// false when the display or the file cannot be used.
bool RootWindowScreenshot(const std::string& display, const std::string& path, std::vector<uint8_t>* rgb = nullptr);
