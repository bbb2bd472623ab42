// Implementation classes of the Direct3D 8 stand-in.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/d3d8_gl.h"
#include "platform/d3d8/d3d8_testing.h"

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

struct SDL_Window;
typedef void* SDL_GLContext;

// Loud failure: a trace naming the call and why, then the code.
HRESULT D3D8Fail(HRESULT code, const char* call, const char* why);

// Bytes per pixel of a colour format this stand-in stores; 0 for formats it does not.
UINT D3D8BytesPerPixel(D3DFORMAT format);
bool D3D8IsDepthFormat(D3DFORMAT format);

class Direct3D8Impl;
class Direct3DDevice8Impl;

// Everything created by a device keeps the device alive until released, as in Direct3D 8; the
// device's own bindings (stages, streams, indices) do not count, and a resource that goes away
// removes itself from them.
class ResourceBase {
public:
    explicit ResourceBase(Direct3DDevice8Impl* device, D3DPOOL pool);
    virtual ~ResourceBase();
    Direct3DDevice8Impl* Owner() const { return device_; }
    D3DPOOL Pool() const { return pool_; }
    // A texture's interface pointer as the device's bindings hold it (null for other resources),
    // compared without casts while the resource is being destroyed.
    const void* TextureInterface() const { return textureInterface_; }

protected:
    // The bodies every resource interface shares: GetDevice and the priority pair.
    HRESULT HandOutDevice(IDirect3DDevice8** device, const char* call);
    DWORD SwapPriority(DWORD priority)
    {
        DWORD old = priority_;
        priority_ = priority;
        return old;
    }

    const void* textureInterface_ = nullptr;
    Direct3DDevice8Impl* device_;
    D3DPOOL pool_;
    DWORD priority_ = 0;
};

class Surface8Impl : public RefCounted<IDirect3DSurface8>, public ResourceBase {
public:
    enum class Kind { Image, BackBuffer, DepthStencil, TextureLevel };
    Surface8Impl(Direct3DDevice8Impl* device, Kind kind, UINT width, UINT height, D3DFORMAT format,
                 D3DPOOL pool, DWORD usage, class Texture8Impl* container, UINT level);
    ~Surface8Impl() override;

    HRESULT GetDevice(IDirect3DDevice8** device) override { return HandOutDevice(device, "Surface::GetDevice"); }
    HRESULT GetContainer(REFIID riid, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // Image surfaces keep their pixels here; texture levels use their texture's storage.
    std::vector<uint8_t>& Pixels();
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }

private:
    Kind kind_;
    UINT width_, height_;
    D3DFORMAT format_;
    DWORD usage_;
    class Texture8Impl* container_;
    UINT level_;
    std::vector<uint8_t> pixels_;
    bool locked_ = false;
};

class Texture8Impl : public RefCounted<IDirect3DTexture8>, public ResourceBase {
public:
    Texture8Impl(Direct3DDevice8Impl* device, UINT width, UINT height, UINT levels, DWORD usage,
                 D3DFORMAT format, D3DPOOL pool);
    ~Texture8Impl() override;

    HRESULT GetDevice(IDirect3DDevice8** device) override { return HandOutDevice(device, "Texture::GetDevice"); }
    DWORD SetPriority(DWORD priority) override { return SwapPriority(priority); }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD lod) override;
    DWORD GetLOD() override { return lod_; }
    DWORD GetLevelCount() override { return (DWORD)levels_.size(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT* dirty) override;

    struct Level {
        UINT width, height;
        std::vector<uint8_t> pixels;
        bool locked = false;
    };
    std::vector<Level>& Levels() { return levels_; }
    D3DFORMAT Format() const { return format_; }
    // Set by every unlock; the renderer uploads the levels again when it finds it set.
    bool dirty = true;
    unsigned glTexture = 0;

private:
    std::vector<Level> levels_;
    DWORD usage_;
    D3DFORMAT format_;
    DWORD lod_ = 0;
};

