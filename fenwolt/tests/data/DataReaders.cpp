#include "DataReaders.h"

#include "platform/tests/support/file_contents.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace fwcheck {

std::vector<unsigned char> ReadBytes(const std::string& path) { return FileBytes(path); }

std::string ReadText(const std::string& path) { return FileText(path); }

std::string DataRoot() { return std::string(BUILD_ROOT) + "/data/fenwolt"; }

std::string Resolve(const std::string& root, const std::string& gameName) {
    fs::path cur = root;
    std::string part;
    std::stringstream ss(gameName);
    while (std::getline(ss, part, '\\')) {
        if (part.empty()) return {};
        std::error_code ec;
        fs::path found;
        for (const auto& e : fs::directory_iterator(cur, ec)) {
            std::string a = e.path().filename().string(), b = part;
            if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
                })) {
                found = e.path();
                break;
            }
        }
        if (found.empty()) return {};
        cur = found;
    }
    return fs::is_regular_file(cur) ? cur.string() : std::string();
}

// ------------------------------------------------------------------ .x text
namespace {
struct Cursor {
    const std::string& s;
    size_t p;
    bool SkipToNumber() {
        while (p < s.size() && s[p] != '-' && !std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        return p < s.size();
    }
    // a number that ends at the next of the given terminators (passed over)
    bool Number(const char* ends, double& out) {
        size_t e = s.find_first_of(ends, p);
        if (e == std::string::npos) return false;
        std::string field = s.substr(p, e - p);
        char* endp = nullptr;
        out = std::strtod(field.c_str(), &endp);
        if (endp == field.c_str()) return false;
        p = e + 1;
        return true;
    }
};
}  // namespace

XMesh ParseXText(const std::string& text) {
    XMesh m;
    if (text.substr(0, std::min<size_t>(text.size(), 55)).find("LWS2X") != std::string::npos ||
        text.find("PolyTrans") != std::string::npos) {
        m.error = "not the plain dialect";
        return m;
    }
    size_t mesh = text.find("Mesh ");
    if (mesh == std::string::npos || text.find('{', mesh) == std::string::npos) { m.error = "no Mesh"; return m; }
    Cursor main{text, text.find('{', mesh)};
    double v;
    if (!main.SkipToNumber() || !main.Number(";", v) || v < 1 || v > 65535) { m.error = "vertex count"; return m; }
    const size_t nv = size_t(v);
    size_t tc = text.find("MeshTextureCoords", main.p);
    if (tc == std::string::npos || text.find(';', tc) == std::string::npos) { m.error = "no coords"; return m; }
    Cursor tex{text, text.find(';', tc) + 1};
    m.verts.resize(nv);
    for (size_t i = 0; i < nv; ++i) {
        auto& vx = m.verts[i];
        for (int k = 0; k < 3; ++k) {
            if (!main.SkipToNumber() || !main.Number(";", v)) { m.error = "vertex data"; return m; }
            vx[size_t(k)] = float(v);
        }
        for (int k = 0; k < 2; ++k) {
            if (!tex.SkipToNumber() || !tex.Number(";", v)) { m.error = "coord data"; return m; }
            vx[size_t(6 + k)] = float(v);
        }
        vx[3] = 0; vx[4] = 0; vx[5] = -1;
    }
    if (!main.SkipToNumber() || !main.Number(";", v) || v < 1) { m.error = "face count"; return m; }
    const size_t nf = size_t(v);
    size_t nm = text.find("MeshNormals {", main.p);
    if (nm == std::string::npos) { m.error = "no normals"; return m; }
    Cursor nc{text, nm};
    if (!nc.SkipToNumber() || !nc.Number(";", v)) { m.error = "normal count"; return m; }
    std::vector<std::array<float, 3>> normals(static_cast<size_t>(static_cast<uint16_t>(v)));
    for (auto& n : normals)
        for (int k = 0; k < 3; ++k) {
            if (!nc.SkipToNumber() || !nc.Number(";", v)) { m.error = "normal data"; return m; }
            n[size_t(k)] = float(v);
            nc.SkipToNumber();
        }
    size_t semi = text.find(';', nc.p);
    if (semi == std::string::npos) { m.error = "normal faces"; return m; }
    nc.p = semi + 1;
    for (size_t f = 0; f < nf; ++f) {
        double c[4], n[4];
        for (int k = 0; k < 4; ++k)
            if (!main.SkipToNumber() || !main.Number(",;", c[k])) { m.error = "face data"; return m; }
        for (int k = 0; k < 4; ++k)
            if (!nc.SkipToNumber() || !nc.Number(",;", n[k])) { m.error = "normal face data"; return m; }
        if (c[0] != 3 || n[0] != 3) ++m.nonTriangles;
        for (int k = 1; k <= 3; ++k) {
            if (c[k] < 0 || c[k] >= double(nv) || n[k] < 0 || n[k] >= double(normals.size())) {
                m.error = "index out of range";
                return m;
            }
            auto& vx = m.verts[size_t(c[k])];
            const auto& nn = normals[size_t(n[k])];
            vx[3] = nn[0]; vx[4] = nn[1]; vx[5] = nn[2];
            m.idx.push_back(uint16_t(c[k]));
        }
    }
    return m;
}

// ------------------------------------------------------------------ .anx
static uint32_t U32(const std::vector<unsigned char>& b, size_t o) {
    return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24;
}

Anx ParseAnx(const std::vector<unsigned char>& b) {
    Anx a;
    if (b.size() < 20) { a.error = "short"; return a; }
    a.version = U32(b, 0);
    a.vertexCount = U32(b, 4);
    a.frameCount = U32(b, 12);
    if (a.frameCount > 100) { a.error = "too many frames"; return a; }
    size_t frames = std::max<uint32_t>(a.frameCount, 1);
    size_t need = 20 + 4 * size_t(a.frameCount) + 12 * size_t(a.vertexCount) * frames;
    if (b.size() != need) { a.error = "size " + std::to_string(b.size()) + " != " + std::to_string(need); return a; }
    for (uint32_t i = 0; i < a.frameCount; ++i) a.durations.push_back(int32_t(U32(b, 16 + 4 * i)));
    size_t o = 20 + 4 * size_t(a.frameCount);
    for (size_t f = 0; f < frames; ++f) {
        std::vector<std::array<float, 3>> fr(a.vertexCount);
        for (auto& p : fr)
            for (int k = 0; k < 3; ++k) {
                uint32_t bits = U32(b, o);
                std::memcpy(&p[size_t(k)], &bits, 4);
                o += 4;
            }
        a.frames.push_back(std::move(fr));
    }
    return a;
}

// ------------------------------------------------------------------ pictures
Picture ReadTga(const std::vector<unsigned char>& b) {
    Picture p;
    if (b.size() < 18) { p.error = "short header"; return p; }
    int idLen = b[0], cmapType = b[1], type = b[2];
    int cmapLen = b[5] | b[6] << 8, cmapBits = b[7];
    p.width = b[12] | b[13] << 8;
    p.height = b[14] | b[15] << 8;
    p.bits = b[16];
    bool topDown = (b[17] & 0x20) != 0;
    if (type != 2 && type != 10) { p.error = "image type " + std::to_string(type); return p; }
    if (p.bits != 24 && p.bits != 32) { p.error = "depth " + std::to_string(p.bits); return p; }
    size_t o = 18 + size_t(idLen) + (cmapType ? size_t(cmapLen) * size_t((cmapBits + 7) / 8) : 0);
    const size_t bpp = size_t(p.bits / 8), n = size_t(p.width) * size_t(p.height);
    std::vector<uint32_t> stored;
    stored.reserve(n);
    auto pixel = [&](size_t at) {
        uint32_t a = bpp == 4 ? b[at + 3] : 255u;
        return a << 24 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 1]) << 8 | b[at];
    };
    while (stored.size() < n) {
        if (type == 2) {
            if (o + bpp > b.size()) { p.error = "truncated"; return p; }
            stored.push_back(pixel(o));
            o += bpp;
        } else {
            if (o >= b.size()) { p.error = "truncated"; return p; }
            int h = b[o++];
            int count = (h & 0x7F) + 1;
            if (h & 0x80) {
                if (o + bpp > b.size()) { p.error = "truncated"; return p; }
                for (int i = 0; i < count && stored.size() < n; ++i) stored.push_back(pixel(o));
                o += bpp;
            } else {
                for (int i = 0; i < count && stored.size() < n; ++i) {
                    if (o + bpp > b.size()) { p.error = "truncated"; return p; }
                    stored.push_back(pixel(o));
                    o += bpp;
                }
            }
        }
    }
    p.argb.resize(n);
    for (int y = 0; y < p.height; ++y) {
        int src = topDown ? y : p.height - 1 - y;
        std::copy_n(stored.begin() + ptrdiff_t(src) * p.width, p.width, p.argb.begin() + ptrdiff_t(y) * p.width);
    }
    return p;
}

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};
void OnJpegError(j_common_ptr c) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    (*c->err->format_message)(c, e->message);
    longjmp(e->jump, 1);
}
}  // namespace

