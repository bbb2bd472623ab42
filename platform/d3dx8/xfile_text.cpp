// A tokenizing reader for text .x files. Every count in the file is checked against the bytes
// that remain before anything is allocated, and every index against its array, so a damaged or
// hostile file ends in a clear error rather than a large allocation or an access out of bounds.
#include "platform/d3dx8/xfile_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "platform/d3dx8/d3dx8math.h"

namespace d3dx_detail {
namespace {

constexpr int kMaxDepth = 64;
constexpr uint32_t kUnassigned = 0xFFFFFFFFu;

// Brackets appear only in templates (array sizes and restrictions), which are skipped whole.
enum class Tok { End, LBrace, RBrace, Semi, Comma, Bracket, Number, Name, String, Guid, Bad };

struct Token {
    Tok kind = Tok::End;
    const char* text = nullptr;
    size_t len = 0;
    int line = 1;

    bool Is(const char* word) const { return kind == Tok::Name && len == std::strlen(word) && std::memcmp(text, word, len) == 0; }
    std::string Str() const { return std::string(text, len); }
};

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

class Lexer {
public:
    Lexer(const char* begin, const char* end) : p_(begin), end_(end) {}

    const Token& Peek()
    {
        if (!peeked_) {
            next_ = Scan();
            peeked_ = true;
        }
        return next_;
    }
    Token Next()
    {
        Peek();
        peeked_ = false;
        return next_;
    }
    size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
    int Line() { return Peek().line; }

private:
    Token Make(Tok kind, const char* text, size_t len) const
    {
        Token t;
        t.kind = kind;
        t.text = text;
        t.len = len;
        t.line = line_;
        return t;
    }

    Token Scan()
    {
        for (;;) {
            while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) {
                if (*p_ == '\n') ++line_;
                ++p_;
            }
            if (p_ >= end_) return Make(Tok::End, p_, 0);
            const bool slashes = (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/');
            if (!slashes && *p_ != '#') break;
            while (p_ < end_ && *p_ != '\n') ++p_;
        }
        const char* start = p_;
        const char c = *p_;
        switch (c) {
        case '{': ++p_; return Make(Tok::LBrace, start, 1);
        case '}': ++p_; return Make(Tok::RBrace, start, 1);
        case ';': ++p_; return Make(Tok::Semi, start, 1);
        case ',': ++p_; return Make(Tok::Comma, start, 1);
        case '[':
        case ']': ++p_; return Make(Tok::Bracket, start, 1);
        case '<': {
            while (p_ < end_ && *p_ != '>' && *p_ != '\n') ++p_;
            if (p_ >= end_ || *p_ != '>') return Make(Tok::Bad, start, 1);
            ++p_;
            return Make(Tok::Guid, start, static_cast<size_t>(p_ - start));
        }
        case '"': {
            ++p_;
            const char* body = p_;
            while (p_ < end_ && *p_ != '"' && *p_ != '\n') ++p_;
            if (p_ >= end_ || *p_ != '"') return Make(Tok::Bad, start, 1);
            Token t = Make(Tok::String, body, static_cast<size_t>(p_ - body));
            ++p_;
            return t;
        }
        default: break;
        }
        if (IsDigit(c) || c == '-' || c == '+' || c == '.') {
            while (p_ < end_ && (IsDigit(*p_) || *p_ == '-' || *p_ == '+' || *p_ == '.' || *p_ == 'e' || *p_ == 'E')) ++p_;
            return Make(Tok::Number, start, static_cast<size_t>(p_ - start));
        }
        if (IsAlpha(c)) {
            while (p_ < end_ && (IsAlpha(*p_) || IsDigit(*p_) || *p_ == '-' || *p_ == '.')) ++p_;
            return Make(Tok::Name, start, static_cast<size_t>(p_ - start));
        }
        return Make(Tok::Bad, start, 1);
    }

    const char* p_;
    const char* end_;
    int line_ = 1;
    bool peeked_ = false;
    Token next_;
};

struct FaceList {
    std::vector<uint32_t> start;    // first corner of each face in `corners`
    std::vector<uint32_t> corners;  // vertex (or normal) indices
    uint32_t Count(size_t face) const
    {
        const size_t end = face + 1 < start.size() ? start[face + 1] : corners.size();
        return static_cast<uint32_t>(end - start[face]);
    }
};

struct ParsedMesh {
    std::vector<float> positions;
    FaceList faces;
    std::vector<float> normals;
    FaceList normalFaces;
    bool hasNormals = false;
    std::vector<float> texcoords;
    bool hasTexcoords = false;
    bool hasMaterials = false;
    std::vector<uint32_t> faceMaterials;
    std::vector<XMaterial> materials;
};

class Parser {
public:
    Parser(const char* begin, const char* end, XMeshData& out) : lex_(begin, end), out_(out) {}