class VertexBuffer8Impl : public RefCounted<IDirect3DVertexBuffer8>, public ResourceBase {
public:
    VertexBuffer8Impl(Direct3DDevice8Impl* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer8Impl() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override { return HandOutDevice(device, "VertexBuffer::GetDevice"); }
    DWORD SetPriority(DWORD priority) override { return SwapPriority(priority); }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
    const std::vector<uint8_t>& Data() const { return data_; }

private:
    std::vector<uint8_t> data_;
    DWORD usage_, fvf_;
    int locks_ = 0;
};

class IndexBuffer8Impl : public RefCounted<IDirect3DIndexBuffer8>, public ResourceBase {
public:
    IndexBuffer8Impl(Direct3DDevice8Impl* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~IndexBuffer8Impl() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override { return HandOutDevice(device, "IndexBuffer::GetDevice"); }
    DWORD SetPriority(DWORD priority) override { return SwapPriority(priority); }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    const std::vector<uint8_t>& Data() const { return data_; }
    D3DFORMAT Format() const { return format_; }

private:
    std::vector<uint8_t> data_;
    DWORD usage_;
    D3DFORMAT format_;
    int locks_ = 0;
};

// What one adapter offers, fixed when the Direct3D object is created.
struct D3D8Offer {
    D3D8StandInConfig config;
    D3DDISPLAYMODE desktop;
    std::vector<D3DDISPLAYMODE> modes;
};

class Direct3D8Impl : public RefCounted<IDirect3D8> {
public:
    Direct3D8Impl();
    HRESULT RegisterSoftwareDevice(void*) override;
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) override;
    UINT GetAdapterModeCount(UINT adapter) override;
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE multiSample) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override;
    HMONITOR GetAdapterMonitor(UINT adapter) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) override;

    const D3D8Offer& Offer() const { return offer_; }
    bool DeviceTypeOffered(D3DDEVTYPE type) const;
    // Validates and completes present parameters (windowed back buffer of the client size).
    HRESULT CheckPresentParameters(D3DDEVTYPE type, D3DPRESENT_PARAMETERS& params, const char* call);

private:
    D3D8Offer offer_;
};

class Direct3DDevice8Impl : public RefCounted<IDirect3DDevice8> {
public:
    Direct3DDevice8Impl(Direct3D8Impl* d3d, D3DDEVTYPE type, HWND focus, DWORD behavior);
    ~Direct3DDevice8Impl() override;
    // Creates the GL context and the back buffer; false leaves the object for Release.
    HRESULT Initialise(const D3DPRESENT_PARAMETERS& params);

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT ResourceManagerDiscardBytes(DWORD bytes) override;
    HRESULT GetDirect3D(IDirect3D8** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) override;
    HRESULT SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface8* image) override;
    void SetCursorPosition(int x, int y, DWORD flags) override;
    BOOL ShowCursor(BOOL show) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND destWindow, const RGNDATA* dirty) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface) override;
    HRESULT GetRasterStatus(D3DRASTER_STATUS* status) override;
    void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) override;
    void GetGammaRamp(D3DGAMMARAMP* ramp) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               BOOL lockable, IDirect3DSurface8** surface) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      IDirect3DSurface8** surface) override;
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface) override;
    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count, IDirect3DSurface8* dest,
                      const POINT* destPoints) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* dest) override;
    HRESULT GetFrontBuffer(IDirect3DSurface8* dest) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depthStencil) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** target) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** depthStencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetClipPlane(DWORD index, const float* plane) override;
    HRESULT GetClipPlane(DWORD index, float* plane) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(DWORD* token) override;
    HRESULT ApplyStateBlock(DWORD token) override;
    HRESULT CaptureStateBlock(DWORD token) override;
    HRESULT DeleteStateBlock(DWORD token) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) override;
    HRESULT SetClipStatus(const D3DCLIPSTATUS8* status) override;
    HRESULT GetClipStatus(D3DCLIPSTATUS8* status) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT ValidateDevice(DWORD* passes) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertexIndices,
                                   UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, UINT stride) override;
    HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle, DWORD usage) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT DeleteVertexShader(DWORD handle) override;
    HRESULT SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) override;
    HRESULT GetVertexShaderConstant(DWORD reg, void* data, DWORD count) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer8** buffer, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override;
    HRESULT GetIndices(IDirect3DIndexBuffer8** buffer, UINT* baseVertexIndex) override;
    HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) override;
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT GetPixelShader(DWORD* handle) override;
    HRESULT DeletePixelShader(DWORD handle) override;
    HRESULT SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) override;

    // Resource bookkeeping.
    void ResourceCreated(ResourceBase* resource);
    void ResourceDestroyed(ResourceBase* resource);
    size_t DefaultPoolResources() const { return defaultPool_.size(); }
    // Makes this device's context current (several devices may exist in tests).
    void MakeCurrent();
    // Top-down RGB copy of the back buffer (screenshots and tests).
    bool ReadBackBuffer(int& width, int& height, std::vector<uint8_t>& rgb);
    void DeleteGlTexture(unsigned id);

