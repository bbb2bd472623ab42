#include "fenwolt/Game/Engine/PlacementLists.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

PlacementInstanceHooks g_hooks;

bool IsSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest leading run of `s` that reads as a number.
size_t NumberPrefix(const char* s, bool decimal)
{
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    size_t digits = 0;
    while (IsDigit(s[i])) ++i, ++digits;
    if (decimal && s[i] == '.') {
        size_t j = i + 1;
        size_t fraction = 0;
        while (IsDigit(s[j])) ++j, ++fraction;
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) return 0;
    if (decimal && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (s[j] == '+' || s[j] == '-') ++j;
        if (IsDigit(s[j])) {
            while (IsDigit(s[j])) ++j;
            i = j;
        }
    }
    return i;
}

void StoreField(PlacementRecord& r, int position, const std::string& f)
{
    const char* s = f.c_str();
    switch (position) {
    case 0: std::snprintf(r.MeshFile, sizeof r.MeshFile, "%s", s); break;
    case 1: std::snprintf(r.TextureFile, sizeof r.TextureFile, "%s", s); break;
    case 2: case 3: case 4: r.Position[position - 2] = ParsePlacementFloat(s); break;
    case 5: case 6: case 7: r.Rotation[position - 5] = ParsePlacementFloat(s); break;
    case 8: r.Scale = ParsePlacementFloat(s); break;
    case 9: case 10: r.Unused[position - 9] = ParsePlacementFloat(s); break;
    case 11: r.Translucent = ParsePlacementInt(s); break;
    case 12: r.Kind = ParsePlacementInt(s); break;
    case 13: r.CastsShadow = ParsePlacementInt(s); break;
    case 14: r.Billboard = ParsePlacementInt(s); break;
    default:
        if (position >= 21 && position <= 30) r.UserValues[position - 21] = ParsePlacementInt(s);
        break;
    }
}

struct LoadContext {
    ModelInstance* Instances;
    int Count;
};

void CreateFromRecord(const PlacementRecord& r, void* context)
{
    auto* c = static_cast<LoadContext*>(context);
    if (!g_hooks.Create) return;
    const int slot = g_hooks.Create(r.MeshFile, r.TextureFile, r.Position[0], r.Position[1], r.Position[2],
                                    r.Rotation[0], r.Rotation[1], r.Rotation[2], r.Scale);
    if (slot < 0 || slot >= c->Count || slot >= INSTANCE_COUNT) return;
    ModelInstance& m = c->Instances[slot];
    m.Translucent = r.Translucent != 0;
    m.Kind = r.Kind;
    m.CastsShadow = r.CastsShadow != 0;
    if (m.CastsShadow) m.ShadowDirty = 1;
    m.Billboard = r.Billboard != 0;
    std::memcpy(m.UserValues, r.UserValues, sizeof m.UserValues);
}

}  // namespace

void SetPlacementInstanceHooks(const PlacementInstanceHooks& hooks) { g_hooks = hooks; }

float ParsePlacementFloat(const char* field)
{
    const size_t n = NumberPrefix(field, true);
    if (n == 0) return 0.0f;
    const std::string number(field, n);
    return std::strtof(number.c_str(), nullptr);
}

int32_t ParsePlacementInt(const char* field)
{
    const size_t n = NumberPrefix(field, false);
    if (n == 0) return 0;
    const std::string number(field, n);
    const long long v = std::strtoll(number.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return (int32_t)v;
}

int ParsePlacementList(const char* text, size_t size, PlacementRecordSink sink, void* context)
{
    int records = 0;
    int position = 0;
    PlacementRecord record;
    for (int u = 0; u < 10; ++u) record.UserValues[u] = -1;
    size_t i = 0;
    while (i < size) {
        while (i < size && IsSeparator(text[i])) ++i;
        if (i >= size) break;
        const size_t start = i;
        // A NUL byte cuts its field short: names must stay C strings.
        while (i < size && !IsSeparator(text[i])) ++i;
        std::string field(text + start, i - start);
        field.resize(std::strlen(field.c_str()));
        StoreField(record, position, field);
        if (++position == PLACEMENT_FIELDS) {
            if (sink) sink(record, context);
            ++records;
            position = 0;
            record = PlacementRecord{};
            for (int u = 0; u < 10; ++u) record.UserValues[u] = -1;
        }
    }
    return records;
}

void UnloadModelListFrom(ModelInstance* instances, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!instances[i].InUse || instances[i].Kind != PLACEMENT_LIST_KIND) continue;
        if (g_hooks.Free) {
            g_hooks.Free(i);
        } else {
            DebugOutLine("UnloadModelList: no way to free instances");
            return;
        }
    }
}

void UnloadModelList()
{
    if (TheAppConstructed()) UnloadModelListFrom(TheApp.InstanceTable, INSTANCE_COUNT);
}

int LoadModelListInto(ModelInstance* instances, int count, const char* text, size_t size)
{
    if (!g_hooks.Create) {
        DebugOutLine("LoadModelList: no way to create instances");
        return 0;
    }
    UnloadModelListFrom(instances, count);
    LoadContext context{instances, count};
    ParsePlacementList(text, size, CreateFromRecord, &context);
    return 1;
}

int LoadModelList(const char* file)
{
    if (!file || !TheAppConstructed()) return 0;
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) {
        DebugOutPair("Could not read model list", file);
        return 0;
    }
    const char* text = static_cast<const char*>(GlobalLock(block));
    int result = 0;
    if (text) {
        result = LoadModelListInto(TheApp.InstanceTable, INSTANCE_COUNT, text, size);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return result;
}
