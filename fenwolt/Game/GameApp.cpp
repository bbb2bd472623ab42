#include "fenwolt/Game/GameApp.h"

#include "fenwolt/Game/Engine/Engine.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Engine/SceneEffects.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/common/AppTimer.h"
#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8math.h"
#include "platform/win32/crt_rand.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

bool SceneVisible = false;
uint32_t LastMessageParam = 0, LastMessageId = 0;
int32_t MouseX = 0, MouseY = 0;
bool LeftButtonDown = false, RightButtonDown = false;
float FrameTimeFactor = 1.f;
bool SpritesNeedRefresh = false;
uint32_t ClearColour = 0xFF000000;
float DrawDistance = 300.f;
float FieldOfView = 0.75f, ProjectionAspect = 800.f / 600.f, NearPlane = 1.f, FarPlane = 5000.f;
int32_t TextureQuality = 0;
bool TextEntryRunning = false;
D3DVECTOR CameraEye{100.f, 100.f, 0.f}, CameraTarget{100.f, 100.f, 100.f}, CameraUp{0.f, 1.f, 0.f};

namespace {
alignas(GameApp) unsigned char g_appStorage[sizeof(GameApp)];
bool g_appConstructed = false;

HRESULT DefaultLoadMesh(int slot, const char* file)
{
    XFileMesh* mesh = TheApp.MeshTable[slot];
    return mesh ? mesh->CreateWithTextParse(TheApp.Device, file) : E_FAIL;
}
HRESULT DefaultLoadTexture(int slot, const char* file)
{
    XFileMesh* mesh = TheApp.MeshTable[slot];
    return mesh ? mesh->CreatePlaceholder(TheApp.Device, file) : E_FAIL;
}
const ResourceListLoader kDefaultLoader = {DefaultLoadMesh, DefaultLoadTexture};
const ResourceListLoader* g_loader = &kDefaultLoader;

// Tables own their objects; a freed slot reads as empty so a second shutdown is harmless.
template <class T, size_t N>
void DeleteEach(T* (&table)[N])
{
    for (auto& p : table) {
        delete p;
        p = nullptr;
    }
}

}  // namespace

GameApp& TheApp = *reinterpret_cast<GameApp*>(g_appStorage);

void ConstructTheApp()
{
    if (g_appConstructed) return;
    new (g_appStorage) GameApp();
    g_appConstructed = true;
}

void DestroyTheApp()
{
    if (!g_appConstructed) return;
    TheApp.~GameApp();
    g_appConstructed = false;
}

bool TheAppConstructed() { return g_appConstructed; }

void SetResourceListLoader(const ResourceListLoader* loader) { g_loader = loader ? loader : &kDefaultLoader; }

// ---------------------------------------------------------------------------------------------
GameApp::GameApp()
{
    WindowTitle = GAME_TITLE;
    UseDepthBuffer = TRUE;
    MinStencilBits = 0;
    MeshCount = 0;
    MultiStageFlag = 0;
    D24S8Flag = 0;
    DepthStencilFormat = 0;
    for (auto& m : MeshTable) m = new XFileMesh();
    for (auto& f : FontTable) f = new BitmapFont();
    for (auto& s : SpriteTable) s = new Sprite();
    CursorSpriteIndex = 0;
    for (auto& c : CursorSprites) c = new Sprite();
    InitEngineTables();
    StartSceneEffects();
    InitSoundPlayer();
    LoadSounds();
    HandCursor = ArrowCursor = nullptr;
    DrawCallCount = TriangleCount = 0;
}

GameApp::~GameApp()
{
    // ShutdownApp normally ran on WM_CLOSE; whatever is left goes here.
    if (!soundShutDown_) ShutdownSoundPlayer();
    soundShutDown_ = true;
    DeleteEach(MeshTable);
    DeleteEach(FontTable);
    DeleteEach(SpriteTable);
    DeleteEach(CursorSprites);
}

HRESULT GameApp::CheckDeviceCaps(const D3DCAPS8* caps, DWORD behavior, D3DFORMAT)
{
    if (behavior & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) {
        if (caps->VertexShaderVersion < D3DVS_VERSION(1, 0)) return E_FAIL;
    }
    return S_OK;
}

HRESULT GameApp::InitApp()
{
    srand(timeGetTime());
    for (auto& instance : InstanceTable) instance.InUse = 0;
    return S_OK;
}