    bool Run(std::string& error)
    {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (;;) {
            const Token& t = lex_.Peek();
            if (t.kind == Tok::End) break;
            if (t.kind == Tok::Semi || t.kind == Tok::Comma) {
                lex_.Next();
                continue;
            }
            if (t.kind != Tok::Name) return Fail(error, "expected a template or data object");
            if (!ParseObject(0, identity, error)) return false;
        }
        // Meshes without a material list share a default material when other meshes have some.
        bool needDefault = false;
        for (uint32_t& a : out_.attributes)
            if (a == kUnassigned) needDefault = true;
        if (needDefault) {
            const uint32_t slot = out_.materials.empty() ? 0u : static_cast<uint32_t>(out_.materials.size());
            if (!out_.materials.empty()) out_.materials.emplace_back();
            for (uint32_t& a : out_.attributes)
                if (a == kUnassigned) a = slot;
        }
        return true;
    }

private:
    bool Fail(std::string& error, const std::string& what)
    {
        if (error.empty()) error = "line " + std::to_string(lex_.Line()) + ": " + what;
        return false;
    }

    bool Expect(Tok kind, const char* what, std::string& error)
    {
        if (lex_.Next().kind != kind) return Fail(error, std::string("expected ") + what);
        return true;
    }

    void SkipSeparators()
    {
        while (lex_.Peek().kind == Tok::Semi || lex_.Peek().kind == Tok::Comma) lex_.Next();
    }

    bool ReadFloat(float& v, std::string& error)
    {
        SkipSeparators();
        const Token t = lex_.Next();
        if (t.kind != Tok::Number || t.len >= 64) return Fail(error, "expected a number");
        char buf[64];
        std::memcpy(buf, t.text, t.len);
        buf[t.len] = 0;
        char* endp = nullptr;
        const double d = std::strtod(buf, &endp);
        if (endp != buf + t.len || !std::isfinite(d) || std::fabs(d) > 3.0e38) return Fail(error, "malformed number");
        v = static_cast<float>(d);
        return true;
    }

    // A non-negative integer; `perItemBytes` is the least text one counted item can take, so that
    // a count cannot ask for more items than the rest of the file could hold.
    bool ReadCount(uint32_t& v, size_t perItemBytes, std::string& error)
    {
        SkipSeparators();
        const Token t = lex_.Next();
        if (t.kind != Tok::Number || t.len >= 16) return Fail(error, "expected a count");
        uint64_t n = 0;
        for (size_t i = 0; i < t.len; ++i) {
            if (!IsDigit(t.text[i])) return Fail(error, "expected a whole number");
            n = n * 10 + static_cast<uint64_t>(t.text[i] - '0');
        }
        if (n > 0xFFFFFFFFull || (perItemBytes && n * perItemBytes > lex_.Remaining() + perItemBytes))
            return Fail(error, "count larger than the file can hold");
        v = static_cast<uint32_t>(n);
        return true;
    }

    bool ReadFloats(std::vector<float>& into, size_t count, std::string& error)
    {
        into.resize(count);
        for (size_t i = 0; i < count; ++i)
            if (!ReadFloat(into[i], error)) return false;
        return true;
    }

    // Reads a face list; every index must lie below `limit`.
    bool ReadFaces(FaceList& faces, uint32_t count, uint32_t limit, std::string& error)
    {
        faces.start.reserve(count);
        for (uint32_t f = 0; f < count; ++f) {
            uint32_t corners = 0;
            if (!ReadCount(corners, 2, error)) return false;
            if (corners < 3) return Fail(error, "a face needs at least three corners");
            faces.start.push_back(static_cast<uint32_t>(faces.corners.size()));
            for (uint32_t c = 0; c < corners; ++c) {
                uint32_t index = 0;
                if (!ReadCount(index, 0, error)) return false;
                if (index >= limit) return Fail(error, "face index out of range");
                faces.corners.push_back(index);
            }
        }
        return true;
    }

    // After the opening brace: skips everything up to the matching closing brace.
    bool SkipBody(std::string& error)
    {
        int depth = 1;
        while (depth > 0) {
            const Token t = lex_.Next();
            if (t.kind == Tok::End) return Fail(error, "unexpected end of file inside an object");
            if (t.kind == Tok::Bad) return Fail(error, "unreadable text");
            if (t.kind == Tok::LBrace) ++depth;
            if (t.kind == Tok::RBrace) --depth;
        }
        return true;
    }

