// The squad record as saved files and network messages carry it: field by field, in the order
// of the stored record, so its bytes are the record's own layout on any host.
#pragma once

#include "fenwolt/Game/ByteStream.h"
#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstddef>

// How a player's name field goes out: a saved file keeps the record's bytes as they stand; a
// message carries the name cut to its field and zero-filled, so that no stray byte travels.
enum class NameBytes { AsStored, AsText };

void WriteSquadStats(ByteWriter& w, const SquadStats& s);
void ReadSquadStats(ByteReader& r, SquadStats& s);

void WriteSquad(ByteWriter& w, const TeamSquad& squad, NameBytes names);
// Each name keeps at most `nameLength` characters; the values are read as they stand, the
// caller judges their ranges.
void ReadSquad(ByteReader& r, TeamSquad& squad, size_t nameLength);
