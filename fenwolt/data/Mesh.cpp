#include "fenwolt/data/Mesh.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace fwdata {

namespace {
constexpr float kPi = 3.14159265358979f;

// Any unit vector perpendicular to d.
Vec3 Perpendicular(Vec3 d) {
    Vec3 t = std::fabs(d.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    return Normalize(Cross(t, d));
}
}  // namespace

int Mesh::AddVertex(Vec3 p, Vec3 n, float u, float v, int bone) {
    if (verts.size() >= 65535) throw std::runtime_error("mesh " + name + " exceeds 16-bit indices");
    verts.push_back({p, Normalize(n), u, v, bone});
    return int(verts.size()) - 1;
}

void Mesh::AddTri(int a, int b, int c) {
    // Orient by the vertex normals so every helper can list corners in any order.
    const Vertex &va = verts[size_t(a)], &vb = verts[size_t(b)], &vc = verts[size_t(c)];
    Vec3 f = Cross(vb.p - va.p, vc.p - va.p);
    if (Dot(f, va.n + vb.n + vc.n) < 0) std::swap(b, c);
    idx.push_back(uint16_t(a));
    idx.push_back(uint16_t(b));
    idx.push_back(uint16_t(c));
}

void Mesh::AddQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1, int bone) {
    Vec3 n = Normalize(Cross(b - a, c - a));
    int ia = AddVertex(a, n, u0, v1, bone), ib = AddVertex(b, n, u0, v0, bone);
    int ic = AddVertex(c, n, u1, v0, bone), id = AddVertex(d, n, u1, v1, bone);
    AddTri(ia, ib, ic);
    AddTri(ia, ic, id);
}

void Mesh::AddBox(Vec3 lo, Vec3 hi, float u0, float v0, float u1, float v1, int bone, bool inward) {
    Vec3 c[8];
    for (int i = 0; i < 8; ++i) c[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    // faces as (corner order going round, outward normal)
    const int faces[6][4] = {{0, 2, 3, 1}, {5, 7, 6, 4}, {4, 6, 2, 0}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 0, 1, 5}};
    const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    for (int f = 0; f < 6; ++f) {
        Vec3 n = inward ? -normals[f] : normals[f];
        int i0 = AddVertex(c[faces[f][0]], n, u0, v1, bone);
        int i1 = AddVertex(c[faces[f][1]], n, u0, v0, bone);
        int i2 = AddVertex(c[faces[f][2]], n, u1, v0, bone);
        int i3 = AddVertex(c[faces[f][3]], n, u1, v1, bone);
        AddTri(i0, i1, i2);
        AddTri(i0, i2, i3);
    }
}

void Mesh::AddTube(Vec3 a, Vec3 b, float ra, float rb, int sides, float u0, float v0, float u1, float v1, int bone,
                   bool capA, bool capB, float squashX) {
    Vec3 d = Normalize(b - a);
    Vec3 e1 = Perpendicular(d);
    Vec3 e2 = Cross(d, e1);
    // squashX flattens the section along the world x axis's projection (shoulders, torso)
    float len = Length(b - a);
    float slope = (ra - rb) / std::max(len, 1e-4f);
    int base = int(verts.size());
    for (int ring = 0; ring < 2; ++ring) {
        Vec3 centre = ring ? b : a;
        float r = ring ? rb : ra;
        for (int s = 0; s <= sides; ++s) {
            float t = 2 * kPi * float(s) / float(sides);
            Vec3 dir = e1 * std::cos(t) + e2 * std::sin(t);
            Vec3 off = dir * r;
            off.x *= squashX;
            Vec3 n = Normalize(Vec3{dir.x / squashX, dir.y, dir.z} + d * slope);
            AddVertex(centre + off, n, u0 + (u1 - u0) * float(s) / float(sides), ring ? v1 : v0, bone);
        }
    }
    for (int s = 0; s < sides; ++s) {
        int i0 = base + s, i1 = base + s + 1, j0 = base + sides + 1 + s, j1 = base + sides + 2 + s;
        AddTri(i0, j0, j1);
        AddTri(i0, j1, i1);
    }
    for (int cap = 0; cap < 2; ++cap) {
        if ((cap == 0 && !capA) || (cap == 1 && !capB)) continue;
        Vec3 centre = cap ? b : a;
        float r = cap ? rb : ra;
        Vec3 n = cap ? d : -d;
        int ci = AddVertex(centre, n, (u0 + u1) * 0.5f, cap ? v1 : v0, bone);
        int first = int(verts.size());
        for (int s = 0; s < sides; ++s) {
            float t = 2 * kPi * float(s) / float(sides);
            Vec3 off = (e1 * std::cos(t) + e2 * std::sin(t)) * r;
            off.x *= squashX;
            AddVertex(centre + off, n, u0 + (u1 - u0) * float(s) / float(sides), cap ? v1 : v0, bone);
        }
        for (int s = 0; s < sides; ++s) AddTri(ci, first + s, first + (s + 1) % sides);
    }
}

