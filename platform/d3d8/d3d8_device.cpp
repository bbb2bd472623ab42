// The device: an OpenGL 2.1 context on the program's window, an off-screen back buffer that
// Present scales (letterboxed) onto the window, and Direct3D 8's state with its defaults.
#include "platform/d3d8/d3d8_internal.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstring>

namespace {
DWORD FloatBits(float f)
{
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}
float BitsFloat(DWORD d)
{
    float f;
    std::memcpy(&f, &d, 4);
    return f;
}

GLenum GlCompare(DWORD f)
{
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum GlBlend(DWORD b)
{
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum GlStencilOp(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

bool HasStencil(D3DFORMAT f) { return f == D3DFMT_D24S8 || f == D3DFMT_D15S1 || f == D3DFMT_D24X4S4; }

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.f;
    return m;
}
}  // namespace

Direct3DDevice8Impl::Direct3DDevice8Impl(Direct3D8Impl* d3d, D3DDEVTYPE type, HWND focus, DWORD behavior)
    : d3d_(d3d), type_(type), focus_(focus), behavior_(behavior)
{
    d3d_->AddRef();
    SetDefaultStates();
}

Direct3DDevice8Impl::~Direct3DDevice8Impl()
{
    PlatformSetFrameReader(nullptr);
    // A full-screen device gives the display back when it goes, as the desktop's mode comes
    // back in Direct3D: the next device may well be a windowed one.
    if (context_ && !params_.Windowed && IsWindow(params_.hDeviceWindow))
        PlatformSetFullscreen(params_.hDeviceWindow, false);
    if (context_) {
        MakeCurrent();
        DestroyBackBuffer();
        if (cursorTexture_) glDeleteTextures(1, &cursorTexture_);
        if (whiteTexture_) glDeleteTextures(1, &whiteTexture_);
        for (auto& shader : shaders_) gl_.DeletePrograms(1, &shader.second.program);
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    d3d_->Release();
}

HRESULT Direct3DDevice8Impl::NotBuilt(const char* call)
{
    return D3D8Fail(D3DERR_INVALIDCALL, call, "not carried out by this device");
}

void Direct3DDevice8Impl::MakeCurrent()
{
    if (context_ && SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
}

HRESULT Direct3DDevice8Impl::Initialise(const D3DPRESENT_PARAMETERS& params)
{
    params_ = params;
    window_ = PlatformSdlWindow(params.hDeviceWindow);
    if (!window_) return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "the device window is unknown");
    if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL))
        return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "the window was not created for OpenGL");
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        PlatformTrace("Direct3D8: SDL_GL_CreateContext: %s", SDL_GetError());
        return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "no OpenGL 2.1 context");
    }
    MakeCurrent();
    if (!gl_.Load()) return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "OpenGL lacks framebuffer objects");
    if (!params_.Windowed && !PlatformSetFullscreen(params_.hDeviceWindow, true))
        return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "the window cannot go full screen");
    ApplySwapInterval();
    HRESULT hr = CreateBackBuffer(params_.BackBufferWidth, params_.BackBufferHeight);
    if (FAILED(hr)) return hr;
    SetDefaultStates();
    ApplyAllStates();
    PlatformSetFrameReader(
        [this](int& w, int& h, std::vector<uint8_t>& rgb) { return ReadBackBuffer(w, h, rgb); });
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CreateBackBuffer(UINT width, UINT height)
{
    MakeCurrent();
    bbWidth_ = width;
    bbHeight_ = height;
    glGenTextures(1, &colorTexture_);
    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, (GLsizei)width, (GLsizei)height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    gl_.GenFramebuffers(1, &fbo_);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
    if (params_.EnableAutoDepthStencil) {
        GLenum internal = GL_DEPTH24_STENCIL8;
        switch (params_.AutoDepthStencilFormat) {
        case D3DFMT_D16: internal = GL_DEPTH_COMPONENT16; break;
        case D3DFMT_D24X8: internal = GL_DEPTH_COMPONENT24; break;
        case D3DFMT_D32: internal = GL_DEPTH_COMPONENT32; break;
        default: break;
        }
        gl_.GenRenderbuffers(1, &depthBuffer_);
        gl_.BindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
        gl_.RenderbufferStorage(GL_RENDERBUFFER, internal, (GLsizei)width, (GLsizei)height);
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
        if (internal == GL_DEPTH24_STENCIL8)
            gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
    }
    GLenum status = gl_.CheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        PlatformTrace("Direct3D8: framebuffer status 0x%X", status);
        return D3D8Fail(D3DERR_OUTOFVIDEOMEMORY, "CreateDevice/Reset", "the back buffer could not be made");
    }
    PlatformSetBackBufferSize(params_.hDeviceWindow, (int)width, (int)height);
    return D3D_OK;
}

void Direct3DDevice8Impl::DestroyBackBuffer()
{
    if (fbo_) {
        gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
        gl_.DeleteFramebuffers(1, &fbo_);
    }
    if (depthBuffer_) gl_.DeleteRenderbuffers(1, &depthBuffer_);
    if (colorTexture_) glDeleteTextures(1, &colorTexture_);
    fbo_ = depthBuffer_ = colorTexture_ = 0;
}