    // `Type [name] { [<guid>]`: consumed up to and including the guid.
    bool OpenObject(Token& type, std::string& name, std::string& error)
    {
        type = lex_.Next();
        if (lex_.Peek().kind == Tok::Name) name = lex_.Next().Str();
        if (!Expect(Tok::LBrace, "'{'", error)) return false;
        if (lex_.Peek().kind == Tok::Guid) lex_.Next();
        return true;
    }

    bool ParseObject(int depth, const D3DXMATRIX& xf, std::string& error)
    {
        if (depth > kMaxDepth) return Fail(error, "objects nested too deeply");
        Token type;
        std::string name;
        if (!OpenObject(type, name, error)) return false;
        if (type.Is("Frame")) return ParseFrame(depth, xf, error);
        if (type.Is("Mesh")) return ParseMesh(depth, xf, error);
        if (type.Is("Material")) {
            XMaterial m;
            if (!ParseMaterialBody(depth, m, error)) return false;
            if (!name.empty()) namedMaterials_[name] = m;
            return true;
        }
        return SkipBody(error);  // templates, Header, animations and anything else we do not use
    }

    bool ParseFrame(int depth, const D3DXMATRIX& parent, std::string& error)
    {
        D3DXMATRIX world = parent;
        for (;;) {
            SkipSeparators();
            const Token& t = lex_.Peek();
            if (t.kind == Tok::RBrace) {
                lex_.Next();
                return true;
            }
            if (t.kind == Tok::LBrace) {  // a reference to another object: not followed
                lex_.Next();
                if (!SkipBody(error)) return false;
                continue;
            }
            if (t.kind != Tok::Name) return Fail(error, "unexpected text in a frame");
            if (t.Is("FrameTransformMatrix")) {
                Token type;
                std::string name;
                if (!OpenObject(type, name, error)) return false;
                D3DXMATRIX local;
                for (int i = 0; i < 16; ++i)
                    if (!ReadFloat(local.m[i / 4][i % 4], error)) return false;
                SkipSeparators();
                if (!Expect(Tok::RBrace, "'}' after a frame matrix", error)) return false;
                D3DXMatrixMultiply(&world, &local, &parent);
                continue;
            }
            if (!ParseObject(depth + 1, world, error)) return false;
        }
    }

    bool ParseMaterialBody(int depth, XMaterial& m, std::string& error)
    {
        for (float& f : m.diffuse)
            if (!ReadFloat(f, error)) return false;
        if (!ReadFloat(m.power, error)) return false;
        for (float& f : m.specular)
            if (!ReadFloat(f, error)) return false;
        for (float& f : m.emissive)
            if (!ReadFloat(f, error)) return false;
        for (;;) {
            SkipSeparators();
            const Token& t = lex_.Peek();
            if (t.kind == Tok::RBrace) {
                lex_.Next();
                return true;
            }
            if (t.kind == Tok::LBrace) {
                lex_.Next();
                if (!SkipBody(error)) return false;
                continue;
            }
            if (t.kind != Tok::Name) return Fail(error, "unexpected text in a material");
            if (depth > kMaxDepth) return Fail(error, "objects nested too deeply");
            Token type;
            std::string name;
            if (!OpenObject(type, name, error)) return false;
            if (type.Is("TextureFilename") || type.Is("TextureFileName")) {
                const Token s = lex_.Next();
                if (s.kind != Tok::String) return Fail(error, "expected a texture file name");
                m.texture = s.Str();
                SkipSeparators();
                if (!Expect(Tok::RBrace, "'}' after a texture file name", error)) return false;
            } else if (!SkipBody(error)) {
                return false;
            }
        }
    }

