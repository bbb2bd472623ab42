// Files of the saves folder are replaced whole or not at all.
#pragma once

#include <cstddef>

// Writes `data` to `temporary` beside `name` and only once it is whole on the disk gives it
// `name`, so that a failed write leaves the earlier file as it was (and no temporary behind).
// Makes the saves folder when it is missing.
bool ReplaceFileWhole(const char* name, const char* temporary, const void* data, size_t size);
