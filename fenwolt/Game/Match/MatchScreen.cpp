#include "fenwolt/Game/Match/MatchScreen.h"

#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/PlacementLists.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace matchgeo;

int32_t SelectionMarkerModel = INSTANCE_NONE;
int32_t MoveTargetMarkerModels[SIDE_SIZE];
int32_t AimMarkerModel = INSTANCE_NONE;
int32_t JumpMarkerModels[PLAYER_COUNT];
int32_t FacingArrowModels[PLAYER_COUNT];
int32_t GoalFrameModels[8];
int32_t SkyDomeModel = INSTANCE_NONE;
D3DVECTOR WantedCameraEye{0, 0, 0}, WantedCameraTarget{0, 0, 0};
SpriteHandle HoveredSprite = SPRITE_NONE;
uint8_t ChatEntryActive = 0;
uint8_t OtherComputerLeft = 0;
uint8_t WalkInAfterGoal = 0;

namespace {
// The chat entry has just ended: the key that ended it (Return sends, Esc throws the line away)
// comes to the match next and is the entry's, not a key of the match.
bool ChatJustEnded = false;
}  // namespace

void ForgetMatchInstances()
{
    SelectionMarkerModel = AimMarkerModel = SkyDomeModel = INSTANCE_NONE;
    for (int32_t& m : MoveTargetMarkerModels) m = INSTANCE_NONE;
    for (int32_t& m : JumpMarkerModels) m = INSTANCE_NONE;
    for (int32_t& m : FacingArrowModels) m = INSTANCE_NONE;
    for (int32_t& m : GoalFrameModels) m = INSTANCE_NONE;
    for (auto& slot : PathDotModels)
        for (int32_t& m : slot) m = INSTANCE_NONE;
    for (int32_t& m : KickArrowModels) m = INSTANCE_NONE;
    for (int32_t& t : NumberTextures) t = MESH_NONE;
}

namespace {
// Until a scene load makes them, the match's own instances and number textures are none: an index
// of 0 would be whatever instance 0 of the present screen is. (The player and ball records keep
// their blank stored image, all zero, as saved games expect it.)
struct MatchInstancesStartAsNone {
    MatchInstancesStartAsNone() { ForgetMatchInstances(); }
} matchInstancesStartAsNone;
}  // namespace