    bool ParseMaterialList(int depth, ParsedMesh& mesh, uint32_t faceCount, std::string& error)
    {
        uint32_t materialCount = 0, indexCount = 0;
        if (!ReadCount(materialCount, 2, error) || !ReadCount(indexCount, 2, error)) return false;
        if (indexCount > faceCount) return Fail(error, "more material indices than faces");
        mesh.faceMaterials.resize(indexCount);
        for (uint32_t& m : mesh.faceMaterials) {
            if (!ReadCount(m, 0, error)) return false;
            if (m >= materialCount) return Fail(error, "material index out of range");
        }
        std::vector<XMaterial> found;
        for (;;) {
            SkipSeparators();
            const Token& t = lex_.Peek();
            if (t.kind == Tok::RBrace) {
                lex_.Next();
                break;
            }
            if (t.kind == Tok::LBrace) {
                lex_.Next();
                const Token ref = lex_.Next();
                if (ref.kind != Tok::Name) return Fail(error, "expected a material name");
                auto it = namedMaterials_.find(ref.Str());
                if (it == namedMaterials_.end()) return Fail(error, "unknown material " + ref.Str());
                found.push_back(it->second);
                if (lex_.Peek().kind == Tok::Guid) lex_.Next();
                if (!Expect(Tok::RBrace, "'}' after a material reference", error)) return false;
                continue;
            }
            if (t.kind != Tok::Name) return Fail(error, "unexpected text in a material list");
            if (depth > kMaxDepth) return Fail(error, "objects nested too deeply");
            Token type;
            std::string name;
            if (!OpenObject(type, name, error)) return false;
            if (type.Is("Material")) {
                XMaterial m;
                if (!ParseMaterialBody(depth + 1, m, error)) return false;
                if (!name.empty()) namedMaterials_[name] = m;
                found.push_back(m);
            } else if (!SkipBody(error)) {
                return false;
            }
        }
        found.resize(materialCount);  // a list that names fewer materials gets white ones
        mesh.materials = std::move(found);
        // Faces after the last index repeat it.
        const uint32_t last = mesh.faceMaterials.empty() ? 0u : mesh.faceMaterials.back();
        mesh.faceMaterials.resize(faceCount, last);
        mesh.hasMaterials = materialCount > 0;
        return true;
    }

    bool ParseMesh(int depth, const D3DXMATRIX& xf, std::string& error)
    {
        ParsedMesh mesh;
        uint32_t vertexCount = 0, faceCount = 0;
        if (!ReadCount(vertexCount, 6, error) || !ReadFloats(mesh.positions, size_t(vertexCount) * 3, error)) return false;
        if (!ReadCount(faceCount, 8, error) || !ReadFaces(mesh.faces, faceCount, vertexCount, error)) return false;
        for (;;) {
            SkipSeparators();
            const Token& t = lex_.Peek();
            if (t.kind == Tok::RBrace) {
                lex_.Next();
                break;
            }
            if (t.kind == Tok::LBrace) {
                lex_.Next();
                if (!SkipBody(error)) return false;
                continue;
            }
            if (t.kind != Tok::Name) return Fail(error, "unexpected text in a mesh");
            if (depth > kMaxDepth) return Fail(error, "objects nested too deeply");
            Token type;
            std::string name;
            if (!OpenObject(type, name, error)) return false;
            if (type.Is("MeshNormals")) {
                uint32_t normalCount = 0, normalFaces = 0;
                if (!ReadCount(normalCount, 6, error) || !ReadFloats(mesh.normals, size_t(normalCount) * 3, error))
                    return false;
                if (!ReadCount(normalFaces, 8, error)) return false;
                if (normalFaces != faceCount) return Fail(error, "normal faces do not match the mesh's faces");
                if (!ReadFaces(mesh.normalFaces, normalFaces, normalCount, error)) return false;
                for (uint32_t f = 0; f < faceCount; ++f)
                    if (mesh.normalFaces.Count(f) != mesh.faces.Count(f))
                        return Fail(error, "a normal face has another corner count than its face");
                mesh.hasNormals = true;
            } else if (type.Is("MeshTextureCoords")) {
                uint32_t count = 0;
                if (!ReadCount(count, 4, error)) return false;
                if (count != vertexCount) return Fail(error, "texture coordinate count differs from the vertex count");
                if (!ReadFloats(mesh.texcoords, size_t(count) * 2, error)) return false;
                mesh.hasTexcoords = true;
            } else if (type.Is("MeshMaterialList")) {
                if (!ParseMaterialList(depth + 1, mesh, faceCount, error)) return false;
                continue;
            } else {
                if (!SkipBody(error)) return false;
                continue;
            }
            SkipSeparators();
            if (!Expect(Tok::RBrace, "'}' closing a mesh part", error)) return false;
        }
        Append(mesh, xf);
        return true;
    }

