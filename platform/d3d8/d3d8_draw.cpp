// Drawing: flexible vertex formats expanded into client arrays, Direct3D's transforms, lights,
// material and texture stages mapped onto OpenGL's fixed-function pipeline.
#include "platform/d3d8/d3d8_internal.h"
#include "platform/win32/platform_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
struct VertexLayout {
    bool pretransformed = false;
    bool normal = false, diffuse = false, specular = false, pointSize = false;
    UINT texSets = 0;
    UINT texSize[8] = {};
    UINT offNormal = 0, offDiffuse = 0, offSpecular = 0, offTex[8] = {};
    UINT size = 0;
};

bool ParseFvf(DWORD fvf, VertexLayout& l)
{
    DWORD pos = fvf & D3DFVF_POSITION_MASK;
    if (pos == D3DFVF_XYZ) {
        l.size = 12;
    } else if (pos == D3DFVF_XYZRHW) {
        l.size = 16;
        l.pretransformed = true;
    } else {
        return false;  // blend weights and position-less formats are not drawn
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normal = true;
        l.offNormal = l.size;
        l.size += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        l.pointSize = true;
        l.size += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = true;
        l.offDiffuse = l.size;
        l.size += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specular = true;
        l.offSpecular = l.size;
        l.size += 4;
    }
    l.texSets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (l.texSets > 8) return false;
    static const UINT kSizes[4] = {2, 3, 4, 1};
    for (UINT i = 0; i < l.texSets; ++i) {
        l.texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
        l.offTex[i] = l.size;
        l.size += 4 * l.texSize[i];
    }
    return true;
}

UINT VerticesFor(D3DPRIMITIVETYPE type, UINT primitives)
{
    switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitives + 2;
    default: return 0;
    }
}

GLenum GlPrimitive(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

void ColourToFloats(DWORD c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.f;
    out[1] = ((c >> 8) & 0xFF) / 255.f;
    out[2] = (c & 0xFF) / 255.f;
    out[3] = ((c >> 24) & 0xFF) / 255.f;
}

void SetColourRgba(uint8_t* out, const uint8_t* bgra)
{
    out[0] = bgra[2];
    out[1] = bgra[1];
    out[2] = bgra[0];
    out[3] = bgra[3];
}

struct TextureFormatGl {
    GLint internal;
    GLenum format, type;
};

bool GlFormat(D3DFORMAT f, TextureFormatGl& out)
{
    switch (f) {
    case D3DFMT_A8R8G8B8: out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE}; return true;
    case D3DFMT_X8R8G8B8: out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE}; return true;
    case D3DFMT_R5G6B5: out = {GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5}; return true;
    case D3DFMT_X1R5G5B5: out = {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV}; return true;
    case D3DFMT_A1R5G5B5: out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV}; return true;
    case D3DFMT_A4R4G4B4: out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV}; return true;
    default: return false;
    }
}

struct CombineArg {
    GLint source, operand;
};

CombineArg Argument(DWORD arg, DWORD stage, bool alpha)
{
    CombineArg a{GL_PRIMARY_COLOR, alpha ? GL_SRC_ALPHA : GL_SRC_COLOR};
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: a.source = GL_PRIMARY_COLOR; break;
    case D3DTA_CURRENT: a.source = stage == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS; break;
    case D3DTA_TEXTURE: a.source = GL_TEXTURE; break;
    case D3DTA_TFACTOR: a.source = GL_CONSTANT; break;
    default: a.source = stage == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS; break;
    }
    bool complement = (arg & D3DTA_COMPLEMENT) != 0;
    if (alpha || (arg & D3DTA_ALPHAREPLICATE))
        a.operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
        a.operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
    return a;
}

