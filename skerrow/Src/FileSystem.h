// Game files are named the Windows way ("DATA\\Blocks.tga", any letter case); the disk is
// case-sensitive. These helpers map such a name onto the file that really exists.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The path on disk for a relative or absolute game file name: '\\' becomes '/', and each
// existing component is matched ignoring case. Components that do not exist are kept as given.
std::string ResolveGamePath(const char* name);

// fopen of ResolveGamePath(name) ("r", "w" or "a", with or without "b"), for regular files
// only: anything else there (a FIFO, a device, a folder) counts as no file, and null comes back
// at once instead of an open that waits.
std::FILE* OpenGameFile(const char* name, const char* mode);

// Writes the game file `name` whole through a temporary file and a rename, so that a failed
// write leaves the earlier file as it was (and says so in the log); 1 when all reached the disk,
// else 0 with errno telling why (ENOSPC, EACCES, ...).
int WriteGameFileWhole(const char* name, const void* data, size_t size);