private:
    struct StreamBinding {
        VertexBuffer8Impl* buffer = nullptr;
        UINT stride = 0;
    };
    // The states a state block holds: exactly those recorded, or those of its type.
    struct StateBlock {
        std::map<DWORD, DWORD> renderStates;
        std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;
        std::map<DWORD, IDirect3DBaseTexture8*> textures;
        std::map<DWORD, D3DMATRIX> transforms;
        std::optional<D3DVIEWPORT8> viewport;
        std::optional<D3DMATERIAL8> material;
        std::map<DWORD, D3DLIGHT8> lights;
        std::map<DWORD, BOOL> lightEnables;
        std::optional<DWORD> vertexShader;
        std::map<UINT, StreamBinding> streams;
        std::optional<std::pair<IndexBuffer8Impl*, UINT>> indices;
    };
    void CaptureInto(StateBlock& block);
    void ApplyBlock(const StateBlock& block);
    void ForgetInStateBlocks(ResourceBase* resource);

    // Drawing: vertices expanded from their flexible vertex format, then drawn with client arrays.
    HRESULT DrawVertices(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, UINT vertexCount,
                         UINT stride, const std::vector<uint32_t>* indices, const char* call);
    void SetupTransformsAndLights(bool pretransformed);
    void SetupStages(bool pretransformed, UINT texCoordSets);
    void BindStageTexture(DWORD stage);
    void UploadTexture(Texture8Impl* texture);

    // Programmable vertex shaders: the declaration's inputs and the translated ARB program.
    struct ShaderInput {
        UINT stream;
        UINT offset;
        DWORD type;  // D3DVSDT_*
        DWORD reg;   // v0..v15
    };
    struct VertexShader {
        std::vector<ShaderInput> inputs;
        std::vector<DWORD> declaration;
        std::vector<DWORD> function;
        std::vector<std::pair<DWORD, std::array<float, 4>>> constants;  // from def and the declaration
        unsigned program = 0;
    };
    HRESULT DrawWithShader(const VertexShader& shader, D3DPRIMITIVETYPE type, const uint8_t* const* streamData,
                           const UINT* strides, UINT vertexCount, const std::vector<uint32_t>* indices,
                           const char* call);
    bool StreamsFor(const VertexShader& shader, uint64_t lastVertex, const char* call);
    std::map<DWORD, VertexShader> shaders_;
    DWORD nextShader_ = 1;
    static constexpr int kMaxLights = 8;
    static constexpr int kMaxStreams = 16;
    static constexpr int kShaderConstants = 96;

    void SetDefaultStates();
    void ApplyAllStates();
    void ApplyRenderState(D3DRENDERSTATETYPE state);
    void ApplyViewport();
    HRESULT CreateBackBuffer(UINT width, UINT height);
    void DestroyBackBuffer();
    void PresentToWindow();
    bool PacedByRefresh() const;
    void ApplySwapInterval();
    void WaitForRefresh();
    HRESULT NotBuilt(const char* call);

    Direct3D8Impl* d3d_;
    D3DDEVTYPE type_;
    HWND focus_;
    DWORD behavior_;
    D3DPRESENT_PARAMETERS params_{};
    // When the last paced frame was shown, on the display's refresh clock.
    std::chrono::steady_clock::time_point lastRefresh_{};
    int swapInterval_ = -1;  // as last given to the context; -1 before the first
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    D3D8GlFunctions gl_;
    unsigned fbo_ = 0, colorTexture_ = 0, depthBuffer_ = 0;
    UINT bbWidth_ = 0, bbHeight_ = 0;
    bool inScene_ = false;

    DWORD renderStates_[D3DRS_MAX_INDEX];
    DWORD stageStates_[D3D8_MAX_TEXTURE_STAGES][D3DTSS_MAX_INDEX];
    std::map<DWORD, D3DMATRIX> transforms_;
    D3DVIEWPORT8 viewport_{};
    D3DMATERIAL8 material_{};
    std::map<DWORD, D3DLIGHT8> lights_;
    std::set<DWORD> enabledLights_;
    IDirect3DBaseTexture8* textures_[D3D8_MAX_TEXTURE_STAGES] = {};
    StreamBinding streams_[kMaxStreams];
    IndexBuffer8Impl* indices_ = nullptr;
    UINT baseVertexIndex_ = 0;
    DWORD vertexShader_ = 0;
    float shaderConstants_[kShaderConstants][4] = {};
    D3DCLIPSTATUS8 clipStatus_{};
    D3DGAMMARAMP gamma_{};

    std::map<DWORD, StateBlock> stateBlocks_;
    DWORD nextStateBlock_ = 1;
    std::unique_ptr<StateBlock> recording_;
    unsigned whiteTexture_ = 0;
    std::set<ResourceBase*> resources_;
    std::set<ResourceBase*> defaultPool_;
    Surface8Impl* cursorImage_ = nullptr;
    unsigned cursorTexture_ = 0;
    UINT cursorWidth_ = 0, cursorHeight_ = 0;
    UINT cursorHotX_ = 0, cursorHotY_ = 0;
    int cursorX_ = 0, cursorY_ = 0;
    bool cursorPositioned_ = false;
    bool cursorShown_ = false;
    float clipPlanes_[6][4] = {};
};
