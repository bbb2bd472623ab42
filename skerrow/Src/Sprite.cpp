#include "skerrow/Src/Sprite.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "skerrow/Src/Animation.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Log.h"

void AlignPosition(int32_t flags, int w, int h, int* x, int* y)
{
    if (flags & ALIGN_TOP) {
    } else if (flags & ALIGN_BOTTOM) {
        *y -= h;
    } else {
        *y -= h / 2;
    }
    if (flags & ALIGN_LEFT) {
    } else if (flags & ALIGN_RIGHT) {
        *x -= w;
    } else {
        *x -= w / 2;
    }
}

CSprite::CSprite() { ResetFrames(); }

void CSprite::ResetFrames()
{
    frames_.clear();
    SpriteFrame null{};
    std::strcpy(null.name, "Null frame");
    frames_.push_back(null);
}

void CSprite::ReleaseSurface()
{
    if (surface_) surface_->Release();
    surface_ = nullptr;
}

void CSprite::Destroy()
{
    ReleaseSurface();
    ResetFrames();
    loaded_ = 0;
}

int CSprite::LoadImage(const char* imagePath)
{
    ReleaseSurface();
    loaded_ = LoadSurfaceFromFile(imagePath, &surface_, 0);
    return loaded_;
}

int CSprite::Load(const char* imagePath)
{
    ReleaseSurface();
    ResetFrames();
    return LoadImage(imagePath);
}

namespace {
// Up to `count` integers separated by blanks or commas; missing ones stay 0.
void ParseInts(const char* text, int* out, int count)
{
    for (int i = 0; i < count; ++i) out[i] = 0;
    const char* p = text;
    for (int i = 0; i < count && *p; ++i) {
        while (*p == ' ' || *p == ',' || *p == '\t') ++p;
        if (!*p) break;
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) break;
        out[i] = static_cast<int>(v);
        p = end;
    }
}
}  // namespace

int CSprite::ReadFrameList(const char* framePath)
{
    IniFile ini(framePath, 0);
    if (!ini.IsOpen()) return 0;
    int sections = 0;
    for (int n = 1;; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "Sprite %d", n);
        if (!ini.SetSection(section)) break;
        ++sections;
        char rect[128], offs[128], name[64];
        int hasRect = ini.GetString(nullptr, "rectsx", nullptr, rect, sizeof rect);
        int hasName = ini.GetString(nullptr, "name", nullptr, name, sizeof name);
        if (!hasRect || !hasName) continue;
        int r[4], o[2];
        ParseInts(rect, r, 4);
        if (ini.GetString(nullptr, "offsxy", nullptr, offs, sizeof offs))
            ParseInts(offs, o, 2);
        else
            o[0] = o[1] = 0;
        name[31] = 0;
        AddFrame(name, RECT{r[0], r[1], r[0] + r[2], r[1] + r[3]}, o[0], o[1]);
    }
    return sections;
}

int CSprite::LoadWithFrames(const char* imagePath, const char* framePath)
{
    if (!Load(imagePath)) return 0;
    return ReadFrameList(framePath);
}

int CSprite::AddFrame(const char* name, const RECT& rect, int offsetX, int offsetY)
{
    SpriteFrame f{};
    if (name) std::strncpy(f.name, name, sizeof f.name - 1);
    f.left = rect.left;
    f.top = rect.top;
    f.right = rect.right;
    f.bottom = rect.bottom;
    f.offsetX = offsetX;
    f.offsetY = offsetY;
    frames_.push_back(f);
    return static_cast<int>(frames_.size()) - 1;
}

int CSprite::FindFrame(const char* name) const
{
    if (!name) return 0;
    for (size_t i = 0; i < frames_.size(); ++i)
        if (::strcasecmp(frames_[i].name, name) == 0) return static_cast<int>(i);
    return 0;
}

int CSprite::GetFrame(const char* name, SpriteFrame* out) const
{
    if (!name || !out) return 0;
    for (const SpriteFrame& f : frames_)
        if (::strcasecmp(f.name, name) == 0) {
            *out = f;
            return 1;
        }
    return 0;
}

int CSprite::GetFrameByIndex(int index, SpriteFrame* out) const
{
    if (!out || index < 0 || index >= static_cast<int>(frames_.size())) return 0;
    *out = frames_[index];
    return 1;
}