void Direct3DDevice8Impl::SetDefaultStates()
{
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0);
    DWORD* rs = renderStates_;
    rs[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGSTART] = FloatBits(0.f);
    rs[D3DRS_FOGEND] = FloatBits(1.f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.f);
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_SOFTWAREVERTEXPROCESSING] = (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
    rs[D3DRS_POINTSIZE] = FloatBits(1.f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(0.f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    rs[D3DRS_PATCHSEGMENTS] = FloatBits(1.f);
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONORDER] = 3;
    rs[D3DRS_NORMALORDER] = 1;

    for (DWORD s = 0; s < D3D8_MAX_TEXTURE_STAGES; ++s) {
        DWORD* ts = stageStates_[s];
        std::fill(ts, ts + D3DTSS_MAX_INDEX, 0);
        ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = s;
        ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    transforms_.clear();
    for (auto t : {DWORD(D3DTS_VIEW), DWORD(D3DTS_PROJECTION), DWORD(D3DTS_WORLD)}) transforms_[t] = Identity();
    for (DWORD t = D3DTS_TEXTURE0; t <= D3DTS_TEXTURE7; ++t) transforms_[t] = Identity();
    viewport_ = D3DVIEWPORT8{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.f, 1.f};
    material_ = D3DMATERIAL8{};
    lights_.clear();
    enabledLights_.clear();
    vertexShader_ = 0;
    std::memset(shaderConstants_, 0, sizeof(shaderConstants_));
    std::memset(clipPlanes_, 0, sizeof(clipPlanes_));
    for (auto& t : textures_) t = nullptr;
    for (auto& s : streams_) s = StreamBinding{};
    indices_ = nullptr;
    baseVertexIndex_ = 0;
}

void Direct3DDevice8Impl::ApplyAllStates()
{
    MakeCurrent();
    if (fbo_) gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    for (DWORD s = 0; s < D3DRS_MAX_INDEX; ++s) ApplyRenderState((D3DRENDERSTATETYPE)s);
    glFrontFace(GL_CW);
    ApplyViewport();
}

void Direct3DDevice8Impl::ApplyRenderState(D3DRENDERSTATETYPE state)
{
    const DWORD* rs = renderStates_;
    DWORD v = rs[state];
    auto enable = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
    switch (state) {
    case D3DRS_ZENABLE: enable(GL_DEPTH_TEST, v != D3DZB_FALSE && depthBuffer_); break;
    case D3DRS_ZWRITEENABLE: glDepthMask(v ? GL_TRUE : GL_FALSE); break;
    case D3DRS_ZFUNC: glDepthFunc(GlCompare(v)); break;
    case D3DRS_ALPHATESTENABLE: enable(GL_ALPHA_TEST, v != 0); break;
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC: glAlphaFunc(GlCompare(rs[D3DRS_ALPHAFUNC]), (float)(rs[D3DRS_ALPHAREF] & 0xFF) / 255.f); break;
    case D3DRS_ALPHABLENDENABLE: enable(GL_BLEND, v != 0); break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: {
        DWORD src = rs[D3DRS_SRCBLEND], dst = rs[D3DRS_DESTBLEND];
        if (src == D3DBLEND_BOTHSRCALPHA) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
            glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
        } else {
            glBlendFunc(GlBlend(src), GlBlend(dst));
        }
        break;
    }
    case D3DRS_BLENDOP: {
        GLenum eq = GL_FUNC_ADD;
        if (v == D3DBLENDOP_SUBTRACT) eq = GL_FUNC_SUBTRACT;
        if (v == D3DBLENDOP_REVSUBTRACT) eq = GL_FUNC_REVERSE_SUBTRACT;
        if (v == D3DBLENDOP_MIN) eq = GL_MIN;
        if (v == D3DBLENDOP_MAX) eq = GL_MAX;
        if (gl_.BlendEquation) gl_.BlendEquation(eq);
        break;
    }
    case D3DRS_CULLMODE:
        // The picture is rendered unflipped (rows are flipped only on read-back), so a triangle
        // clockwise on screen is clockwise in GL's window too: front faces are GL_CW, and
        // Direct3D's culling of counter-clockwise faces culls GL's back faces.
        if (v == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(v == D3DCULL_CW ? GL_FRONT : GL_BACK);
        }
        break;
    case D3DRS_FILLMODE:
        glPolygonMode(GL_FRONT_AND_BACK, v == D3DFILL_POINT ? GL_POINT : v == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
        break;
    case D3DRS_SHADEMODE: glShadeModel(v == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH); break;
    case D3DRS_DITHERENABLE: enable(GL_DITHER, v != 0); break;
    case D3DRS_STENCILENABLE: enable(GL_STENCIL_TEST, v != 0); break;
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
        glStencilFunc(GlCompare(rs[D3DRS_STENCILFUNC]), (GLint)rs[D3DRS_STENCILREF], rs[D3DRS_STENCILMASK]);
        break;
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
        glStencilOp(GlStencilOp(rs[D3DRS_STENCILFAIL]), GlStencilOp(rs[D3DRS_STENCILZFAIL]),
                    GlStencilOp(rs[D3DRS_STENCILPASS]));
        break;
    case D3DRS_STENCILWRITEMASK: glStencilMask(v); break;
    case D3DRS_COLORWRITEENABLE:
        glColorMask((v & 1) != 0, (v & 2) != 0, (v & 4) != 0, (v & 8) != 0);
        break;
    case D3DRS_ZBIAS:
        // Pulls geometry towards the eye by whole depth units.
        if (v) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(0.f, -(float)v);
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(0.f, 0.f);
        }
        break;
    case D3DRS_FOGENABLE: enable(GL_FOG, v != 0); break;
    case D3DRS_FOGCOLOR: {
        float c[4] = {((v >> 16) & 0xFF) / 255.f, ((v >> 8) & 0xFF) / 255.f, (v & 0xFF) / 255.f,
                      ((v >> 24) & 0xFF) / 255.f};
        glFogfv(GL_FOG_COLOR, c);
        break;
    }
    case D3DRS_FOGSTART: glFogf(GL_FOG_START, BitsFloat(v)); break;
    case D3DRS_FOGEND: glFogf(GL_FOG_END, BitsFloat(v)); break;
    case D3DRS_FOGDENSITY: glFogf(GL_FOG_DENSITY, BitsFloat(v)); break;
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGVERTEXMODE: {
        DWORD mode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
        glFogi(GL_FOG_MODE, mode == D3DFOG_EXP ? GL_EXP : mode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR);
        break;
    }
    case D3DRS_AMBIENT: {
        float c[4] = {((v >> 16) & 0xFF) / 255.f, ((v >> 8) & 0xFF) / 255.f, (v & 0xFF) / 255.f,
                      ((v >> 24) & 0xFF) / 255.f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, c);
        break;
    }
    case D3DRS_LOCALVIEWER: glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, v ? 1 : 0); break;
    case D3DRS_NORMALIZENORMALS: enable(GL_NORMALIZE, v != 0); break;
    default: break;  // the rest take effect when a draw call sets up its pipeline
    }
}

