#include "fenwolt/Game/DataSetCheck.h"

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/Game/Engine/Textures.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/xfile_text.h"
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
// Meshes outside the lists: the one every texture holder is made on, and the intro's blocks
// (with their texture).
const char* const kOtherMeshes[] = {"xdata\\dummy.x", "xdata\\bvorne.x", "xdata\\btulst.x"};
const char* const kOtherPictures[] = {"textures\\blocktex.jpg"};
// The own vertex arrays address vertices with 16-bit indices, and so does the loaded mesh.
constexpr size_t kMaxMeshVertices = 65535;

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

// A mesh is loaded twice, by the device's mesh loader (material, subsets) and by the mesh's own
// text parser (the arrays the scene, animations and shadows draw from): a file either of them
// rejects would leave an invisible model, so both read it here, without making device objects.
bool MeshUsable(const char* file)
{
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) return false;
    const char* text = static_cast<const char*>(GlobalLock(block));
    bool usable = false;
    if (text && size > 0) {
        d3dx_detail::XMeshData loaded;
        std::string why;
        usable = d3dx_detail::ParseTextX(text, size, loaded, why) && loaded.TriangleCount() > 0 &&
                 loaded.VertexCount() <= kMaxMeshVertices;
        if (!usable && !why.empty()) DebugOutPair(why.c_str(), file);
        XFileMesh own;
        usable = usable && own.ParseText(text, size, file) == 1;
    }
    if (text) GlobalUnlock(block);
    GlobalFree(block);
    return usable;
}

// The list itself, then each mesh it names parsed and each texture decoded.
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
        if (unusable.empty() && !(IsMeshResource(name) ? MeshUsable(name) : PictureUsable(name))) unusable = name;
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
    for (const char* file : kOtherMeshes)
        if (!MeshUsable(file)) return file;
    for (const char* file : kOtherPictures)
        if (!PictureUsable(file)) return file;
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