HRESULT GameApp::CreateDeviceResources()
{
    // A font whose sheet cannot be read draws untextured; the game goes on.
    CreateEngineDeviceObjects();
    return S_OK;
}

HRESULT GameApp::RestoreVideoResources()
{
    RestoreEngineVideoResources();
    RestoreSceneEffects(Device);
    D3DXVECTOR3 eye(CameraEye.x, CameraEye.y, CameraEye.z);
    D3DXVECTOR3 at(CameraTarget.x, CameraTarget.y, CameraTarget.z);
    D3DXVECTOR3 up(CameraUp.x, CameraUp.y, CameraUp.z);
    D3DXMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, ProjectionAspect, NearPlane, FarPlane);
    SceneMatrices[1] = view;
    SceneMatrices[2] = projection;
    Device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    Device->SetRenderState(D3DRS_ZENABLE, TRUE);
    Device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    Device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    Device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    Device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    return S_OK;
}

HRESULT GameApp::ReleaseVideoResources()
{
    ReleaseSceneEffects(Device);
    ReleaseEngineVideoResources();
    return S_OK;
}

HRESULT GameApp::DestroyDeviceResources()
{
    // The meshes keep their content for a next device (Ctrl+F2 mid-match); WM_CLOSE has
    // destroyed them before this runs.
    DestroyEngineDeviceObjects();
    DestroySceneEffects();
    return S_OK;
}

HRESULT GameApp::ShutdownApp()
{
    DeleteEach(FontTable);
    DeleteEach(SpriteTable);
    DeleteEach(CursorSprites);
    DeleteEach(MeshTable);
    for (auto& instance : InstanceTable) instance.ReleaseDeviceBuffers();
    ShutdownSceneEffects();
    if (!soundShutDown_) ShutdownSoundPlayer();
    soundShutDown_ = true;
    return S_OK;
}

HRESULT GameApp::Create(HINSTANCE instance)
{
    HRESULT hr = AppFramework::Create(instance);
    if (FAILED(hr)) return hr;
    // What a save killed midway left behind goes before anything of the saves folder is read.
    ClearLeftoverTemporaries();
    // The options follow the device choice: their shadow default depends on the depth buffer.
    InitOptions();
    return hr;
}

void GameApp::StartRun()
{
    LoadCursorSprites();
    SetScreen(ScreenId::Intro);
}

void GameApp::ReleaseGameOnClose()
{
    ScreenReady = false;
    if (shutDown_) return;
    // Closing the window leaves the screen shown: what leaving it keeps is kept now.
    SaveOptionsOnClose();
    StopAllSounds();
    DestroyMeshes();
}

void GameApp::PollEvents() { PollSoundEvents(); }

void GameApp::FormatFrameStats()
{
    std::snprintf(FrameStats, sizeof(FrameStats), "%.02f fps %d %d am %.02f, Objects:%d Polys:%d T:%d %d",
                  FramesPerSecond, MouseX, MouseY, FrameTimeFactor, DrawCallCount, TriangleCount, LastRandom,
                  SharedRandomIndex);
}

// ---------------------------------------------------------------------------------------------
HRESULT GameApp::UpdateFrame()
{
    float step;
    AdapterRecord& adapter = Adapters[CurrentAdapter];
    if (adapter.Devices[adapter.CurrentDevice].DeviceType == D3DDEVTYPE_REF) {
        step = 0.05f;
        referenceTime_ += 0.05f;
    } else {
        step = ElapsedTime;
    }
    FrameTimeFactor = step / 0.04f;
    // The fade runs on real time, also under the reference rasteriser's fixed step.
    UpdateSceneEffects(ElapsedTime);
    ResumeHeldNetworkMessages();
    if (ScreenUpdateHandler) ScreenUpdateHandler(step);
    return S_OK;
}

void GameApp::SetSceneViewport(int mode)
{
    if (!Device) return;
    D3DVIEWPORT8 vp{0, 0, BackBufferDesc.Width, 600, 0.f, 1.f};
    if (vp.Height > BackBufferDesc.Height) vp.Height = BackBufferDesc.Height;
    if (mode == 1 && BackBufferDesc.Width > 192) {
        vp.Width = 608 <= BackBufferDesc.Width ? 608 : BackBufferDesc.Width;
        projectionAspect_ = (float)(BackBufferDesc.Width - 192) / (float)vp.Height;
    } else {
        projectionAspect_ = (float)vp.Width / (float)vp.Height;
    }
    ProjectionAspect = projectionAspect_;
    Device->SetViewport(&vp);
}

