#include "fenwolt/Game/DataSetCheck.h"

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/Game/Engine/Textures.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// What the screens draw with besides the fonts: the front end's pictures and the pitch. What the
// match loads is named by the resource lists, which are looked at with all they name.
const char* const kPictures[] = {
    "interface\\title.jpg",    "interface\\start.jpg",   "interface\\plain.jpg", "interface\\conf.tga",
    "interface\\controls.tga", "interface\\loading.jpg", "interface\\ldet.jpg",  "interface\\lres.jpg",
    "interface\\stats.jpg",    "textures\\pitch.jpg",
};
const char* const kResourceLists[] = {"level\\e_mesh.txt", "level\\e_tex.txt"};
const char* const kOtherFiles[] = {"level\\football.obj"};

bool PictureUsable(const char* file)
{
    DecodedPicture picture;
    return DecodePictureFile(file, picture);
}

bool FileUsable(const char* file)
{
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) return false;
    GlobalFree(block);
    return size > 0;
}

// The list itself, then each mesh it names readable and each texture decodable.
std::string FirstUnusableOfList(const char* list)
{
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(list, &size);
    if (!block || size == 0) {
        if (block) GlobalFree(block);
        return list;
    }
    std::string unusable;
    const char* text = static_cast<const char*>(GlobalLock(block));
    ForEachResourceName(text, size, list, [&](char* name, size_t) {
        if (unusable.empty() && !(IsMeshResource(name) ? FileUsable(name) : PictureUsable(name))) unusable = name;
    });
    GlobalUnlock(block);
    GlobalFree(block);
    return unusable;
}

}  // namespace

std::string FirstUnusableDataFile()
{
    for (const char* file : FONT_SHEET_FILES)
        if (!PictureUsable(file)) return file;
    for (const char* file : kPictures)
        if (!PictureUsable(file)) return file;
    const char* language = LANGUAGE_FILES[ReadLanguageSetting()];
    if (!FileUsable(language)) return language;
    for (const char* file : kOtherFiles)
        if (!FileUsable(file)) return file;
    for (const char* list : kResourceLists) {
        std::string unusable = FirstUnusableOfList(list);
        if (!unusable.empty()) return unusable;
    }
    return std::string();
}

bool DataSetUsable()
{
    std::string unusable = FirstUnusableDataFile();
    if (unusable.empty()) return true;
    DebugOutPair("Unusable data file", unusable.c_str());
    // Named as the player finds it on this system's disk.
    std::replace(unusable.begin(), unusable.end(), '\\', '/');
    char text[512];
    std::snprintf(text, sizeof text,
                  "A file the game needs is missing or damaged:\n\n%s\n\n"
                  "Build the data set again with ./run.sh fenwolt and start the game once more.",
                  unusable.c_str());
    MessageBoxA(nullptr, text, GAME_TITLE, MB_ICONERROR | MB_OK);
    return false;
}