int CSprite::Render(RECT src, int x, int y, int32_t flags)
{
    if (!surface_ || !g_display.backBuffer) return 0;
    if (flags == -1) flags = alignment_;
    AlignPosition(flags, src.right - src.left, src.bottom - src.top, &x, &y);
    ClipToScreen(&x, &y, &src);
    SetColorKey(surface_, static_cast<uint16_t>(keyColor_));
    return SUCCEEDED(g_display.backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), surface_, &src,
                                                   DDBLTFAST_SRCCOLORKEY))
               ? 1
               : 0;
}

int CSprite::RenderEx(RECT src, int x, int y, uint32_t, int32_t flags, float scale, float)
{
    if (!surface_ || !g_display.backBuffer) return 0;
    if (scale == 0.0f) scale = 1.0f;
    const int w = static_cast<int>(static_cast<float>(src.right - src.left) * scale);
    const int h = static_cast<int>(static_cast<float>(src.bottom - src.top) * scale);
    if (w <= 0 || h <= 0) return 0;
    if (flags == -1) flags = alignment_;
    AlignPosition(flags, w, h, &x, &y);
    // Scaled draws are clipped in proportion: the source loses the part that falls off screen,
    // so the visible part keeps its scale instead of being squeezed into what is left.
    RECT dst = {x, y, x + w, y + h};
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    RECT vis = {dst.left < 0 ? 0 : dst.left, dst.top < 0 ? 0 : dst.top,
                dst.right > g_clipScreenWidth ? g_clipScreenWidth : dst.right,
                dst.bottom > g_clipScreenHeight ? g_clipScreenHeight : dst.bottom};
    if (vis.left >= vis.right || vis.top >= vis.bottom) return 0;
    RECT s = {src.left + static_cast<LONG>(static_cast<int64_t>(vis.left - dst.left) * sw / w),
              src.top + static_cast<LONG>(static_cast<int64_t>(vis.top - dst.top) * sh / h),
              src.left + static_cast<LONG>((static_cast<int64_t>(vis.right - dst.left) * sw + w - 1) / w),
              src.top + static_cast<LONG>((static_cast<int64_t>(vis.bottom - dst.top) * sh + h - 1) / h)};
    if (s.right > src.right) s.right = src.right;
    if (s.bottom > src.bottom) s.bottom = src.bottom;
    if (s.left >= s.right || s.top >= s.bottom) return 0;
    SetColorKey(surface_, static_cast<uint16_t>(keyColor_));
    HRESULT hr = g_display.backBuffer->Blt(&vis, surface_, &s, DDBLT_KEYSRC, nullptr);
    if (FAILED(hr)) {
        LogMessage("CSprite->RenderEx blit error %s\n", GetDDErrorName(hr));
        return 0;
    }
    return 1;
}

int CSprite::DrawFrame(const char* name, int x, int y, int32_t flags)
{
    SpriteFrame f;
    if (!GetFrame(name, &f)) return 0;
    return Render(RECT{f.left, f.top, f.right, f.bottom}, x + f.offsetX, y + f.offsetY, flags);
}

int CSprite::DrawFrameByIndex(int index, int x, int y, int32_t flags)
{
    SpriteFrame f;
    if (!GetFrameByIndex(index, &f)) return 0;
    return Render(RECT{f.left, f.top, f.right, f.bottom}, x + f.offsetX, y + f.offsetY, flags);
}

int CSprite::DrawAnimation(const AnimationSet& set, int x, int y, int32_t flags)
{
    RECT r;
    set.GetFrameRect(&r);
    return Render(r, x + set.GetOffsetX(), y + set.GetOffsetY(), flags);
}

int CSprite::DrawFrameEx(const char* name, int x, int y, uint32_t color, int32_t flags, float scale, float angle)
{
    SpriteFrame f;
    if (!GetFrame(name, &f)) return 0;
    return RenderEx(RECT{f.left, f.top, f.right, f.bottom}, x + f.offsetX, y + f.offsetY, color, flags, scale, angle);
}

int CSprite::DrawFrameByIndexEx(int index, int x, int y, uint32_t color, int32_t flags, float scale, float angle)
{
    SpriteFrame f;
    if (!GetFrameByIndex(index, &f)) return 0;
    return RenderEx(RECT{f.left, f.top, f.right, f.bottom}, x + f.offsetX, y + f.offsetY, color, flags, scale, angle);
}

int CSprite::DrawAnimationEx(const AnimationSet& set, int x, int y, uint32_t color, int32_t flags, float scale, float angle)
{
    RECT r;
    set.GetFrameRect(&r);
    return RenderEx(r, x + set.GetOffsetX(), y + set.GetOffsetY(), color, flags, scale, angle);
}
