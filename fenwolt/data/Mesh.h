// Triangle meshes of the data set and the text .x writer.
//
// Conventions the game relies on: left-handed, y up; a triangle (a, b, c) faces the side
// that cross(b - a, c - a) points to (clockwise on screen from the front, Direct3D's
// default culling); one normal and one texture pair per vertex, so a vertex sits at a
// single texture position and a hard edge is two vertices.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace fwdata {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3() = default;
    Vec3(float a, float b, float c) : x(a), y(b), z(c) {}
    Vec3 operator+(Vec3 o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(Vec3 o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vec3 operator-() const { return {-x, -y, -z}; }
};
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalize(Vec3 a) { float l = Length(a); return l > 0 ? a * (1.0f / l) : Vec3{}; }

struct Vertex {
    Vec3 p, n;
    float u = 0, v = 0;
    int bone = 0;        // skinning: the bone that carries this vertex (player mesh only)
};

struct Mesh {
    std::string name;                  // block name in the file (letters only)
    std::vector<Vertex> verts;
    std::vector<uint16_t> idx;         // three per triangle
    uint32_t diffuse = 0xFFFFFFFFu;    // material colour, ARGB
    float specularPower = 0.0f;

    int AddVertex(Vec3 p, Vec3 n, float u, float v, int bone = 0);
    void AddTri(int a, int b, int c);
    // A flat quad a-b-c-d (clockwise seen from the front) with its own four vertices.
    void AddQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1, int bone = 0);
    // Axis-aligned box [lo, hi]; every face flat-shaded, mapped to the uv rectangle.
    void AddBox(Vec3 lo, Vec3 hi, float u0, float v0, float u1, float v1, int bone = 0, bool inward = false);
    // Closed cylinder-like tube from a to b: ellipse radii (rx, rz) at each end, `sides` segments.
    void AddTube(Vec3 a, Vec3 b, float ra, float rb, int sides, float u0, float v0, float u1, float v1,
                 int bone = 0, bool capA = true, bool capB = true, float squashX = 1.0f);
    // Ellipsoid centred at c with radii r; latitude/longitude rings.
    void AddEllipsoid(Vec3 c, Vec3 r, int rings, int segs, float u0, float v0, float u1, float v1, int bone = 0);
    void Append(const Mesh& o);
    void Transform(float sx, float sy, float sz, float tx, float ty, float tz);
    void BoundingBox(Vec3& lo, Vec3& hi) const;
};

// The text .x dialect the game's own parser reads: no frame hierarchy, no templates,
// one Mesh block with MeshMaterialList (one material), MeshNormals (one per vertex)
// and MeshTextureCoords, every number written with a leading digit or minus sign.
std::string FormatXFile(const Mesh& m);
void WriteXFile(const std::string& path, const Mesh& m);

}  // namespace fwdata