// One channel group (colour or alpha) of a stage as GL_COMBINE state.
void SetCombine(DWORD op, DWORD arg1, DWORD arg2, DWORD stage, bool alpha)
{
    const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    const GLenum src[3] = {GLenum(alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB), GLenum(alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB),
                           GLenum(alpha ? GL_SRC2_ALPHA : GL_SRC2_RGB)};
    const GLenum opnd[3] = {GLenum(alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB),
                            GLenum(alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB),
                            GLenum(alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB)};
    const GLenum scale = alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE;
    CombineArg a1 = Argument(arg1, stage, alpha), a2 = Argument(arg2, stage, alpha);
    auto set = [&](int i, CombineArg a) {
        glTexEnvi(GL_TEXTURE_ENV, src[i], a.source);
        glTexEnvi(GL_TEXTURE_ENV, opnd[i], a.operand);
    };
    GLint mode = GL_MODULATE;
    float factor = 1.f;
    switch (op) {
    case D3DTOP_DISABLE:  // only reached for alpha: the alpha passes through
        mode = GL_REPLACE;
        set(0, CombineArg{stage == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS, GL_SRC_ALPHA});
        break;
    case D3DTOP_SELECTARG1: mode = GL_REPLACE; set(0, a1); break;
    case D3DTOP_SELECTARG2: mode = GL_REPLACE; set(0, a2); break;
    case D3DTOP_MODULATE4X: factor = 2.f; [[fallthrough]];
    case D3DTOP_MODULATE2X: factor *= 2.f; [[fallthrough]];
    case D3DTOP_MODULATE: mode = GL_MODULATE; set(0, a1); set(1, a2); break;
    case D3DTOP_ADD: mode = GL_ADD; set(0, a1); set(1, a2); break;
    case D3DTOP_ADDSIGNED2X: factor = 2.f; [[fallthrough]];
    case D3DTOP_ADDSIGNED: mode = GL_ADD_SIGNED; set(0, a1); set(1, a2); break;
    case D3DTOP_SUBTRACT: mode = GL_SUBTRACT; set(0, a1); set(1, a2); break;
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: {
        mode = GL_INTERPOLATE;
        set(0, a1);
        set(1, a2);
        GLint s = op == D3DTOP_BLENDDIFFUSEALPHA   ? GL_PRIMARY_COLOR
                  : op == D3DTOP_BLENDTEXTUREALPHA ? GL_TEXTURE
                  : op == D3DTOP_BLENDFACTORALPHA  ? GL_CONSTANT
                                                   : (stage == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS);
        set(2, CombineArg{s, GL_SRC_ALPHA});
        break;
    }
    case D3DTOP_DOTPRODUCT3:
        if (!alpha) {
            mode = GL_DOT3_RGBA;
            set(0, a1);
            set(1, a2);
            break;
        }
        [[fallthrough]];
    default: {
        static bool traced = false;
        if (!traced) {
            PlatformTrace("Direct3D8: texture operation %u is drawn as MODULATE", (unsigned)op);
            traced = true;
        }
        mode = GL_MODULATE;
        set(0, a1);
        set(1, a2);
        break;
    }
    }
    glTexEnvi(GL_TEXTURE_ENV, combine, mode);
    glTexEnvf(GL_TEXTURE_ENV, scale, factor);
}

GLint GlAddress(DWORD a)
{
    switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

constexpr int kTextureUnits = 4;
}  // namespace

void Direct3DDevice8Impl::DeleteGlTexture(unsigned id)
{
    if (!context_ || !id) return;
    MakeCurrent();
    glDeleteTextures(1, &id);
}

void Direct3DDevice8Impl::UploadTexture(Texture8Impl* t)
{
    TextureFormatGl f;
    if (!GlFormat(t->Format(), f)) return;
    if (!t->glTexture) glGenTextures(1, &t->glTexture);
    glBindTexture(GL_TEXTURE_2D, t->glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    auto& levels = t->Levels();
    for (size_t i = 0; i < levels.size(); ++i)
        glTexImage2D(GL_TEXTURE_2D, (GLint)i, f.internal, (GLsizei)levels[i].width, (GLsizei)levels[i].height, 0,
                     f.format, f.type, levels[i].pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)levels.size() - 1);
    t->dirty = false;
}

