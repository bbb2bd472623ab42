// State blocks: a recorded or typed set of device states that can be applied and refreshed.
#include "platform/d3d8/d3d8_internal.h"

namespace {
// Direct3D 8's pixel states and vertex states, as CreateStateBlock groups them.
const D3DRENDERSTATETYPE kPixelRenderStates[] = {
    D3DRS_ZENABLE,          D3DRS_FILLMODE,          D3DRS_SHADEMODE,        D3DRS_LINEPATTERN,
    D3DRS_ZWRITEENABLE,     D3DRS_ALPHATESTENABLE,   D3DRS_LASTPIXEL,        D3DRS_SRCBLEND,
    D3DRS_DESTBLEND,        D3DRS_ZFUNC,             D3DRS_ALPHAREF,         D3DRS_ALPHAFUNC,
    D3DRS_DITHERENABLE,     D3DRS_ALPHABLENDENABLE,  D3DRS_FOGSTART,         D3DRS_FOGEND,
    D3DRS_FOGDENSITY,       D3DRS_EDGEANTIALIAS,     D3DRS_ZBIAS,            D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL,      D3DRS_STENCILZFAIL,      D3DRS_STENCILPASS,      D3DRS_STENCILFUNC,
    D3DRS_STENCILREF,       D3DRS_STENCILMASK,       D3DRS_STENCILWRITEMASK, D3DRS_TEXTUREFACTOR,
    D3DRS_WRAP0,            D3DRS_WRAP1,             D3DRS_WRAP2,            D3DRS_WRAP3,
    D3DRS_WRAP4,            D3DRS_WRAP5,             D3DRS_WRAP6,            D3DRS_WRAP7,
    D3DRS_COLORWRITEENABLE, D3DRS_BLENDOP,
};
const D3DRENDERSTATETYPE kVertexRenderStates[] = {
    D3DRS_SHADEMODE,          D3DRS_SPECULARENABLE,         D3DRS_CULLMODE,
    D3DRS_FOGENABLE,          D3DRS_FOGVERTEXMODE,          D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,           D3DRS_FOGEND,                 D3DRS_FOGDENSITY,
    D3DRS_RANGEFOGENABLE,     D3DRS_AMBIENT,                D3DRS_COLORVERTEX,
    D3DRS_LIGHTING,           D3DRS_NORMALIZENORMALS,       D3DRS_LOCALVIEWER,
    D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_SPECULARMATERIALSOURCE, D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_EMISSIVEMATERIALSOURCE, D3DRS_VERTEXBLEND,        D3DRS_CLIPPLANEENABLE,
    D3DRS_SOFTWAREVERTEXPROCESSING, D3DRS_POINTSIZE,        D3DRS_POINTSIZE_MIN,
    D3DRS_POINTSPRITEENABLE,  D3DRS_POINTSCALEENABLE,       D3DRS_POINTSCALE_A,
    D3DRS_POINTSCALE_B,       D3DRS_POINTSCALE_C,           D3DRS_MULTISAMPLEANTIALIAS,
    D3DRS_MULTISAMPLEMASK,    D3DRS_PATCHEDGESTYLE,         D3DRS_PATCHSEGMENTS,
    D3DRS_POINTSIZE_MAX,      D3DRS_INDEXEDVERTEXBLENDENABLE, D3DRS_TWEENFACTOR,
};
const D3DTEXTURESTAGESTATETYPE kVertexStageStates[] = {D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS};
}  // namespace

