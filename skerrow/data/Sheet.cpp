#include "skerrow/data/Sheet.h"

#include <algorithm>
#include <stdexcept>

namespace gen {

void Sheet::Add(const std::string& name, const Canvas& c, int ox, int oy) {
    if (name.size() > 31) throw std::runtime_error("frame name too long: " + name);
    if (cx_ + c.Width() > width_) {
        cx_ = 0;
        cy_ += rowH_;
        rowH_ = 0;
    }
    FrameDef f{name, cx_, cy_, c.Width(), c.Height(), ox, oy};
    pieces_.push_back({int(frames_.size()), c});
    frames_.push_back(f);
    cx_ += c.Width();
    rowH_ = std::max(rowH_, c.Height());
}

void Sheet::Alias(const std::string& name, const std::string& of, int ox, int oy) {
    for (const FrameDef& f : frames_)
        if (f.name == of) {
            FrameDef a = f;
            a.name = name;
            a.ox = ox;
            a.oy = oy;
            frames_.push_back(a);
            return;
        }
    throw std::runtime_error("no frame " + of);
}

Canvas Sheet::Build() const {
    int w = 0, h = 0;
    for (const FrameDef& f : frames_) {
        w = std::max(w, f.x + f.w);
        h = std::max(h, f.y + f.h);
    }
    // Even widths: the display layer warns about odd ones.
    Canvas out(std::max(w + (w & 1), 2), std::max(h, 1));
    for (const auto& [index, c] : pieces_) out.Paste(c, frames_[index].x, frames_[index].y, false);
    out.KeyTransparent(RGB(0, 0, 0));
    return out;
}

std::string Sheet::Frm() const {
    std::string s;
    for (size_t i = 0; i < frames_.size(); ++i) {
        const FrameDef& f = frames_[i];
        s += "[Sprite " + std::to_string(i + 1) + "]\nname = " + f.name + "\nrectsx = " +
             std::to_string(f.x) + ", " + std::to_string(f.y) + ", " + std::to_string(f.w) + ", " +
             std::to_string(f.h) + "\noffsxy = " + std::to_string(f.ox) + ", " + std::to_string(f.oy) +
             "\n\n";
    }
    return s;
}

std::string Sheet::Anm(const std::vector<Anim>& anims) const {
    if (frames_.size() > 128 || anims.size() > 64) throw std::runtime_error("animation set too big");
    std::string s = "// frames of the sheet, then the animations over them\n*ALL_FRAMES\n{\n";
    for (const FrameDef& f : frames_)
        s += "  *F " + f.name + ", " + std::to_string(f.x) + ", " + std::to_string(f.y) + ", " +
             std::to_string(f.w) + ", " + std::to_string(f.h) + "\n";
    s += "}\n\n";
    for (const Anim& a : anims) {
        // The reader keeps 256 commands of an animation: each frame makes its two offsets, the
        // frame and the pause for its ticks.
        size_t commands = a.loop ? 1 : 0;
        for (const auto& frame : a.frames) commands += frame.second > 0 ? 4 : 3;
        if (commands > 256) throw std::runtime_error("animation " + a.name + " is longer than 256 commands");
        s += "*ANIMATION " + a.name + "\n{\n";
        for (const auto& [frame, ticks] : a.frames) {
            bool known = false;
            for (const FrameDef& f : frames_) known = known || f.name == frame;
            if (!known) throw std::runtime_error("animation " + a.name + " names no frame " + frame);
            const std::string offset =
                a.offX || a.offY ? std::to_string(a.offX) + ", " + std::to_string(a.offY) + ", " : "";
            s += "  *FRAME " + offset + frame + (ticks > 0 ? ", " + std::to_string(ticks) : "") + "\n";
        }
        if (a.loop) s += "  *LOOP\n";
        s += "}\n\n";
    }
    return s;
}

}  // namespace gen
