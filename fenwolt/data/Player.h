// The footballer: a low-poly mesh carried by a small skeleton, and the twelve vertex
// animations posed on that skeleton and skinned onto the mesh in its own vertex order.
#pragma once

#include <string>
#include <vector>

#include "fenwolt/data/Mesh.h"

namespace fwdata {

// Texture layout shared by every body texture (kits, goalkeeper, default sides): where
// each part of the body takes its colours, in 0..1 texture units (v downwards).
struct KitLayout {
    static constexpr float kShirtU0 = 0.0f, kShirtU1 = 0.5f, kShirtV0 = 0.0f, kShirtV1 = 0.36f;
    static constexpr float kSleeveV0 = 0.36f, kSleeveV1 = 0.5f;
    static constexpr float kShortsU0 = 0.5f, kShortsU1 = 1.0f, kShortsV0 = 0.0f, kShortsV1 = 0.22f;
    static constexpr float kSockU0 = 0.5f, kSockU1 = 1.0f, kSockV0 = 0.25f, kSockV1 = 0.5f;
    static constexpr float kBootU0 = 0.0f, kBootU1 = 0.25f, kBootV0 = 0.5f, kBootV1 = 0.75f;
    static constexpr float kSkinU0 = 0.25f, kSkinU1 = 0.75f, kSkinV0 = 0.5f, kSkinV1 = 0.75f;
    static constexpr float kLimbU0 = 0.25f, kLimbU1 = 0.75f, kLimbV0 = 0.78f, kLimbV1 = 0.97f;
    static constexpr float kHairU0 = 0.75f, kHairU1 = 1.0f, kHairV0 = 0.5f, kHairV1 = 0.75f;
};

struct Animation {
    std::string file;                 // e.g. "stand.anx"
    std::vector<int> durations;       // ticks per frame
    std::vector<std::vector<Vec3>> frames;
};

Mesh BuildPlayerMesh();
// The twelve animations in the match's slot order: stand, prun, pass, jump, tackle, shoot,
// volley, celeb, throwin, gjumpr, gjumpl, pturn.
std::vector<Animation> BuildPlayerAnimations(const Mesh& player);
std::vector<unsigned char> EncodeAnx(const Animation& a, uint32_t vertexCount);

}  // namespace fwdata
