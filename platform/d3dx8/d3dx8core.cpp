#include "platform/d3dx8/d3dx8core.h"

#include <cstdio>
#include <new>

#include "platform/d3dx8/d3dx8_internal.h"
#include "platform/win32/win32.h"

namespace {

class Buffer final : public RefCounted<ID3DXBuffer> {
public:
    explicit Buffer(DWORD size) : bytes_(size, 0) {}
    void* GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<unsigned char> bytes_;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer)
{
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    Buffer* b = new (std::nothrow) Buffer(numBytes);
    if (!b) return E_OUTOFMEMORY;
    *buffer = b;
    return S_OK;
}

namespace d3dx_detail {

bool ReadWholeFile(const char* name, std::vector<unsigned char>& bytes, size_t maxBytes)
{
    bytes.clear();
    if (!name || !name[0]) return false;
    FILE* f = PlatformFopen(name, "rb");
    if (!f) return false;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || static_cast<unsigned long>(size) > maxBytes || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    const size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return got == bytes.size();
}

void Trace(const char* function, const std::string& message)
{
    std::fprintf(stderr, "d3dx: %s: %s\n", function, message.c_str());
}

}  // namespace d3dx_detail
