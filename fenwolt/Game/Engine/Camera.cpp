#include "fenwolt/Game/Engine/Camera.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cmath>

FieldCameraState FieldCamera;

namespace {

// Below this length a direction is treated as absent: normalising it would give NaN or a
// wildly wrong direction, and a NaN in the view vectors would blank the scene for good.
constexpr float kTinyLength = 1e-6f;

float Length(const D3DVECTOR& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

bool Same(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// How far a pair may stray past a bound and still count as within it: the rounding of a camera
// that was put exactly on a bound.
float BoundsSlack(const FieldCameraState& b) { return 1e-4f * (b.FieldLength + b.FieldWidth); }

// The least ground distance between eye and target at a given rise: the view may tilt no further
// than the pitch limit, and the eye may come no nearer than the zoom's near end.
float LeastGround(const FieldCameraState& b, float rise)
{
    const float pitch = std::clamp(b.MaxViewPitch, 0.0f, 1.5707963f);
    const float byPitch = std::fabs(rise) * std::cos(pitch) / std::max(std::sin(pitch), 1e-6f);
    const float byZoom = std::sqrt(std::max(0.0f, b.MinDistance * b.MinDistance - rise * rise));
    return std::max(byPitch, byZoom);
}

float MostGround(const FieldCameraState& b, float rise)
{
    return std::sqrt(std::max(0.0f, b.MaxDistance * b.MaxDistance - rise * rise));
}

// How far over a sight obstacle the line of sight passes, at the least: clear of its frame by
// more than rounding, in the field's own measure.
float SightMargin(const FieldCameraState& b) { return 2.5e-4f * (b.FieldLength + b.FieldWidth); }

// The highest the eye may stand over the target at a given ground distance: the view's tilt, the
// ceiling and the zoom's far end each set a limit.
float MostRise(const FieldCameraState& b, const D3DVECTOR& target, float ground)
{
    const float pitch = std::clamp(b.MaxViewPitch, 0.0f, 1.5707963f);
    return std::min({ground * std::tan(pitch), b.MaxEyeHeight - target.y, MostGround(b, ground)});
}

// The least rise of the eye over the target (eye height less target height) at which the line of
// sight passes over the obstacle, when the eye stands behind it (past the face it turns to the
// field) and looks at a point in front of it across its ground; else minus infinity. Infinity
// when no height clears it (the target right at its face).
float RiseToClear(const FieldCameraState& b, const FieldCameraState::SightObstacle& o, const D3DVECTOR& eye,
                  const D3DVECTOR& target)
{
    constexpr float kNone = -std::numeric_limits<float>::infinity();
    const float m = SightMargin(b);
    float eyeAlong = 0.0f, targetAlong = 0.0f, face = 0.0f;
    switch (o.Side) {
    case 0: eyeAlong = -eye.x, targetAlong = -target.x, face = -o.Max.x; break;
    case 1: eyeAlong = eye.x, targetAlong = target.x, face = o.Min.x; break;
    case 2: eyeAlong = -eye.z, targetAlong = -target.z, face = -o.Max.z; break;
    default: eyeAlong = eye.z, targetAlong = target.z, face = o.Min.z; break;
    }
    // Along the axis off the field: the eye beyond the face, the target on the field's side of it.
    if (!(eyeAlong > face) || !(targetAlong < face)) return kNone;
    // The share of the way from the target to the eye over which the ground line crosses the
    // obstacle's ground, widened by the margin.
    float enter = 0.0f, leave = 1.0f;
    const float from[2] = {target.x, target.z}, by[2] = {eye.x - target.x, eye.z - target.z};
    const float lo[2] = {o.Min.x - m, o.Min.z - m}, hi[2] = {o.Max.x + m, o.Max.z + m};
    for (int k = 0; k < 2; ++k) {
        if (std::fabs(by[k]) < 1e-9f) {
            if (from[k] < lo[k] || from[k] > hi[k]) return kNone;
            continue;
        }
        float t0 = (lo[k] - from[k]) / by[k], t1 = (hi[k] - from[k]) / by[k];
        if (t0 > t1) std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
    }
    if (!(enter <= leave)) return kNone;
    if (!(enter > 1e-6f)) return std::numeric_limits<float>::infinity();
    // The line is lowest over the obstacle at one end of that stretch.
    const float over = o.Max.y + m - target.y;
    return std::max(over / enter, over / leave);
}

// The rise the eye needs over the target to see past every sight obstacle, kept within what the
// view's limits allow; minus infinity when none stands in the way.
float RiseForObstacles(const FieldCameraState& b, const D3DVECTOR& eye, const D3DVECTOR& target)
{
    float needed = -std::numeric_limits<float>::infinity();
    for (int i = 0; i < std::min(b.SightObstacleCount, FieldCameraState::MAX_SIGHT_OBSTACLES); ++i)
        needed = std::max(needed, RiseToClear(b, b.SightObstacles[i], eye, target));
    if (needed == -std::numeric_limits<float>::infinity()) return needed;
    const float ground = std::sqrt((eye.x - target.x) * (eye.x - target.x) + (eye.z - target.z) * (eye.z - target.z));
    return std::min(needed, MostRise(b, target, ground));
}

// The share (0 to 1) of an offset d from `from` that stays within low..high (within the slack
// the whole of it does).
float ShareWithin(float from, float d, float low, float high, float slack)
{
    if (d == 0.0f) return 1.0f;  // nothing to draw in
    const float to = from + d;
    float share = 1.0f;
    if (to > high + slack) share = (high - from) / d;
    else if (to < low - slack) share = (low - from) / d;
    return std::clamp(share, 0.0f, 1.0f);
}

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

namespace {
// Runs a move of CameraEye and CameraTarget and keeps its result within the bounds
// (SettleCameraMove); true when the camera ends where the move put it.
template <class Move>
bool MoveCameraWithin(Move move)
{
    const D3DVECTOR oldEye = CameraEye, oldTarget = CameraTarget;
    move();
    return SettleCameraMove(oldEye, oldTarget);
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
        return;
    }
    SettleCameraMove(oldEye, oldTarget);
}

bool PanCamera(int code)
{
    D3DVECTOR f;
    if (!Normalised(D3DVECTOR{CameraTarget.x - CameraEye.x, CameraTarget.y - CameraEye.y, CameraTarget.z - CameraEye.z},
                    f))
        return false;
    f.y = 0.0f;
    D3DVECTOR move{0.f, 0.f, 0.f};
    switch (code) {
    case 8: move = f; break;
    case 2: move = D3DVECTOR{-f.x, 0.f, -f.z}; break;
    case 6:
    case 4: {
        D3DVECTOR s;
        // Looking straight down leaves no horizontal direction to step sideways from.
        if (!Normalised(CrossProduct(D3DVECTOR{f.x, 1.0f, f.z}, f), s)) return false;
        move = code == 6 ? s : D3DVECTOR{-s.x, -s.y, -s.z};
        break;
    }
    default: return false;
    }
    return MoveCameraWithin([&] {
        CameraEye.x += move.x;
        CameraEye.y += move.y;
        CameraEye.z += move.z;
        CameraTarget.x += move.x;
        CameraTarget.y += move.y;
        CameraTarget.z += move.z;
    });
}

void OrbitEyeAroundTargetBy(int flag, float elapsedSeconds)
{
    MoveCameraWithin([&] { OrbitAround(CameraEye, CameraTarget, flag, elapsedSeconds); });
}

void OrbitTargetAroundEyeBy(int flag, float elapsedSeconds)
{
    MoveCameraWithin([&] { OrbitAround(CameraTarget, CameraEye, flag, elapsedSeconds); });
}

void OrbitEyeAroundTarget(int flag) { OrbitEyeAroundTargetBy(flag, TheAppConstructed() ? TheApp.ElapsedTime : 0.0f); }
void OrbitTargetAroundEye(int flag) { OrbitTargetAroundEyeBy(flag, TheAppConstructed() ? TheApp.ElapsedTime : 0.0f); }

bool CameraInBounds(const D3DVECTOR& eye, const D3DVECTOR& target)
{
    const FieldCameraState& b = FieldCamera;
    if (!b.Bounded) return true;
    if (!Vec3Finite(eye) || !Vec3Finite(target)) return false;
    const float slack = BoundsSlack(b);
    if (target.x < -slack || target.x > b.FieldLength + slack || target.z < -slack || target.z > b.FieldWidth + slack)
        return false;
    if (target.y < -slack || target.y > b.MaxTargetHeight + slack) return false;
    if (eye.y < b.MinEyeHeight - slack || eye.y > b.MaxEyeHeight + slack) return false;
    if (eye.x < b.EyeMinX - slack || eye.x > b.EyeMaxX + slack || eye.z < b.EyeMinZ - slack || eye.z > b.EyeMaxZ + slack)
        return false;
    const float rise = eye.y - target.y;
    const float ground = std::sqrt((eye.x - target.x) * (eye.x - target.x) + (eye.z - target.z) * (eye.z - target.z));
    const float distance = std::sqrt(ground * ground + rise * rise);
    if (distance < b.MinDistance - slack || distance > b.MaxDistance + slack) return false;
    if (ground < LeastGround(b, rise) - slack) return false;
    return !(rise < RiseForObstacles(b, eye, target) - slack);
}

void KeepCameraInBounds(D3DVECTOR& eye, D3DVECTOR& target)
{
    const FieldCameraState& b = FieldCamera;
    if (!b.Bounded) return;
    // A value within the slack of its range counts as within it, as CameraInBounds counts it, so
    // that a pair this has brought within the bounds is left alone the next time.
    const float slack = BoundsSlack(b);
    bool changed = false;
    auto clampInto = [&changed, slack](float& v, float low, float high, float fallback) {
        high = std::max(low, high);
        if (!std::isfinite(v)) {
            v = fallback;
        } else if (v < low - slack) {
            v = low;
        } else if (v > high + slack) {
            v = high;
        } else {
            return;
        }
        changed = true;
    };
    // The eye as an offset from the target, taken before the target is brought back onto the
    // field, so that the eye goes along and the view keeps its direction and height over what it
    // looks at. Without a sound pair the eye looks along +x.
    float dx = eye.x - target.x, dy = eye.y - target.y, dz = eye.z - target.z;
    if (!Vec3Finite(eye) || !Vec3Finite(target)) {
        dx = -b.MinDistance;
        dy = 0.0f;
        dz = 0.0f;
        changed = true;
    }
    clampInto(target.x, 0.0f, b.FieldLength, b.FieldLength * 0.5f);
    clampInto(target.z, 0.0f, b.FieldWidth, b.FieldWidth * 0.5f);
    clampInto(target.y, 0.0f, b.MaxTargetHeight, 0.0f);
    clampInto(dy, b.MinEyeHeight - target.y, b.MaxEyeHeight - target.y, 0.0f);

    // The ground part: far enough for the pitch and the zoom's near end, near enough for its far
    // end. When the height asks for more than the far end allows, the height wins.
    const float ground = std::sqrt(dx * dx + dz * dz);
    const float least = LeastGround(b, dy), most = std::max(least, MostGround(b, dy));
    float wanted = ground;
    clampInto(wanted, least, most, least);
    if (!(wanted == ground)) {
        float ux = -1.0f, uz = 0.0f;  // straight above the target: seen from the low-x side
        if (ground > 1e-6f) {
            ux = dx / ground;
            uz = dz / ground;
        }
        dx = ux * wanted;
        dz = uz * wanted;
        changed = true;
    }

    // An eye outside its box comes in along the line of sight to the box's edge: the view keeps
    // its direction and its angle. Only a height that then falls below the floor is raised.
    const float inward = std::min(ShareWithin(target.x, dx, b.EyeMinX, b.EyeMaxX, slack),
                                  ShareWithin(target.z, dz, b.EyeMinZ, b.EyeMaxZ, slack));
    if (inward < 1.0f) {
        dx *= inward;
        dy *= inward;
        dz *= inward;
        clampInto(dy, b.MinEyeHeight - target.y, b.MaxEyeHeight - target.y, 0.0f);
        changed = true;
    }

    // Last, over any sight obstacle: straight up, so the view keeps its heading and its ground
    // distance and only looks down more steeply.
    const float over = RiseForObstacles(b, D3DVECTOR{target.x + dx, target.y + dy, target.z + dz}, target);
    if (dy < over - slack) {
        dy = over;
        changed = true;
    }
    if (changed) eye = D3DVECTOR{target.x + dx, target.y + dy, target.z + dz};
}

void FitEyeBoundsToScenery()
{
    FieldCameraState& b = FieldCamera;
    const FieldCameraState open;
    b.EyeMinX = open.EyeMinX;
    b.EyeMaxX = open.EyeMaxX;
    b.EyeMinZ = open.EyeMinZ;
    b.EyeMaxZ = open.EyeMaxZ;
    b.SightObstacleCount = 0;
    if (!TheAppConstructed()) return;
    const float t = std::tan(FieldOfView * 0.5f);
    const float reach = NearPlane * std::sqrt(1.0f + t * t * (1.0f + ProjectionAspect * ProjectionAspect));
    for (const ModelInstance& m : TheApp.InstanceTable) {
        if (!m.InUse) continue;
        // The world box as the instance was placed (scenery does not move afterwards).
        D3DVECTOR lo = m.BoxPoints[1][0], hi = lo;
        for (const D3DVECTOR& p : m.BoxPoints[1]) {
            lo = D3DVECTOR{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = D3DVECTOR{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        // The ground, and whatever is as large as the field, neither close nor stand in the way.
        if (!(hi.y > 0.0f) || !Vec3Finite(lo) || !Vec3Finite(hi)) continue;
        if (hi.x - lo.x > 0.5f * b.FieldLength || hi.z - lo.z > 0.5f * b.FieldWidth) {
            // Unless wholly off the field: a stand along a whole side.
            if (!(hi.x < 0.0f || lo.x > b.FieldLength || hi.z < 0.0f || lo.z > b.FieldWidth)) continue;
        }
        // The side of the field it stands off, by the widest gap (a piece off a corner closes
        // one side only); standing over the field's edge, the side it is nearest.
        const float gaps[4] = {-hi.x, lo.x - b.FieldLength, -hi.z, lo.z - b.FieldWidth};
        const int side = int(std::max_element(gaps, gaps + 4) - gaps);
        if (!(gaps[side] > 0.0f)) {
            if (b.SightObstacleCount < FieldCameraState::MAX_SIGHT_OBSTACLES)
                b.SightObstacles[b.SightObstacleCount++] = FieldCameraState::SightObstacle{lo, hi, side};
            continue;
        }
        switch (side) {
        case 0: b.EyeMinX = std::max(b.EyeMinX, std::min(hi.x + reach, 0.0f)); break;
        case 1: b.EyeMaxX = std::min(b.EyeMaxX, std::max(lo.x - reach, b.FieldLength)); break;
        case 2: b.EyeMinZ = std::max(b.EyeMinZ, std::min(hi.z + reach, 0.0f)); break;
        default: b.EyeMaxZ = std::min(b.EyeMaxZ, std::max(lo.z - reach, b.FieldWidth)); break;
        }
    }
}

bool SettleCameraMove(const D3DVECTOR& oldEye, const D3DVECTOR& oldTarget)
{
    if (!CameraInBounds(CameraEye, CameraTarget)) {
        if (CameraInBounds(oldEye, oldTarget)) {
            CameraEye = oldEye;
            CameraTarget = oldTarget;
        } else {
            KeepCameraInBounds(CameraEye, CameraTarget);
        }
    }
    return !Same(CameraEye, oldEye) || !Same(CameraTarget, oldTarget);
}

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
