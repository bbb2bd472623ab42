// Sprite sheets under construction: pictures packed onto one image, with the frame list
// (.frm) and the animation script (.anm) that describe them.
#pragma once

#include "skerrow/data/GenCommon.h"

namespace gen {

struct FrameDef {
    std::string name;
    int x = 0, y = 0, w = 0, h = 0, ox = 0, oy = 0;
};

struct Anim {
    std::string name;
    std::vector<std::pair<std::string, int>> frames;  // frame name, extra ticks held
    bool loop = true;
    int offX = 0, offY = 0;  // drawing offset carried by every frame of the animation
};

class Sheet {
public:
    explicit Sheet(int width = 512) : width_(width) {}
    // Packs a picture onto the sheet; ox, oy become the frame's "offsxy".
    void Add(const std::string& name, const Canvas& c, int ox = 0, int oy = 0);
    // A frame over a place of the sheet already used (another name for the same picture).
    void Alias(const std::string& name, const std::string& of, int ox, int oy);
    const std::vector<FrameDef>& Frames() const { return frames_; }
    Canvas Build() const;
    std::string Frm() const;
    std::string Anm(const std::vector<Anim>& anims) const;

private:
    int width_;
    int cx_ = 0, cy_ = 0, rowH_ = 0;
    std::vector<FrameDef> frames_;
    std::vector<std::pair<int, Canvas>> pieces_;  // frame index, picture
};

}  // namespace gen
