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
// only: anything else there (a FIFO, a device, a folder, and for writing a link) counts as no
// file, and null comes back at once instead of an open that waits.
std::FILE* OpenGameFile(const char* name, const char* mode);

// Writes the game file `name` whole through a temporary file and a rename, so that a failed
// write leaves the earlier file as it was (and says so in the log); 1 when all reached the disk,
// else 0 with errno telling why (ENOSPC, EACCES, ...). Temporaries a killed write of `name`
// left behind go first.
int WriteGameFileWhole(const char* name, const void* data, size_t size);

// Writes a new game file `name` whole through a temporary, never over a file already there:
// 1 when it reached the disk under that name; else 0 with errno (EEXIST when the name is taken,
// ENOSPC, ...), nothing left behind and the failure logged unless the name was only taken.
int WriteNewGameFile(const char* name, const void* data, size_t size);

// Creates a new file at `path`, never an existing one and never through a link planted there
// (O_EXCL | O_NOFOLLOW); its descriptor, or -1 with errno (EEXIST when the name is taken).
int CreateFileExclusively(const std::string& path);

// A temporary for the file at `path` (resolved): a new file of a name no one can have put in
// its place beforehand, in the same folder, so that a rename or a link makes it the real file.
// Its descriptor, and its name in `temporary`; -1 with errno when none could be made.
int CreateTemporaryFor(const std::string& path, std::string* temporary);

// Removes the temporaries that writes of the game file `name` (or of the files a pattern such as
// "screen*.pcx" matches) left behind when the game was ended in the middle of one: regular
// files and links of the temporaries' names only, and of a link never what it points to.
void ClearStaleTemporaries(const char* name);

// Writes `size` bytes whole to `fd` and brings them to the disk; 0 with errno on failure.
int WriteWholeAndSync(int fd, const void* data, size_t size);