Picture ReadJpeg(const std::string& path) {
    Picture p;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) { p.error = "cannot open"; return p; }
    jpeg_decompress_struct d;
    JpegError err;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    std::vector<unsigned char> row;
    if (setjmp(err.jump)) {
        p.error = err.message;
        jpeg_destroy_decompress(&d);
        std::fclose(f);
        return p;
    }
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    p.progressive = jpeg_has_multiple_scans(&d);
    p.components = d.num_components;
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    p.width = int(d.output_width);
    p.height = int(d.output_height);
    p.bits = 24;
    row.resize(size_t(d.output_width) * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&d, &r, 1);
        for (size_t x = 0; x < d.output_width; ++x)
            p.argb.push_back(0xFF000000u | uint32_t(row[x * 3]) << 16 | uint32_t(row[x * 3 + 1]) << 8 | row[x * 3 + 2]);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(f);
    return p;
}

// ------------------------------------------------------------------ texts and lists
std::vector<std::string> ParseLanguageFile(const std::string& raw) {
    std::string text = raw.substr(0, raw.find('\0'));
    // count the lines: skip past the first space, then to the line feed outside quotes
    size_t lines = 0, p = 0;
    while (p < text.size()) {
        size_t sp = text.find(' ', p);
        if (sp == std::string::npos) break;
        p = sp + 1;
        bool quoted = false;
        while (p < text.size() && (quoted || text[p] != '\n')) {
            if (text[p] == '"') quoted = !quoted;
            ++p;
        }
        ++lines;
        ++p;
    }
    std::vector<std::string> out;
    p = 0;
    for (size_t i = 0; i < lines && p < text.size(); ++i) {
        size_t q = text.find('"', p);
        if (q == std::string::npos) break;
        std::string t;
        size_t c = q + 1;
        while (c < text.size() && text[c] != '"') {
            if (text[c] == '\\' && c + 1 < text.size() && (text[c + 1] == 'n' || text[c + 1] == 'r' || text[c + 1] == 't')) {
                t += text[c + 1] == 'n' ? '\n' : text[c + 1] == 'r' ? '\r' : '\t';
                c += 2;
            } else {
                t += text[c++];
            }
        }
        out.push_back(t);
        p = c + 1;
    }
    return out;
}

