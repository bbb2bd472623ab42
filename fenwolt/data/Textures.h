// Every picture of the data set: the 3D textures, the kits, the HUD pieces, the front-end
// pictures and cursors.
#pragma once

#include <string>
#include <vector>

#include "fenwolt/data/Image.h"

namespace fwdata {

enum class PicFormat { Tga24, Tga32, Jpeg };

struct Picture {
    std::string file;   // as the game names it, e.g. "textures\\ball.tga"
    Image image;
    PicFormat format;
    bool lowQualityTwin;   // "textures\\" files also get a "texture2\\" copy
};

// Kit file names (without "kit\\"), in the order the kit list finds them.
std::vector<std::string> KitNames();

std::vector<Picture> BuildPictures();

}  // namespace fwdata
