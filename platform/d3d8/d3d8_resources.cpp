// Surfaces, textures and buffers: each keeps a copy in system memory that Lock hands out; the
// renderer uploads what an Unlock marked as changed.
#include "platform/d3d8/d3d8_internal.h"

#include <algorithm>
#include <cstring>

ResourceBase::ResourceBase(Direct3DDevice8Impl* device, D3DPOOL pool) : device_(device), pool_(pool)
{
    device_->AddRef();
    device_->ResourceCreated(this);
}

ResourceBase::~ResourceBase()
{
    device_->ResourceDestroyed(this);
    device_->Release();
}

HRESULT ResourceBase::HandOutDevice(IDirect3DDevice8** device, const char* call)
{
    if (!device) return D3D8Fail(D3DERR_INVALIDCALL, call, "null");
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
Surface8Impl::Surface8Impl(Direct3DDevice8Impl* device, Kind kind, UINT width, UINT height, D3DFORMAT format,
                           D3DPOOL pool, DWORD usage, Texture8Impl* container, UINT level)
    : ResourceBase(device, pool), kind_(kind), width_(width), height_(height), format_(format), usage_(usage),
      container_(container), level_(level)
{
    if (container_) container_->AddRef();
    if (kind_ == Kind::Image) pixels_.assign((size_t)width * height * D3D8BytesPerPixel(format), 0);
}

Surface8Impl::~Surface8Impl()
{
    if (container_) container_->Release();
}

std::vector<uint8_t>& Surface8Impl::Pixels()
{
    if (container_) return container_->Levels()[level_].pixels;
    return pixels_;
}

HRESULT Surface8Impl::GetContainer(REFIID, void** container)
{
    if (!container) return D3D8Fail(D3DERR_INVALIDCALL, "Surface::GetContainer", "null");
    if (container_) {
        container_->AddRef();
        *container = static_cast<IDirect3DTexture8*>(container_);
    } else {
        device_->AddRef();
        *container = static_cast<IDirect3DDevice8*>(device_);
    }
    return D3D_OK;
}

HRESULT Surface8Impl::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc) return D3D8Fail(D3DERR_INVALIDCALL, "Surface::GetDesc", "null");
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = width_ * height_ * std::max<UINT>(1, D3D8BytesPerPixel(format_));
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = width_;
    desc->Height = height_;
    return D3D_OK;
}

HRESULT Surface8Impl::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (container_) return container_->LockRect(level_, locked, rect, flags);
    if (kind_ != Kind::Image)
        return D3D8Fail(D3DERR_INVALIDCALL, "Surface::LockRect", "back buffers and depth buffers are not lockable");
    if (!locked) return D3D8Fail(D3DERR_INVALIDCALL, "Surface::LockRect", "null");
    if (locked_) return D3D8Fail(D3DERR_INVALIDCALL, "Surface::LockRect", "already locked");
    UINT bpp = D3D8BytesPerPixel(format_);
    RECT r = rect ? *rect : RECT{0, 0, (LONG)width_, (LONG)height_};
    if (r.left < 0 || r.top < 0 || r.right > (LONG)width_ || r.bottom > (LONG)height_ || r.left >= r.right ||
        r.top >= r.bottom)
        return D3D8Fail(D3DERR_INVALIDCALL, "Surface::LockRect", "rectangle outside the surface");
    locked->Pitch = (INT)(width_ * bpp);
    locked->pBits = pixels_.data() + (size_t)r.top * width_ * bpp + (size_t)r.left * bpp;
    locked_ = true;
    return D3D_OK;
}

HRESULT Surface8Impl::UnlockRect()
{
    if (container_) return container_->UnlockRect(level_);
    if (!locked_) return D3D8Fail(D3DERR_INVALIDCALL, "Surface::UnlockRect", "not locked");
    locked_ = false;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
Texture8Impl::Texture8Impl(Direct3DDevice8Impl* device, UINT width, UINT height, UINT levels, DWORD usage,
                           D3DFORMAT format, D3DPOOL pool)
    : ResourceBase(device, pool), usage_(usage), format_(format)
{
    textureInterface_ = static_cast<IDirect3DBaseTexture8*>(this);
    UINT full = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = std::max<UINT>(1, w / 2), h = std::max<UINT>(1, h / 2))
        ++full;
    if (levels == 0 || levels > full) levels = full;
    UINT bpp = D3D8BytesPerPixel(format);
    UINT w = width, h = height;
    for (UINT i = 0; i < levels; ++i) {
        Level l;
        l.width = w;
        l.height = h;
        l.pixels.assign((size_t)w * h * bpp, 0);
        levels_.push_back(std::move(l));
        w = std::max<UINT>(1, w / 2);
        h = std::max<UINT>(1, h / 2);
    }
}

Texture8Impl::~Texture8Impl()
{
    if (glTexture) device_->DeleteGlTexture(glTexture);
}

DWORD Texture8Impl::SetLOD(DWORD lod)
{
    DWORD old = lod_;
    if (pool_ == D3DPOOL_MANAGED) lod_ = std::min<DWORD>(lod, (DWORD)levels_.size() - 1);
    return old;
}

HRESULT Texture8Impl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= levels_.size()) return D3D8Fail(D3DERR_INVALIDCALL, "Texture::GetLevelDesc", "bad level");
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = (UINT)levels_[level].pixels.size();
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = levels_[level].width;
    desc->Height = levels_[level].height;
    return D3D_OK;
}

