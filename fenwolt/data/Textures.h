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

// One straight line drawn on a picture: the rectangle [x0, x1) x [y0, y1) in its pixels.
struct PictureLine {
    int x0, y0, x1, y1;
};
// The border, rules and plate edges of a front-end picture ("interface\\plain.jpg", ...), as
// they are drawn: the screens write their texts over these pictures at fixed places, and the
// lines must stay clear of them. Empty for a picture without such lines.
std::vector<PictureLine> MenuPictureLines(const std::string& file);

}  // namespace fwdata
