// A match-sized scene put together from the data set with the scene engine's parts alone: the
// pitch, 22 morph-animated players of the real player mesh, the ball and both goals, lit by the
// key light and shadowed. Used by the scene tests (a screenshot to check) and the scene
// benchmark (frames per second with and without animation and shadows).
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/ShaderEffects.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "platform/d3dx8/d3dx8.h"

#include <cmath>
#include <string>
#include <vector>

class MatchSceneRig {
public:
    enum MeshSlot { PITCH = 0, PLAYER, BALL, GOAL, TEX_PITCH = 10, TEX_RED, TEX_YELLOW, TEX_KEEPER, TEX_BALL, TEX_GOAL,
                    TEX_SHADOW };

    explicit MatchSceneRig(IDirect3DDevice8* device) : device_(device), meshes_(MESH_COUNT, nullptr)
    {
        device_->GetDeviceCaps(&caps_);
    }
    ~MatchSceneRig()
    {
        for (ModelInstance& m : instances_) m.ReleaseDeviceBuffers();
        ReleaseShaders(device_);
        FreeAllAnimations();
        FreeShadowScratch();
        for (XFileMesh* m : meshes_) delete m;
    }

    // Loads from the working directory (the data set). Empty on success, else what failed.
    std::string Load(int players)
    {
        const struct {
            int slot;
            const char* file;
        } meshes[] = {{PITCH, "xdata\\pitch.x"}, {PLAYER, "xdata\\player.x"}, {BALL, "xdata\\ball.x"},
                      {GOAL, "xdata\\goal.x"}};
        for (auto& m : meshes) {
            meshes_[m.slot] = new XFileMesh(m.file);
            if (FAILED(meshes_[m.slot]->CreateWithTextParse(device_, m.file))) return m.file;
        }
        const struct {
            int slot;
            const char* file;
        } textures[] = {{TEX_PITCH, "textures\\pitch.jpg"}, {TEX_RED, "textures\\rplayer.tga"},
                        {TEX_YELLOW, "textures\\yplayer.tga"}, {TEX_KEEPER, "textures\\goaly.tga"},
                        {TEX_BALL, "textures\\ball.tga"},     {TEX_GOAL, "textures\\goal.tga"},
                        {TEX_SHADOW, "textures\\shade.tga"}};
        for (auto& t : textures) {
            meshes_[t.slot] = new XFileMesh(t.file);
            if (meshes_[t.slot]->CreatePlaceholder(device_, t.file) != 0 || !meshes_[t.slot]->Texture0()) return t.file;
        }
        if (LoadShaders(device_) != 1) return "shaders";
        if (!LoadAnimationFileForMesh(device_, "xdata\\prun.anx", *meshes_[PLAYER], 0)) return "xdata\\prun.anx";
        ShadowTextureMesh = TEX_SHADOW;

        Add(PITCH, TEX_PITCH, 59.525f, 0.f, 42.06f, 0.f, 1.f, false);
        for (int end = 0; end < 2; ++end)
            Add(GOAL, TEX_GOAL, end ? 119.05f : 0.f, 0.f, end ? 85.38f : 0.f, end ? 3.14159265f : 0.f, 1.f, false);
        for (int p = 0; p < players; ++p) {
            const bool home = p < 11;
            const int k = p % 11;
            const float x = home ? 10.f + 4.5f * k : 108.f - 4.5f * k;
            const float z = 20.f + 45.f * (float)((k * 7) % 11) / 10.f;
            const int texture = k == 0 ? TEX_KEEPER : home ? TEX_RED : TEX_YELLOW;
            ModelInstance& m = Add(PLAYER, texture, x, 0.f, z, home ? 4.712389f : 1.570796f, 0.027f, true);
            ResetInstanceAnimations(m);
            m.AnimationSlot = 0;
            // Each player starts at his own point of the run.
            m.AnimCurrentFrame[0] = p % (int)AnimationStore[0].FrameCount;
            m.AnimNextFrame[0] = (m.AnimCurrentFrame[0] + 1) % (int)AnimationStore[0].FrameCount;
        }
        Add(BALL, TEX_BALL, 59.47f, 0.11907f, 42.08f, 0.f, 0.027f, true);
        return {};
    }