HRESULT Texture8Impl::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface)
{
    if (!surface || level >= levels_.size())
        return D3D8Fail(D3DERR_INVALIDCALL, "Texture::GetSurfaceLevel", "bad level or null");
    *surface = new Surface8Impl(device_, Surface8Impl::Kind::TextureLevel, levels_[level].width,
                                levels_[level].height, format_, pool_, usage_, this, level);
    return D3D_OK;
}

HRESULT Texture8Impl::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD)
{
    if (!locked || level >= levels_.size()) return D3D8Fail(D3DERR_INVALIDCALL, "Texture::LockRect", "bad level");
    Level& l = levels_[level];
    if (l.locked) return D3D8Fail(D3DERR_INVALIDCALL, "Texture::LockRect", "level already locked");
    if (pool_ == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC))
        return D3D8Fail(D3DERR_INVALIDCALL, "Texture::LockRect", "default-pool texture without DYNAMIC");
    UINT bpp = D3D8BytesPerPixel(format_);
    RECT r = rect ? *rect : RECT{0, 0, (LONG)l.width, (LONG)l.height};
    if (r.left < 0 || r.top < 0 || r.right > (LONG)l.width || r.bottom > (LONG)l.height || r.left >= r.right ||
        r.top >= r.bottom)
        return D3D8Fail(D3DERR_INVALIDCALL, "Texture::LockRect", "rectangle outside the level");
    locked->Pitch = (INT)(l.width * bpp);
    locked->pBits = l.pixels.data() + (size_t)r.top * l.width * bpp + (size_t)r.left * bpp;
    l.locked = true;
    return D3D_OK;
}

HRESULT Texture8Impl::UnlockRect(UINT level)
{
    if (level >= levels_.size() || !levels_[level].locked)
        return D3D8Fail(D3DERR_INVALIDCALL, "Texture::UnlockRect", "level not locked");
    levels_[level].locked = false;
    dirty = true;
    return D3D_OK;
}

HRESULT Texture8Impl::AddDirtyRect(const RECT*)
{
    dirty = true;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
namespace {
HRESULT LockRange(std::vector<uint8_t>& data, int& locks, UINT offset, UINT size, BYTE** out, const char* call)
{
    if (!out) return D3D8Fail(D3DERR_INVALIDCALL, call, "null");
    *out = nullptr;
    if (offset > data.size() || (size != 0 && size > data.size() - offset))
        return D3D8Fail(D3DERR_INVALIDCALL, call, "range outside the buffer");
    *out = data.data() + offset;
    ++locks;
    return D3D_OK;
}
}  // namespace

VertexBuffer8Impl::VertexBuffer8Impl(Direct3DDevice8Impl* device, UINT length, DWORD usage, DWORD fvf,
                                     D3DPOOL pool)
    : ResourceBase(device, pool), data_(length, 0), usage_(usage), fvf_(fvf)
{
}
VertexBuffer8Impl::~VertexBuffer8Impl() = default;
HRESULT VertexBuffer8Impl::Lock(UINT offset, UINT size, BYTE** data, DWORD)
{
    return LockRange(data_, locks_, offset, size, data, "VertexBuffer::Lock");
}
HRESULT VertexBuffer8Impl::Unlock()
{
    if (locks_ == 0) return D3D8Fail(D3DERR_INVALIDCALL, "VertexBuffer::Unlock", "not locked");
    --locks_;
    return D3D_OK;
}
HRESULT VertexBuffer8Impl::GetDesc(D3DVERTEXBUFFER_DESC* d)
{
    if (!d) return D3D8Fail(D3DERR_INVALIDCALL, "VertexBuffer::GetDesc", "null");
    d->Format = D3DFMT_VERTEXDATA;
    d->Type = D3DRTYPE_VERTEXBUFFER;
    d->Usage = usage_;
    d->Pool = pool_;
    d->Size = (UINT)data_.size();
    d->FVF = fvf_;
    return D3D_OK;
}

IndexBuffer8Impl::IndexBuffer8Impl(Direct3DDevice8Impl* device, UINT length, DWORD usage, D3DFORMAT format,
                                   D3DPOOL pool)
    : ResourceBase(device, pool), data_(length, 0), usage_(usage), format_(format)
{
}
IndexBuffer8Impl::~IndexBuffer8Impl() = default;
HRESULT IndexBuffer8Impl::Lock(UINT offset, UINT size, BYTE** data, DWORD)
{
    return LockRange(data_, locks_, offset, size, data, "IndexBuffer::Lock");
}
HRESULT IndexBuffer8Impl::Unlock()
{
    if (locks_ == 0) return D3D8Fail(D3DERR_INVALIDCALL, "IndexBuffer::Unlock", "not locked");
    --locks_;
    return D3D_OK;
}
HRESULT IndexBuffer8Impl::GetDesc(D3DINDEXBUFFER_DESC* d)
{
    if (!d) return D3D8Fail(D3DERR_INVALIDCALL, "IndexBuffer::GetDesc", "null");
    d->Format = format_;
    d->Type = D3DRTYPE_INDEXBUFFER;
    d->Usage = usage_;
    d->Pool = pool_;
    d->Size = (UINT)data_.size();
    return D3D_OK;
}
