// Contact sheets: a small software rasteriser that draws meshes as the game's camera would
// see them (left-handed, clockwise faces in front), so a person can look at the data set.
#pragma once

#include <vector>

#include "fenwolt/data/Image.h"
#include "fenwolt/data/Mesh.h"

namespace fwdata {

// Renders mesh (optionally with replaced vertex positions) into a w x h picture, looking
// along `view` (yaw and pitch in radians), lit from the upper left, textured when given.
Image RenderMesh(const Mesh& m, const std::vector<Vec3>* positions, const Image* texture, int w, int h, float yaw,
                 float pitchAngle, uint32_t background);
// One mesh placed in the world the way a model instance places it: turned about y by ry
// (radians), scaled, then moved to (x, y, z).
struct SceneItem {
    const Mesh* mesh;
    const std::vector<Vec3>* positions;   // animated frame, or null
    const Image* texture;
    float x, y, z, ry, scale;
};
// A perspective view (left-handed, field of view fovY) of the placed meshes.
Image RenderScene(const std::vector<SceneItem>& items, Vec3 eye, Vec3 target, float fovY, int w, int h,
                  uint32_t clearColour);
// Lays pictures out in a grid with a caption strip under each.
Image ContactGrid(const std::vector<Image>& tiles, const std::vector<std::string>& captions, int columns, int tileW,
                  int tileH);

}  // namespace fwdata