namespace {
constexpr float PLAYER_SCALE = 0.027f;
constexpr float BALL_SCALE = 0.027f;
constexpr float KICK_OFF_PARTNER_Z = 40.08f;
constexpr uint32_t WM_NETWORK_NOTIFY = WM_USER + 1;

const D3DVECTOR CENTRE_SPOT{CENTRE_X, 0.f, CENTRE_Z};
const D3DVECTOR EYE_OFFSET{-13.0f, 2.7f, 0.f};
const D3DVECTOR BEGINNERS_EYE_OFFSET{0.f, 31.0f, -31.0f};

D3DVECTOR Add(const D3DVECTOR& a, const D3DVECTOR& b) { return D3DVECTOR{a.x + b.x, a.y + b.y, a.z + b.z}; }

// A model instance of the match. When the mesh is not in the mesh table (no device, or a data set
// without it) the instance is still made, without geometry, so that the match keeps its
// positions and runs; it is simply never drawn.
int32_t MakeInstance(const char* mesh, const char* texture, float x, float y, float z, float ry, float scale)
{
    const int32_t made = CreateModelInstance(mesh, texture, x, y, z, 0.f, ry, 0.f, scale);
    if (made != INSTANCE_NONE || !TheAppConstructed()) return made;
    int32_t slot = 0;
    while (slot < INSTANCE_COUNT && TheApp.InstanceTable[slot].InUse) ++slot;
    if (slot >= INSTANCE_COUNT) return INSTANCE_NONE;
    InitInstanceTransformByIndex(slot, MESH_NONE, mesh);
    ModelInstance& m = TheApp.InstanceTable[slot];
    SetInstanceSkinByIndex(slot, texture);
    m.Position = D3DVECTOR{x, y, z};
    m.Rotation = D3DVECTOR{0.f, ry, 0.f};
    m.Scale = D3DVECTOR{scale, scale, scale};
    m.Id = slot;
    m.RenderKind = 0;
    m.InScene = 1;
    m.Moved = 1;
    m.MatrixValid = 0;
    return slot;
}

// The mesh slot holding a texture, loading it into a free slot when the table does not have it.
int32_t FindOrLoadTexture(const char* file)
{
    if (!TheAppConstructed()) return MESH_NONE;
    const int found = TheApp.FindMeshByName(file);
    if (found < MESH_COUNT) return found;
    if (!TheApp.Device || TheApp.MeshCount >= MESH_COUNT) return MESH_NONE;
    const int slot = TheApp.MeshCount;
    if (TheApp.MeshTable[slot]->CreatePlaceholder(TheApp.Device, file) != 0) return MESH_NONE;
    TheApp.MeshTable[slot]->RestoreVideoResources(TheApp.Device);
    ++TheApp.MeshCount;
    return slot;
}

void Hide(int32_t model) { SetInstanceVisible(model, false); }

// Markers, dots and arrows are cut out of their textures by alpha.
int32_t Translucent(int32_t model)
{
    if (ModelInstance* m = InstanceAt(model)) m->Translucent = 1;
    return model;
}

// The pieces that stand up on the pitch and move (the footballers, their number boards, the
// arrows over them and the ball) give way to the camera's eye: close in front of it, between it
// and what it looks at, one of them would fill the picture.
int32_t GivesWayToEye(int32_t model)
{
    if (ModelInstance* m = InstanceAt(model)) m->Flags |= INSTANCE_FLAG_GIVES_WAY_TO_EYE;
    return model;
}

// The HUD button whose caption and picture are the pair.
bool IsButton(SpriteHandle hit, uint32_t caption, uint32_t picture) { return hit == caption || hit == picture; }

bool SpriteClickable(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->IsActive() && s->IsVisible();
}

bool OrdersAllowed()
{
    // Once the other computer has gone, an order here would move a side nobody manages (or play
    // the survivor's side on alone).
    if (OtherComputerLeft) return false;
    return !TextEntryRunning && MatchStopState != STOP_KICK_OFF && (MatchSetup.managers == 2 || TurnPhase == PHASE_HOME_PLANS);
}

// In a network game the other computer hears about the order of the side that plans here.
void SendOrderOfSelected()
{
    if (IsNetworkGame() && IsLocalSideToPlan(TurnPhase) && IsPlayerIndex(SelectedPlayer))
        SendGameMessageFor(GAME_MSGID_PLAYER_STATE, SelectedPlayer);
}

// Ball at rest where it lies: aim, destination and track on it, no loft or bend.
void SettleBallOnItself()
{
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    const D3DVECTOR at = ball->Position;
    TheBall.aimPoint = at;
    TheBall.destination = at;
    TheBall.kickStart = at;
    TheBall.groundPoint = at;
    TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
}

// The field camera's bounds in the match's units: the look-at point over the pitch and its
// margins (twice the centre spot), at most a lofted ball's height; the eye no lower than the
// eye-height keys take it and no higher than the whole pitch needs; a zoom from close up to the
// whole pitch; and a view no steeper than 70 degrees, so that an eye close over a player does not
// swing round him as he moves.
void SetPitchCameraBounds()
{
    FieldCamera.FieldLength = 2.0f * CENTRE_X;
    FieldCamera.FieldWidth = 2.0f * CENTRE_Z;
    FieldCamera.MaxTargetHeight = 20.0f;
    FieldCamera.MinEyeHeight = 2.0f;
    FieldCamera.MaxEyeHeight = 60.0f;
    FieldCamera.MinDistance = 2.0f;
    FieldCamera.MaxDistance = 70.0f;
    FieldCamera.MaxViewPitch = 70.0f * PI / 180.0f;
    FieldCamera.Bounded = true;
}

// The view as chosen: the wanted eye's offset from the wanted look-at point.
D3DVECTOR ChosenView()
{
    if (!IsFinite(WantedCameraEye) || !IsFinite(WantedCameraTarget)) KeepCameraWhereItIs();
    return D3DVECTOR{WantedCameraEye.x - WantedCameraTarget.x, WantedCameraEye.y - WantedCameraTarget.y,
                     WantedCameraEye.z - WantedCameraTarget.z};
}

void SetWantedKickOffCamera()
{
    WantedCameraTarget = CENTRE_SPOT;
    WantedCameraEye = Add(CENTRE_SPOT, Options.BeginnersCamera ? BEGINNERS_EYE_OFFSET : EYE_OFFSET);
}

void SelectByKey(int32_t n)
{
    int32_t p = n;
    if (MatchSetup.managers == 2 && TurnPhase != PHASE_HOME_PLANS) p += SIDE_SIZE;
    if (!IsPlayerIndex(p)) return;
    SelectedPlayer = p;
    if (Options.PitchLevelView)
        FocusCamera(p);
    else
        CameraBehindPlayer(p);
    CyclePlayerSelection(0);
}

// The hovered sprite back to its own colours: the substitution panel's buttons are dark on
// white, the others white on black.
void UnhighlightHovered()
{
    if (HoveredSprite == SPRITE_NONE) return;
    if (HoveredSprite >= SPRITE_SUB_PREV_BENCH && HoveredSprite <= SPRITE_SUB_NEXT_PLAYER) {
        SetTextColours(0, 0, 0, 255, 255, 255);
        UnhighlightTextSprite(HoveredSprite);
        UseWhiteTextColours();
    } else {
        UnhighlightTextSprite(HoveredSprite);
    }
    HoveredSprite = SPRITE_NONE;
}

void HighlightHovered(SpriteHandle hit)
{
    if (hit == HoveredSprite) return;
    UnhighlightHovered();
    SetHighlightColours(127, 127, 0, 0, 0, 0);
    HighlightTextSprite(hit);
    HoveredSprite = hit;
}

void OnMouseMove()
{
    const SpriteHandle hit = HitTestSprites();
    const bool inButtons = hit >= 100 && hit <= 1003;
    const bool inSubPanel = SubstitutionMode && hit >= SPRITE_SUB_PREV_BENCH && hit <= SPRITE_SUB_NEXT_PLAYER;
    if (inButtons || inSubPanel) {
        HighlightHovered(hit);
    } else if (hit == SPRITE_NONE) {
        UnhighlightHovered();
        // A drag aims, bends or turns a player: no more of that once the other computer has gone.
        if (!OtherComputerLeft && HandlePitchDrag())
            SetHighlightCursor();
        else
            SetNormalCursor();
    }
    UpdateEdgeScroll();
}

void StepPitchPlayerForSubstitution(int32_t direction)
{
    const int32_t p = IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0;
    const int32_t first = p < SIDE_SIZE ? 0 : SIDE_SIZE;
    SelectedPlayer = first + ((p - first + direction) % SIDE_SIZE + SIDE_SIZE) % SIDE_SIZE;
    PlaceSelectionMarker(SelectedPlayer);
    ShowSubstitutePanel();
}

void OnLeftButtonDown()
{
    if (OtherComputerLeft) {
        // What is left to do is in the system menu.
        if (IsButton(HitTestSprites(), SPRITE_CAPTION_SYSTEM, SPRITE_BUTTON_SYSTEM)) OpenPopupScreen(ScreenId::SystemMenu);
        return;
    }
    if (!OrdersAllowed()) return;
    const SpriteHandle hit = HitTestSprites();
    if (hit == SPRITE_NONE) {
        HandlePitchClick(WM_LBUTTONDOWN);
        ShowMoveRange(false);
        SendOrderOfSelected();
        return;
    }
    const int32_t side = IsAwaySide(IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0);
    if (IsButton(hit, SPRITE_CAPTION_END_TURN, SPRITE_BUTTON_END_TURN)) {
        if (SubstitutionMode || PopupOpen) return;
        if (IsNetworkGame())
            RequestEndTurn();
        else
            EndTurnIfAllowed();
    } else if (IsButton(hit, SPRITE_CAPTION_PASS, SPRITE_BUTTON_PASS)) {
        if (!KickOffPending) ToggleKickAim();
    } else if (IsButton(hit, SPRITE_CAPTION_SYSTEM, SPRITE_BUTTON_SYSTEM)) {
        OpenPopupScreen(ScreenId::SystemMenu);
        return;
    } else if (IsButton(hit, SPRITE_CAPTION_SUBSTITUTE, SPRITE_BUTTON_SUBSTITUTE)) {
        ToggleSubstitutionMode(!SubstitutionMode);
    } else if (!SubstitutionMode) {
        // The substitution panel's buttons act only while it is open.
    } else if (hit == SPRITE_SUB_PREV_BENCH || hit == SPRITE_SUB_NEXT_BENCH) {
        const int32_t next = NextUnusedBenchSlot(side, BenchSlot, hit == SPRITE_SUB_PREV_BENCH ? -1 : +1);
        if (next >= 0) BenchSlot = next;
        ShowSubstitutePanel();
    } else if (hit == SPRITE_SUB_CANCEL) {
        ToggleSubstitutionMode(false);
    } else if (hit == SPRITE_SUB_PERFORM) {
        PerformSubstitution();
        ToggleSubstitutionMode(false);
        // The turn banner names the selected player: now the one who came on.
        ShowTurnBanner();
    } else if (hit == SPRITE_SUB_PREV_PLAYER || hit == SPRITE_SUB_NEXT_PLAYER) {
        StepPitchPlayerForSubstitution(hit == SPRITE_SUB_PREV_PLAYER ? -1 : +1);
    }
}

void OnRightButtonDown()
{
    if (!OrdersAllowed() || !IsPlayerIndex(SelectedPlayer)) return;
    // A press during the other computer's planning would change a player here and not there.
    if (IsNetworkGame() && !IsLocalSideToPlan(TurnPhase)) return;
    const int32_t p = SelectedPlayer;
    MatchPlayer& m = MatchPlayers[p];
    ModelInstance* model = PlayerModel(p);
    if (BallInFlight && BallHolder == p + 1) {
        CancelKick();
    } else if (model) {
        if (Options.BeginnersCamera) {
            m.moveTarget.x = model->Position.x;
            m.moveTarget.z = model->Position.z;
        }
        CancelJump(p);
        if (PickPitchPoint() && IsMovingSidePlayer(p)) {
            if (GroundDistance(PickedPoint, model->Position) <= CLICK_PLAYER_RADIUS) {
                m.moveTarget.x = model->Position.x;
                m.moveTarget.z = model->Position.z;
                m.facePoint = PickedPoint;
                m.stance = 1;
                FacingMode = 1;
                FacingDrag = 1;
            }
        }
    }
    ShowMoveRange(false);
    SendOrderOfSelected();
}

void OnRightButtonUp()
{
    if (!OrdersAllowed()) return;
    if (FacingDrag) {
        FacingDrag = 0;
        FacingMode = 0;
    }
    if (!Options.BeginnersCamera) CyclePlayerSelection(+1);
    SendOrderOfSelected();
}

// The other computer left (it quit, failed or went silent): the match cannot go on with one of
// its two managers gone, so it stands, and this manager is left the system menu to save the
// game, restart or leave.
void StrandAfterDeparture()
{
    // Only a network match has another computer to lose, and it is lost once.
    if (OtherComputerLeft || !IsNetworkGame()) return;
    OtherComputerLeft = 1;
    DebugTrace("Net: the other computer has gone; the match stands still\n");
    // A chat line half typed goes nowhere now; the entry ends so that the keys act again.
    if (ChatEntryActive) {
        ChatEntryActive = 0;
        if (TextEntryRunning) EndTextEntry();
    }
    if (SubstitutionMode) ToggleSubstitutionMode(false);
    if (KickAimMode) ToggleKickAim();
    FacingDrag = 0;
    FacingMode = 0;
    UnhighlightHovered();
    SetNormalCursor();
    for (unsigned h : {SPRITE_CHAT_IN, SPRITE_CHAT_SEND, SPRITE_CHAT_LINE}) HideSprite(h);
    ShowSpriteInactive(SPRITE_DISCONNECTED);
    EnableButtonPair(SPRITE_CAPTION_END_TURN, false);
    EnableButtonPair(SPRITE_CAPTION_PASS, false);
    EnableButtonPair(SPRITE_CAPTION_SUBSTITUTE, false);
    EnableButtonPair(SPRITE_CAPTION_SYSTEM, true);
    if (Net.sessionSetUp) CleanupDirectPlay();
}

void OnNetworkNotification(uint32_t code)
{
    switch (code) {
    case NOTIFY_PLAYER_LEFT: StrandAfterDeparture(); break;
    case NOTIFY_PHASE_DONE: EndTurnIfAllowed(); break;
    case NOTIFY_END_TURN:
        if (IncomingEndTurnCode == END_TURN_REQUEST) {
            // Agreed only to end the other computer's planning phase as it stands here: not while
            // this computer still moves or walks in to a kick-off (it would end a phase that has
            // not begun here, and the two would plan for different sides).
            const bool ready = OtherComputerPlans() && !PopupOpen && !SubstitutionMode;
            OutgoingEndTurnCode = ready ? END_TURN_AGREE : END_TURN_NOT_READY;
            SendGameMessage(GAME_MSGID_END_TURN);
        } else if (IncomingEndTurnCode == END_TURN_NOT_READY) {
            LogMatchEvent(EVENT_NOT_READY, PLAYER_NONE, PLAYER_NONE);
        } else if (IncomingEndTurnCode == END_TURN_AGREE) {
            EndTurnBothAgreed();
        }
        break;
    default: break;
    }
}

// The keypad's camera keys; false for any other key.
bool OnCameraKey(uint32_t key)
{
    const D3DVECTOR oldEye = CameraEye, oldTarget = CameraTarget;
    switch (key) {
    case VK_NUMPAD0: ZoomCameraStep(1); break;
    case VK_DECIMAL: ZoomCameraStep(0); break;
    case VK_NUMPAD2:
    case VK_NUMPAD4:
    case VK_NUMPAD6:
    case VK_NUMPAD8:
        // A pan moves where the camera looks, not how: the chosen view goes along.
        PanCamera(int(key - VK_NUMPAD0));
        KeepCameraLookingWhereItIs();
        return true;
    case VK_NUMPAD1:
    case VK_SUBTRACT:
        if (CameraEye.y > 3.0f) CameraEye.y -= 1.0f;
        break;
    case VK_NUMPAD3:
    case VK_ADD: CameraEye.y += 1.0f; break;
    case VK_NUMPAD7: OrbitEyeAroundTargetBy(0, MatchStepSeconds()); break;
    case VK_NUMPAD9: OrbitEyeAroundTargetBy(1, MatchStepSeconds()); break;
    case VK_DIVIDE: OrbitTargetAroundEyeBy(0, MatchStepSeconds()); break;
    case VK_MULTIPLY: OrbitTargetAroundEyeBy(1, MatchStepSeconds()); break;
    case VK_NUMPAD5: return true;
    default: return false;
    }
    // The eye-height keys move the eye on their own: like the field camera's moves, a press that
    // would take the camera out of its bounds does nothing.
    SettleCameraMove(oldEye, oldTarget);
    KeepCameraWhereItIs();
    return true;
}

// Developer keys: only with the debug switch.
bool OnDeveloperKey(uint32_t key)
{
    if (!DebugMode) return key == VK_F4 || key == VK_F6 || key == VK_F8 || key == VK_F9 || key == VK_F11 || key == VK_F12;
    switch (key) {
    case VK_F4: EndMatch(); return true;
    case VK_F6:
        for (int i = 0; i < 60; ++i) {
            ClockStep();
            if (MatchStopState != STOP_IN_PLAY) break;
        }
        return true;
    case VK_F8:
        CheatControl = (CheatControl + 1) % 3;
        CheatPass = (CheatPass + 1) % 3;
        DebugPrintInt("Cheat Control", CheatControl);
        DebugPrintInt("Cheat Pass", CheatPass);
        return true;
    case VK_F9:
        if (IsPlayerIndex(SelectedPlayer)) {
            BallHolder = LastHolder = SelectedPlayer + 1;
            GiveBallToPlayer(SelectedPlayer);
            SettleBallOnItself();
        }
        return true;
    case VK_F11:
        if (IsPlayerIndex(SelectedPlayer)) {
            float& e = MatchPlayers[SelectedPlayer].energy;
            e = e > 10.f ? e - 10.f : 0.f;
        }
        return true;
    case VK_F12:
        ConstantTime = ConstantTime ? 0 : 1;
        DebugPrintInt("Constant Time", ConstantTime);
        return true;
    default: return false;
    }
}

void OnKeyDown(uint32_t key)
{
    if (TextEntryRunning) return;
    if (OnCameraKey(key) || OnDeveloperKey(key)) return;
    const bool orders = OrdersAllowed();
    switch (key) {
    case VK_BACK: FocusCamera(BALL_TARGET); return;
    case VK_RETURN: FocusCamera(SelectedPlayer); return;
    case VK_ESCAPE:
        // One key must not throw a match away: the question that "Restart game" asks comes first.
        // Left alone after the other computer went, the manager gets the whole system menu.
        if (OtherComputerLeft)
            OpenPopupScreen(ScreenId::SystemMenu);
        else
            ShowConfirmBox(CONFIRM_ABANDON_GAME);
        return;
    case VK_SPACE:
        if (!orders || PopupOpen || SubstitutionMode || MatchStopState == STOP_KICK_OFF) return;
        if (!SpriteClickable(SPRITE_CAPTION_END_TURN)) return;
        if (IsNetworkGame())
            RequestEndTurn();
        else
            EndTurnIfAllowed();
        return;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: SetCameraHeading(SelectedPlayer, key); return;
    case 'G':
        if (orders) SelectByKey(0);
        return;
    case '0':
        if (orders) SelectByKey(9);
        return;
    case '1':
        if (orders) SelectByKey(10);
        return;
    case 'B':
        ShowBallMarker = ShowBallMarker ? 0 : 1;
        ShowBallArrow(ShowBallMarker != 0);
        return;
    case 'C':
        Options.ShowCrowd = Options.ShowCrowd ? 0 : 1;
        ApplyModelKindVisibility();
        return;
    case 'D': Options.FollowBallAtEndTurn = Options.FollowBallAtEndTurn ? 0 : 1; return;
    case 'F':
        Options.CentrePlayerWhenSelected = Options.CentrePlayerWhenSelected ? 0 : 1;
        if (Options.CentrePlayerWhenSelected) Options.PitchLevelView = 1;
        return;
    case 'I':
        Options.PlayerInfoPanel = (Options.PlayerInfoPanel + 1) % 4;
        if (Options.PlayerInfoPanel < 0) Options.PlayerInfoPanel = 0;
        ShowInfoPanelGroup(Options.PlayerInfoPanel);
        return;
    case 'M':
        if (orders) CyclePlayerSelection(-1);
        return;
    case 'N':
        if (orders) CyclePlayerSelection(+1);
        return;
    case 'P':
        if (orders && !KickOffPending && SpriteClickable(SPRITE_CAPTION_PASS)) ToggleKickAim();
        return;
    case 'S':
        Options.BeginnersCamera = Options.BeginnersCamera ? 0 : 1;
        SetOverviewCamera();
        ShowTurnBanner();
        return;
    case 'T':
        Options.PitchLevelView = (Options.PitchLevelView + 1) % 2;
        if (Options.PitchLevelView <= 0) {
            Options.PitchLevelView = 0;
            Options.CentrePlayerWhenSelected = 0;
        }
        return;
    case VK_F7:
        if (!IsNetworkGame()) return;
        if (ChatEntryActive && TextEntryRunning) {
            EndTextEntry();
        } else {
            ChatEntryActive = 1;
            TextEntry.editedSprite = SPRITE_CHAT_LINE;
            BeginTextEntry(CHAT_LINE_X, CHAT_SEND_Y, 1, nullptr, CHAT_LINE_SIZE - 1, Chat.outgoing);
            if (!TextEntryRunning) ChatEntryActive = 0;
        }
        return;
    case VK_OEM_4:
        if (IsNetworkGame()) ScrollChat(true);
        return;
    case VK_OEM_6:
        if (IsNetworkGame()) ScrollChat(false);
        return;
    default: break;
    }
    if (key >= '2' && key <= '9' && orders) SelectByKey((int32_t)(key - '2') + 1);
}

const ScreenId kResultScreens[3] = {ScreenId::ExhibitionResult, ScreenId::CupResult, ScreenId::LeagueResult};

// The step's last part: the camera, the animations and the HUD; the turn's phases run on except
// during the full-time pause.
void FinishStep(float step, bool runPhases)
{
    ApplyEdgeScroll();
    if (MatchStopState == STOP_IN_PLAY && Options.FollowBallAtEndTurn &&
        (TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES))
        FocusCamera(BALL_TARGET);
    UpdateCamera();
    StepInstanceAnimations(step);
    PlaceNumberMarkers(false);
    SpinModel();
    if (runPhases && !GoalInProgress) UpdatePhaseTimers();
    ShowPlayerInfoPanel();
}

// The step of a match that stands after the other computer left: nothing on the pitch moves and
// no phase ends, while the camera, the ticker and the panel still answer.
void StandStill()
{
    ScrollEventTicker();
    ApplyEdgeScroll();
    UpdateCamera();
    PlaceNumberMarkers(false);
    SpinModel();
    ShowPlayerInfoPanel();
}

void WalkIn()
{
    if (!Options.BeginnersCamera) {
        Options.CentrePlayerWhenSelected = 0;
        Options.FollowBallAtEndTurn = 1;
    }
    // Both sides walk to their spots; the phase is borrowed for the movement code and given back,
    // so that nothing else takes the walk-in for a moving phase.
    const int32_t phase = TurnPhase;
    TurnPhase = PHASE_HOME_MOVES;
    SetSideAnimating(false);
    MovePlayers(false);
    TurnPhase = PHASE_AWAY_MOVES;
    SetSideAnimating(false);
    MovePlayers(false);
    TurnPhase = phase;
    SetSideAnimating(true);
    if (PhaseTimer > WALK_IN_SECONDS) {
        HideRefereeBanner();
        StartHalfKickOff();
        if (!Options.BeginnersCamera) {
            Options.CentrePlayerWhenSelected = 1;
            Options.FollowBallAtEndTurn = 1;
        }
    }
}

void RestartStep()
{
    PositionForSetPiece();
    if (BallHolder > 0 && IsPlayerOfSide(RestartSide, BallHolder - 1)) TakerHasBall = 1;
    MovePlayers(true);
    if (!TakerHasBall) {
        if (const ModelInstance* ball = BallModel()) TheBall.destination = ball->Position;
    } else if ((TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES) && BallInFlight) {
        UpdateBall();
    }
    RetakeThrowInOffThePitch();
    // A restart kick that went straight in is a goal, given by the flight: nothing to resume.
    if (!DeadBallKickPending && MatchStopState != STOP_IN_PLAY && !GoalInProgress) {
        const ModelInstance* ball = BallModel();
        if (ball && ClassifyBallPosition(ball->Position) == BALL_IN_PLAY) HideRefereeBanner();
    }
}
}  // namespace

