// skerrow-data-gen: writes the game's data set.
//   skerrow-data-gen --out DIR [--loose DIR] [--contact DIR]
// DIR receives "Ombrelit.dat" (names under "DATA\") and "Ombrelit.lng" (names under "LANG\"),
// and the default "Ombrelit.ini" when it holds none;
// --loose also writes every file as a plain file (for inspection), --contact writes PNG
// contact sheets of the pictures, fonts and level grids.
#include "skerrow/data/GenCommon.h"
#include "skerrow/data/PackWriter.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::vector<PackWriterEntry> Entries(const std::map<std::string, std::vector<uint8_t>>& files,
                                     const std::vector<std::string>& order) {
    std::vector<PackWriterEntry> out;
    for (const std::string& name : order) out.push_back({name, files.at(name)});
    return out;
}

// The settings a player starts with: the game's defaults with the sound on (without a file
// the game would start silent and, writing the file at exit, stay silent).
const char kDefaultSettings[] =
    "[Settings]\nFullscreen = 1\nSound enable = 1\nSound volume = 70\nMusic volume = 50\n"
    "Reverse stereo = 1\nScroll speed = 1\nVanishing = 0\n";

// Written only when the folder has no settings file: one the game or its player wrote there is
// theirs and outlives every new data set.
void WriteDefaultSettings(const fs::path& dir) {
    const fs::path final = dir / "Ombrelit.ini";
    std::error_code ec;
    if (fs::exists(fs::symlink_status(final, ec))) return;
    const fs::path temp = final.string() + ".tmp";
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    const size_t n = sizeof kDefaultSettings - 1;
    if (!f || std::fwrite(kDefaultSettings, 1, n, f) != n || std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + temp.string());
    fs::rename(temp, final);
}

void WriteLoose(const fs::path& root, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string rel = name;
    for (char& c : rel)
        if (c == '\\') c = '/';
    const fs::path path = root / rel;
    fs::create_directories(path.parent_path());
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

// Pictures side by side on a grey board, in rows of at most `width` pixels.
gen::Canvas Board(const std::vector<const gen::Canvas*>& pics, int width, double scale) {
    int x = 4, y = 4, rowH = 0, maxW = 0;
    std::vector<std::pair<int, int>> at;
    for (const gen::Canvas* p : pics) {
        const int w = int(p->Width() * scale), h = int(p->Height() * scale);
        if (x + w + 4 > width && x > 4) {
            x = 4;
            y += rowH + 4;
            rowH = 0;
        }
        at.push_back({x, y});
        x += w + 4;
        rowH = std::max(rowH, h);
        maxW = std::max(maxW, x);
    }
    gen::Canvas board(std::max(maxW, 8), y + rowH + 4, gen::RGB(96, 96, 104));
    for (size_t i = 0; i < pics.size(); ++i) {
        const gen::Canvas c = scale == 1.0 ? *pics[i] : pics[i]->Scaled(int(pics[i]->Width() * scale), int(pics[i]->Height() * scale));
        board.Paste(c, at[i].first, at[i].second, false);
    }
    return board;
}

void WriteContact(const fs::path& dir, const gen::DataSet& ds, const gen::Canvas& levels,
                  const gen::Canvas& preview) {
    fs::create_directories(dir);
    std::vector<const gen::Canvas*> tiles, objects, fonts, screens, sprites;
    for (const auto& [name, pic] : ds.pictures) {
        if (name.rfind("BackTiles", 0) == 0) tiles.push_back(&pic);
        else if (name.rfind("BackObjects", 0) == 0) objects.push_back(&pic);
        else if (name.rfind("lit", 0) == 0) fonts.push_back(&pic);
        else if (pic.Width() >= 500) screens.push_back(&pic);
        else sprites.push_back(&pic);
    }
    bool ok = gen::WritePng((dir / "tiles.png").string(), Board(tiles, 1400, 0.5));
    ok = gen::WritePng((dir / "objects.png").string(), Board(objects, 1600, 1.0)) && ok;
    ok = gen::WritePng((dir / "fonts.png").string(), Board(fonts, 1100, 1.0)) && ok;
    ok = gen::WritePng((dir / "screens.png").string(), Board(screens, 1320, 1.0)) && ok;
    ok = gen::WritePng((dir / "sprites.png").string(), Board(sprites, 1400, 1.0)) && ok;
    ok = gen::WritePng((dir / "levels.png").string(), levels) && ok;
    ok = gen::WritePng((dir / "level-openings.png").string(), preview) && ok;
    if (!ok) throw std::runtime_error("cannot write the contact sheets in " + dir.string());
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, loose, contact;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--out" || a == "--loose" || a == "--contact") && i + 1 < argc) {
            (a == "--out" ? out : a == "--loose" ? loose : contact) = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s --out DIR [--loose DIR] [--contact DIR]\n", argv[0]);
            return 2;
        }
    }
    if (out.empty() && loose.empty()) {
        std::fprintf(stderr, "usage: %s --out DIR [--loose DIR] [--contact DIR]\n", argv[0]);
        return 2;
    }
    try {
        gen::DataSet ds;
        gen::Canvas levels, preview;
        gen::MakeTexts(ds);
        gen::MakePictures(ds);
        gen::MakeLevels(ds, &levels, &preview);
        gen::MakeFonts(ds);
        gen::MakeSounds(ds);
        gen::MakeMusic(ds);
        if (!out.empty()) {
            fs::create_directories(out);
            std::string error;
            // Written under a temporary name first: a build that stops half-way leaves no
            // truncated pack behind that the game would take for a good one.
            for (int lang = 0; lang < 2; ++lang) {
                const fs::path final = fs::path(out) / (lang ? "Ombrelit.lng" : "Ombrelit.dat");
                const fs::path temp = final.string() + ".tmp";
                const auto entries = lang ? Entries(ds.lang, ds.langOrder) : Entries(ds.data, ds.order);
                if (!WritePackArchive(temp.string(), entries, lang ? "LANG\\" : "DATA\\", &error))
                    throw std::runtime_error(error);
                fs::rename(temp, final);
            }
            WriteDefaultSettings(out);
        }
        if (!loose.empty()) {
            for (const auto& [name, bytes] : ds.data) WriteLoose(fs::path(loose) / "DATA", name, bytes);
            for (const auto& [name, bytes] : ds.lang) WriteLoose(fs::path(loose) / "LANG", name, bytes);
        }
        if (!contact.empty()) WriteContact(contact, ds, levels, preview);
        std::printf("skerrow-data-gen: %zu data files, %zu language files\n", ds.data.size(), ds.lang.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skerrow-data-gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
