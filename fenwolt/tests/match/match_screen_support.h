// Drives the match screen's code the way the game does, with or without a device: the
// application object in a scratch directory that sees the generated data set, the match built
// by its own builder, orders given through the same functions the click handlers call, and the
// match stepped through its update handler with a fixed step. Shared by the match tests and the
// match benchmark (no GoogleTest in here).
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace matchdrive {

std::filesystem::path DataSetDir();

// The application object in a scratch copy of the data set's folders. Without a device the
// meshes are read for their geometry only; with one (offscreen window, software rasteriser) the
// game's own resource lists load them.
class MatchApp {
public:
    // False when the data set is missing or (with a device) the device cannot be made.
    bool Open(bool withDevice);
    void Close();
    ~MatchApp() { Close(); }
    bool HasDevice() const;
    const std::filesystem::path& Dir() const { return dir_; }
    std::string error;

private:
    std::filesystem::path dir_, old_;
    bool open_ = false;
};

struct MatchOptions {
    uint32_t seed = 1;
    int32_t managers = 1;
    int32_t minutesPerHalf = 45;
    int32_t gameMode = 0;
    bool network = false;  // a two-computer game with nobody on the other end
    bool networkHost = true;
    bool beginnersCamera = false;
    // How long a manager thinks before he gives his orders and ends the turn (seconds of frames).
    float planningSeconds = 0.f;
};

// Default squads, the settings, the seed, then the match screen through SetScreen.
void StartMatch(const MatchOptions& options);

// One frame of the match screen's update handler.
void Frame(float seconds);

// --- Orders, as the click handlers give them ----------------------------------------------------
void Select(int32_t player);
// The selected player runs to (x, z): a left press and release on open pitch.
void OrderRun(int32_t player, float x, float z);
// The selected ball holder kicks at (x, z): Pass, then press on the aim, drag up and sideways
// by the given pixels, release.
void OrderKick(int32_t player, float x, float z, int32_t loftPixels = 0, int32_t bendPixels = 0);
// The selected player (without the ball) jumps where he stands, facing (x, z): a press on him
// and a release on the point.
void OrderJump(int32_t player, float x, float z);
void EndTurn();

// --- Checks ---------------------------------------------------------------------------------------
// A hash of the match as it stands: the records, the scalar globals and the positions of the
// players and the ball; timers and the camera are left out.
uint64_t HashMatch();
// Empty when the match state is sound; else what is wrong.
std::string CheckInvariants();

// --- Whole matches ----------------------------------------------------------------------------------
enum class HomeScript { Passive, Chasing, Random };

struct MatchReport {
    int32_t homeGoals = 0, awayGoals = 0;
    int32_t fullTurns = 0;
    int64_t steps = 0;
    bool fullTime = false;
    std::string failure;       // the first broken invariant or a hang
    int32_t longestRestart = 0;  // full turns the longest restart waited
    int32_t longestRestartOf[2] = {0, 0};  // the same by the side the restart was given to
    // The same by the side and the stop state of the restart (2 throw-in, 3 goal kick, 4 corner,
    // 8 offside, 9 foul or penalty).
    int32_t longestRestartOfKind[2][10] = {};
    int32_t restarts = 0;
    std::vector<uint64_t> turnHashes;  // one per full turn
    double simulatedSeconds = 0.0;
};

// The home side played by a script, the away side by the computer (or by the passive script
// with two managers), from kick-off to full time; `step` is the frame time.
MatchReport PlayMatch(const MatchOptions& options, HomeScript script, float step, int64_t stepLimit = 4000000,
                      bool checkEveryStep = true);

// The home script's orders for the present planning phase.
void PlayHomeTurn(HomeScript script, std::mt19937& rng);
// Orders for whichever side is to plan when two managers play: the restart taker walks to the
// ball and passes, the nearest player chases.
void PlaySideSimply(int32_t side, std::mt19937& rng, bool chase);

}  // namespace matchdrive