HRESULT GameApp::RenderFrame()
{
    DrawCallCount = 0;
    TriangleCount = 0;
    if (!Device) return S_OK;
    if (!ScreenReady) {
        // Nothing is drawn while screens switch, but what gets presented must not be a stale or
        // undefined back buffer: show black.
        D3DVIEWPORT8 whole{0, 0, BackBufferDesc.Width, BackBufferDesc.Height, 0.f, 1.f};
        Device->SetViewport(&whole);
        Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.f, 0);
        return S_OK;
    }
    if (SpritesNeedRefresh) {
        RefreshVisibleSprites();
        SpritesNeedRefresh = false;
    }
    SetSceneViewport(0);
    DWORD flags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
    if (D24S8Flag) flags |= D3DCLEAR_STENCIL;
    Device->Clear(0, nullptr, flags, ClearColour, 1.f, 0);

    D3DXMATRIX projection, view;
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, ProjectionAspect, NearPlane, FarPlane);
    SceneMatrices[2] = projection;
    Device->SetTransform(D3DTS_PROJECTION, &SceneMatrices[2]);
    D3DXVECTOR3 eye(CameraEye.x, CameraEye.y, CameraEye.z);
    D3DXVECTOR3 at(CameraTarget.x, CameraTarget.y, CameraTarget.z);
    D3DXVECTOR3 up(CameraUp.x, CameraUp.y, CameraUp.z);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    SceneMatrices[1] = view;
    Device->SetTransform(D3DTS_VIEW, &SceneMatrices[1]);

    if (FAILED(Device->BeginScene())) return S_OK;
    if (SceneVisible) DrawScene();
    RunScreenRenderHandler();
    DrawSprites();
    RenderSceneEffects(Device);
    if (DebugMode && FontTable[2]) {
        FontTable[2]->DrawText(6.f, 4.f, 0xFF000000, FrameStats, FontTable[2]->DrawFlags);
        FontTable[2]->DrawText(4.f, 2.f, 0xFFFFFF00, FrameStats, FontTable[2]->DrawFlags);
    }
    if (!Windowed) {
        UpdateCursorPos();
        Sprite* cursor = CursorSprites[CursorSpriteIndex & 1];
        if (cursor && cursor->IsVisible()) cursor->Render();
    }
    Device->EndScene();
    return S_OK;
}

void GameApp::DrawSprites() { DrawVisibleSprites(); }

int GameApp::DrawScene() { return ::DrawScene(); }
void GameApp::DrawRenderList() { ::DrawRenderList(); }
void GameApp::DrawInstance(ModelInstance& instance) { ::DrawInstance(instance); }
SpriteHandle GameApp::HitTestSprites() { return ::HitTestSprites(); }
void GameApp::SetBackground(const char* pictureFile) { CreateFullScreenSprite(0, pictureFile); }

HRESULT GameApp::BuildMeshBuffers(int meshIndex, bool rebuild)
{
    if (meshIndex < 0 || meshIndex >= MESH_COUNT) return E_FAIL;
    return ::BuildMeshBuffers(Device, MeshTable[meshIndex], rebuild);
}

void GameApp::ReleaseAllSprites()
{
    for (auto* s : SpriteTable) {
        if (!s) continue;
        s->ReleaseVertexBuffer();
        s->ReleaseTexture();
        s->Flags &= ~SPRITE_VISIBLE;
    }
}

namespace {

// The input owner (Screens.h) that each held mouse button's and key's press went to; 0 while
// it is not held, or when its press reached no screen.
uint32_t g_buttonOwner[2];
uint32_t g_keyOwner[256];

// One click acts on one screen: a press reaches the owner of its moment and is remembered with
// it; its release, and a held key's repeats, reach the screen only while that owner still has the
// input. A click that opened another screen, a pop-up or the box ends there.
bool ReachesInputOwner(UINT msg, WPARAM wParam, LPARAM lParam)
{
    uint32_t* owner = nullptr;
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: owner = &g_buttonOwner[0]; break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: owner = &g_buttonOwner[1]; break;
    case WM_KEYDOWN:
    case WM_KEYUP: owner = &g_keyOwner[wParam & 0xFF]; break;
    default: return true;
    }
    const bool repeat = msg == WM_KEYDOWN && (lParam & (1 << 30)) != 0;
    if ((msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_KEYDOWN) && !repeat) {
        *owner = InputOwner;
        return true;
    }
    const bool reaches = *owner == InputOwner;
    if (msg != WM_KEYDOWN) *owner = 0;
    return reaches;
}