HRESULT Direct3DDevice8Impl::BeginStateBlock()
{
    if (recording_) return D3D8Fail(D3DERR_INVALIDCALL, "BeginStateBlock", "already recording");
    recording_ = std::make_unique<StateBlock>();
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::EndStateBlock(DWORD* token)
{
    if (!token) return D3D8Fail(D3DERR_INVALIDCALL, "EndStateBlock", "null");
    if (!recording_) return D3D8Fail(D3DERR_INVALIDCALL, "EndStateBlock", "not recording");
    *token = nextStateBlock_++;
    stateBlocks_[*token] = std::move(*recording_);
    recording_.reset();
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token)
{
    if (!token || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE)
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateStateBlock", "bad type or null");
    if (recording_) return D3D8Fail(D3DERR_INVALIDCALL, "CreateStateBlock", "while recording");
    StateBlock block;
    bool pixel = type == D3DSBT_ALL || type == D3DSBT_PIXELSTATE;
    bool vertex = type == D3DSBT_ALL || type == D3DSBT_VERTEXSTATE;
    if (type == D3DSBT_ALL) {
        for (DWORD s = 0; s < D3DRS_MAX_INDEX; ++s) block.renderStates[s] = 0;
        for (DWORD st = 0; st < D3D8_MAX_TEXTURE_STAGES; ++st)
            for (DWORD t = 1; t < D3DTSS_MAX_INDEX; ++t) block.stageStates[{st, t}] = 0;
        for (DWORD st = 0; st < D3D8_MAX_TEXTURE_STAGES; ++st) block.textures[st] = nullptr;
        for (auto& t : transforms_) block.transforms[t.first] = t.second;
        block.viewport = viewport_;
        block.material = material_;
        for (UINT i = 0; i < (UINT)kMaxStreams; ++i) block.streams[i] = StreamBinding{};
        block.indices = std::make_pair(indices_, baseVertexIndex_);
    } else {
        if (pixel) {
            for (auto s : kPixelRenderStates) block.renderStates[s] = 0;
            for (DWORD st = 0; st < D3D8_MAX_TEXTURE_STAGES; ++st)
                for (DWORD t = 1; t < D3DTSS_MAX_INDEX; ++t)
                    if (t != D3DTSS_TEXCOORDINDEX && t != D3DTSS_TEXTURETRANSFORMFLAGS) block.stageStates[{st, t}] = 0;
        }
        if (vertex) {
            for (auto s : kVertexRenderStates) block.renderStates[s] = 0;
            for (DWORD st = 0; st < D3D8_MAX_TEXTURE_STAGES; ++st)
                for (auto t : kVertexStageStates) block.stageStates[{st, (DWORD)t}] = 0;
        }
    }
    if (vertex) {
        for (auto& l : lights_) {
            block.lights[l.first] = l.second;
            block.lightEnables[l.first] = FALSE;
        }
        block.vertexShader = vertexShader_;
    }
    CaptureInto(block);
    *token = nextStateBlock_++;
    stateBlocks_[*token] = std::move(block);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::ApplyStateBlock(DWORD token)
{
    auto it = stateBlocks_.find(token);
    if (it == stateBlocks_.end() || recording_)
        return D3D8Fail(D3DERR_INVALIDCALL, "ApplyStateBlock", "unknown block or recording");
    ApplyBlock(it->second);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::CaptureStateBlock(DWORD token)
{
    auto it = stateBlocks_.find(token);
    if (it == stateBlocks_.end() || recording_)
        return D3D8Fail(D3DERR_INVALIDCALL, "CaptureStateBlock", "unknown block or recording");
    CaptureInto(it->second);
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::DeleteStateBlock(DWORD token)
{
    if (!stateBlocks_.erase(token)) return D3D8Fail(D3DERR_INVALIDCALL, "DeleteStateBlock", "unknown block");
    return D3D_OK;
}

void Direct3DDevice8Impl::CaptureInto(StateBlock& b)
{
    for (auto& rs : b.renderStates) rs.second = renderStates_[rs.first];
    for (auto& ts : b.stageStates) ts.second = stageStates_[ts.first.first][ts.first.second];
    for (auto& t : b.textures) t.second = textures_[t.first];
    for (auto& t : b.transforms) GetTransform((D3DTRANSFORMSTATETYPE)t.first, &t.second);
    if (b.viewport) b.viewport = viewport_;
    if (b.material) b.material = material_;
    for (auto& l : b.lights) {
        auto it = lights_.find(l.first);
        if (it != lights_.end()) l.second = it->second;
    }
    for (auto& e : b.lightEnables) e.second = enabledLights_.count(e.first) ? TRUE : FALSE;
    if (b.vertexShader) b.vertexShader = vertexShader_;
    for (auto& s : b.streams) s.second = streams_[s.first];
    if (b.indices) b.indices = std::make_pair(indices_, baseVertexIndex_);
}

void Direct3DDevice8Impl::ApplyBlock(const StateBlock& b)
{
    for (auto& rs : b.renderStates) SetRenderState((D3DRENDERSTATETYPE)rs.first, rs.second);
    for (auto& ts : b.stageStates)
        SetTextureStageState(ts.first.first, (D3DTEXTURESTAGESTATETYPE)ts.first.second, ts.second);
    for (auto& t : b.textures) SetTexture(t.first, t.second);
    for (auto& t : b.transforms) SetTransform((D3DTRANSFORMSTATETYPE)t.first, &t.second);
    if (b.viewport) SetViewport(&*b.viewport);
    if (b.material) SetMaterial(&*b.material);
    for (auto& l : b.lights) SetLight(l.first, &l.second);
    for (auto& e : b.lightEnables) LightEnable(e.first, e.second);
    if (b.vertexShader) SetVertexShader(*b.vertexShader);
    for (auto& s : b.streams) SetStreamSource(s.first, s.second.buffer, s.second.stride);
    if (b.indices) SetIndices(b.indices->first, b.indices->second);
}

void Direct3DDevice8Impl::ForgetInStateBlocks(ResourceBase* r)
{
    auto forget = [r](StateBlock& b) {
        for (auto& t : b.textures)
            if (t.second && static_cast<const void*>(t.second) == r->TextureInterface()) t.second = nullptr;
        for (auto& s : b.streams)
            if (s.second.buffer == r) s.second = StreamBinding{};
        if (b.indices && b.indices->first == r) b.indices->first = nullptr;
    };
    for (auto& b : stateBlocks_) forget(b.second);
    if (recording_) forget(*recording_);
}
