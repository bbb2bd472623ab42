// Readers written from the file formats the game reads, used to check the generated data
// set the way the game will see it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fwcheck {

std::vector<unsigned char> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
// The game's data set folder in the build tree.
std::string DataRoot();
// A game name ("XDATA\\Player.x") resolved the way the platform resolves it: '\' as '/',
// every component matched without regard to letter case. Empty when it does not exist.
std::string Resolve(const std::string& root, const std::string& gameName);

// The mesh parser's plain text dialect: vertices in file order (x, y, z, nx, ny, nz, tu, tv)
// and three indices per triangle.
struct XMesh {
    std::vector<std::array<float, 8>> verts;
    std::vector<uint16_t> idx;
    int nonTriangles = 0;
    std::string error;   // empty when parsed
};
XMesh ParseXText(const std::string& text);

struct Anx {
    uint32_t version = 0, vertexCount = 0, frameCount = 0;
    std::vector<int32_t> durations;
    std::vector<std::vector<std::array<float, 3>>> frames;
    std::string error;
};
Anx ParseAnx(const std::vector<unsigned char>& bytes);

struct Picture {
    int width = 0, height = 0, bits = 0;
    std::vector<uint32_t> argb;   // top row first
    bool progressive = false;     // JPEG only
    int components = 0;           // JPEG only
    std::string error;
};
Picture ReadTga(const std::vector<unsigned char>& bytes);
Picture ReadJpeg(const std::string& path);

// Texts of a language file by position, as the game's loader stores them.
std::vector<std::string> ParseLanguageFile(const std::string& text);
// The language number "lang.txt" selects (0 English .. 3 German), given which files exist.
int ChooseLanguage(const std::string& langTxt, const std::vector<std::string>& existing);

// Fields of a placement list, split at commas, CRs and LFs (runs count as one).
std::vector<std::string> SplitPlacementFields(const std::string& text);
// Names of a resource list: lines ended by CR; LFs skipped; text after the last CR ignored.
std::vector<std::string> ReadResourceList(const std::string& text);

struct Wav {
    int channels = 0, rate = 0, bits = 0, format = 0;
    std::vector<int16_t> samples;
    std::string error;
};
Wav ParseWav(const std::vector<unsigned char>& bytes);

struct Midi {
    int format = -1, tracks = 0, division = 0;
    int noteOns = 0, noteOffs = 0;
    std::array<int, 16> notesPerChannel{};
    std::array<int, 12> pitchClasses{};   // note-ons of the melodic channels by pitch class
    uint32_t lastTick = 0;
    uint32_t tempo = 500000;   // microseconds a quarter, first tempo event
    std::vector<int> programs;
    std::string error;
};
Midi ParseMidi(const std::vector<unsigned char>& bytes);

}  // namespace fwcheck