bool IsFreshPress(const MSG& msg)
{
    return msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
           (msg.message == WM_KEYDOWN && (msg.lParam & (1 << 30)) == 0);
}

}  // namespace

bool GameApp::AcceptQueuedMessage(const MSG& msg)
{
    // The press came before the screen it would land on was ever drawn: it was aimed at the one
    // before. Its release follows it out, as it finds its press went to no screen.
    return !(IsFreshPress(msg) && !InputOwnerShown);
}

void GameApp::FrameDrawn()
{
    if (InputOwnerShown || !ScreenReady || !MainWindow) return;
    // What the player did while this frame was made joins the queue first: the owner is shown
    // from the marker on, not from the moment it was built.
    MSG pending;
    PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE);
    PostMessageA(MainWindow, WM_INPUT_OWNER_SHOWN, (WPARAM)InputOwner, 0);
}

LRESULT GameApp::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INPUT_OWNER_SHOWN) {
        // A later owner waits for a frame of its own.
        if ((uint32_t)wParam == InputOwner) InputOwnerShown = true;
        return 0;
    }
    // Once WM_CLOSE has freed the tables, late messages reach only the framework.
    if (!shutDown_ && ReachesInputOwner(msg, wParam, lParam)) {
        bool forScreen = false;
        switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP:
            LastMessageParam = (uint32_t)wParam;
            LastMessageId = msg;
            if (TextEntryRunning) TextEntryOnKey();
            forScreen = true;
            break;
        case WM_LBUTTONDOWN:
            LeftButtonDown = true;
            // The click that ends an entry reaches the screen as well, with the entry's text
            // committed and the screen's buttons clickable again.
            if (TextEntryRunning) {
                UpdateCursorPos();
                TextEntryOnClick();
            }
            forScreen = true;
            break;
        case WM_LBUTTONUP:
            LeftButtonDown = false;
            forScreen = true;
            break;
        case WM_RBUTTONDOWN:
            RightButtonDown = true;
            forScreen = true;
            break;
        case WM_RBUTTONUP:
            RightButtonDown = false;
            forScreen = true;
            break;
        case WM_NET_QUEUED:
            ProcessNetworkMessages();
            break;
        case WM_MOUSEMOVE:
        case WM_USER + 1:
            forScreen = true;
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != 0 && !Windowed) SpritesNeedRefresh = true;
            break;
        default:
            break;
        }
        if (forScreen) {
            LastMessageParam = (uint32_t)wParam;
            LastMessageId = msg;
            UpdateCursorPos();
            if (ScreenMessageHandler) ScreenMessageHandler((int32_t)msg);
        }
    } else if (!shutDown_) {
        // A release withheld from the screen still lets the button go.
        if (msg == WM_LBUTTONUP) LeftButtonDown = false;
        if (msg == WM_RBUTTONUP) RightButtonDown = false;
    }
    return AppFramework::HandleMessage(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
void GameApp::ApplyTextureQualityRule(char* name, size_t size)
{
    if (TextureQuality != 1 || !name) return;
    if (std::strncmp(name, "tex", 3) == 0 && std::strlen(name) >= 8 && size > 8) name[7] = '2';
}

int GameApp::FindMeshByName(const char* fileName)
{
    if (!fileName) return MESH_NONE;
    char name[260];
    std::snprintf(name, sizeof(name), "%s", fileName);
    ApplyTextureQualityRule(name, sizeof(name));
    for (int i = 0; i < MESH_COUNT; ++i)
        if (MeshTable[i] && std::strcmp(MeshTable[i]->Name, name) == 0) return i;
    return MESH_NONE;
}

void GameApp::DestroyMeshes()
{
    for (auto* m : MeshTable)
        if (m) m->Destroy();
    MeshCount = 0;
}

void ForEachResourceName(const char* text, size_t size, const char* listFile,
                         const std::function<void(char* name, size_t capacity)>& use)
{
    char line[260];
    size_t length = 0;
    bool overlong = false;
    for (size_t i = 0; text && i < size; ++i) {
        char c = text[i];
        bool endOfLine = c == '\r' || (c == '\n' && (i == 0 || text[i - 1] != '\r'));
        if (c == '\n' && !endOfLine) continue;
        if (!endOfLine) {
            if (length < sizeof(line) - 1)
                line[length++] = c;
            else
                overlong = true;
            continue;
        }
        line[length] = 0;
        bool usable = length > 0 && !overlong;
        if (overlong) DebugOutPair("Resource name too long in", listFile);
        length = 0;
        overlong = false;
        if (usable) use(line, sizeof(line));
    }
}

bool IsMeshResource(const char* name)
{
    const size_t length = std::strlen(name);
    return length > 0 && name[length - 1] == 'x';
}

HRESULT GameApp::LoadResourceList(const char* listFile, bool countOnly)
{
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(listFile, &size);
    if (!block) {
        DebugOutPair("Missing resource list", listFile ? listFile : "(null)");
        // A missing list still counts as finished, so that nobody waits for it for ever.
        if (!countOnly) {
            --ResourceLoadProgress.ListsPending;
            if (ResourceLoadProgress.ListsPending <= 0) ResourceLoadProgress.ResourcesLoaded = 1;
        }
        return ErrMediaMissing;
    }
    const char* text = static_cast<const char*>(GlobalLock(block));
    ForEachResourceName(text, size, listFile, [&](char* line, size_t capacity) {
        if (countOnly) {
            ResourceLoadProgress.TotalSteps += 2;
            return;
        }
        if (MeshCount >= MESH_COUNT) {
            DebugOutPair("Mesh table full, not loaded:", line);
            return;
        }
        bool isMesh = IsMeshResource(line);
        HRESULT hr;
        if (isMesh) {
            hr = g_loader->LoadMesh(MeshCount, line);
        } else {
            ApplyTextureQualityRule(line, capacity);
            hr = g_loader->LoadTexture(MeshCount, line);
        }
        if (FAILED(hr)) {
            DebugOutPair(GetText(isMesh ? 74 : 75), line);
            return;
        }
        ++MeshCount;
        Sleep(10);
        ++ResourceLoadProgress.StepsDone;
        RenderOneFrame();
    });
    GlobalUnlock(block);
    GlobalFree(block);
    if (countOnly) return S_OK;

    // Only the load pass finishes a list: the count pass runs over the same lists first.
    --ResourceLoadProgress.ListsPending;
    if (ResourceLoadProgress.ListsPending <= 0) {
        ResourceLoadProgress.ListsPending = 0;
        for (int i = 0; i < MESH_COUNT; ++i) {
            if (MeshTable[i] && MeshTable[i]->Loaded && SUCCEEDED(MeshTable[i]->RestoreDeviceMesh(Device))) {
                Sleep(10);
                ++ResourceLoadProgress.StepsDone;
                RenderOneFrame();
            }
        }
        ResourceLoadProgress.ResourcesLoaded = 1;
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
void LoadCursorSprites()
{
    static const char* const kFiles[2] = {"interface\\cursor.tga", "interface\\cursor2.tga"};
    for (int i = 0; i < 2; ++i) {
        Sprite* s = TheApp.CursorSprites[i];
        if (!s) continue;
        std::snprintf(s->PictureFile, sizeof(s->PictureFile), "%s", kFiles[i]);
        s->Source = RECT{0, 0, 32, 32};
        if (TheApp.Device) {
            s->Create(TheApp.Device, kFiles[i], false, s->Source, 32, 32, false, i == 0);
            s->SetPosition((float)MouseX, (float)MouseY);
        }
        s->Width = s->Height = 32;
        s->Flags = i == 0 ? (uint32_t)SPRITE_VISIBLE : 0u;
    }
    TheApp.CursorSpriteIndex = 0;
}

void UpdateCursorPos()
{
    POINT p{0, 0};
    if (!GetCursorPos(&p)) return;
    if (TheApp.Windowed && TheApp.MainWindow) ScreenToClient(TheApp.MainWindow, &p);
    MouseX = p.x;
    MouseY = p.y;
    if (!TheApp.Windowed) {
        Sprite* s = TheApp.CursorSprites[TheApp.CursorSpriteIndex & 1];
        if (s && FAILED(s->SetPosition((float)MouseX, (float)MouseY))) {
            s->X = (float)MouseX;
            s->Y = (float)MouseY;
        }
    }
}

void SelectCursorSprite(int index)
{
    int shown = TheApp.CursorSpriteIndex & 1;
    if (Sprite* s = TheApp.CursorSprites[shown]) s->Flags &= ~SPRITE_VISIBLE;
    TheApp.CursorSpriteIndex = index & 1;
    if (Sprite* s = TheApp.CursorSprites[TheApp.CursorSpriteIndex]) s->Flags |= SPRITE_VISIBLE;
}
