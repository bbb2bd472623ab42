// Model placement lists: text files of comma-separated records, each placing one model
// instance of the static scenery.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstddef>
#include <cstdint>

constexpr int PLACEMENT_FIELDS = 31;
constexpr int PLACEMENT_NAME_CHARS = 260;  // 259 characters and the terminator
constexpr int32_t PLACEMENT_LIST_KIND = 11;

struct PlacementRecord {
    char MeshFile[PLACEMENT_NAME_CHARS] = {};
    char TextureFile[PLACEMENT_NAME_CHARS] = {};
    float Position[3] = {};
    float Rotation[3] = {};
    float Scale = 0.f;
    float Unused[2] = {};
    int32_t Translucent = 0;
    int32_t Kind = 0;
    int32_t CastsShadow = 0;
    int32_t Billboard = 0;
    int32_t UserValues[10] = {};
};

// How the lists reach the instance table: creation (the slot index, or INSTANCE_NONE) and
// freeing. The model-instance code installs its own; until then loading fails with a trace.
struct PlacementInstanceHooks {
    int (*Create)(const char* meshFile, const char* textureFile, float x, float y, float z, float rx, float ry,
                  float rz, float scale) = nullptr;
    int (*Free)(int index) = nullptr;
};
void SetPlacementInstanceHooks(const PlacementInstanceHooks& hooks);

// Reads a number from the leading characters of a field that form one; 0 when none do.
float ParsePlacementFloat(const char* field);
int32_t ParsePlacementInt(const char* field);

// Cuts text into records; calls `record` for each complete one and returns how many there were.
typedef void (*PlacementRecordSink)(const PlacementRecord& record, void* context);
int ParsePlacementList(const char* text, size_t size, PlacementRecordSink sink, void* context);

// 1 when the file was read (whatever its records did), 0 when it cannot be read.
int LoadModelList(const char* file);
int LoadModelListInto(ModelInstance* instances, int count, const char* text, size_t size);
// Frees every used instance of kind 11.
void UnloadModelList();
void UnloadModelListFrom(ModelInstance* instances, int count);