void Mesh::AddEllipsoid(Vec3 c, Vec3 r, int rings, int segs, float u0, float v0, float u1, float v1, int bone) {
    int base = int(verts.size());
    for (int i = 0; i <= rings; ++i) {
        float phi = kPi * float(i) / float(rings);   // 0 top .. pi bottom
        for (int j = 0; j <= segs; ++j) {
            float th = 2 * kPi * float(j) / float(segs);
            Vec3 unit{std::sin(phi) * std::cos(th), std::cos(phi), std::sin(phi) * std::sin(th)};
            Vec3 p = c + Vec3{unit.x * r.x, unit.y * r.y, unit.z * r.z};
            Vec3 n{unit.x / r.x, unit.y / r.y, unit.z / r.z};
            AddVertex(p, n, u0 + (u1 - u0) * float(j) / float(segs), v0 + (v1 - v0) * float(i) / float(rings), bone);
        }
    }
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segs; ++j) {
            int a = base + i * (segs + 1) + j, b2 = a + 1, c2 = a + segs + 1, d = c2 + 1;
            if (i != 0) AddTri(a, c2, b2);
            if (i != rings - 1) AddTri(b2, c2, d);
        }
}

void Mesh::Append(const Mesh& o) {
    int base = int(verts.size());
    for (const auto& v : o.verts) AddVertex(v.p, v.n, v.u, v.v, v.bone);
    for (auto i : o.idx) idx.push_back(uint16_t(base + i));
}

void Mesh::Transform(float sx, float sy, float sz, float tx, float ty, float tz) {
    for (auto& v : verts) {
        v.p = {v.p.x * sx + tx, v.p.y * sy + ty, v.p.z * sz + tz};
        v.n = Normalize({v.n.x / sx, v.n.y / sy, v.n.z / sz});
    }
    if (sx * sy * sz < 0)   // a mirror turns every face inside out
        for (size_t i = 0; i + 2 < idx.size(); i += 3) std::swap(idx[i + 1], idx[i + 2]);
}

void Mesh::BoundingBox(Vec3& lo, Vec3& hi) const {
    lo = {1e30f, 1e30f, 1e30f};
    hi = {-1e30f, -1e30f, -1e30f};
    for (const auto& v : verts) {
        lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
        hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
    }
}

namespace {
void Num(std::string& out, float v) {
    char buf[32];
    if (std::fabs(v) < 0.0000005f) v = 0.0f;   // no "-0.000000"
    std::snprintf(buf, sizeof buf, "%.6f", double(v));
    out += buf;
}
float ChanOf(uint32_t c, int shift) { return float((c >> shift) & 255u) / 255.0f; }
void Colour(std::string& out, float r, float g, float b) {
    Num(out, r); out += ";"; Num(out, g); out += ";"; Num(out, b); out += ";";
}
}  // namespace

std::string FormatXFile(const Mesh& m) {
    if (m.verts.empty() || m.idx.empty() || m.idx.size() % 3) throw std::runtime_error("empty mesh " + m.name);
    for (char ch : m.name)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_'))
            throw std::runtime_error("mesh name must be letters only: " + m.name);
    const size_t nv = m.verts.size(), nf = m.idx.size() / 3;
    std::string s = "xof 0302txt 0032\n\nMesh " + m.name + " {\n";
    s += " " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        s += " ";
        Num(s, m.verts[i].p.x); s += ";"; Num(s, m.verts[i].p.y); s += ";"; Num(s, m.verts[i].p.z);
        s += i + 1 < nv ? ";,\n" : ";;\n";
    }
    auto faces = [&](std::string& out) {
        out += " " + std::to_string(nf) + ";\n";
        for (size_t f = 0; f < nf; ++f) {
            out += " 3;" + std::to_string(m.idx[f * 3]) + "," + std::to_string(m.idx[f * 3 + 1]) + "," +
                   std::to_string(m.idx[f * 3 + 2]);
            out += f + 1 < nf ? ";,\n" : ";;\n";
        }
    };
    faces(s);
    s += "\n MeshMaterialList {\n  1;\n  " + std::to_string(nf) + ";\n";
    for (size_t f = 0; f < nf; ++f) s += f + 1 < nf ? "  0,\n" : "  0;;\n";
    s += "  Material {\n   ";
    Num(s, ChanOf(m.diffuse, 16)); s += ";"; Num(s, ChanOf(m.diffuse, 8)); s += ";"; Num(s, ChanOf(m.diffuse, 0));
    s += ";"; Num(s, ChanOf(m.diffuse, 24)); s += ";;\n   ";
    Num(s, m.specularPower); s += ";\n   ";
    Colour(s, 0.1f, 0.1f, 0.1f); s += ";\n   ";
    Colour(s, 0.0f, 0.0f, 0.0f); s += ";\n  }\n }\n";
    s += "\n MeshNormals {\n  " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        s += "  ";
        Num(s, m.verts[i].n.x); s += ";"; Num(s, m.verts[i].n.y); s += ";"; Num(s, m.verts[i].n.z);
        s += i + 1 < nv ? ";,\n" : ";;\n";
    }
    std::string nfaces;
    faces(nfaces);
    s += nfaces;
    s += " }\n\n MeshTextureCoords {\n  " + std::to_string(nv) + ";\n";
    for (size_t i = 0; i < nv; ++i) {
        s += "  ";
        Num(s, m.verts[i].u); s += ";"; Num(s, m.verts[i].v);
        s += i + 1 < nv ? ";,\n" : ";;\n";
    }
    s += " }\n}\n";
    return s;
}

void WriteXFile(const std::string& path, const Mesh& m) {
    std::string text = FormatXFile(m);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("write failed: " + path);
}

}  // namespace fwdata