void Direct3DDevice8Impl::BindStageTexture(DWORD stage)
{
    auto* texture = textures_[stage] ? dynamic_cast<Texture8Impl*>(textures_[stage]) : nullptr;
    if (!texture) {
        // A stage without a texture samples white.
        if (!whiteTexture_) {
            const uint8_t white[4] = {255, 255, 255, 255};
            glGenTextures(1, &whiteTexture_);
            glBindTexture(GL_TEXTURE_2D, whiteTexture_);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        }
        glBindTexture(GL_TEXTURE_2D, whiteTexture_);
        return;
    }
    if (texture->dirty || !texture->glTexture) UploadTexture(texture);
    glBindTexture(GL_TEXTURE_2D, texture->glTexture);
    const DWORD* ts = stageStates_[stage];
    bool magLinear = ts[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR;
    bool minLinear = ts[D3DTSS_MINFILTER] >= D3DTEXF_LINEAR;
    GLint minFilter;
    if (ts[D3DTSS_MIPFILTER] == D3DTEXF_NONE || texture->Levels().size() == 1)
        minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    else if (ts[D3DTSS_MIPFILTER] == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GlAddress(ts[D3DTSS_ADDRESSU]));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GlAddress(ts[D3DTSS_ADDRESSV]));
    float border[4];
    ColourToFloats(ts[D3DTSS_BORDERCOLOR], border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
}

void Direct3DDevice8Impl::SetupTransformsAndLights(bool pretransformed)
{
    glMatrixMode(GL_PROJECTION);
    if (pretransformed) {
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_FOG);
        return;
    }
    // Direct3D's clip z runs 0..w, OpenGL's -w..w: P' = P * T with z' = 2z - w.
    D3DMATRIX p = transforms_[D3DTS_PROJECTION];
    for (int r = 0; r < 4; ++r) p.m[r][2] = 2.f * p.m[r][2] - p.m[r][3];
    glLoadMatrixf(&p._11);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&transforms_[D3DTS_VIEW]._11);

    bool lighting = renderStates_[D3DRS_LIGHTING] != 0;
    if (lighting) {
        glEnable(GL_LIGHTING);
        bool specular = renderStates_[D3DRS_SPECULARENABLE] != 0;
        int unit = 0;
        for (DWORD index : enabledLights_) {
            if (unit >= kMaxLights) break;
            const D3DLIGHT8& l = lights_[index];
            GLenum light = GL_LIGHT0 + unit++;
            glEnable(light);
            float diffuse[4] = {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b, l.Diffuse.a};
            float ambient[4] = {l.Ambient.r, l.Ambient.g, l.Ambient.b, l.Ambient.a};
            float spec[4] = {0.f, 0.f, 0.f, 0.f};
            if (specular) {
                spec[0] = l.Specular.r;
                spec[1] = l.Specular.g;
                spec[2] = l.Specular.b;
                spec[3] = l.Specular.a;
            }
            glLightfv(light, GL_DIFFUSE, diffuse);
            glLightfv(light, GL_AMBIENT, ambient);
            glLightfv(light, GL_SPECULAR, spec);
            if (l.Type == D3DLIGHT_DIRECTIONAL) {
                // Direction is where the light travels; GL wants the direction towards it.
                float pos[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.f};
                glLightfv(light, GL_POSITION, pos);
                glLightf(light, GL_SPOT_CUTOFF, 180.f);
                glLightf(light, GL_CONSTANT_ATTENUATION, 1.f);
                glLightf(light, GL_LINEAR_ATTENUATION, 0.f);
                glLightf(light, GL_QUADRATIC_ATTENUATION, 0.f);
            } else {
                float pos[4] = {l.Position.x, l.Position.y, l.Position.z, 1.f};
                glLightfv(light, GL_POSITION, pos);
                glLightf(light, GL_CONSTANT_ATTENUATION, l.Attenuation0);
                glLightf(light, GL_LINEAR_ATTENUATION, l.Attenuation1);
                glLightf(light, GL_QUADRATIC_ATTENUATION, l.Attenuation2);
                if (l.Type == D3DLIGHT_SPOT) {
                    float dir[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
                    glLightfv(light, GL_SPOT_DIRECTION, dir);
                    glLightf(light, GL_SPOT_CUTOFF, std::clamp(l.Phi * 0.5f * 57.29578f, 0.f, 90.f));
                    glLightf(light, GL_SPOT_EXPONENT, std::clamp(l.Falloff, 0.f, 128.f));
                } else {
                    glLightf(light, GL_SPOT_CUTOFF, 180.f);
                }
            }
        }
        for (; unit < kMaxLights; ++unit) glDisable(GL_LIGHT0 + unit);
        const D3DMATERIAL8& m = material_;
        float d[4] = {m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a};
        float a[4] = {m.Ambient.r, m.Ambient.g, m.Ambient.b, m.Ambient.a};
        float e[4] = {m.Emissive.r, m.Emissive.g, m.Emissive.b, m.Emissive.a};
        float s[4] = {0.f, 0.f, 0.f, 1.f};
        if (specular) {
            s[0] = m.Specular.r;
            s[1] = m.Specular.g;
            s[2] = m.Specular.b;
        }
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, a);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, e);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, s);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m.Power, 0.f, 128.f));
    } else {
        glDisable(GL_LIGHTING);
    }
    glMultMatrixf(&transforms_[D3DTS_WORLD]._11);
}