    // Adds a parsed mesh to the output: corners with different normals become distinct vertices,
    // polygons become triangle fans, positions and normals are carried by the frame transform.
    void Append(const ParsedMesh& mesh, const D3DXMATRIX& xf)
    {
        const size_t base = out_.VertexCount();
        const size_t sourceCount = mesh.positions.size() / 3;
        if (mesh.hasNormals && !out_.hasNormals) {
            out_.normals.assign(base * 3, 0.0f);
            out_.hasNormals = true;
        }
        if (mesh.hasTexcoords && !out_.hasTexcoords) {
            out_.texcoords.assign(base * 2, 0.0f);
            out_.hasTexcoords = true;
        }
        const bool identity = D3DXMatrixIsIdentity(&xf) != FALSE;
        D3DXMATRIX normalXf;
        if (!identity) {
            D3DXMATRIX inv;
            if (D3DXMatrixInverse(&inv, nullptr, &xf))
                D3DXMatrixTranspose(&normalXf, &inv);
            else
                normalXf = xf;
        }

        auto addVertex = [&](uint32_t v, uint32_t n) {
            D3DXVECTOR3 p(mesh.positions[v * 3], mesh.positions[v * 3 + 1], mesh.positions[v * 3 + 2]);
            if (!identity) D3DXVec3TransformCoord(&p, &p, &xf);
            out_.positions.insert(out_.positions.end(), {p.x, p.y, p.z});
            if (out_.hasNormals) {
                D3DXVECTOR3 nv(0, 0, 0);
                if (mesh.hasNormals && n != kUnassigned) {
                    nv = D3DXVECTOR3(mesh.normals[n * 3], mesh.normals[n * 3 + 1], mesh.normals[n * 3 + 2]);
                    if (!identity) {
                        D3DXVec3TransformNormal(&nv, &nv, &normalXf);
                        D3DXVec3Normalize(&nv, &nv);
                    }
                }
                out_.normals.insert(out_.normals.end(), {nv.x, nv.y, nv.z});
            }
            if (out_.hasTexcoords) {
                if (mesh.hasTexcoords)
                    out_.texcoords.insert(out_.texcoords.end(), {mesh.texcoords[v * 2], mesh.texcoords[v * 2 + 1]});
                else
                    out_.texcoords.insert(out_.texcoords.end(), {0.0f, 0.0f});
            }
        };

        // The file's vertices keep their order; each takes the normal of the first corner that
        // uses it, and a corner that needs another normal gets a copy of the vertex.
        std::vector<uint32_t> firstNormal(sourceCount, kUnassigned);
        if (mesh.hasNormals)
            for (size_t i = 0; i < mesh.faces.corners.size(); ++i) {
                uint32_t& slot = firstNormal[mesh.faces.corners[i]];
                if (slot == kUnassigned) slot = mesh.normalFaces.corners[i];
            }
        for (uint32_t v = 0; v < sourceCount; ++v) addVertex(v, firstNormal[v]);
        std::unordered_map<uint64_t, uint32_t> copies;
        auto cornerVertex = [&](size_t corner) -> uint32_t {
            const uint32_t v = mesh.faces.corners[corner];
            if (!mesh.hasNormals) return static_cast<uint32_t>(base + v);
            const uint32_t n = mesh.normalFaces.corners[corner];
            if (n == firstNormal[v]) return static_cast<uint32_t>(base + v);
            const uint64_t key = (uint64_t(v) << 32) | n;
            auto it = copies.find(key);
            if (it != copies.end()) return it->second;
            const uint32_t index = static_cast<uint32_t>(out_.VertexCount());
            addVertex(v, n);
            copies.emplace(key, index);
            return index;
        };

        const uint32_t materialBase = static_cast<uint32_t>(out_.materials.size());
        for (size_t f = 0; f < mesh.faces.start.size(); ++f) {
            const size_t first = mesh.faces.start[f];
            const uint32_t corners = mesh.faces.Count(f);
            const uint32_t attribute = mesh.hasMaterials ? materialBase + mesh.faceMaterials[f] : kUnassigned;
            const uint32_t a = cornerVertex(first);
            for (uint32_t c = 1; c + 1 < corners; ++c) {
                const uint32_t b = cornerVertex(first + c);
                const uint32_t d = cornerVertex(first + c + 1);
                out_.indices.insert(out_.indices.end(), {a, b, d});
                out_.attributes.push_back(attribute);
            }
        }
        if (mesh.hasMaterials) out_.materials.insert(out_.materials.end(), mesh.materials.begin(), mesh.materials.end());
    }

    Lexer lex_;
    XMeshData& out_;
    std::map<std::string, XMaterial> namedMaterials_;
};

}  // namespace

bool ParseTextX(const char* data, size_t size, XMeshData& out, std::string& error)
{
    out = XMeshData();
    error.clear();
    if (size < 16 || std::memcmp(data, "xof ", 4) != 0) {
        error = "not an .x file (no 'xof ' header)";
        return false;
    }
    if (std::memcmp(data + 8, "txt ", 4) != 0) {
        error = "only text .x files are read (format '" + std::string(data + 8, 4) + "')";
        return false;
    }
    Parser parser(data + 16, data + size, out);
    if (!parser.Run(error)) {
        out = XMeshData();
        return false;
    }
    return true;
}

}  // namespace d3dx_detail