void Direct3DDevice8Impl::ApplyViewport()
{
    glViewport((GLint)viewport_.X, (GLint)(bbHeight_ - viewport_.Y - viewport_.Height), (GLsizei)viewport_.Width,
               (GLsizei)viewport_.Height);
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
}

void Direct3DDevice8Impl::ResourceCreated(ResourceBase* r)
{
    resources_.insert(r);
    if (r->Pool() == D3DPOOL_DEFAULT) defaultPool_.insert(r);
}

void Direct3DDevice8Impl::ResourceDestroyed(ResourceBase* r)
{
    resources_.erase(r);
    defaultPool_.erase(r);
    for (auto& t : textures_)
        if (t && static_cast<const void*>(t) == r->TextureInterface()) t = nullptr;
    for (auto& s : streams_)
        if (s.buffer == r) s = StreamBinding{};
    if (indices_ == r) indices_ = nullptr;
    if (cursorImage_ == r) cursorImage_ = nullptr;
    ForgetInStateBlocks(r);
}

// ---------------------------------------------------------------------------------------------
HRESULT Direct3DDevice8Impl::TestCooperativeLevel() { return D3D_OK; }
UINT Direct3DDevice8Impl::GetAvailableTextureMem() { return 256u << 20; }
HRESULT Direct3DDevice8Impl::ResourceManagerDiscardBytes(DWORD) { return D3D_OK; }

HRESULT Direct3DDevice8Impl::GetDirect3D(IDirect3D8** d3d)
{
    if (!d3d) return D3D8Fail(D3DERR_INVALIDCALL, "GetDirect3D", "null");
    d3d_->AddRef();
    *d3d = d3d_;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetDeviceCaps(D3DCAPS8* caps) { return d3d_->GetDeviceCaps(0, type_, caps); }

HRESULT Direct3DDevice8Impl::GetDisplayMode(D3DDISPLAYMODE* mode)
{
    if (!mode) return D3D8Fail(D3DERR_INVALIDCALL, "GetDisplayMode", "null");
    if (params_.Windowed) return d3d_->GetAdapterDisplayMode(0, mode);
    *mode = D3DDISPLAYMODE{params_.BackBufferWidth, params_.BackBufferHeight, 60, params_.BackBufferFormat};
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p)
{
    if (!p) return D3D8Fail(D3DERR_INVALIDCALL, "GetCreationParameters", "null");
    *p = D3DDEVICE_CREATION_PARAMETERS{0, type_, focus_, behavior_};
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface8* image)
{
    auto* s = dynamic_cast<Surface8Impl*>(image);
    if (!s || s->Format() != D3DFMT_A8R8G8B8 || s->Width() > 256 || s->Height() > 256 || s->Width() == 0)
        return D3D8Fail(D3DERR_INVALIDCALL, "SetCursorProperties", "needs an A8R8G8B8 image surface");
    if (hotX >= s->Width() || hotY >= s->Height())
        return D3D8Fail(D3DERR_INVALIDCALL, "SetCursorProperties", "hot spot outside the image");
    MakeCurrent();
    if (!cursorTexture_) glGenTextures(1, &cursorTexture_);
    glBindTexture(GL_TEXTURE_2D, cursorTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, (GLsizei)s->Width(), (GLsizei)s->Height(), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, s->Pixels().data());
    glBindTexture(GL_TEXTURE_2D, 0);
    cursorWidth_ = s->Width();
    cursorHeight_ = s->Height();
    cursorHotX_ = hotX;
    cursorHotY_ = hotY;
    return D3D_OK;
}

void Direct3DDevice8Impl::SetCursorPosition(int x, int y, DWORD)
{
    cursorX_ = x;
    cursorY_ = y;
    cursorPositioned_ = true;
}

BOOL Direct3DDevice8Impl::ShowCursor(BOOL show)
{
    BOOL was = cursorShown_;
    cursorShown_ = show != 0;
    return was;
}

HRESULT Direct3DDevice8Impl::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (!params) return D3D8Fail(D3DERR_INVALIDCALL, "Reset", "null");
    if (!defaultPool_.empty())
        return D3D8Fail(D3DERR_INVALIDCALL, "Reset", "default-pool resources are still alive");
    D3DPRESENT_PARAMETERS p = *params;
    if (!p.hDeviceWindow) p.hDeviceWindow = params_.hDeviceWindow;
    // The window changes first so that a windowed back buffer takes the restored client size.
    bool wasWindowed = params_.Windowed != 0;
    if ((p.Windowed != 0) != wasWindowed) PlatformSetFullscreen(p.hDeviceWindow, !p.Windowed);
    HRESULT hr = d3d_->CheckPresentParameters(type_, p, "Reset");
    if (FAILED(hr)) {
        if ((p.Windowed != 0) != wasWindowed) PlatformSetFullscreen(p.hDeviceWindow, !wasWindowed);
        return hr;
    }
    MakeCurrent();
    DestroyBackBuffer();
    params_ = p;
    ApplySwapInterval();
    hr = CreateBackBuffer(p.BackBufferWidth, p.BackBufferHeight);
    if (FAILED(hr)) return hr;
    inScene_ = false;
    SetDefaultStates();
    ApplyAllStates();
    *params = p;
    return D3D_OK;
}