void BuildMatchScreen()
{
    for (SoundId s : {SOUND_CROWD, SOUND_CHEER, SOUND_WHISTLE_LONG, SOUND_MATCH_MUSIC_1, SOUND_MATCH_MUSIC_2}) StopSound(s);
    SetScreenMessageHandler(HandleMatchMessage);
    SetScreenUpdateHandler(OnMatchScreenFrame);
    UseWhiteTextColours();
    HoveredSprite = SPRITE_NONE;

    CreateTextSprite(SPRITE_HOME_NAME, 330.f, 10.f, 0, TeamNames[0], 32);
    CreateTextSprite(SPRITE_HOME_GOALS, 340.f, 10.f, 0, "0", 0);
    CreateTextSprite(SPRITE_AWAY_GOALS, 400.f, 10.f, 0, "0", 0);
    CreateTextSprite(SPRITE_AWAY_NAME, 450.f, 10.f, 0, TeamNames[1], 0);
    for (unsigned h : {SPRITE_HOME_NAME, SPRITE_HOME_GOALS, SPRITE_AWAY_GOALS, SPRITE_AWAY_NAME}) ShowSpriteInactive(h);
    if (!LoadRequested) TeamGoals[0] = TeamGoals[1] = 0;

    CreateTextSprite(SPRITE_CLOCK, 691.f, 58.f, 1, "00:00", 0);
    CreateTextSprite(SPRITE_TURN_BANNER, 328.f, 30.f, 1, " ", 0);
    CreateTextSprite(SPRITE_TURN_DETAIL, 319.f, 47.f, 1, " ", 0);
    CreateTextSprite(SPRITE_REFEREE_BANNER, 400.f, 67.f, 1, " ", 0);
    for (unsigned h : {SPRITE_CLOCK, SPRITE_TURN_BANNER, SPRITE_TURN_DETAIL, SPRITE_REFEREE_BANNER}) ShowSpriteInactive(h);

    ResetEventTicker();
    for (int32_t line = 0; line < TICKER_LINE_COUNT; ++line) {
        CreateTextSprite(SPRITE_TICKER_FIRST + (unsigned)line, 400.f, 89.f, 1, " ", 0);
        ShowSpriteInactive(SPRITE_TICKER_FIRST + (unsigned)line);
    }

    SpriteImageWidth = 160;
    SpriteImageHeight = 56;
    CreateImageSprite(SPRITE_LOGO, 637.f, 7.f, 160.f, 56.f, "textures\\slogo.tga", MakeRect(0.f, 0.f, 160.f, 56.f), 0);

    struct Button {
        unsigned picture, caption;
        const char* file;
        float height, y, captionX, captionY;
        const char* text;
    };
    static const Button buttons[] = {
        {SPRITE_BUTTON_END_TURN, SPRITE_CAPTION_END_TURN, "textures\\endturn.tga", 36.f, 529.f, 700.f, 564.f, "End Turn"},
        {SPRITE_BUTTON_PASS, SPRITE_CAPTION_PASS, "textures\\pass.tga", 37.f, 409.f, 721.f, 444.f, "Pass"},
        {SPRITE_BUTTON_SYSTEM, SPRITE_CAPTION_SYSTEM, "textures\\options.tga", 37.f, 469.f, 711.f, 504.f, "System"},
        {SPRITE_BUTTON_SUBSTITUTE, SPRITE_CAPTION_SUBSTITUTE, "textures\\sub.tga", 37.f, 349.f, 687.f, 384.f,
         "Substitute"}};
    for (const Button& b : buttons) {
        SpriteImageWidth = 128;
        SpriteImageHeight = (int32_t)b.height;
        CreateImageSprite(b.picture, 700.f, b.y, 128.f, b.height, b.file, MakeRect(0.f, 0.f, 128.f, b.height), 0);
        CreateTextSprite(b.caption, b.captionX, b.captionY, 1, b.text, 0);
    }
    EnableButtonPair(SPRITE_CAPTION_SUBSTITUTE, false);

    std::memset(&Chat, 0, sizeof Chat);
    ChatEntryActive = 0;
    OtherComputerLeft = 0;
    ChatJustEnded = false;
    CreateTextSprite(SPRITE_CHAT_IN, CHAT_LABEL_X, CHAT_IN_Y, 1, "In>", 0);
    CreateTextSprite(SPRITE_CHAT_SEND, CHAT_LABEL_X, CHAT_SEND_Y, 1, "Send>", 0);
    CreateTextSprite(SPRITE_CHAT_LINE, CHAT_LINE_X, CHAT_SEND_Y, 1, " ", 0);
    for (unsigned h : {SPRITE_CHAT_IN, SPRITE_CHAT_SEND, SPRITE_CHAT_LINE}) {
        if (IsNetworkGame())
            ShowSpriteInactive(h);
        else
            HideSprite(h);
    }

    // Random draws of a network game come from the table both computers share, and the scene load
    // already draws (the automatic kick-off pass plays at once): the table is in use and filled
    // before it, so that no draw comes from this computer's own generator and every match from
    // the same seed plays alike, the first of a session as much as any later one.
    if (IsNetworkGame()) {
        UseSharedRandom = true;
        // Filling sends it to the other computer (game message 6) through the session's sender.
        if (IsNetworkHost()) FillSharedRandomTable();
    } else {
        UseSharedRandom = false;
    }

    BuildMatchPanels();
    LoadMatchScene();
    InitPhaseDurations();

    if (LoadRequested) {
        LoadSavedGame(LoadSlot);
        LoadRequested = 0;
        LoadKitTexture();
        RefreshShirtNumbers();
    }
    ShowScoreboard();
    CreateTextSprite(SPRITE_DISCONNECTED, 400.f, 1.f, 1, "OTHER PLAYER IS NO LONGER CONNECTED", 1);
    HideSprite(SPRITE_DISCONNECTED);

    if (IsNetworkGuest()) {
        HideSprite(SPRITE_CAPTION_SYSTEM);
        HideSprite(SPRITE_CAPTION_END_TURN);
        DeactivateSprite(SPRITE_BUTTON_SYSTEM);
        DeactivateSprite(SPRITE_BUTTON_END_TURN);
        EnableButtonPair(SPRITE_CAPTION_PASS, false);
    }
    Competition.matchInProgress = 1;
    MatchScreenActive = 1;
    PlayPrimarySound(SOUND_CROWD, true);
}

