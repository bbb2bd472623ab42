#include "fenwolt/Game/Engine/Camera.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

FieldCameraState FieldCamera;

namespace {

// Below this length a direction is treated as absent: normalising it would give NaN or a
// wildly wrong direction, and a NaN in the view vectors would blank the scene for good.
constexpr float kTinyLength = 1e-6f;

float Length(const D3DVECTOR& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

bool Normalised(const D3DVECTOR& v, D3DVECTOR& out)
{
    float len = Length(v);
    if (!(len > kTinyLength)) return false;
    out = D3DVECTOR{v.x / len, v.y / len, v.z / len};
    return true;
}

// Turns `mover` about the vertical axis through `pivot`; its height stays.
void OrbitAround(D3DVECTOR& mover, const D3DVECTOR& pivot, int flag, float elapsedSeconds)
{
    D3DVECTOR v{mover.x - pivot.x, 0.0f, mover.z - pivot.z};
    float angle = 3.14159265358979f * elapsedSeconds;
    if (flag == 0) angle = -angle;
    D3DMATRIX rotation;
    SetRotateYMatrix(rotation, angle);
    D3DVECTOR turned;
    if (FAILED(VectorMatrixMultiply(turned, v, rotation))) return;
    mover.x = pivot.x + turned.x;
    mover.z = pivot.z + turned.z;
}

}  // namespace

void ZoomCameraStep(int direction)
{
    D3DVECTOR n;
    if (!Normalised(D3DVECTOR{CameraEye.x - CameraTarget.x, CameraEye.y - CameraTarget.y, CameraEye.z - CameraTarget.z},
                    n))
        return;  // eye on the target: no direction to zoom along
    const D3DVECTOR oldEye = CameraEye, oldTarget = CameraTarget;
    const float step = direction != 0 ? -FieldCamera.ZoomStep : FieldCamera.ZoomStep;
    const D3DVECTOR move{n.x * step, n.y * step, n.z * step};
    CameraEye.x += move.x;
    CameraEye.y += move.y;
    CameraEye.z += move.z;
    if (oldTarget.y >= oldEye.y) {
        CameraTarget.x += move.x;
        CameraTarget.y += move.y;
        CameraTarget.z += move.z;
    }
    if (CameraEye.y < CAMERA_MIN_EYE_HEIGHT) {
        CameraEye = oldEye;
        CameraTarget = oldTarget;
    }
}

void PanCamera(int code)
{
    D3DVECTOR f;
    if (!Normalised(D3DVECTOR{CameraTarget.x - CameraEye.x, CameraTarget.y - CameraEye.y, CameraTarget.z - CameraEye.z},
                    f))
        return;
    f.y = 0.0f;
    D3DVECTOR move{0.f, 0.f, 0.f};
    switch (code) {
    case 8: move = f; break;
    case 2: move = D3DVECTOR{-f.x, 0.f, -f.z}; break;
    case 6:
    case 4: {
        D3DVECTOR s;
        // Looking straight down leaves no horizontal direction to step sideways from.
        if (!Normalised(CrossProduct(D3DVECTOR{f.x, 1.0f, f.z}, f), s)) return;
        move = code == 6 ? s : D3DVECTOR{-s.x, -s.y, -s.z};
        break;
    }
    default: return;
    }
    CameraEye.x += move.x;
    CameraEye.y += move.y;
    CameraEye.z += move.z;
    CameraTarget.x += move.x;
    CameraTarget.y += move.y;
    CameraTarget.z += move.z;
}

void OrbitEyeAroundTargetBy(int flag, float elapsedSeconds) { OrbitAround(CameraEye, CameraTarget, flag, elapsedSeconds); }
void OrbitTargetAroundEyeBy(int flag, float elapsedSeconds) { OrbitAround(CameraTarget, CameraEye, flag, elapsedSeconds); }

void OrbitEyeAroundTarget(int flag) { OrbitEyeAroundTargetBy(flag, TheAppConstructed() ? TheApp.ElapsedTime : 0.0f); }
void OrbitTargetAroundEye(int flag) { OrbitTargetAroundEyeBy(flag, TheAppConstructed() ? TheApp.ElapsedTime : 0.0f); }

float Distance3D(float ax, float ay, float az, float bx, float by, float bz)
{
    const float dx = ax - bx, dy = ay - by, dz = az - bz;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float DistanceXZ(float ax, float, float az, float bx, float, float bz)
{
    const float dx = ax - bx, dz = az - bz;
    return std::sqrt(dx * dx + dz * dz);
}