void Direct3DDevice8Impl::PresentToWindow()
{
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    RECT pr = PlatformPresentRect(params_.hDeviceWindow);
    if (pr.right <= pr.left || pr.bottom <= pr.top) pr = RECT{0, 0, dw, dh};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, dw, dh);
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    GLsizei pw = pr.right - pr.left, ph = pr.bottom - pr.top;
    glViewport(pr.left, dh - pr.bottom, pw, ph);
    glDepthRange(0.0, 1.0);
    for (GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_LIGHTING, GL_CULL_FACE, GL_FOG, GL_STENCIL_TEST,
                       GL_POLYGON_OFFSET_FILL})
        glDisable(cap);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (int unit = 3; unit >= 0; --unit) {
        gl_.ActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_2D);
    }
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    GLint filter = ((UINT)pw == bbWidth_ && (UINT)ph == bbHeight_) ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glColor4f(1.f, 1.f, 1.f, 1.f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.f, 0.f);
    glVertex2f(-1.f, -1.f);
    glTexCoord2f(1.f, 0.f);
    glVertex2f(1.f, -1.f);
    glTexCoord2f(1.f, 1.f);
    glVertex2f(1.f, 1.f);
    glTexCoord2f(0.f, 1.f);
    glVertex2f(-1.f, 1.f);
    glEnd();

    // The device cursor lies over the presented image, in back-buffer pixels.
    if (cursorShown_ && cursorTexture_) {
        int mx = cursorX_, my = cursorY_;
        if (!cursorPositioned_) PlatformMousePosition(mx, my);
        float x0 = (float)(mx - (int)cursorHotX_), y0 = (float)(my - (int)cursorHotY_);
        float x1 = x0 + cursorWidth_, y1 = y0 + cursorHeight_;
        auto cx = [&](float x) { return x / bbWidth_ * 2.f - 1.f; };
        auto cy = [&](float y) { return 1.f - y / bbHeight_ * 2.f; };
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, cursorTexture_);
        glBegin(GL_QUADS);
        glTexCoord2f(0.f, 1.f);
        glVertex2f(cx(x0), cy(y1));
        glTexCoord2f(1.f, 1.f);
        glVertex2f(cx(x1), cy(y1));
        glTexCoord2f(1.f, 0.f);
        glVertex2f(cx(x1), cy(y0));
        glTexCoord2f(0.f, 0.f);
        glVertex2f(cx(x0), cy(y0));
        glEnd();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    SDL_GL_SwapWindow(window_);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

namespace {
std::atomic<uint64_t> refreshWaits{0};
}

uint64_t D3D8RefreshWaits() { return refreshWaits.load(); }

// Full screen with the default or the one-frame interval, Direct3D shows each frame at a
// refresh of the display, so a program presents no faster than the display refreshes. A window
// keeps to the same pace, as a desktop's compositor shows it no faster either: a game drawing
// as fast as it can in a window would take several cores for frames nobody sees. Immediate
// full-screen presents are not paced, and neither is a scripted run on the fixed-step clock,
// which no display paces and whose frames should come as fast as they can be drawn.
bool Direct3DDevice8Impl::PacedByRefresh() const
{
    if (PlatformFixedStepActive()) return false;
    return params_.Windowed || params_.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
}

void Direct3DDevice8Impl::ApplySwapInterval()
{
    const int interval = PacedByRefresh() ? 1 : 0;
    if (interval == swapInterval_) return;
    MakeCurrent();
    SDL_GL_SetSwapInterval(interval);
    swapInterval_ = interval;
}