void LoadMatchScene()
{
    // A new match: nothing of the last one carries over (a loaded game overwrites afterwards).
    ResetMatchGlobals();
    WalkInAfterGoal = 0;
    ResetEventTicker();
    ResetSubstitutions();
    ResetMovementState();
    PendingKickKind = -1;

    if (TheAppConstructed()) {
        TheApp.SetSceneViewport(0);
        if (TheApp.Device) InitLights(TheApp.Device);
    }
    ClearColour = 0xFF519557;
    FieldCamera.ZoomStep = 1.0f;
    SetPitchCameraBounds();
    // Nearer than this, a footballer fills a twentieth of the picture or more.
    EyeClearance = 4.5f;
    Options.textureQuality = 0;
    TextureQuality = 0;
    FieldOfView = PI / 4.f;

    CameraTarget = CENTRE_SPOT;
    CameraUp = D3DVECTOR{0.f, 1.f, 0.f};
    if (!Options.BeginnersCamera) {
        CameraEye = Add(CENTRE_SPOT, EYE_OFFSET);
        Options.CentrePlayerWhenSelected = 1;
    } else {
        CameraEye = Add(CENTRE_SPOT, BEGINNERS_EYE_OFFSET);
        Options.CentrePlayerWhenSelected = 0;
    }
    Options.FollowBallAtEndTurn = 1;
    KeepCameraWhereItIs();
    FarPlane = 2000.f;
    DrawDistance = 2000.f;

    LoadModelList("level\\football.obj");
    FitEyeBoundsToScenery();

    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    const int playerMesh = TheAppConstructed() ? TheApp.FindMeshByName("xdata\\player.x") : MESH_NONE;
    static const char* const animations[12] = {"xdata\\stand.anx",   "xdata\\prun.anx",    "xdata\\pass.anx",
                                               "xdata\\jump.anx",    "xdata\\tackle.anx",  "xdata\\shoot.anx",
                                               "xdata\\volley.anx",  "xdata\\celeb.anx",   "xdata\\throwin.anx",
                                               "xdata\\gjumpr.anx",  "xdata\\gjumpl.anx",  "xdata\\pturn.anx"};
    // The frames and their timings load with or without a device: a one-shot animation that has
    // played to its end ends its player's order, so a match run without a screen must play them
    // as the game does. With a device the frames also need their buffers.
    if (playerMesh < MESH_COUNT)
        for (int slot = 0; slot < 12; ++slot) {
            const bool missing = AnimationStore[slot].StoredFrames() == 0;
            const bool withoutBuffers = TheApp.Device && !AnimationFrameBuffer(slot, 0);
            if (missing || withoutBuffers) LoadAnimationFile(animations[slot], playerMesh, slot);
        }

    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        const bool home = p < SIDE_SIZE;
        const bool keeper = p == HOME_KEEPER || p == AWAY_KEEPER;
        const char* texture = keeper ? "textures\\goaly.tga" : (home ? "textures\\rplayer.tga" : "textures\\yplayer.tga");
        const float x = home ? m.formationX : FORMATION_MIRROR_X - m.formationX;
        const float facing = home ? 3.f * HALF_PI : HALF_PI;
        m.model = MakeInstance("xdata\\player.x", texture, x, 0.f, m.formationZ, facing, PLAYER_SCALE);
        GivesWayToEye(m.model);
        if (ModelInstance* body = InstanceAt(m.model)) {
            ResetInstanceAnimations(*body);
            body->AnimationSlot = ANIM_STAND;
            body->CastsShadow = 1;
            body->ShadowDirty = 1;
        }
        m.moveTarget = D3DVECTOR{x, 0.f, m.formationZ};
        m.heading = facing;
        m.facePoint = m.moveTarget;
        m.action = m.stance = m.turnsDown = m.contacts = 0;
        m.moveCounterA = m.moveCounterB = m.aiCounter = 0;
        m.offside = 0;
        m.energyCeiling = 100.f;
        m.squadSlot = p % SIDE_SIZE;
        m.numberTexture = m.squadSlot;
        m.sceneFlag = 1;
        m.bodySize = 30.f * PLAYER_SCALE;
        m.headHeight = 61.f * PLAYER_SCALE;
        char number[32];
        std::snprintf(number, sizeof number, "textures\\no%c.tga", 'a' + m.squadSlot);
        m.numberMarkerModel =
            GivesWayToEye(MakeInstance("xdata\\number.x", number, x, 1.27f, m.formationZ, facing + PI, 0.2f));
        if (keeper) Hide(m.numberMarkerModel);
        JumpMarkerModels[p] =
            MakeInstance("xdata\\arrowup.x", "textures\\markeru.tga", x, m.headHeight + 0.5f, m.formationZ, 0.f, 0.37f);
        GivesWayToEye(Translucent(JumpMarkerModels[p]));
        Hide(JumpMarkerModels[p]);
        FacingArrowModels[p] =
            MakeInstance("xdata\\arrow.x", "textures\\markeru.tga", x, m.headHeight + 0.2f, m.formationZ, 0.f, 0.37f);
        GivesWayToEye(Translucent(FacingArrowModels[p]));
        Hide(FacingArrowModels[p]);
    }

    for (TeamSquad& team : TeamSquads)
        for (SquadPlayer& s : team.players) s.lastMatch = SquadStats{};
    for (int32_t slot = 0; slot < SQUAD_SIZE; ++slot) {
        char name[32];
        std::snprintf(name, sizeof name, "textures\\no%c.tga", 'a' + slot);
        NumberTextures[slot] = FindOrLoadTexture(name);
    }

    TheBall = MatchBall{};
    TheBall.model = MakeInstance("xdata\\ball.x", "textures\\ball.tga", CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z, 0.f, BALL_SCALE);
    if (ModelInstance* ball = BallModel()) {
        ball->CastsShadow = 1;
        ball->ShadowDirty = 1;
        TheBall.rotation = ball->Rotation.y;
    }
    SettleBallOnItself();
    TheBall.radius = 4.9f * BALL_SCALE;
    TheBall.markerModel = MakeInstance("xdata\\arrowd.x", "textures\\markeru.tga", CENTRE_X, BALL_REST_HEIGHT + 2.5f,
                                       CENTRE_Z, 0.f, 0.5f);
    GivesWayToEye(Translucent(TheBall.markerModel));
    GivesWayToEye(TheBall.model);
    SelectionMarkerModel = Translucent(
        MakeInstance("xdata\\squarecf.x", "textures\\marker.tga", CENTRE_X, MARKER_HEIGHT, CENTRE_Z, 0.f, 1.0f));
    for (int32_t i = 0; i < SIDE_SIZE; ++i) {
        MoveTargetMarkerModels[i] =
            MakeInstance("xdata\\squarecf.x", "textures\\markerx.tga", CENTRE_X, MARKER_HEIGHT, CENTRE_Z, 0.f, 1.0f);
        Translucent(MoveTargetMarkerModels[i]);
        Hide(MoveTargetMarkerModels[i]);
    }
    AimMarkerModel = MakeInstance("xdata\\squarecf.x", "textures\\markerxr.tga", CENTRE_X, MARKER_HEIGHT, CENTRE_Z, 0.f, 1.0f);
    Translucent(AimMarkerModel);
    Hide(AimMarkerModel);
    for (int32_t slot = 0; slot < SIDE_SIZE; ++slot)
        for (int32_t i = 0; i < PATH_DOTS; ++i) {
            PathDotModels[slot][i] =
                MakeInstance("xdata\\squarecf.x", "textures\\markerm.tga", CENTRE_X, MARKER_HEIGHT, CENTRE_Z, 0.f, 0.5f);
            Translucent(PathDotModels[slot][i]);
            Hide(PathDotModels[slot][i]);
        }
    for (int32_t i = 0; i < KICK_ARROWS; ++i) {
        KickArrowModels[i] =
            MakeInstance("xdata\\arrowh.x", "textures\\markermp.tga", CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z, 0.f, 0.25f);
        Translucent(KickArrowModels[i]);
        Hide(KickArrowModels[i]);
    }
    DotTextures[0] = FindOrLoadTexture("textures\\shadow.tga");
    // Shadows take a picture of their own: the flattened meshes reach every corner of it, so it is
    // even all over, where the dots are round.
    ShadowTextureMesh = FindOrLoadTexture("textures\\shade.tga");
    DotTextures[1] = FindOrLoadTexture("textures\\markerm.tga");
    ArrowTextures[0] = FindOrLoadTexture("textures\\markermp.tga");
    ArrowTextures[1] = FindOrLoadTexture("textures\\markermq.tga");
    ArrowTextures[2] = FindOrLoadTexture("textures\\markermr.tga");
    SkyDomeModel = MakeInstance("xdata\\skydome.x", "textures\\sky.jpg", CENTRE_X, 0.f, CENTRE_Z, 0.f, 1.0f);
    if (ModelInstance* sky = InstanceAt(SkyDomeModel)) sky->NeverCull = 1;
    static const char* const frames[4] = {"xdata\\goalbox.x", "xdata\\postl.x", "xdata\\postr.x", "xdata\\crossbar.x"};
    // Box order: the two interiors first, then the low-x goal's posts and bar, then the high-x ones.
    static const int order[2][4] = {{0, 2, 3, 4}, {1, 5, 6, 7}};
    for (int end = 0; end < 2; ++end)
        for (int k = 0; k < 4; ++k) {
            const int32_t model = MakeInstance(frames[k], "textures\\goal.tga", end ? 119.05f : 0.f, 0.f,
                                               end ? 85.38f : 0.f, end ? PI : 0.f, 1.0f);
            GoalFrameModels[order[end][k]] = model;
            Hide(model);
        }
    SetUpGoalMouthTriangles();
    BuildGoalFrames();

    const bool awayKicksOff = (Competition.gameMode == MODE_CUP || Competition.gameMode == MODE_LEAGUE) && RandomBelow(2) == 1;
    if (awayKicksOff) {
        SetUpKickOff(0);
        KickOffPhase = PHASE_AWAY_PLANS;
        FirstKickOffSide = 1;
    } else {
        SetUpKickOff(1);
        KickOffPhase = PHASE_HOME_PLANS;
        FirstKickOffSide = 0;
    }
    StartHalfKickOff();

    // Against the computer the manager's own player is the one selected; two managers keep the
    // striker of the side that kicks off.
    if (MatchSetup.managers != 2 || TurnPhase == PHASE_HOME_PLANS) SelectedPlayer = 9;
    PlaceSelectionMarker(SelectedPlayer);
    PlaceNumberMarkers(true);
    LoadKitTexture();
    ApplyModelKindVisibility();
    RefreshSelectedPlayer();
    ShowTurnBanner();
    SceneVisible = true;
}

