// The game's application object: owns every table of the 3D engine and fills the framework's
// virtual operations with the game's device handling, per-frame update, drawing and messages.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/common/AppFramework.h"
#include "fenwolt/common/Utilities.h"

#include <cstddef>
#include <cstdint>
#include <functional>

struct ResourceLoadProgressRecord {
    uint32_t TotalSteps = 0;
    uint8_t ResourcesLoaded = 0;
    uint32_t StepsDone = 0;
    int32_t ListsPending = 0;
};

class GameApp : public AppFramework {
public:
    GameApp();
    ~GameApp() override;

    HCURSOR HandCursor = nullptr;
    HCURSOR ArrowCursor = nullptr;
    int32_t DrawCallCount = 0;
    int32_t TriangleCount = 0;
    BitmapFont* FontTable[FONT_COUNT] = {};
    Sprite* SpriteTable[SPRITE_COUNT] = {};
    Sprite* CursorSprites[2] = {};
    int32_t CursorSpriteIndex = 0;
    D3DMATRIX SceneMatrices[3] = {};
    XFileMesh* MeshTable[MESH_COUNT] = {};
    int32_t MeshCount = 0;
    ModelInstance InstanceTable[INSTANCE_COUNT];
    ResourceLoadProgressRecord ResourceLoadProgress;

    HRESULT CheckDeviceCaps(const D3DCAPS8* caps, DWORD behavior, D3DFORMAT format) override;
    HRESULT InitApp() override;
    HRESULT CreateDeviceResources() override;
    HRESULT RestoreVideoResources() override;
    HRESULT UpdateFrame() override;
    HRESULT RenderFrame() override;
    HRESULT ReleaseVideoResources() override;
    HRESULT DestroyDeviceResources() override;
    HRESULT ShutdownApp() override;
    // The framework's creation, then the options (defaults and file).
    HRESULT Create(HINSTANCE instance) override;
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    int FindMeshByName(const char* fileName);
    XFileMesh* GetMesh(int index) { return MeshTable[index]; }
    HRESULT LoadResourceList(const char* listFile, bool countOnly);
    void DestroyMeshes();
    void SetSceneViewport(int mode);
    void ReleaseAllSprites();
    void DrawSprites();
    // The scene of visible model instances; 1 (nothing drawn) while the screen is not ready.
    int DrawScene();
    void DrawRenderList();
    void DrawInstance(ModelInstance& instance);
    SpriteHandle HitTestSprites();
    // Sprite 0 becomes an 800 x 600 picture at 0, 0.
    void SetBackground(const char* pictureFile);
    HRESULT BuildMeshBuffers(int meshIndex, bool rebuild);
    // The "tex" quality rule: with texture quality 1 a name beginning "tex" reads its low-quality
    // twin, the eighth character becoming '2'. Works on the caller's copy.
    static void ApplyTextureQualityRule(char* name, size_t size);

protected:
    void StartRun() override;
    void ReleaseGameOnClose() override;
    void FormatFrameStats() override;
    void PollEvents() override;
    // The first frames of a new input owner tell the queue where the player starts seeing it.
    void FrameDrawn() override;

public:
    // A press that was queued before the input owner of the moment was shown is withheld.
    bool AcceptQueuedMessage(const MSG& msg) override;

private:
    float referenceTime_ = 0.f;
    bool soundShutDown_ = false;
    float projectionAspect_ = 800.f / 600.f;
};

// The one application object. Its storage exists from the start; ConstructTheApp builds it at
// start-up (file, COM and sound set-up must not run before main), DestroyTheApp ends it.
// The window's title, and the caption of the boxes the game shows before it has a window.
constexpr const char* GAME_TITLE = "Dorvanix: Quillane";

extern GameApp& TheApp;
void ConstructTheApp();
void DestroyTheApp();
bool TheAppConstructed();

// How LoadResourceList loads one named file into a mesh slot (tests substitute their own).
struct ResourceListLoader {
    HRESULT (*LoadMesh)(int slot, const char* file);
    HRESULT (*LoadTexture)(int slot, const char* file);
};
void SetResourceListLoader(const ResourceListLoader* loader);  // null: the mesh table's own

// Process-wide state of the application object.
extern bool SceneVisible;
extern uint32_t LastMessageParam, LastMessageId;
extern int32_t MouseX, MouseY;
extern bool LeftButtonDown, RightButtonDown;
extern float FrameTimeFactor;
extern bool SpritesNeedRefresh;
extern uint32_t ClearColour;
extern float DrawDistance;
extern float FieldOfView, ProjectionAspect, NearPlane, FarPlane;
// Texture-quality option (1 = low); the options file sets it.
extern int32_t TextureQuality;
// Set while the text-entry field has the keyboard: the entry's active flag (FrontEnd/TextEntry.h
// runs the entry; SetScreen stops it).
extern bool TextEntryRunning;
// The view: the screens and the field camera place it.
extern D3DVECTOR CameraEye, CameraTarget, CameraUp;

// Posted to the main window behind what the player had done when a frame of a new input owner
// (Screens.h) was drawn; wParam: that owner. Input before it in the queue was aimed at the
// owner before.
constexpr UINT WM_INPUT_OWNER_SHOWN = WM_APP + 0x200;

void LoadCursorSprites();
void UpdateCursorPos();
void SelectCursorSprite(int index);

// Each usable name of a resource list's text, in order: the lines, ended by CR, LF or CR LF, that
// are neither empty nor longer than 259 characters (traced against `listFile`). The name is
// handed over in a buffer of `capacity` bytes that the receiver may rewrite.
void ForEachResourceName(const char* text, size_t size, const char* listFile,
                         const std::function<void(char* name, size_t capacity)>& use);
// A list's name of a mesh (a .x file) rather than a texture.
bool IsMeshResource(const char* name);