int ChooseLanguage(const std::string& lang, const std::vector<std::string>& existing) {
    std::string name;
    for (char c : lang) {
        if (c == '.' || c == '\0' || c == '\n' || name.size() >= 258) break;
        name += c;
    }
    name += ".txt";
    const char* files[4] = {"english.txt", "usa.txt", "french.txt", "german.txt"};
    for (int i = 0; i < 4; ++i)
        if (name == files[i])
            return std::find(existing.begin(), existing.end(), name) != existing.end() ? i : 0;
    return 0;
}

std::vector<std::string> SplitPlacementFields(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == ',' || c == '\r' || c == '\n') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

std::vector<std::string> ReadResourceList(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\n') continue;
        if (c == '\r') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    return out;
}

// ------------------------------------------------------------------ sound
Wav ParseWav(const std::vector<unsigned char>& b) {
    Wav w;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4)) {
        w.error = "not RIFF WAVE";
        return w;
    }
    if (U32(b, 4) + 8 != b.size()) { w.error = "RIFF size"; return w; }
    size_t o = 12;
    bool fmt = false;
    while (o + 8 <= b.size()) {
        uint32_t len = U32(b, o + 4);
        if (o + 8 + len > b.size()) { w.error = "chunk overruns"; return w; }
        if (!std::memcmp(b.data() + o, "fmt ", 4) && len >= 16) {
            w.format = b[o + 8] | b[o + 9] << 8;
            w.channels = b[o + 10] | b[o + 11] << 8;
            w.rate = int(U32(b, o + 12));
            w.bits = b[o + 22] | b[o + 23] << 8;
            fmt = true;
        } else if (!std::memcmp(b.data() + o, "data", 4)) {
            if (!fmt || w.bits != 16) { w.error = "data before fmt or not 16-bit"; return w; }
            for (size_t i = 0; i + 1 < len; i += 2)
                w.samples.push_back(int16_t(b[o + 8 + i] | b[o + 9 + i] << 8));
        }
        o += 8 + len + (len & 1);
    }
    if (!fmt) w.error = "no fmt";
    return w;
}