void Direct3DDevice8Impl::SetupStages(bool pretransformed, UINT texCoordSets)
{
    float factor[4];
    ColourToFloats(renderStates_[D3DRS_TEXTUREFACTOR], factor);
    bool enabled = true;
    for (int stage = 0; stage < kTextureUnits; ++stage) {
        gl_.ActiveTexture(GL_TEXTURE0 + stage);
        gl_.ClientActiveTexture(GL_TEXTURE0 + stage);
        const DWORD* ts = stageStates_[stage];
        if (enabled && ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) enabled = false;
        if (!enabled) {
            glDisable(GL_TEXTURE_2D);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            continue;
        }
        glEnable(GL_TEXTURE_2D);
        BindStageTexture(stage);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
        SetCombine(ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2], stage, false);
        SetCombine(ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2], stage, true);
        glMatrixMode(GL_TEXTURE);
        if (!pretransformed && ts[D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE)
            glLoadMatrixf(&transforms_[D3DTS_TEXTURE0 + stage]._11);
        else
            glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        (void)texCoordSets;
    }
    gl_.ActiveTexture(GL_TEXTURE0);
    gl_.ClientActiveTexture(GL_TEXTURE0);
}

HRESULT Direct3DDevice8Impl::DrawVertices(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* data,
                                          UINT vertexCount, UINT stride, const std::vector<uint32_t>* indices,
                                          const char* call)
{
    VertexLayout layout;
    if (vertexShader_ >= 0x10000 || !ParseFvf(vertexShader_, layout))
        return D3D8Fail(D3DERR_INVALIDCALL, call, "the vertex format is not drawn by this device");
    if (stride < layout.size) return D3D8Fail(D3DERR_INVALIDCALL, call, "stride smaller than the vertex format");
    if (primitiveCount == 0) return D3D_OK;
    MakeCurrent();

    // Expand into arrays OpenGL takes directly.
    std::vector<float> position((size_t)vertexCount * 4), normal, tex[8];
    std::vector<uint8_t> colour((size_t)vertexCount * 4, 255);
    if (layout.normal) normal.resize((size_t)vertexCount * 3);
    bool texTransform[8] = {};
    for (UINT s = 0; s < layout.texSets; ++s) tex[s].assign((size_t)vertexCount * 4, 0.f);
    for (int stage = 0; stage < kTextureUnits; ++stage) {
        UINT set = stageStates_[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        if (set < 8 && stageStates_[stage][D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE) texTransform[set] = true;
    }
    const float W = (float)bbWidth_, H = (float)bbHeight_;
    for (UINT v = 0; v < vertexCount; ++v) {
        const uint8_t* src = data + (size_t)v * stride;
        float f[4];
        std::memcpy(f, src, layout.pretransformed ? 16 : 12);
        float* out = &position[(size_t)v * 4];
        if (layout.pretransformed) {
            // Pixel centres on integers, y down, z 0..1; keep perspective with w = 1 / rhw.
            float rhw = f[3] == 0.f ? 1.f : f[3];
            float w = 1.f / rhw;
            out[0] = ((f[0] + 0.5f) * 2.f / W - 1.f) * w;
            out[1] = (1.f - (f[1] + 0.5f) * 2.f / H) * w;
            out[2] = (2.f * f[2] - 1.f) * w;
            out[3] = w;
        } else {
            out[0] = f[0];
            out[1] = f[1];
            out[2] = f[2];
            out[3] = 1.f;
        }
        if (layout.normal) std::memcpy(&normal[(size_t)v * 3], src + layout.offNormal, 12);
        if (layout.diffuse) SetColourRgba(&colour[(size_t)v * 4], src + layout.offDiffuse);
        for (UINT s = 0; s < layout.texSets; ++s) {
            float* t = &tex[s][(size_t)v * 4];
            std::memcpy(t, src + layout.offTex[s], 4 * layout.texSize[s]);
            UINT n = layout.texSize[s];
            // Direct3D extends a 2D coordinate with 1 before a texture transform (translation in
            // the third row), OpenGL with (0, 1); pass the padding explicitly.
            if (n < 3) t[2] = texTransform[s] ? 1.f : 0.f;
            if (n < 4) t[3] = texTransform[s] ? 0.f : 1.f;
            if (n < 2) t[1] = 0.f;
        }
    }

    SetupTransformsAndLights(layout.pretransformed);
    SetupStages(layout.pretransformed, layout.texSets);
    if (layout.pretransformed) {
        // Screen coordinates address the whole target; the viewport only clips.
        glViewport(0, 0, (GLsizei)bbWidth_, (GLsizei)bbHeight_);
        glDepthRange(0.0, 1.0);
        glEnable(GL_SCISSOR_TEST);
        glScissor((GLint)viewport_.X, (GLint)(bbHeight_ - viewport_.Y - viewport_.Height), (GLsizei)viewport_.Width,
                  (GLsizei)viewport_.Height);
    }
    bool lit = !layout.pretransformed && renderStates_[D3DRS_LIGHTING] != 0;
    if (lit && layout.diffuse && renderStates_[D3DRS_COLORVERTEX]) {
        bool diffuseFromVertex = renderStates_[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
        bool ambientFromVertex = renderStates_[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
        if (diffuseFromVertex || ambientFromVertex) {
            glColorMaterial(GL_FRONT_AND_BACK, diffuseFromVertex && ambientFromVertex ? GL_AMBIENT_AND_DIFFUSE
                                               : diffuseFromVertex                  ? GL_DIFFUSE
                                                                                    : GL_AMBIENT);
            glEnable(GL_COLOR_MATERIAL);
        } else {
            glDisable(GL_COLOR_MATERIAL);
        }
    } else {
        glDisable(GL_COLOR_MATERIAL);
    }

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, position.data());
    if (layout.normal) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, normal.data());
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
        glNormal3f(0.f, 0.f, 0.f);
    }
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colour.data());
    for (int stage = 0; stage < kTextureUnits; ++stage) {
        gl_.ClientActiveTexture(GL_TEXTURE0 + stage);
        UINT set = stageStates_[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        if (set < layout.texSets) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(4, GL_FLOAT, 0, tex[set].data());
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    gl_.ClientActiveTexture(GL_TEXTURE0);

    GLenum mode = GlPrimitive(type);
    if (indices)
        glDrawElements(mode, (GLsizei)indices->size(), GL_UNSIGNED_INT, indices->data());
    else
        glDrawArrays(mode, 0, (GLsizei)vertexCount);

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    for (int stage = 0; stage < kTextureUnits; ++stage) {
        gl_.ClientActiveTexture(GL_TEXTURE0 + stage);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    gl_.ClientActiveTexture(GL_TEXTURE0);
    if (layout.pretransformed) {
        glDisable(GL_SCISSOR_TEST);
        ApplyViewport();
        ApplyRenderState(D3DRS_FOGENABLE);
    }
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    UINT count = VerticesFor(type, primitiveCount);
    if (count == 0 && primitiveCount) return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitive", "bad primitive type");
    if (vertexShader_ >= 0x10000) {
        auto shader = shaders_.find(vertexShader_);
        if (shader == shaders_.end()) return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitive", "no shader");
        const uint8_t* data[kMaxStreams] = {};
        UINT strides[kMaxStreams] = {};
        for (auto& in : shader->second.inputs) {
            const StreamBinding& b = streams_[in.stream];
            if (!b.buffer || b.stride == 0 ||
                (uint64_t)(startVertex + (uint64_t)count) * b.stride > b.buffer->Data().size())
                return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitive", "a stream is missing or too short");
            data[in.stream] = b.buffer->Data().data() + (size_t)startVertex * b.stride;
            strides[in.stream] = b.stride;
        }
        if (primitiveCount == 0) return D3D_OK;
        return DrawWithShader(shader->second, type, data, strides, count, nullptr, "DrawPrimitive");
    }
    const StreamBinding& s = streams_[0];
    if (!s.buffer || s.stride == 0) return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitive", "no stream 0");
    const auto& data = s.buffer->Data();
    if ((uint64_t)(startVertex + (uint64_t)count) * s.stride > data.size())
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitive", "vertices beyond the buffer");
    return DrawVertices(type, primitiveCount, data.data() + (size_t)startVertex * s.stride, count, s.stride, nullptr,
                        "DrawPrimitive");
}

namespace {
// Reads `count` indices, adds the base and checks each against the vertices there are; the
// smallest and largest give the range of vertices to expand.
bool GatherIndices(const uint8_t* src, size_t available, bool wide, UINT start, UINT count, UINT base,
                   uint64_t vertexLimit, std::vector<uint32_t>& out, uint32_t& lowest, uint32_t& highest)
{
    size_t width = wide ? 4 : 2;
    if ((uint64_t)(start + (uint64_t)count) * width > available) return false;
    out.resize(count);
    lowest = UINT32_MAX;
    highest = 0;
    for (UINT i = 0; i < count; ++i) {
        uint32_t v;
        if (wide) {
            std::memcpy(&v, src + (size_t)(start + i) * 4, 4);
        } else {
            uint16_t h;
            std::memcpy(&h, src + (size_t)(start + i) * 2, 2);
            v = h;
        }
        uint64_t full = (uint64_t)v + base;
        if (full >= vertexLimit) return false;
        out[i] = (uint32_t)full;
        lowest = std::min(lowest, (uint32_t)full);
        highest = std::max(highest, (uint32_t)full);
    }
    for (auto& i : out) i -= lowest;
    return true;
}
}  // namespace

HRESULT Direct3DDevice8Impl::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex,
                                                  UINT primitiveCount)
{
    UINT count = VerticesFor(type, primitiveCount);
    if (count == 0 && primitiveCount) return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "bad type");
    if (vertexShader_ >= 0x10000) {
        auto shader = shaders_.find(vertexShader_);
        if (shader == shaders_.end() || !indices_)
            return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "no shader or no indices");
        if (primitiveCount == 0) return D3D_OK;
        // Every declared stream must hold every vertex the indices reach.
        uint64_t limit = UINT64_MAX;
        for (auto& in : shader->second.inputs) {
            const StreamBinding& b = streams_[in.stream];
            if (!b.buffer || b.stride == 0)
                return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "a declared stream is not set");
            limit = std::min<uint64_t>(limit, b.buffer->Data().size() / b.stride);
        }
        std::vector<uint32_t> idx;
        uint32_t lowest = 0, highest = 0;
        if (!GatherIndices(indices_->Data().data(), indices_->Data().size(), indices_->Format() == D3DFMT_INDEX32,
                           startIndex, count, baseVertexIndex_, limit, idx, lowest, highest))
            return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "indices beyond their buffers");
        const uint8_t* data[kMaxStreams] = {};
        UINT strides[kMaxStreams] = {};
        for (auto& in : shader->second.inputs) {
            const StreamBinding& b = streams_[in.stream];
            data[in.stream] = b.buffer->Data().data() + (size_t)lowest * b.stride;
            strides[in.stream] = b.stride;
        }
        return DrawWithShader(shader->second, type, data, strides, highest - lowest + 1, &idx, "DrawIndexedPrimitive");
    }
    const StreamBinding& s = streams_[0];
    if (!s.buffer || s.stride == 0 || !indices_)
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "no stream 0 or no indices");
    if (primitiveCount == 0) return D3D_OK;
    const auto& data = s.buffer->Data();
    std::vector<uint32_t> idx;
    uint32_t lowest = 0, highest = 0;
    if (!GatherIndices(indices_->Data().data(), indices_->Data().size(), indices_->Format() == D3DFMT_INDEX32,
                       startIndex, count, baseVertexIndex_, data.size() / s.stride, idx, lowest, highest))
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitive", "indices beyond their buffers");
    return DrawVertices(type, primitiveCount, data.data() + (size_t)lowest * s.stride, highest - lowest + 1, s.stride,
                        &idx, "DrawIndexedPrimitive");
}

