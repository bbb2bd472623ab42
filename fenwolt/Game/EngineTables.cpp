#include "fenwolt/Game/EngineTables.h"

void ModelInstance::ReleaseDeviceBuffers()
{
    for (auto*& buffer : DeviceBuffers) {
        if (buffer) buffer->Release();
        buffer = nullptr;
    }
}