Midi ParseMidi(const std::vector<unsigned char>& b) {
    Midi m;
    auto be32 = [&b](size_t o) { return uint32_t(b[o]) << 24 | uint32_t(b[o + 1]) << 16 | uint32_t(b[o + 2]) << 8 | b[o + 3]; };
    if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) || be32(4) != 6) { m.error = "no MThd"; return m; }
    m.format = b[8] << 8 | b[9];
    int declared = b[10] << 8 | b[11];
    m.division = b[12] << 8 | b[13];
    size_t o = 14;
    bool tempoSeen = false;
    while (o + 8 <= b.size()) {
        if (std::memcmp(b.data() + o, "MTrk", 4)) { m.error = "bad chunk"; return m; }
        size_t len = be32(o + 4), p = o + 8, end = p + len;
        if (end > b.size()) { m.error = "track overruns"; return m; }
        uint32_t tick = 0;
        int running = 0;
        bool eot = false;
        while (p < end && !eot) {
            uint32_t delta = 0;
            for (int k = 0; k < 4; ++k) {
                if (p >= end) { m.error = "truncated delta"; return m; }
                unsigned char c = b[p++];
                delta = delta << 7 | (c & 0x7F);
                if (!(c & 0x80)) break;
            }
            tick += delta;
            if (p >= end) { m.error = "truncated event"; return m; }
            int status = b[p];
            if (status & 0x80) ++p;
            else if (running) status = running;
            else { m.error = "data without status"; return m; }
            if (status == 0xFF) {
                if (p + 1 >= end) { m.error = "truncated meta"; return m; }
                int type = b[p], mlen = b[p + 1];
                if (p + 2 + size_t(mlen) > end) { m.error = "meta overruns"; return m; }
                if (type == 0x51 && mlen == 3 && !tempoSeen) {
                    m.tempo = uint32_t(b[p + 2]) << 16 | uint32_t(b[p + 3]) << 8 | b[p + 4];
                    tempoSeen = true;
                }
                if (type == 0x2F) eot = true;
                p += 2 + size_t(mlen);
                continue;
            }
            running = status;
            int kind = status & 0xF0, ch = status & 0x0F;
            int n = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            if (p + size_t(n) > end) { m.error = "truncated message"; return m; }
            if (kind == 0x90 && b[p + 1] > 0) {
                ++m.noteOns;
                ++m.notesPerChannel[size_t(ch)];
                if (ch != 9) ++m.pitchClasses[size_t(b[p] % 12)];
            }
            else if (kind == 0x80 || (kind == 0x90 && b[p + 1] == 0)) ++m.noteOffs;
            if (kind == 0xC0) m.programs.push_back(b[p]);
            p += size_t(n);
        }
        if (!eot || p != end) { m.error = "track without end"; return m; }
        m.lastTick = std::max(m.lastTick, tick);
        ++m.tracks;
        o = end;
    }
    if (m.tracks != declared) m.error = "track count";
    return m;
}

}  // namespace fwcheck
