// Files of the saves folder are replaced whole or not at all.
#pragma once

#include <cstddef>
#include <string>

// Why a file could not be written, in the terms a player can act on.
enum class WriteFault {
    None,
    NoSpace,       // the disk (or the player's share of it) is full
    NoPermission,  // the folder or the file may not be written
    ReadOnlyDisk,  // the disk itself takes no writing (mounted read-only, write-protected)
    Other,
};

// The temporary through which this process replaces `name`: beside it, and named after the
// process, so that two copies of the game saving into one slot never write into one file.
std::string TemporaryNameOf(const char* name);

// Writes `data` to its temporary beside `name` and only once it is whole on the disk gives it
// `name`, so that a failed write leaves the earlier file as it was (and no temporary behind).
// The temporary is a file of its own, made new: whatever stood at its name (a file left by a
// write that was stopped, a link to somewhere else) is removed first, never written through.
// Makes the saves folder when it is missing. On failure `why`, when given, says what stopped it.
bool ReplaceFileWhole(const char* name, const void* data, size_t size, WriteFault* why = nullptr);

// Removes the temporaries of `name` that writes of any copy of the game left when they were
// stopped (files and links; a folder is none of ours and stays).
void RemoveLeftoverTemporariesOf(const char* name);

// One line for the player on a write that failed ("There is no space left on the disk.").
const char* WriteFaultText(WriteFault fault);
