// The text .x reader, kept apart from any device so that it can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace d3dx_detail {

struct XMaterial {
    float diffuse[4] = {1, 1, 1, 1};
    float power = 0;
    float specular[3] = {0, 0, 0};
    float emissive[3] = {0, 0, 0};
    std::string texture;  // empty: none
};

// Triangles over vertices that each carry one position, normal and texture pair.
struct XMeshData {
    std::vector<float> positions;  // 3 per vertex
    std::vector<float> normals;    // 3 per vertex when hasNormals
    std::vector<float> texcoords;  // 2 per vertex when hasTexcoords
    bool hasNormals = false;
    bool hasTexcoords = false;
    std::vector<uint32_t> indices;     // 3 per triangle
    std::vector<uint32_t> attributes;  // 1 per triangle, an index into materials
    std::vector<XMaterial> materials;

    size_t VertexCount() const { return positions.size() / 3; }
    size_t TriangleCount() const { return attributes.size(); }
};

// Parses a whole text .x file. On failure returns false with a one-line reason.
bool ParseTextX(const char* data, size_t size, XMeshData& out, std::string& error);

}  // namespace d3dx_detail
