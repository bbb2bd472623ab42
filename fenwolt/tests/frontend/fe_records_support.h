// The records a saved game, a team file and the options file carry, walked field by field: a
// stamp gives every field a value of its own, within the range its reader accepts, and an image
// copies every field out under its name. A round trip then compares the images field by field,
// so that a field swapped, dropped or shifted on its way through a file is named.
#pragma once

#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class FieldVisitor {
public:
    virtual ~FieldVisitor() = default;
    virtual void Int(const std::string& name, int32_t& v, int32_t low, int32_t high) = 0;
    virtual void Choice(const std::string& name, int32_t& v, std::initializer_list<int32_t> values) = 0;
    // An index into the instance table: `slot` tells the records' instances apart.
    virtual void Instance(const std::string& name, int32_t& v, int32_t slot) = 0;
    virtual void Switch(const std::string& name, int32_t& v) = 0;
    virtual void Flag(const std::string& name, uint8_t& v) = 0;
    virtual void Float(const std::string& name, float& v) = 0;
    virtual void FloatIn(const std::string& name, float& v, float low, float high) = 0;
    // A zero-terminated text of at most `keep` characters in a field of `size` bytes.
    virtual void Text(const std::string& name, char* v, size_t size, size_t keep) = 0;
    virtual void Bytes(const std::string& name, uint8_t* v, size_t size) = 0;
};

// Every field of the game that a saved game keeps: the match records and globals, the players'
// and the ball's poses in the instances their records name, the squads, the competition and the
// settings. The application must be constructed (the poses live in its instance table), and the
// kit list must hold at least four kits.
void WalkSavedGame(FieldVisitor& visit);
void WalkTeam(FieldVisitor& visit, TeamStagingCopy& team);
void WalkOptions(FieldVisitor& visit, OptionsRecord& options);
// Every instance's pose to values that no stamp and no file gives, so that a pose a load leaves
// out shows, whichever instance it belongs to.
void ScrubPoses();

// The round trip of every field that `walk` reaches, once for each page of on/off values: the
// fields stamped with their saved values, `save`, `scrub` (when given) and every field given
// another value, `load`. What went wrong in the first round that went wrong (empty when every
// field came back as saved in every round), and how many fields there are.
struct RoundTripResult {
    std::string faults;
    int32_t fields = 0;
};
RoundTripResult RoundTripEveryField(const std::function<void(FieldVisitor&)>& walk, const std::function<bool()>& save,
                                    const std::function<bool()>& load, const std::function<void()>& scrub = {});