    ModelInstance& Add(int mesh, int texture, float x, float y, float z, float ry, float scale, bool shadow)
    {
        instances_.emplace_back();
        ModelInstance& m = instances_.back();
        m.InUse = 1;
        m.Visible = 1;
        m.InScene = 1;
        m.MeshIndex = mesh;
        m.TextureMeshIndex = texture;
        m.RenderKind = 1;
        m.Position = D3DVECTOR{x, y, z};
        m.Rotation = D3DVECTOR{0.f, ry, 0.f};
        m.Scale = D3DVECTOR{scale, scale, scale};
        m.ShadowScale = scale;
        m.CastsShadow = shadow;
        m.ShadowDirty = shadow;
        D3DXMATRIX r, s, t, rs;
        D3DXMatrixRotationY(&r, ry);
        D3DXMatrixScaling(&s, scale, scale, scale);
        D3DXMatrixTranslation(&t, x, y, z);
        D3DXMatrixMultiply(&rs, &r, &s);
        D3DXMatrixMultiply(&world_, &rs, &t);
        m.WorldMatrix = world_;
        m.MatrixValid = 1;
        return m;
    }

    void LookAt(D3DVECTOR eyePoint, D3DVECTOR target)
    {
        eye_ = eyePoint;
        D3DXVECTOR3 eye(eyePoint.x, eyePoint.y, eyePoint.z), at(target.x, target.y, target.z), up(0.f, 1.f, 0.f);
        D3DXMatrixLookAtLH(&view_, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection_, 0.75f, 800.f / 600.f, 1.f, 2000.f);
    }

    // One frame: advance the clocks by dt (when animating), draw everything, present.
    void Frame(float dt, bool animate, bool shadows)
    {
        if (animate) {
            StepInstanceAnimations(instances_.data(), (int)instances_.size(), dt);
            // Moving players have moving shadows: the match marks them, and so does this scene.
            for (ModelInstance& m : instances_)
                if (m.RenderKind == RENDER_KIND_MORPH) m.ShadowDirty = 1;
        }
        drawCalls = triangles = 0;
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF6080A0, 1.0f, 0);
        device_->BeginScene();
        InitLights(device_);
        device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device_->SetTransform(D3DTS_VIEW, &view_);
        device_->SetTransform(D3DTS_PROJECTION, &projection_);
        SetBlendMode(device_, caps_, BLEND_OPAQUE);
        for (ModelInstance& m : instances_) {
            XFileMesh* mesh = meshes_[m.MeshIndex];
            if (mesh->Materials && mesh->MaterialCount > 0) device_->SetMaterial(&mesh->Materials[0]);
            device_->SetTexture(0, meshes_[m.TextureMeshIndex]->Texture0());
            device_->SetTransform(D3DTS_WORLD, &m.WorldMatrix);
            if (m.RenderKind == RENDER_KIND_MORPH && animate) {
                RenderShaderModel(device_, m, mesh, view_, projection_, drawCalls, triangles);
            } else {
                device_->SetVertexShader(MODEL_VERTEX_FVF);
                device_->SetStreamSource(0, mesh->VertexBuffer, sizeof(ModelVertex));
                device_->SetIndices(mesh->IndexBuffer, 0);
                device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, (UINT)mesh->VertexCount, 0,
                                              (UINT)mesh->IndexCount / 3);
                ++drawCalls;
                triangles += mesh->IndexCount / 3;
            }
        }
        if (shadows) {
            ShadowPassContext c;
            c.Device = device_;
            c.Caps = &caps_;
            c.Instances = instances_.data();
            c.InstanceCount = (int)instances_.size();
            c.Meshes = meshes_.data();
            c.CameraEyeHeight = eye_.y;
            c.DrawCalls = &drawCalls;
            c.Triangles = &triangles;
            shadowsDrawn = DrawInstanceShadows(c);
        }
        SetBlendMode(device_, caps_, BLEND_OPAQUE);
        device_->EndScene();
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }

    std::vector<ModelInstance>& Instances() { return instances_; }
    XFileMesh* Mesh(int slot) { return meshes_[slot]; }

    int32_t drawCalls = 0, triangles = 0;
    int shadowsDrawn = 0;

private:
    IDirect3DDevice8* device_;
    D3DCAPS8 caps_{};
    std::vector<XFileMesh*> meshes_;
    std::vector<ModelInstance> instances_;
    D3DXMATRIX view_, projection_, world_;
    D3DVECTOR eye_{0.f, 0.f, 0.f};
};
