// The field camera's interactive moves (zoom, pan, orbit) on the three view vectors CameraEye,
// CameraTarget and CameraUp, and the two distance measures the match code uses.
#pragma once

#include "platform/d3d8/d3d8types.h"

#include <cstdint>

struct FieldCameraState {
    float ZoomStep = 10.0f;
    float Distance = 420.0f;
    int32_t ViewDirection = 5;
    float FieldLength = 3200.0f;
    float FieldWidth = 1600.0f;
};
extern FieldCameraState FieldCamera;

// The eye never goes lower than this: a zoom step that would take it lower is undone.
constexpr float CAMERA_MIN_EYE_HEIGHT = 5.0f;

// Non-zero direction: one step towards the target; zero: one step away.
void ZoomCameraStep(int direction);
// 8 forward, 2 back, 6 right, 4 left along the ground; other codes do nothing.
void PanCamera(int code);
// Half a turn per second of frame time; flag 0 turns the other way. The "By" forms take the
// frame time explicitly, the plain forms read the application's elapsed time.
void OrbitEyeAroundTarget(int flag);
void OrbitTargetAroundEye(int flag);
void OrbitEyeAroundTargetBy(int flag, float elapsedSeconds);
void OrbitTargetAroundEyeBy(int flag, float elapsedSeconds);

float Distance3D(float ax, float ay, float az, float bx, float by, float bz);
float DistanceXZ(float ax, float ay, float az, float bx, float by, float bz);
