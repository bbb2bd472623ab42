#include "fenwolt/Game/Engine/EngineTables.h"

void ModelInstance::ReleaseDeviceBuffers()
{
    for (auto*& buffer : DeviceBuffers) {
        if (buffer) buffer->Release();
        buffer = nullptr;
    }
}