HRESULT Direct3DDevice8Impl::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                             UINT stride)
{
    UINT count = VerticesFor(type, primitiveCount);
    if (!vertices || stride == 0 || (count == 0 && primitiveCount))
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitiveUP", "bad arguments");
    // Direct3D forgets stream 0 after a draw from user memory.
    streams_[0] = StreamBinding{};
    if (vertexShader_ >= 0x10000) {
        auto shader = shaders_.find(vertexShader_);
        if (shader == shaders_.end()) return D3D8Fail(D3DERR_INVALIDCALL, "DrawPrimitiveUP", "no shader");
        const uint8_t* data[kMaxStreams] = {static_cast<const uint8_t*>(vertices)};
        UINT strides[kMaxStreams] = {stride};
        if (primitiveCount == 0) return D3D_OK;
        return DrawWithShader(shader->second, type, data, strides, count, nullptr, "DrawPrimitiveUP");
    }
    return DrawVertices(type, primitiveCount, static_cast<const uint8_t*>(vertices), count, stride, nullptr,
                        "DrawPrimitiveUP");
}

HRESULT Direct3DDevice8Impl::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                                    UINT numVertexIndices, UINT primitiveCount, const void* indices,
                                                    D3DFORMAT indexFormat, const void* vertices, UINT stride)
{
    UINT count = VerticesFor(type, primitiveCount);
    if (!vertices || !indices || stride == 0 || (count == 0 && primitiveCount) ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitiveUP", "bad arguments");
    streams_[0] = StreamBinding{};
    indices_ = nullptr;
    baseVertexIndex_ = 0;
    std::vector<uint32_t> idx;
    uint32_t lowest = 0, highest = 0;
    size_t width = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    // The caller's arrays are as long as it says: the vertices reach minVertexIndex + count.
    if (!GatherIndices(static_cast<const uint8_t*>(indices), (size_t)count * width, width == 4, 0, count, 0,
                       (uint64_t)minVertexIndex + numVertexIndices, idx, lowest, highest))
        return D3D8Fail(D3DERR_INVALIDCALL, "DrawIndexedPrimitiveUP", "indices outside the vertices given");
    return DrawVertices(type, primitiveCount, static_cast<const uint8_t*>(vertices) + (size_t)lowest * stride,
                        highest - lowest + 1, stride, &idx, "DrawIndexedPrimitiveUP");
}