// The swap interval asks the driver to wait for the refresh, but software drivers and virtual
// displays ignore it; the wait is then kept here, on the refresh clock of the display's mode.
// A driver that did wait leaves nothing to wait for.
void Direct3DDevice8Impl::WaitForRefresh()
{
    if (!PacedByRefresh()) return;
    ++refreshWaits;
    SDL_DisplayMode mode{};
    int hz = 60;
    if (SDL_GetCurrentDisplayMode(std::max(0, SDL_GetWindowDisplayIndex(window_)), &mode) == 0 && mode.refresh_rate > 0)
        hz = mode.refresh_rate;
    const auto period = std::chrono::nanoseconds(1000000000 / hz);
    const auto now = std::chrono::steady_clock::now();
    const auto next = lastRefresh_ + period;
    if (next > now && next - now <= period) {
        std::this_thread::sleep_until(next);
        lastRefresh_ = next;
    } else {
        // The first frame, or one that took longer than a refresh: no catching up.
        lastRefresh_ = now;
    }
}

HRESULT Direct3DDevice8Impl::Present(const RECT* source, const RECT* dest, HWND destWindow, const RGNDATA* dirty)
{
    if (source || dest || dirty || (destWindow && destWindow != params_.hDeviceWindow))
        return D3D8Fail(D3DERR_INVALIDCALL, "Present", "only whole-back-buffer presents to the device window");
    if (inScene_) return D3D8Fail(D3DERR_INVALIDCALL, "Present", "inside BeginScene/EndScene");
    MakeCurrent();
    // The fixed-step clock may have been switched since the last present.
    ApplySwapInterval();
    PresentToWindow();
    WaitForRefresh();
    PlatformFramePresented();
    return D3D_OK;
}

bool Direct3DDevice8Impl::ReadBackBuffer(int& width, int& height, std::vector<uint8_t>& rgb)
{
    if (!fbo_) return false;
    MakeCurrent();
    width = (int)bbWidth_;
    height = (int)bbHeight_;
    std::vector<uint8_t> raw((size_t)width * height * 3);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    rgb.resize(raw.size());
    size_t row = (size_t)width * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(rgb.data() + (size_t)y * row, raw.data() + (size_t)(height - 1 - y) * row, row);
    return true;
}

