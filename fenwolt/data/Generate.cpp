#include "fenwolt/data/Generate.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "fenwolt/data/Audio.h"
#include "fenwolt/data/Contact.h"
#include "fenwolt/data/Fonts.h"
#include "fenwolt/data/Language.h"
#include "fenwolt/data/Player.h"
#include "fenwolt/data/Scene.h"
#include "fenwolt/data/Textures.h"

namespace fs = std::filesystem;

namespace fwdata {

namespace {

void WriteBytes(const std::string& path, const void* data, size_t n) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    bool ok = std::fwrite(data, 1, n, f) == n;
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("write failed: " + path);
}

class Writer {
public:
    explicit Writer(std::string dir) : dir_(std::move(dir)) {}
    std::string Prepare(const std::string& name) {
        std::string p = DataPath(dir_, name);
        fs::create_directories(fs::path(p).parent_path());
        written_.push_back(name);
        return p;
    }
    void Bytes(const std::string& name, const std::vector<unsigned char>& b) {
        WriteBytes(Prepare(name), b.data(), b.size());
    }
    void Text(const std::string& name, const std::string& s) { WriteBytes(Prepare(name), s.data(), s.size()); }
    std::vector<std::string> written_;

private:
    std::string dir_;
};

// Vertex shaders (vs.1.1): c0-c3 world-view-projection, c4 the light direction towards the
// light in model space, c5 (1,1,1,0), c6 0.917, c7 0, c8 the two key-frame weights.
const char* const kMorph =
    "vs.1.1\n"
    "mul r0, v0, c8.x\n"
    "mad r0, v3, c8.y, r0\n"
    "mov r0.w, c5.x\n"
    "m4x4 oPos, r0, c0\n"
    "mul r1, v1, c8.x\n"
    "mad r1, v4, c8.y, r1\n"
    "dp3 r2.x, r1, r1\n"
    "rsq r2.x, r2.x\n"
    "mul r1, r1, r2.x\n"
    "dp3 r3.x, r1, c4\n"
    "mad r3.x, r3.x, c6.x, c6.x\n"
    "min r3.x, r3.x, c5.x\n"
    "max r3.x, r3.x, c7.x\n"
    "mul oD0.xyz, c5, r3.x\n"
    "mov oD0.w, c5.x\n"
    "mov oT0, v2\n";
const char* const kStand =
    "vs.1.1\n"
    "m4x4 oPos, v0, c0\n"
    "dp3 r0.x, v1, c4\n"
    "mad r0.x, r0.x, c6.x, c6.x\n"
    "min r0.x, r0.x, c5.x\n"
    "max r0.x, r0.x, c7.x\n"
    "mul oD0.xyz, c5, r0.x\n"
    "mov oD0.w, c5.x\n"
    "mov oT0, v2\n";
const char* const kMembrane =
    "vs.1.1\n"
    "m4x4 oPos, v0, c0\n"
    "dp3 r0.x, v1, c4\n"
    "max r0.x, r0.x, c7.x\n"
    "mul r1, c5, r0.x\n"
    "add r1, r1, c6\n"
    "min oD0.xyz, r1, c5\n"
    "mov oD0.w, c6.x\n"
    "mov oT0, v2\n";
const char* const kHalo =
    "vs.1.1\n"
    "mad r0, v1, c6.x, v0\n"
    "mov r0.w, c5.x\n"
    "m4x4 oPos, r0, c0\n"
    "dp3 r1.x, v1, c4\n"
    "max r1.x, r1.x, c7.x\n"
    "mul oD0.xyz, c5, r1.x\n"
    "mov oD0.w, c6.x\n"
    "mov oT0, v2\n";
const char* const kFishm =
    "vs.1.1\n"
    "mul r0, v0, c8.x\n"
    "mad r0, v3, c8.y, r0\n"
    "mov r0.w, c5.x\n"
    "m4x4 oPos, r0, c0\n"
    "mul r1, v1, c8.x\n"
    "mad r1, v4, c8.y, r1\n"
    "dp3 r2.x, r1, c4\n"
    "max r2.x, r2.x, c7.x\n"
    "add r2.x, r2.x, c6.x\n"
    "min r2.x, r2.x, c5.x\n"
    "mul oD0.xyz, c5, r2.x\n"
    "mov oD0.w, c5.x\n"
    "mul r3, v2, c8.x\n"
    "mad oT0, v5, c8.y, r3\n";

bool TwinAtHalfSize(const Image& img) { return img.w >= 128 && img.h >= 128; }

std::string TwinName(const std::string& name) {   // "textures\x" -> "texture2\x": the eighth character
    std::string t = name;
    t[7] = '2';
    return t;
}

void WritePicture(Writer& w, const std::string& name, const Image& img, PicFormat f) {
    std::string p = w.Prepare(name);
    if (f == PicFormat::Jpeg) WriteJpeg(p, img, 90);
    else WriteTga(p, img, f == PicFormat::Tga32 ? 32 : 24);
}

const Image* FindPicture(const std::vector<Picture>& pics, const std::string& name) {
    for (const auto& p : pics)
        if (p.file == name) return &p.image;
    return nullptr;
}

void WriteContactSheets(const std::string& dir, const Mesh& player, const std::vector<Animation>& anims,
                        const std::vector<NamedMesh>& meshes, const std::vector<Picture>& pics,
                        const std::vector<GlyphSheet>& fonts) {
    fs::create_directories(dir);
    const uint32_t bg = Rgb(70, 110, 80);
    // meshes with the textures the game gives them
    const std::map<std::string, std::string> skin = {
        {"xdata\\ball.x", "textures\\ball.tga"},       {"xdata\\goal.x", "textures\\goal.tga"},
        {"xdata\\pitch.x", "textures\\pitch.jpg"},     {"xdata\\stand.x", "textures\\stand.tga"},
        {"xdata\\standend.x", "textures\\stand.tga"},  {"xdata\\crowd.x", "textures\\crowd.tga"},
        {"xdata\\crowdend.x", "textures\\crowd.tga"},  {"xdata\\boards.x", "textures\\boards.tga"},
        {"xdata\\skydome.x", "textures\\sky.jpg"},     {"xdata\\squarecf.x", "textures\\marker.tga"},
        {"xdata\\arrowd.x", "textures\\markeru.tga"},  {"xdata\\arrowup.x", "textures\\markeru.tga"},
        {"xdata\\arrow.x", "textures\\markeru.tga"},   {"xdata\\arrowh.x", "textures\\markermp.tga"},
        {"xdata\\number.x", "textures\\noj.tga"},      {"xdata\\bvorne.x", "textures\\blocktex.jpg"},
        {"xdata\\btulst.x", "textures\\blocktex.jpg"}};
    std::vector<Image> tiles;
    std::vector<std::string> caps;
    tiles.push_back(RenderMesh(player, nullptr, FindPicture(pics, "textures\\rplayer.tga"), 256, 256, 0.5f, 0.15f, bg));
    caps.push_back("xdata\\player.x");
    tiles.push_back(RenderMesh(player, nullptr, FindPicture(pics, "kit\\kitrwsw.tga"), 256, 256, 2.8f, 0.2f, bg));
    caps.push_back("player.x, back, kitrwsw");
    for (const auto& nm : meshes) {
        auto it = skin.find(nm.file);
        const Image* tex = it != skin.end() ? FindPicture(pics, it->second) : nullptr;
        float pitchAngle = nm.file == "xdata\\pitch.x" ? 1.2f : nm.file == "xdata\\skydome.x" ? -0.35f : 0.35f;
        tiles.push_back(RenderMesh(nm.mesh, nullptr, tex, 256, 256, 0.6f, pitchAngle, bg));
        caps.push_back(nm.file);
    }
    WritePng(dir + "/meshes.png", ContactGrid(tiles, caps, 6, 256, 256));
    // the stadium from the match's two default cameras, with two sides lined up
    std::map<std::string, const Mesh*> byName;
    for (const auto& nm : meshes) byName[nm.file] = &nm.mesh;
    std::vector<SceneItem> scene;
    for (const auto& pl : StadiumPlacements())
        scene.push_back({byName.at(pl.mesh), nullptr, FindPicture(pics, pl.texture), pl.x, pl.y, pl.z, pl.ry, pl.scale});
    const float kPlayerScale = 0.027f;
    for (int i = 0; i < 11; ++i) {
        float x = 20.0f + 3.5f * float(i), z = 22.0f + 4.0f * float(i % 6);
        scene.push_back({&player, &anims[i % 2].frames[size_t(i) % anims[i % 2].frames.size()],
                         FindPicture(pics, i == 0 ? "textures\\goaly.tga" : "textures\\rplayer.tga"), x, 0, z,
                         4.712389f, kPlayerScale});
        scene.push_back({&player, &anims[1].frames[size_t(i) % anims[1].frames.size()],
                         FindPicture(pics, "textures\\yplayer.tga"), x + 18.0f, 0, z + 2.0f, 1.570796f, kPlayerScale});
    }
    const Mesh* ballMesh = byName.at("xdata\\ball.x");
    scene.push_back({ballMesh, nullptr, FindPicture(pics, "textures\\ball.tga"), 59.47f, 0.11907f, 42.08f, 0, 0.027f});
    scene.push_back({byName.at("xdata\\skydome.x"), nullptr, FindPicture(pics, "textures\\sky.jpg"), 59.47f, 0, 42.08f,
                     0, 1.0f});
    const Vec3 centre{59.47f, 0, 42.08f};
    std::vector<Image> views = {
        RenderScene(scene, centre + Vec3{-13.0f, 2.7f, 0}, centre, 0.785398f, 800, 600, Rgb(0x51, 0x95, 0x57)),
        RenderScene(scene, centre + Vec3{0, 31.0f, -31.0f}, centre, 0.785398f, 800, 600, Rgb(0x51, 0x95, 0x57)),
        RenderScene(scene, Vec3{-30.0f, 45.0f, -25.0f}, centre, 0.785398f, 800, 600, Rgb(0x51, 0x95, 0x57))};
    WritePng(dir + "/stadium.png", ContactGrid(views, {"match camera", "beginners camera", "overview"}, 1, 800, 600));
    // every kit on the footballer, front and back
    tiles.clear();
    caps.clear();
    for (const auto& k : KitNames()) {
        const Image* tex = FindPicture(pics, "kit\\" + k);
        tiles.push_back(RenderMesh(player, &anims[0].frames[0], tex, 120, 160, 0.4f, 0.1f, bg));
        caps.push_back(k);
        tiles.push_back(RenderMesh(player, &anims[0].frames[0], tex, 120, 160, 3.5f, 0.1f, bg));
        caps.push_back("back");
    }
    WritePng(dir + "/kits.png", ContactGrid(tiles, caps, 8, 120, 160));
    // every animation: five frames across
    tiles.clear();
    caps.clear();
    for (const auto& a : anims)
        for (int k = 0; k < 5; ++k) {
            size_t f = a.frames.size() == 1 ? 0 : size_t(k) * (a.frames.size() - 1) / 4;
            tiles.push_back(RenderMesh(player, &a.frames[f], FindPicture(pics, "textures\\yplayer.tga"), 160, 160,
                                       1.1f, 0.12f, bg));
            caps.push_back(a.file + " " + std::to_string(f));
        }
    WritePng(dir + "/animations.png", ContactGrid(tiles, caps, 10, 160, 160));
    // pictures: 3D textures and HUD, then the front end
    tiles.clear();
    caps.clear();
    std::vector<Image> big;
    std::vector<std::string> bigCaps;
    for (const auto& p : pics) {
        if (p.image.w >= 400) { big.push_back(p.image); bigCaps.push_back(p.file); }
        else { tiles.push_back(p.image); caps.push_back(p.file); }
    }
    WritePng(dir + "/textures.png", ContactGrid(tiles, caps, 8, 160, 160));
    WritePng(dir + "/pictures.png", ContactGrid(big, bigCaps, 3, 400, 300));
    // glyph sheets, and a line set with the width tables as the game draws text
    int h = 0;
    for (const auto& g : fonts) h += g.image.h + 60;
    Image sheet(1040, h + 20, Rgb(20, 24, 40));
    int y = 10;
    for (size_t k = 0; k < fonts.size(); ++k) {
        const FontSpec& spec = GlyphFont(int(k));
        sheet.Paste(fonts[k].image, 8, y);
        std::string sample = ToGameCharset("Dorvanix Quillane 2:1 FULL TIME! Zurück Défenseur Æ¿");
        float x = 8;
        int ty = y + fonts[k].image.h + 8;
        for (unsigned char c : sample) {
            if (c >= 32) {
                int col = c % 20, row = c / 20;
                for (int yy = 0; yy < spec.cellH; ++yy)
                    for (int xx = 0; xx < spec.cellW; ++xx) {
                        uint32_t g = fonts[k].image.At(col * spec.cellW + xx, row * spec.cellH + yy);
                        sheet.Blend(int(x) + xx, ty + yy, Argb(ChanA(g), 255, 230, 80));
                    }
            }
            x += float(fonts[k].widths[c]);
        }
        y += fonts[k].image.h + 60;
    }
    WritePng(dir + "/fonts.png", sheet);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ShaderPrograms() {
    return {{"shader\\membrane.nvv", kMembrane},
            {"shader\\stand.nvv", kStand},
            {"shader\\halo1.nvv", kHalo},
            {"shader\\morph.nvv", kMorph},
            {"shader\\fishm.nvv", kFishm}};
}

std::vector<std::string> MatchMeshList() {
    return {"xdata\\pitch.x",   "xdata\\stand.x",   "xdata\\standend.x", "xdata\\crowd.x",   "xdata\\crowdend.x",
            "xdata\\boards.x",  "xdata\\goal.x",    "xdata\\player.x",   "xdata\\ball.x",    "xdata\\arrowd.x",
            "xdata\\arrowup.x", "xdata\\arrow.x",   "xdata\\arrowh.x",   "xdata\\number.x",  "xdata\\squarecf.x",
            "xdata\\skydome.x", "xdata\\goalbox.x", "xdata\\postl.x",    "xdata\\postr.x",   "xdata\\crossbar.x"};
}

std::vector<std::string> MatchTextureList() {
    std::vector<std::string> v = {"textures\\pitch.jpg",  "textures\\stand.tga",   "textures\\crowd.tga",
                                  "textures\\boards.tga", "textures\\goal.tga",    "textures\\sky.jpg",
                                  "textures\\goaly.tga",  "textures\\rplayer.tga", "textures\\yplayer.tga"};
    for (int i = 0; i < 16; ++i) v.push_back(std::string("textures\\no") + char('a' + i) + ".tga");
    for (const char* t : {"ball", "markeru", "marker", "markerx", "markerxr", "markerm", "markermp", "shadow",
                          "markermq", "markermr", "shade"})
        v.push_back(std::string("textures\\") + t + ".tga");
    return v;
}

std::string FormatResourceList(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += n + "\r\n";
    return s;
}

std::string DataPath(const std::string& dir, const std::string& gameName) {
    std::string rel = gameName;
    for (char& c : rel)
        if (c == '\\') c = '/';
    return dir + "/" + rel;
}

std::vector<std::string> GenerateDataSet(const std::string& outDir, const std::string& contactDir) {
    Writer w(outDir);
    // meshes and animations
    Mesh player = BuildPlayerMesh();
    w.Text("xdata\\player.x", FormatXFile(player));
    auto anims = BuildPlayerAnimations(player);
    for (const auto& a : anims) w.Bytes("xdata\\" + a.file, EncodeAnx(a, uint32_t(player.verts.size())));
    auto meshes = BuildSceneMeshes();
    for (const auto& nm : meshes) w.Text(nm.file, FormatXFile(nm.mesh));
    w.Text("level\\football.obj", FormatPlacementList(StadiumPlacements()));
    w.Text("level\\e_mesh.txt", FormatResourceList(MatchMeshList()));
    w.Text("level\\e_tex.txt", FormatResourceList(MatchTextureList()));
    // pictures, with the lower-quality twins of the 3D textures
    auto pics = BuildPictures();
    for (const auto& p : pics) {
        WritePicture(w, p.file, p.image, p.format);
        if (p.lowQualityTwin) {
            const Image twin = TwinAtHalfSize(p.image) ? p.image.Scaled(p.image.w / 2, p.image.h / 2) : p.image;
            WritePicture(w, TwinName(p.file), twin, p.format);
        }
    }
    std::vector<GlyphSheet> fonts;
    for (int k = 0; k < 3; ++k) {
        fonts.push_back(BuildGlyphSheet(k));
        WritePicture(w, GlyphFont(k).file, fonts.back().image, PicFormat::Tga32);
    }
    // texts
    for (const auto& l : BuildLanguages()) w.Text(l.file, FormatLanguageFile(l));
    w.Text("lang.txt", "english.txt");
    for (const auto& s : ShaderPrograms()) w.Text(s.first, s.second);
    // sound and music
    for (const auto& s : BuildSounds()) w.Bytes(s.file, EncodeWav(s.samples, kSampleRate));
    for (const auto& m : BuildMusic()) w.Bytes(m.file, m.bytes);
    // the game saves its options and games here; an empty folder is all it needs
    fs::create_directories(outDir + "/saves");
    if (!contactDir.empty()) WriteContactSheets(contactDir, player, anims, meshes, pics, fonts);
    return w.written_;
}

}  // namespace fwdata
