// Every mesh of the data set apart from the footballer, the stadium's placement list and
// the pitch geometry they share with the textures.
#pragma once

#include <string>
#include <vector>

#include "fenwolt/data/Mesh.h"

namespace fwdata {

// The pitch as the match rules measure it (pitch units, x along, z across, y up).
namespace pitch {
constexpr float kGoalLineLow = 4.5f, kGoalLineHigh = 114.55f;
constexpr float kTouchLow = 4.58f, kTouchHigh = 79.54f;
constexpr float kMouthLow = 38.29f, kMouthHigh = 47.09f, kCrossbar = 2.56f;
constexpr float kCentreX = 59.47f, kCentreZ = 42.08f;
constexpr float kPenaltyLow = 20.94f, kPenaltyHigh = 98.07f, kPenaltyZ0 = 21.94f, kPenaltyZ1 = 62.14f;
constexpr float kSpotLow = 15.51f, kSpotHigh = 103.45f;
constexpr float kPostThickness = 0.12f;
constexpr float kGoalDepth = 2.2f;
// The grass mesh and its texture cover this rectangle of the ground.
constexpr float kGrassX0 = -5.975f, kGrassX1 = 125.025f, kGrassZ0 = -5.94f, kGrassZ1 = 90.06f;
// Where a second goal-frame set goes: turned half a circle about y at this point, it
// mirrors the low-x goal onto the high-x one.
constexpr float kMirrorX = kGoalLineLow + kGoalLineHigh, kMirrorZ = kMouthLow + kMouthHigh;
}  // namespace pitch

struct NamedMesh {
    std::string file;   // as the game names it, e.g. "xdata\\ball.x"
    Mesh mesh;
};

std::vector<NamedMesh> BuildSceneMeshes();

struct Placement {
    std::string mesh, texture;
    float x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0, scale = 1;
    int translucent = 0, kind = 11;
};
std::vector<Placement> StadiumPlacements();
std::string FormatPlacementList(const std::vector<Placement>& list);   // 31 fields a record, CR LF

// Letters on the faces of the two intro blocks, in the order -z, +z, -x, +x, +y, -y.
extern const char kBlockFacesFront[7];
extern const char kBlockFacesBack[7];
extern const char kBlockAtlas[17];   // the 4 x 4 tiles of the block texture, row by row

}  // namespace fwdata