HRESULT Direct3DDevice8Impl::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface)
{
    if (!surface) return D3D8Fail(D3DERR_INVALIDCALL, "GetBackBuffer", "null");
    *surface = nullptr;
    if (index >= params_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetBackBuffer", "no such back buffer");
    *surface = new Surface8Impl(this, Surface8Impl::Kind::BackBuffer, bbWidth_, bbHeight_, params_.BackBufferFormat,
                                D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, nullptr, 0);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetRasterStatus(D3DRASTER_STATUS*) { return NotBuilt("GetRasterStatus"); }
void Direct3DDevice8Impl::SetGammaRamp(DWORD, const D3DGAMMARAMP* ramp)
{
    if (ramp) gamma_ = *ramp;
}
void Direct3DDevice8Impl::GetGammaRamp(D3DGAMMARAMP* ramp)
{
    if (ramp) *ramp = gamma_;
}

HRESULT Direct3DDevice8Impl::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                           D3DPOOL pool, IDirect3DTexture8** texture)
{
    if (!texture) return D3D8Fail(D3DERR_INVALIDCALL, "CreateTexture", "null");
    *texture = nullptr;
    if (width == 0 || height == 0 || width > 2048 || height > 2048)
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateTexture", "size outside 1..2048");
    if (D3D8BytesPerPixel(format) == 0 || D3D8IsDepthFormat(format))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateTexture", "format not offered for textures");
    if (pool == D3DPOOL_MANAGED && (usage & (D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET)))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateTexture", "managed textures cannot be dynamic or targets");
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return NotBuilt("CreateTexture(render target)");
    *texture = new Texture8Impl(this, width, height, levels, usage, format, pool);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                IDirect3DVertexBuffer8** buffer)
{
    if (!buffer) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexBuffer", "null");
    *buffer = nullptr;
    if (length == 0 || length > (64u << 20)) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexBuffer", "bad length");
    *buffer = new VertexBuffer8Impl(this, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                               IDirect3DIndexBuffer8** buffer)
{
    if (!buffer) return D3D8Fail(D3DERR_INVALIDCALL, "CreateIndexBuffer", "null");
    *buffer = nullptr;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateIndexBuffer", "format must be INDEX16 or INDEX32");
    if (length == 0 || length > (64u << 20)) return D3D8Fail(D3DERR_INVALIDCALL, "CreateIndexBuffer", "bad length");
    *buffer = new IndexBuffer8Impl(this, length, usage, format, pool);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL, IDirect3DSurface8**)
{
    return NotBuilt("CreateRenderTarget");
}
HRESULT Direct3DDevice8Impl::CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, IDirect3DSurface8**)
{
    return NotBuilt("CreateDepthStencilSurface");
}

HRESULT Direct3DDevice8Impl::CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                                IDirect3DSurface8** surface)
{
    if (!surface) return D3D8Fail(D3DERR_INVALIDCALL, "CreateImageSurface", "null");
    *surface = nullptr;
    if (width == 0 || height == 0 || width > 4096 || height > 4096 || D3D8BytesPerPixel(format) == 0 ||
        D3D8IsDepthFormat(format))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateImageSurface", "bad size or format");
    *surface = new Surface8Impl(this, Surface8Impl::Kind::Image, width, height, format, D3DPOOL_SYSTEMMEM, 0,
                                nullptr, 0);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CopyRects(IDirect3DSurface8*, const RECT*, UINT, IDirect3DSurface8*, const POINT*)
{
    return NotBuilt("CopyRects");
}
HRESULT Direct3DDevice8Impl::UpdateTexture(IDirect3DBaseTexture8*, IDirect3DBaseTexture8*)
{
    return NotBuilt("UpdateTexture");
}
HRESULT Direct3DDevice8Impl::GetFrontBuffer(IDirect3DSurface8*) { return NotBuilt("GetFrontBuffer"); }
HRESULT Direct3DDevice8Impl::SetRenderTarget(IDirect3DSurface8*, IDirect3DSurface8*)
{
    return NotBuilt("SetRenderTarget");
}
HRESULT Direct3DDevice8Impl::GetRenderTarget(IDirect3DSurface8** target)
{
    return GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, target);
}
HRESULT Direct3DDevice8Impl::GetDepthStencilSurface(IDirect3DSurface8** ds)
{
    if (!ds) return D3D8Fail(D3DERR_INVALIDCALL, "GetDepthStencilSurface", "null");
    *ds = nullptr;
    if (!params_.EnableAutoDepthStencil) return D3DERR_NOTFOUND;
    *ds = new Surface8Impl(this, Surface8Impl::Kind::DepthStencil, bbWidth_, bbHeight_,
                           params_.AutoDepthStencilFormat, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, nullptr, 0);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::BeginScene()
{
    if (inScene_) return D3D8Fail(D3DERR_INVALIDCALL, "BeginScene", "already in a scene");
    inScene_ = true;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::EndScene()
{
    if (!inScene_) return D3D8Fail(D3DERR_INVALIDCALL, "EndScene", "no scene begun");
    inScene_ = false;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                   DWORD stencil)
{
    if (count && !rects) return D3D8Fail(D3DERR_INVALIDCALL, "Clear", "rectangles counted but not given");
    if ((flags & D3DCLEAR_ZBUFFER) && !params_.EnableAutoDepthStencil)
        return D3D8Fail(D3DERR_INVALIDCALL, "Clear", "no depth buffer to clear");
    if ((flags & D3DCLEAR_STENCIL) && !(params_.EnableAutoDepthStencil && HasStencil(params_.AutoDepthStencilFormat)))
        return D3D8Fail(D3DERR_INVALIDCALL, "Clear", "no stencil to clear");
    MakeCurrent();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
    if (!mask) return D3D_OK;
    glClearColor(((color >> 16) & 0xFF) / 255.f, ((color >> 8) & 0xFF) / 255.f, (color & 0xFF) / 255.f,
                 ((color >> 24) & 0xFF) / 255.f);
    glClearDepth(std::clamp(z, 0.f, 1.f));
    glClearStencil((GLint)stencil);
    // Clear writes every channel and the whole depth/stencil regardless of the write masks.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
    glEnable(GL_SCISSOR_TEST);
    // Only the viewport is cleared, and within it only the given rectangles.
    LONG vx0 = (LONG)viewport_.X, vy0 = (LONG)viewport_.Y;
    LONG vx1 = vx0 + (LONG)viewport_.Width, vy1 = vy0 + (LONG)viewport_.Height;
    auto clearRect = [&](LONG x0, LONG y0, LONG x1, LONG y1) {
        x0 = std::max(x0, vx0);
        y0 = std::max(y0, vy0);
        x1 = std::min(x1, vx1);
        y1 = std::min(y1, vy1);
        if (x1 <= x0 || y1 <= y0) return;
        glScissor(x0, (GLint)bbHeight_ - y1, x1 - x0, y1 - y0);
        glClear(mask);
    };
    if (count == 0) {
        clearRect(vx0, vy0, vx1, vy1);
    } else {
        for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    ApplyRenderState(D3DRS_COLORWRITEENABLE);
    ApplyRenderState(D3DRS_ZWRITEENABLE);
    ApplyRenderState(D3DRS_STENCILWRITEMASK);
    return D3D_OK;
}

namespace {
bool ValidTransform(DWORD t)
{
    return t == D3DTS_VIEW || t == D3DTS_PROJECTION || (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) ||
           (t >= 256 && t < 512);
}
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.f;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}
}  // namespace

HRESULT Direct3DDevice8Impl::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix || !ValidTransform(state)) return D3D8Fail(D3DERR_INVALIDCALL, "SetTransform", "bad state or null");
    if (recording_) {
        recording_->transforms[state] = *matrix;
        return D3D_OK;
    }
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (!matrix || !ValidTransform(state)) return D3D8Fail(D3DERR_INVALIDCALL, "GetTransform", "bad state or null");
    auto it = transforms_.find(state);
    *matrix = it == transforms_.end() ? Identity() : it->second;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix || !ValidTransform(state))
        return D3D8Fail(D3DERR_INVALIDCALL, "MultiplyTransform", "bad state or null");
    D3DMATRIX current;
    GetTransform(state, &current);
    transforms_[state] = Multiply(*matrix, current);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetViewport(const D3DVIEWPORT8* v)
{
    if (!v) return D3D8Fail(D3DERR_INVALIDCALL, "SetViewport", "null");
    if (v->Width == 0 || v->Height == 0 || (uint64_t)v->X + v->Width > bbWidth_ ||
        (uint64_t)v->Y + v->Height > bbHeight_ || v->MinZ < 0.f || v->MaxZ > 1.f || v->MinZ > v->MaxZ)
        return D3D8Fail(D3DERR_INVALIDCALL, "SetViewport", "viewport outside the render target");
    if (recording_) {
        recording_->viewport = *v;
        return D3D_OK;
    }
    viewport_ = *v;
    MakeCurrent();
    ApplyViewport();
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetViewport(D3DVIEWPORT8* v)
{
    if (!v) return D3D8Fail(D3DERR_INVALIDCALL, "GetViewport", "null");
    *v = viewport_;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetMaterial(const D3DMATERIAL8* m)
{
    if (!m) return D3D8Fail(D3DERR_INVALIDCALL, "SetMaterial", "null");
    if (recording_) {
        recording_->material = *m;
        return D3D_OK;
    }
    material_ = *m;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetMaterial(D3DMATERIAL8* m)
{
    if (!m) return D3D8Fail(D3DERR_INVALIDCALL, "GetMaterial", "null");
    *m = material_;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetLight(DWORD index, const D3DLIGHT8* light)
{
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3D8Fail(D3DERR_INVALIDCALL, "SetLight", "bad light or null");
    if (recording_) {
        recording_->lights[index] = *light;
        return D3D_OK;
    }
    lights_[index] = *light;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetLight(DWORD index, D3DLIGHT8* light)
{
    auto it = lights_.find(index);
    if (!light || it == lights_.end()) return D3D8Fail(D3DERR_INVALIDCALL, "GetLight", "light never set");
    *light = it->second;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::LightEnable(DWORD index, BOOL enable)
{
    if (recording_) {
        recording_->lightEnables[index] = enable;
        return D3D_OK;
    }
    if (enable) {
        // Enabling a light never set gives it Direct3D's default: white, directional, +z.
        if (!lights_.count(index)) {
            D3DLIGHT8 l{};
            l.Type = D3DLIGHT_DIRECTIONAL;
            l.Diffuse = D3DCOLORVALUE{1.f, 1.f, 1.f, 0.f};
            l.Direction = D3DVECTOR{0.f, 0.f, 1.f};
            lights_[index] = l;
        }
        if (!enabledLights_.count(index) && enabledLights_.size() >= (size_t)kMaxLights)
            return D3D8Fail(D3DERR_INVALIDCALL, "LightEnable", "more than 8 lights enabled");
        enabledLights_.insert(index);
    } else {
        enabledLights_.erase(index);
    }
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetLightEnable(DWORD index, BOOL* enable)
{
    if (!enable || !lights_.count(index)) return D3D8Fail(D3DERR_INVALIDCALL, "GetLightEnable", "light never set");
    *enable = enabledLights_.count(index) ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetClipPlane(DWORD index, const float* plane)
{
    if (!plane || index >= 6) return D3D8Fail(D3DERR_INVALIDCALL, "SetClipPlane", "bad index or null");
    std::memcpy(clipPlanes_[index], plane, sizeof(clipPlanes_[index]));
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetClipPlane(DWORD index, float* plane)
{
    if (!plane || index >= 6) return D3D8Fail(D3DERR_INVALIDCALL, "GetClipPlane", "bad index or null");
    std::memcpy(plane, clipPlanes_[index], sizeof(clipPlanes_[index]));
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if ((DWORD)state >= D3DRS_MAX_INDEX) return D3D8Fail(D3DERR_INVALIDCALL, "SetRenderState", "no such state");
    if (recording_) {
        recording_->renderStates[state] = value;
        return D3D_OK;
    }
    renderStates_[state] = value;
    MakeCurrent();
    ApplyRenderState(state);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (!value || (DWORD)state >= D3DRS_MAX_INDEX)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetRenderState", "no such state or null");
    *value = renderStates_[state];
    return D3D_OK;
}


HRESULT Direct3DDevice8Impl::SetClipStatus(const D3DCLIPSTATUS8* s)
{
    if (!s) return D3D8Fail(D3DERR_INVALIDCALL, "SetClipStatus", "null");
    clipStatus_ = *s;
    return D3D_OK;
}
HRESULT Direct3DDevice8Impl::GetClipStatus(D3DCLIPSTATUS8* s)
{
    if (!s) return D3D8Fail(D3DERR_INVALIDCALL, "GetClipStatus", "null");
    *s = clipStatus_;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture)
{
    if (!texture || stage >= D3D8_MAX_TEXTURE_STAGES)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetTexture", "bad stage or null");
    *texture = textures_[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture)
{
    if (stage >= D3D8_MAX_TEXTURE_STAGES) return D3D8Fail(D3DERR_INVALIDCALL, "SetTexture", "bad stage");
    auto* r = dynamic_cast<ResourceBase*>(texture);
    if (texture && (!r || r->Owner() != this))
        return D3D8Fail(D3DERR_INVALIDCALL, "SetTexture", "texture of another device");
    if (recording_) {
        recording_->textures[stage] = texture;
        return D3D_OK;
    }
    textures_[stage] = texture;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (!value || stage >= D3D8_MAX_TEXTURE_STAGES || (DWORD)type >= D3DTSS_MAX_INDEX)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetTextureStageState", "bad stage or state");
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= D3D8_MAX_TEXTURE_STAGES || (DWORD)type >= D3DTSS_MAX_INDEX)
        return D3D8Fail(D3DERR_INVALIDCALL, "SetTextureStageState", "bad stage or state");
    if (recording_) {
        recording_->stageStates[{stage, (DWORD)type}] = value;
        return D3D_OK;
    }
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::ValidateDevice(DWORD* passes)
{
    if (!passes) return D3D8Fail(D3DERR_INVALIDCALL, "ValidateDevice", "null");
    *passes = 1;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetVertexShader(DWORD handle)
{
    // Handles below 0x10000 are flexible vertex formats, the others programs made here.
    auto shader = shaders_.find(handle);
    if (handle >= 0x10000 && shader == shaders_.end())
        return D3D8Fail(D3DERR_INVALIDCALL, "SetVertexShader", "unknown shader handle");
    if (recording_) {
        recording_->vertexShader = handle;
        return D3D_OK;
    }
    vertexShader_ = handle;
    // Constants from the declaration and the program's def instructions load with the shader.
    if (shader != shaders_.end())
        for (auto& c : shader->second.constants) std::memcpy(shaderConstants_[c.first], c.second.data(), 16);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetVertexShader(DWORD* handle)
{
    if (!handle) return D3D8Fail(D3DERR_INVALIDCALL, "GetVertexShader", "null");
    *handle = vertexShader_;
    return D3D_OK;
}


HRESULT Direct3DDevice8Impl::SetVertexShaderConstant(DWORD reg, const void* data, DWORD count)
{
    if (!data || reg > kShaderConstants || count > kShaderConstants - reg)
        return D3D8Fail(D3DERR_INVALIDCALL, "SetVertexShaderConstant", "registers outside c0..c95");
    std::memcpy(shaderConstants_[reg], data, (size_t)count * 16);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetVertexShaderConstant(DWORD reg, void* data, DWORD count)
{
    if (!data || reg > kShaderConstants || count > kShaderConstants - reg)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetVertexShaderConstant", "registers outside c0..c95");
    std::memcpy(data, shaderConstants_[reg], (size_t)count * 16);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride)
{
    if (stream >= (UINT)kMaxStreams) return D3D8Fail(D3DERR_INVALIDCALL, "SetStreamSource", "bad stream");
    auto* vb = dynamic_cast<VertexBuffer8Impl*>(buffer);
    if (buffer && (!vb || vb->Owner() != this))
        return D3D8Fail(D3DERR_INVALIDCALL, "SetStreamSource", "buffer of another device");
    if (recording_) {
        recording_->streams[stream] = StreamBinding{vb, stride};
        return D3D_OK;
    }
    streams_[stream] = StreamBinding{vb, stride};
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetStreamSource(UINT stream, IDirect3DVertexBuffer8** buffer, UINT* stride)
{
    if (!buffer || !stride || stream >= (UINT)kMaxStreams)
        return D3D8Fail(D3DERR_INVALIDCALL, "GetStreamSource", "bad stream or null");
    *buffer = streams_[stream].buffer;
    if (*buffer) (*buffer)->AddRef();
    *stride = streams_[stream].stride;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex)
{
    auto* ib = dynamic_cast<IndexBuffer8Impl*>(buffer);
    if (buffer && (!ib || ib->Owner() != this))
        return D3D8Fail(D3DERR_INVALIDCALL, "SetIndices", "buffer of another device");
    if (recording_) {
        recording_->indices = std::make_pair(ib, baseVertexIndex);
        return D3D_OK;
    }
    indices_ = ib;
    baseVertexIndex_ = baseVertexIndex;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetIndices(IDirect3DIndexBuffer8** buffer, UINT* baseVertexIndex)
{
    if (!buffer || !baseVertexIndex) return D3D8Fail(D3DERR_INVALIDCALL, "GetIndices", "null");
    *buffer = indices_;
    if (*buffer) (*buffer)->AddRef();
    *baseVertexIndex = baseVertexIndex_;
    return D3D_OK;
}

// The device offers no pixel shaders (PixelShaderVersion 0): only the fixed-function stages.
HRESULT Direct3DDevice8Impl::CreatePixelShader(const DWORD*, DWORD*) { return NotBuilt("CreatePixelShader"); }
HRESULT Direct3DDevice8Impl::DeletePixelShader(DWORD) { return NotBuilt("DeletePixelShader"); }
HRESULT Direct3DDevice8Impl::SetPixelShaderConstant(DWORD, const void*, DWORD)
{
    return NotBuilt("SetPixelShaderConstant");
}

HRESULT Direct3DDevice8Impl::SetPixelShader(DWORD handle)
{
    if (handle != 0) return NotBuilt("SetPixelShader");
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::GetPixelShader(DWORD* handle)
{
    if (!handle) return D3D8Fail(D3DERR_INVALIDCALL, "GetPixelShader", "null");
    *handle = 0;
    return D3D_OK;
}
