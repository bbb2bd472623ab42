// Helpers shared by the D3DX sources.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8core.h"

namespace d3dx_detail {

// Reads a whole file through the platform's path mapping. False when it cannot be opened or
// read, or when it is larger than `maxBytes`.
bool ReadWholeFile(const char* name, std::vector<unsigned char>& bytes, size_t maxBytes);

// One line on stderr: "d3dx: <function>: <message>".
void Trace(const char* function, const std::string& message);

}  // namespace d3dx_detail