void SetUpKickOff(int32_t scoringSide)
{
    TurnPhase = scoringSide == 1 ? PHASE_HOME_PLANS : PHASE_AWAY_PLANS;
    KickOffPhase = TurnPhase;
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        m.moveTarget = D3DVECTOR{FormationX(p), 0.f, FormationZ(p)};
        m.action = 0;
        if (const ModelInstance* model = PlayerModel(p)) m.heading = model->Rotation.y;
    }
    if (ModelInstance* ball = BallModel()) {
        ball->Position = D3DVECTOR{CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z};
        ball->Rotation.y = 0.f;
        ball->MatrixValid = 0;
        ball->Moved = 1;
        SetInstanceVisible(TheBall.model, true);
    }
    TheBall.rotation = 0.f;
    SettleBallOnItself();
    BallInFlight = 0;
    BallHolder = 0;
    LastTouchSide = 0;
    const int32_t striker = KickOffPhase == PHASE_HOME_PLANS ? 9 : 20;
    MatchPlayers[striker].moveTarget = D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
    MatchPlayers[striker + 1].moveTarget = D3DVECTOR{CENTRE_X, 0.f, KICK_OFF_PARTNER_Z};
    LastHolder = BallHolder;
    LastSelectedHome = 9;
    LastSelectedAway = 20;
    SelectedPlayer = 9;
    RefreshPreviews();
    GoalInProgress = 0;
    HideSprite(SPRITE_REFEREE_BANNER);
    KickOffPending = 1;
    KickOffPartner = SelectedPlayer + 2;
    ShowRefereeBanner();
    // Through the walk-in the ball lies on the spot with nobody on it.
    ShowTurnBanner();
    PlaceNumberMarkers(true);
    PhaseTimer = 0.f;
    SetWantedKickOffCamera();
}

