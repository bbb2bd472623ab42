// Sprite sheets: one image in a surface plus named frame rectangles read from a .frm list.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/ddraw.h"

class AnimationSet;

struct SpriteFrame {
    char name[32];
    int32_t left, top, right, bottom;
    int32_t offsetX, offsetY;
};

// Alignment flags
const int32_t ALIGN_TOP = 0x1;
const int32_t ALIGN_BOTTOM = 0x2;
const int32_t ALIGN_LEFT = 0x10000;
const int32_t ALIGN_RIGHT = 0x20000;

class CSprite {
public:
    CSprite();
    ~CSprite() { Destroy(); }
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;

    int Load(const char* imagePath);
    int LoadWithFrames(const char* imagePath, const char* framePath);
    int LoadImage(const char* imagePath);
    // Reads a frame list into the table (exposed for the loaders and tests).
    int ReadFrameList(const char* framePath);
    int AddFrame(const char* name, const RECT& rect, int offsetX, int offsetY);
    int GetFrame(const char* name, SpriteFrame* out) const;
    int GetFrameByIndex(int index, SpriteFrame* out) const;
    int FindFrame(const char* name) const;
    void SetAlignment(int32_t flags) { alignment_ = flags; }
    void SetKeyColor(int32_t pixel) { keyColor_ = pixel; }
    int Render(RECT src, int x, int y, int32_t flags);
    int RenderEx(RECT src, int x, int y, uint32_t color, int32_t flags, float scale, float angle);
    int DrawFrame(const char* name, int x, int y, int32_t flags);
    int DrawFrameByIndex(int index, int x, int y, int32_t flags);
    int DrawAnimation(const AnimationSet& set, int x, int y, int32_t flags);
    int DrawFrameEx(const char* name, int x, int y, uint32_t color, int32_t flags, float scale, float angle);
    int DrawFrameByIndexEx(int index, int x, int y, uint32_t color, int32_t flags, float scale, float angle);
    int DrawAnimationEx(const AnimationSet& set, int x, int y, uint32_t color, int32_t flags, float scale, float angle);
    void Destroy();
    // Releases the surface only (the frame table stays), for application deactivation.
    void ReleaseSurface();

    LPDIRECTDRAWSURFACE7 Surface() const { return surface_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    int IsLoaded() const { return loaded_; }
    int32_t Alignment() const { return alignment_; }

private:
    void ResetFrames();

    LPDIRECTDRAWSURFACE7 surface_ = nullptr;
    int32_t alignment_ = ALIGN_LEFT | ALIGN_TOP;
    int32_t keyColor_ = 0;
    std::vector<SpriteFrame> frames_;
    int loaded_ = 0;
};

// Moves (x, y) by the alignment flags for a drawing of w x h.
void AlignPosition(int32_t flags, int w, int h, int* x, int* y);
