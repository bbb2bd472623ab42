#include "skerrow/Src/game/DataSetCheck.h"

#include <strings.h>

#include <cstring>

#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/TrueTypeFont.h"
#include "skerrow/Src/game/Resources.h"

namespace {

struct Pack {
    const char* file;
    const char* prefix;
};
const Pack kDataPack = {"Ombrelit.dat", "DATA\\"};
const Pack kLanguagePack = {"Ombrelit.lng", "LANG\\"};

struct RequiredFile {
    const char* name;
    const Pack* pack;
};

// What the game cannot be seen or played without: the font of every text, the menu and its
// buttons, the pointer, the headers and quit buttons of every screen, the map and its buttons,
// the pieces of play and the interface texts. Sounds and music are not here: the game plays
// silent without them (their loaders log the loss).
const RequiredFile kRequiredFiles[] = {
    {"LCDN.ttf", &kDataPack},        {"Logo2.tga", &kDataPack},       {"menu.tga", &kDataPack},
    {"menu.frm", &kDataPack},        {"Cursor.tga", &kDataPack},      {"Cursor.anm", &kDataPack},
    {"headers.tga", &kDataPack},     {"headers.frm", &kDataPack},     {"Nodes\\Node.tga", &kDataPack},
    {"NodeButtons.tga", &kDataPack}, {"NodeButtons.frm", &kDataPack}, {"Coordinates", &kDataPack},
    {"Blocks.tga", &kDataPack},      {"Ball.tga", &kDataPack},        {"Ship.tga", &kDataPack},
    {"Strings.txt", &kLanguagePack},
};

bool EndsWith(const char* name, const char* ending)
{
    const size_t n = std::strlen(name), e = std::strlen(ending);
    return n >= e && strcasecmp(name + n - e, ending) == 0;
}

// The interface texts as LoadStrings reads them: every one of the table's texts there. A
// damaged table would otherwise leave every label and message of the game blank.
bool StringTableWhole(std::string* missing)
{
    IniFile ini;
    if (!ini.Open("Strings.txt", 1) || !ini.HasSection("All strings")) {
        *missing = "[All strings]";
        return false;
    }
    for (const char* key : g_stringKeys) {
        char text[64];
        if (ini.GetString("All strings", key, nullptr, text, sizeof text) == 0) {
            *missing = key;
            return false;
        }
    }
    return true;
}

// Read the way the game will read it: a picture must decode, the font must open as a face, the
// string table must hold its texts, and any other file must be there with something in it.
bool ReadsWhole(const char* name)
{
    if (strcasecmp(name, "Strings.txt") == 0) {
        std::string missing;
        if (StringTableWhole(&missing)) return true;
        LogMessage("Data set: Strings.txt lacks %s\n", missing.c_str());
        return false;
    }
    if (EndsWith(name, ".tga") || EndsWith(name, ".bmp") || EndsWith(name, ".pcx")) {
        Bitmap picture;
        return picture.Load(name) != 0;
    }
    if (EndsWith(name, ".ttf")) {
        TrueTypeFont font;
        return font.Load(name) != 0;
    }
    char* data = LoadResourceFile(name, 1);
    const bool found = data && GetLastResourceSize() > 0;
    FreeResourceBuffer(data);
    return found;
}

// Why `name` could not be read, as far as the pack that should hold it tells.
std::string Fault(const char* name, const Pack& pack)
{
    for (const SearchEntry& e : g_resourceLocator.Entries()) {
        if (e.prefix != pack.prefix) continue;
        if (e.pack && !e.pack->Entries().empty()) return std::string(name) + " is missing from " + pack.file + " or damaged.";
        if (e.pack) break;  // a pack with nothing in it is a damaged one
        std::FILE* f = OpenGameFile(pack.file, "rb");
        if (!f) return std::string(pack.file) + " is missing.";
        std::fclose(f);
        break;
    }
    return std::string(pack.file) + " is damaged (cut short or overwritten).";
}

}  // namespace

int CheckDataSet(std::string* message)
{
    for (const RequiredFile& r : kRequiredFiles) {
        if (ReadsWhole(r.name)) continue;
        const std::string fault = Fault(r.name, *r.pack);
        LogMessage("Data set: %s cannot be read: %s\n", r.name, fault.c_str());
        if (message)
            *message = "Ombrelit QRN cannot start: its data set is incomplete or damaged.\n\n" + fault +
                       "\n\nBuild the data set again with ./run.sh skerrow, then start the game again.";
        return 0;
    }
    return 1;
}