void StartHalfKickOff()
{
    BallInFlight = 0;
    WaitingForBall = 0;
    KickAimMode = 0;
    const bool secondHalf = Half == 2;
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        const bool home = p < SIDE_SIZE;
        const float facing = (home != secondHalf) ? 3.f * HALF_PI : HALF_PI;
        m.moveTarget = D3DVECTOR{FormationX(p), 0.f, FormationZ(p)};
        m.heading = facing;
        m.action = 0;
        if (ModelInstance* model = PlayerModel(p)) {
            model->Position = D3DVECTOR{m.moveTarget.x, 0.f, m.moveTarget.z};
            model->Rotation.y = facing;
            model->MatrixValid = 0;
            model->Moved = 1;
        }
        SetPlayerAnimation(p, ANIM_STAND);
    }
    int32_t striker;
    if (KickOffPhase != PHASE_HOME_PLANS) {
        TurnPhase = PHASE_AWAY_PLANS;
        BallHolder = 21;
        LastTouchSide = 2;
        striker = 20;
    } else {
        TurnPhase = PHASE_HOME_PLANS;
        BallHolder = 10;
        LastTouchSide = 1;
        striker = 9;
    }
    const D3DVECTOR spots[2] = {{CENTRE_X, 0.f, CENTRE_Z}, {CENTRE_X, 0.f, KICK_OFF_PARTNER_Z}};
    for (int k = 0; k < 2; ++k) {
        MatchPlayers[striker + k].moveTarget = spots[k];
        PlaceModel(MatchPlayers[striker + k].model, spots[k].x, 0.f, spots[k].z);
    }
    // The side that kicks off plans now: after a walk-in its System and End Turn buttons must come
    // back (the moving phase before the goal took them away); the computer's side has none.
    const bool planner = IsLocalSideToPlan(TurnPhase) && (MatchSetup.managers == 2 || TurnPhase == PHASE_HOME_PLANS);
    EnableButtonPair(SPRITE_CAPTION_SYSTEM, planner);
    EnableButtonPair(SPRITE_CAPTION_END_TURN, planner);
    SortByDistanceToBall();
    LastHolder = BallHolder;
    GiveBallToPlayer(striker);
    SettleBallOnItself();
    PhaseTimer = 0.f;
    SelectedPlayer = striker;
    PlaceSelectionMarker(SelectedPlayer);
    KickOffPending = 1;
    KickOffPartner = SelectedPlayer + 2;
    RefreshPreviews();
    PlaceNumberMarkers(true);
    ShowRefereeBanner();
    ShowTurnBanner();
    PlaySecondarySound(SOUND_WHISTLE_LONG, false);
}

