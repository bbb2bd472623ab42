// The field camera's interactive moves (zoom, pan, orbit) on the three view vectors CameraEye,
// CameraTarget and CameraUp, the bounds a screen may keep the camera within, and the two
// distance measures the match code uses.
#pragma once

#include "platform/d3d8/d3d8types.h"

#include <cstdint>
#include <limits>

struct FieldCameraState {
    float ZoomStep = 10.0f;
    float Distance = 420.0f;
    int32_t ViewDirection = 5;
    float FieldLength = 3200.0f;
    float FieldWidth = 1600.0f;

    // The bounds below hold only once a screen that plays on the field switches them on (the
    // match, in its own units). Within them the look-at point stays over the field (x 0 to
    // FieldLength, z 0 to FieldWidth) and no higher than MaxTargetHeight; the eye stays between
    // MinEyeHeight and MaxEyeHeight above the ground and, on the ground, within the eye's box
    // (EyeMinX to EyeMaxX, EyeMinZ to EyeMaxZ: the open space the scenery leaves around the
    // field, see FitEyeBoundsToScenery; unbounded until fitted); the eye-to-target distance, the
    // zoom, stays between MinDistance and MaxDistance; and the view never tilts further than
    // MaxViewPitch (radians) from the horizontal: looking straight down or up leaves the look-at
    // view without a defined roll, so the picture would spin as the camera passes over its target.
    // The eye's box is expected to hold the field with room for the zoom's near end around it.
    // Scenery that stands over the field's edge (a goal) is a sight obstacle: from behind it (past
    // the face it turns to the field) the eye never looks at a point in front of it through it,
    // but rises over it, as far as the view's tilt and the ceiling let it.
    bool Bounded = false;
    float MaxTargetHeight = 1600.0f;
    float MinEyeHeight = 5.0f;
    float MaxEyeHeight = 3200.0f;
    float MinDistance = 10.0f;
    float MaxDistance = 3200.0f;
    float MaxViewPitch = 1.3962634f;  // 80 degrees
    float EyeMinX = -std::numeric_limits<float>::infinity(), EyeMaxX = std::numeric_limits<float>::infinity();
    float EyeMinZ = -std::numeric_limits<float>::infinity(), EyeMaxZ = std::numeric_limits<float>::infinity();
    static constexpr int MAX_SIGHT_OBSTACLES = 8;
    struct SightObstacle {
        D3DVECTOR Min, Max;  // its box
        int32_t Side;        // the field's edge it stands over: 0 low x, 1 high x, 2 low z, 3 high z
    };
    SightObstacle SightObstacles[MAX_SIGHT_OBSTACLES] = {};
    int32_t SightObstacleCount = 0;
};
extern FieldCameraState FieldCamera;

// The eye never goes lower than this: a zoom step that would take it lower is undone.
constexpr float CAMERA_MIN_EYE_HEIGHT = 5.0f;

// Non-zero direction: one step towards the target; zero: one step away.
void ZoomCameraStep(int direction);
// 8 forward, 2 back, 6 right, 4 left along the ground; other codes do nothing. True when the
// camera moved (false for other codes, and for a pan the bounds refuse).
bool PanCamera(int code);
// Half a turn per second of frame time; flag 0 turns the other way. The "By" forms take the
// frame time explicitly, the plain forms read the application's elapsed time.
void OrbitEyeAroundTarget(int flag);
void OrbitTargetAroundEye(int flag);
void OrbitEyeAroundTargetBy(int flag, float elapsedSeconds);
void OrbitTargetAroundEyeBy(int flag, float elapsedSeconds);

// True when the pair lies within FieldCamera's bounds (always while they are off).
bool CameraInBounds(const D3DVECTOR& eye, const D3DVECTOR& target);
// Brings the pair within the bounds; a pair already within them is left exactly as it is. The
// look-at point comes back onto the field and the eye goes along; the eye's height, distance and
// angle each move as little as they can; an eye outside its box is drawn in along the line of
// sight, so the view keeps its direction and angle and only comes nearer; an eye that would look
// through a sight obstacle rises straight up until it looks over it. Values that are not numbers
// are replaced. Nothing while off.
void KeepCameraInBounds(D3DVECTOR& eye, D3DVECTOR& target);
// Closes the eye's box around the field against the scenery in the scene now: each model
// instance that rises off the ground and stands wholly off the field on one side (a stand, and
// the boards before it too: from behind, a board low in front of the eye fills the bottom of the
// picture with its back) closes that side at its near face, less the reach of the near plane's
// corners from the eye, so that the near plane never cuts into the scenery and shows its inside.
// The box never closes over the field itself. Scenery that rises off the ground over the field's
// edge (a goal) becomes a sight obstacle; the ground itself and anything as large as half the
// field are neither.
void FitEyeBoundsToScenery();
// After a move of CameraEye and CameraTarget from (oldEye, oldTarget): a move that leaves the
// bounds is undone, as a zoom below the eye's floor is; a camera that was outside them already
// is brought within. True when the camera ends where the move put it.
bool SettleCameraMove(const D3DVECTOR& oldEye, const D3DVECTOR& oldTarget);

float Distance3D(float ax, float ay, float az, float bx, float by, float bz);
float DistanceXZ(float ax, float ay, float az, float bx, float by, float bz);