void OnMatchScreenFrame(float frameTime)
{
    if (!MatchScreenActive || !TheAppConstructed()) return;
    if (!std::isfinite(frameTime) || frameTime < 0.f) frameTime = 0.f;
    TheApp.ElapsedTime = frameTime;
    // A match that was over when the other computer left still goes on to its result.
    if (OtherComputerLeft && MatchStopState != STOP_FULL_TIME) {
        StandStill();
        return;
    }
    if (IsNetworkGame() && (TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES)) {
        // Both computers simulate the moving phase in the same fixed steps.
        NetStepAccumulator += frameTime;
        if (NetStepAccumulator < NET_FIXED_STEP) return;
        TheApp.ElapsedTime = NET_FIXED_STEP;
        NetStepAccumulator = 0.f;
    }
    UpdateMatch();
}

void UpdateMatch()
{
    if (!TheAppConstructed()) return;
    // The developer's constant step never replaces the network's fixed step of a moving phase,
    // which both computers must take alike.
    const bool networkMoving = IsNetworkGame() && (TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES);
    if (ConstantTime && !networkMoving) TheApp.ElapsedTime = CONSTANT_TIME_STEP;
    const float step = MatchStepSeconds();
    ScrollEventTicker();

    if (MatchStopState == STOP_FULL_TIME) {
        PhaseTimer += step;
        if (PhaseTimer <= FULL_TIME_SECONDS) {
            FinishStep(step, false);
            return;
        }
        // The totals are added once, however often the step is called afterwards.
        if (!MatchScreenActive) return;
        MatchScreenActive = 0;
        AccumulateSeasonStats();
        const int32_t mode = Competition.gameMode;
        SetScreen(kResultScreens[mode >= 0 && mode < 3 ? mode : 0]);
        return;
    }

    if (GoalInProgress) {
        PhaseTimer += step;
        if (PhaseTimer > GOAL_PAUSE_SECONDS) {
            GoalInProgress = 0;
            AddClockSteps(30);
            SetUpKickOff(LastScoringSide);
            MatchStopState = STOP_KICK_OFF;
            WalkInAfterGoal = 1;
            PhaseTimer = 0.f;
            ShowRefereeBanner();
        }
    } else if (MatchStopState == STOP_KICK_OFF) {
        WalkIn();
    } else if (MatchStopState == STOP_IN_PLAY || MatchStopState == STOP_GOAL || MatchStopState == STOP_UNUSED_5) {
        MovePlayers(true);
        if ((TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES) && BallInFlight) UpdateBall();
        if (MatchStopState == STOP_IN_PLAY) {
            CheckGoal(0);
            if (!GoalInProgress) CheckBallOut();
        }
    } else {
        RestartStep();
    }
    if (MatchStopState == STOP_FULL_TIME) return;
    FinishStep(step, true);
}

void HandleMatchMessage(int32_t messageId)
{
    if (ChatJustEnded && messageId != (int32_t)WM_MATCH_CHAT_TYPED) {
        ChatJustEnded = false;
        if (messageId == WM_KEYDOWN) return;
    }
    switch (messageId) {
    case WM_MOUSEMOVE:
        if (!TextEntryRunning) OnMouseMove();
        return;
    case WM_LBUTTONDOWN: OnLeftButtonDown(); return;
    case WM_LBUTTONUP:
        if (OrdersAllowed()) {
            HandlePitchClick(WM_LBUTTONUP);
            ShowMoveRange(false);
            SendOrderOfSelected();
        }
        return;
    case WM_RBUTTONDOWN: OnRightButtonDown(); return;
    case WM_RBUTTONUP: OnRightButtonUp(); return;
    case WM_NETWORK_NOTIFY: OnNetworkNotification(LastMessageParam); return;
    case WM_MATCH_CHAT_TYPED:
        if (ChatEntryActive) {
            ChatEntryActive = 0;
            ChatJustEnded = true;
            const bool thrownAway = LastMessageId == WM_KEYDOWN && LastMessageParam == VK_ESCAPE;
            if (!thrownAway) SendGameMessage(GAME_MSGID_CHAT);
        }
        return;
    case WM_KEYDOWN: OnKeyDown(LastMessageParam); return;
    default: return;
    }
}

void PlaceSelectionMarker(int32_t player)
{
    const ModelInstance* m = PlayerModel(player);
    if (!m) return;
    PlaceModel(SelectionMarkerModel, m->Position.x, MARKER_HEIGHT, m->Position.z);
    SetInstanceVisible(SelectionMarkerModel, true);
}

void ShowAimMarker()
{
    PlaceModel(AimMarkerModel, TheBall.aimPoint.x, MARKER_HEIGHT, TheBall.aimPoint.z);
    SetInstanceVisible(AimMarkerModel, true);
}

void ShowMoveTargetMarker(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    const int32_t marker = MoveTargetMarkerModels[player % SIDE_SIZE];
    PlaceModel(marker, MatchPlayers[player].moveTarget.x, MARKER_HEIGHT, MatchPlayers[player].moveTarget.z);
    SetInstanceVisible(marker, true);
}

void RefreshSelectedPlayer()
{
    const int32_t p = SelectedPlayer;
    const ModelInstance* m = IsPlayerIndex(p) ? PlayerModel(p) : nullptr;
    if (m) {
        const MatchPlayer& mp = MatchPlayers[p];
        if (m->Position.x == mp.moveTarget.x && m->Position.z == mp.moveTarget.z)
            SetInstanceVisible(MoveTargetMarkerModels[p % SIDE_SIZE], false);
        else
            ShowMoveTargetMarker(p);
    }
    EnableButtonPair(SPRITE_CAPTION_PASS, PassButtonAvailable());
    ShowTurnBanner();
}

void CyclePlayerSelection(int32_t direction)
{
    if (direction != 0) {
        if (!Options.BeginnersCamera) {
            SelectionCycleIndex = ((SelectionCycleIndex + direction) % SIDE_SIZE + SIDE_SIZE) % SIDE_SIZE;
            const int32_t next = DistanceOrder[SelectionCycleIndex];
            if (IsPlayerIndex(next)) SelectedPlayer = next;
        } else if (IsPlayerIndex(SelectedPlayer)) {
            const int32_t first = SelectedPlayer < SIDE_SIZE ? 0 : SIDE_SIZE;
            SelectedPlayer = first + ((SelectedPlayer - first + direction) % SIDE_SIZE + SIDE_SIZE) % SIDE_SIZE;
        }
    }
    if (!IsPlayerIndex(SelectedPlayer)) SelectedPlayer = 9;
    PlaceSelectionMarker(SelectedPlayer);
    if (Options.CentrePlayerWhenSelected && CanGiveOrders()) FocusCamera(SelectedPlayer);
    RefreshSelectedPlayer();
}

void FocusCamera(int32_t target)
{
    const ModelInstance* ball = BallModel();
    const ModelInstance* m = target == BALL_TARGET ? ball : PlayerModel(target);
    if (!m) return;
    // In a network game the camera does not follow the other computer's players while it plans.
    if (IsNetworkGame() && IsPlayerIndex(target) && IsMovingSidePlayer(target) && !IsLocalSideToPlan(TurnPhase)) return;
    const D3DVECTOR look = m->Position;
    // The view kept is the chosen one, not the camera's present offset: halfway through an ease,
    // or drawn in against the stands, that is shorter and steeper, and every focus taken from it
    // would close in further.
    const D3DVECTOR view = ChosenView();
    D3DVECTOR eye{look.x + view.x, look.y + view.y, look.z + view.z};
    if (eye.y < look.y) eye.y = look.y + 25.0f;
    if (!Options.BeginnersCamera && MatchStopState != STOP_KICK_OFF && IsPlayerIndex(target) && ball &&
        BallHolder != target + 1 && !(m->Position.x == ball->Position.x && m->Position.z == ball->Position.z)) {
        float ux = 0.f, uz = 0.f;
        const float distance = std::fmax(std::hypot(view.x, view.z), 2.3f);
        // The eye keeps its height over what it looks at, as the ball's offset does: measured
        // from the ground, every switch from a ball in the air to a player would add the ball's
        // height to the eye's, turn after turn.
        if (GroundDirection(ball->Position, m->Position, ux, uz))
            eye = D3DVECTOR{look.x + ux * distance, look.y + view.y, look.z + uz * distance};
    }
    if (!IsFinite(look) || !IsFinite(eye)) return;
    WantedCameraTarget = look;
    WantedCameraEye = eye;
}

// One step of the eye's offset from the look-at point toward the goal's offset, over a sphere
// about the point: its heading about the vertical and its angle over the horizontal each turn by
// at most `step` along their circles and never faster than the orbit keys turn it (half a turn a
// second), and its distance moves by at most `step`. A view drawn in at the stands along its line
// of sight keeps its angle all the way. Exactly the goal once all three are there.
static D3DVECTOR SwungOffset(const D3DVECTOR& from, const D3DVECTOR& toward, float step, float seconds)
{
    const float ground = std::hypot(from.x, from.z), distance = std::hypot(ground, from.y);
    const float goalGround = std::hypot(toward.x, toward.z), goalDistance = std::hypot(goalGround, toward.y);
    const float heading = std::atan2(from.z, from.x), pitch = std::atan2(from.y, ground);
    const float acrossHeading = WrapAngle(std::atan2(toward.z, toward.x) - heading);
    const float acrossPitch = std::atan2(toward.y, goalGround) - pitch;
    auto most = [step, seconds](float radius) { return std::fmin(radius > 1e-4f ? step / radius : PI, PI * seconds); };
    const float mostHeading = most(ground), mostPitch = most(distance);
    const float reach = distance + std::fmax(-step, std::fmin(step, goalDistance - distance));
    if (std::fabs(acrossHeading) <= mostHeading && std::fabs(acrossPitch) <= mostPitch && reach == goalDistance)
        return toward;
    const float h = heading + std::fmax(-mostHeading, std::fmin(mostHeading, acrossHeading));
    const float p = pitch + std::fmax(-mostPitch, std::fmin(mostPitch, acrossPitch));
    return D3DVECTOR{std::cos(h) * std::cos(p) * reach, std::sin(p) * reach, std::sin(h) * std::cos(p) * reach};
}

void UpdateCamera()
{
    if (!IsFinite(WantedCameraEye) || !IsFinite(WantedCameraTarget)) KeepCameraWhereItIs();
    // Whatever the ball or the player followed does, the camera eases to the chosen view kept
    // over the pitch with its eye in the stadium's bowl; the wanted camera itself stays as chosen.
    D3DVECTOR goalEye = WantedCameraEye, goalTarget = WantedCameraTarget;
    KeepCameraInBounds(goalEye, goalTarget);
    const float speed = (Options.FollowBallAtEndTurn && !Options.BeginnersCamera) ? 20.0f : 10.0f;
    const float seconds = MatchStepSeconds();
    const float step = speed * seconds;
    // The look-at point goes straight to its goal; the eye keeps to it, going round it and in or
    // out toward the goal's offset. A move between two places seen alike keeps the view all the
    // way, and the eye never passes over the point it looks at, where the view would spin.
    const D3DVECTOR offset{CameraEye.x - CameraTarget.x, CameraEye.y - CameraTarget.y, CameraEye.z - CameraTarget.z};
    const D3DVECTOR goalOffset{goalEye.x - goalTarget.x, goalEye.y - goalTarget.y, goalEye.z - goalTarget.z};
    const float d = SpaceDistance(goalTarget, CameraTarget);
    if (d <= step || d < 0.0001f) {
        CameraTarget = goalTarget;
    } else {
        const float k = step / d;
        CameraTarget = D3DVECTOR{CameraTarget.x + (goalTarget.x - CameraTarget.x) * k,
                                 CameraTarget.y + (goalTarget.y - CameraTarget.y) * k,
                                 CameraTarget.z + (goalTarget.z - CameraTarget.z) * k};
    }
    const D3DVECTOR swung = SwungOffset(offset, goalOffset, step, seconds);
    const bool arrived = CameraTarget.x == goalTarget.x && CameraTarget.y == goalTarget.y &&
                         CameraTarget.z == goalTarget.z && swung.x == goalOffset.x && swung.y == goalOffset.y &&
                         swung.z == goalOffset.z;
    CameraEye = arrived ? goalEye
                        : D3DVECTOR{CameraTarget.x + swung.x, CameraTarget.y + swung.y, CameraTarget.z + swung.z};
    KeepCameraInBounds(CameraEye, CameraTarget);
}

void KeepCameraWhereItIs()
{
    WantedCameraEye = CameraEye;
    WantedCameraTarget = CameraTarget;
}

void KeepCameraLookingWhereItIs()
{
    const D3DVECTOR view = ChosenView();
    WantedCameraTarget = CameraTarget;
    WantedCameraEye = D3DVECTOR{CameraTarget.x + view.x, CameraTarget.y + view.y, CameraTarget.z + view.z};
}

void CameraBehindPlayer(int32_t player)
{
    const ModelInstance* m = PlayerModel(player);
    if (!m) return;
    SelectedPlayer = player;
    const float h = m->Rotation.y;
    WantedCameraTarget = m->Position;
    WantedCameraEye = D3DVECTOR{m->Position.x + 10.f * std::sin(h), m->Position.y + 3.f, m->Position.z + 10.f * std::cos(h)};
}

void SetCameraHeading(int32_t player, uint32_t key)
{
    const ModelInstance* m = PlayerModel(player);
    if (!m) return;
    float heading;
    switch (key) {
    case VK_UP: heading = PI; break;
    case VK_RIGHT: heading = HALF_PI; break;
    case VK_DOWN: heading = 0.f; break;
    case VK_LEFT: heading = 3.f * HALF_PI; break;
    default: return;
    }
    const float away = Options.BeginnersCamera ? 17.f : 11.f;
    const float up = Options.BeginnersCamera ? 17.f : 2.7f;
    WantedCameraTarget = m->Position;
    WantedCameraEye = D3DVECTOR{m->Position.x + away * std::sin(heading), m->Position.y + up,
                                m->Position.z + away * std::cos(heading)};
}

void CancelKick()
{
    SettleBallOnItself();
    BallInFlight = 0;
    ShotClass = 0;
    BendAiming = 0;
    TheBall.bendMouseX = TheBall.bendRefMouseX;
    TheBall.bendMouseY = TheBall.bendRefMouseY;
    if (BallHolder > 0 && IsPlayerIndex(BallHolder - 1)) {
        MatchPlayer& kicker = MatchPlayers[BallHolder - 1];
        if (kicker.action == ANIM_PASS || kicker.action == ANIM_SHOOT || kicker.action == ANIM_THROW_IN) kicker.action = 0;
    }
    Hide(AimMarkerModel);
    ShowKickPreview(true);
}
