// Addresses, the lobbied application, the class registration and the helpers the peer shares.
#include "platform/dplay8/dplay8_internal.h"

#include <arpa/inet.h>

#include <cstdlib>

const GUID CLSID_DP8SP_TCPIP = {0x7e5ea4be, 0xf7c6, 0x443f, {0xa7, 0x6c, 0xed, 0x90, 0x9c, 0x19, 0xf0, 0x35}};
const GUID CLSID_DirectPlay8Peer = {0x1e1b02c0, 0xe853, 0x4fc6, {0xb9, 0x3a, 0x43, 0xa1, 0xec, 0x08, 0xa4, 0x3d}};
const GUID IID_IDirectPlay8Peer = {0xe14c9bfc, 0x6e34, 0x499b, {0x9c, 0xd6, 0x2a, 0xc3, 0xae, 0x92, 0x9e, 0x8e}};
const GUID CLSID_DirectPlay8Address = {0x2cd36169, 0xfcd1, 0x458c, {0xb7, 0x2e, 0x1c, 0x42, 0x4b, 0x07, 0xa4, 0x09}};
const GUID IID_IDirectPlay8Address = {0xeaf3f2fa, 0xda1c, 0x44a5, {0xa6, 0x3c, 0x0b, 0x4f, 0x74, 0xed, 0xed, 0x15}};
const GUID CLSID_DirectPlay8LobbiedApplication = {
    0x9a4449f5, 0x1c32, 0x4c1a, {0x91, 0x70, 0xb1, 0x42, 0xe4, 0x16, 0x9f, 0xb6}};
const GUID IID_IDirectPlay8LobbiedApplication = {
    0xe3ee104f, 0x6c2e, 0x4c23, {0x8d, 0x18, 0x5d, 0x5b, 0x74, 0x74, 0xc1, 0x8d}};

namespace dplay8_detail {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kGuidNull = {};

uint16_t PortBase()
{
    const char* v = getenv("PLATFORM_DPLAY8_PORT");
    if (v && *v) {
        char* end = nullptr;
        long p = strtol(v, &end, 10);
        if (end && *end == 0 && p >= 1024 && p <= 65535 - PORT_RANGE) return (uint16_t)p;
        PlatformTrace("DirectPlay: PLATFORM_DPLAY8_PORT=%s is not a port from 1024 to %d; using %u", v,
                      65535 - PORT_RANGE, DEFAULT_PORT_BASE);
    }
    return DEFAULT_PORT_BASE;
}

bool LanEnabled()
{
    const char* v = getenv("PLATFORM_DPLAY8_LAN");
    return v && strcmp(v, "1") == 0;
}

std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.c_str()); }

std::string ToUtf8(const WCHAR* text)
{
    std::string out;
    if (!text) return out;
    for (; *text; ++text) {
        uint32_t c = (uint32_t)*text;
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Malformed sequences become U+FFFD; a NUL ends the text (names never carry one).
std::wstring FromUtf8(const std::string& text)
{
    std::wstring out;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        uint8_t b = (uint8_t)text[i];
        uint32_t c;
        int extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out += (WCHAR)0xFFFD;
            ++i;
            continue;
        }
        bool bad = false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || ((uint8_t)text[i + k] & 0xC0) != 0x80) {
                bad = true;
                break;
            }
            c = (c << 6) | ((uint8_t)text[i + k] & 0x3F);
        }
        if (bad) {
            out += (WCHAR)0xFFFD;
            ++i;
            continue;
        }
        i += 1 + extra;
        if (c == 0) break;
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        out += (WCHAR)c;
    }
    return out;
}

std::string GuidText(const GUID& g)
{
    char buf[64];
    snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
             g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

void Trace(const char* call, HRESULT hr, const char* detail)
{
    PlatformTrace("DirectPlay %s failed (0x%08X)%s%s", call, (unsigned)hr, *detail ? ": " : "", detail);
}

// --- Addresses -----------------------------------------------------------------------------------

HRESULT AddressImpl::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IDirectPlay8Address || iid == kIidUnknown) {
        AddRef();
        *out = static_cast<IDirectPlay8Address*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT AddressImpl::Duplicate(IDirectPlay8Address** out)
{
    if (!out) return DPNERR_INVALIDPOINTER;
    auto* copy = new AddressImpl;
    {
        std::lock_guard<std::mutex> lock(mu_);
        copy->hasSp_ = hasSp_;
        copy->sp_ = sp_;
        copy->components_ = components_;
    }
    *out = copy;
    return S_OK;
}

HRESULT AddressImpl::Clear()
{
    std::lock_guard<std::mutex> lock(mu_);
    hasSp_ = false;
    sp_ = GUID{};
    components_.clear();
    return S_OK;
}

HRESULT AddressImpl::SetSP(const GUID* sp)
{
    if (!sp) return DPNERR_INVALIDPOINTER;
    if (*sp != CLSID_DP8SP_TCPIP) {
        Trace("IDirectPlay8Address::SetSP", DPNERR_DOESNOTEXIST, "only the TCP/IP service provider exists");
        return DPNERR_DOESNOTEXIST;
    }
    std::lock_guard<std::mutex> lock(mu_);
    hasSp_ = true;
    sp_ = *sp;
    return S_OK;
}

HRESULT AddressImpl::GetSP(GUID* sp)
{
    if (!sp) return DPNERR_INVALIDPOINTER;
    std::lock_guard<std::mutex> lock(mu_);
    if (!hasSp_) return DPNERR_DOESNOTEXIST;
    *sp = sp_;
    return S_OK;
}

HRESULT AddressImpl::AddComponent(const WCHAR* name, const void* data, DWORD size, DWORD type)
{
    if (!name || (!data && size)) return DPNERR_INVALIDPOINTER;
    if (type < DPNA_DATATYPE_STRING || type > DPNA_DATATYPE_STRING_ANSI) return DPNERR_INVALIDPARAM;
    std::wstring key(name);
    if (key == DPNA_KEY_PORT && (type != DPNA_DATATYPE_DWORD || size != sizeof(DWORD))) {
        Trace("IDirectPlay8Address::AddComponent", DPNERR_INVALIDPARAM, "the port is a DWORD");
        return DPNERR_INVALIDPARAM;
    }
    if (key == DPNA_KEY_HOSTNAME && type != DPNA_DATATYPE_STRING && type != DPNA_DATATYPE_STRING_ANSI) {
        Trace("IDirectPlay8Address::AddComponent", DPNERR_INVALIDPARAM, "the host name is text");
        return DPNERR_INVALIDPARAM;
    }
    if (type == DPNA_DATATYPE_STRING && (size % sizeof(WCHAR)) != 0) return DPNERR_INVALIDPARAM;
    Component c;
    c.type = type;
    c.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    std::lock_guard<std::mutex> lock(mu_);
    components_[key] = std::move(c);
    return S_OK;
}

HRESULT AddressImpl::GetComponentByName(const WCHAR* name, void* buffer, DWORD* size, DWORD* type)
{
    if (!name || !size || !type) return DPNERR_INVALIDPOINTER;
    std::lock_guard<std::mutex> lock(mu_);
    auto it = components_.find(name);
    if (it == components_.end()) return DPNERR_DOESNOTEXIST;
    *type = it->second.type;
    const DWORD need = (DWORD)it->second.data.size();
    if (!buffer || *size < need) {
        *size = need;
        return DPNERR_BUFFERTOOSMALL;
    }
    if (need) memcpy(buffer, it->second.data.data(), need);
    *size = need;
    return S_OK;
}

bool AddressImpl::HostName(std::string& out) const
{
    std::lock_guard<std::mutex> lock(mu_);
    auto it = components_.find(DPNA_KEY_HOSTNAME);
    if (it == components_.end()) return false;
    const Component& c = it->second;
    if (c.type == DPNA_DATATYPE_STRING_ANSI) {
        out.assign(reinterpret_cast<const char*>(c.data.data()), c.data.size());
    } else {
        std::wstring w(c.data.size() / sizeof(WCHAR), L'\0');
        if (!w.empty()) memcpy(w.data(), c.data.data(), w.size() * sizeof(WCHAR));
        out = ToUtf8(w.c_str());
    }
    out = std::string(out.c_str());  // up to the terminator
    return !out.empty();
}

bool AddressImpl::Port(uint16_t& out) const
{
    std::lock_guard<std::mutex> lock(mu_);
    auto it = components_.find(DPNA_KEY_PORT);
    if (it == components_.end() || it->second.data.size() != sizeof(DWORD)) return false;
    DWORD v;
    memcpy(&v, it->second.data.data(), sizeof v);
    if (v == 0 || v > 65535) return false;
    out = (uint16_t)v;
    return true;
}

AddressImpl* AsAddressImpl(IDirectPlay8Address* address) { return dynamic_cast<AddressImpl*>(address); }

AddressImpl* MakeHostAddress(const sockaddr_in& where)
{
    auto* a = new AddressImpl;
    a->SetSP(&CLSID_DP8SP_TCPIP);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &where.sin_addr, text, sizeof text);
    std::wstring host = FromUtf8(text);
    a->AddComponent(DPNA_KEY_HOSTNAME, host.c_str(), (DWORD)((host.size() + 1) * sizeof(WCHAR)),
                    DPNA_DATATYPE_STRING);
    DWORD port = ntohs(where.sin_port);
    a->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    return a;
}

namespace {

// --- The lobbied application: no lobby program exists on this platform --------------------------
class LobbiedApplicationImpl : public RefCounted<IDirectPlay8LobbiedApplication> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IDirectPlay8LobbiedApplication || iid == kIidUnknown) {
            AddRef();
            *out = static_cast<IDirectPlay8LobbiedApplication*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT Initialize(PVOID, PFNDPNMESSAGEHANDLER handler, DPNHANDLE* connection, DWORD) override
    {
        if (!handler) return DPNERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mu_);
        if (initialized_) return DPNERR_ALREADYINITIALIZED;
        initialized_ = true;
        // Nothing launched this program through a lobby.
        if (connection) *connection = 0;
        return S_OK;
    }
    HRESULT SetAppAvailable(BOOL, DWORD) override
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!initialized_) return DPNERR_UNINITIALIZED;
        // Being available is a state; no lobby will ever take it up here.
        return S_OK;
    }
    HRESULT GetConnectionSettings(DPNHANDLE handle, DPL_CONNECTION_SETTINGS*, DWORD*, DWORD) override
    {
        char detail[80];
        snprintf(detail, sizeof detail, "no lobby connection %u exists", (unsigned)handle);
        Trace("IDirectPlay8LobbiedApplication::GetConnectionSettings", DPNERR_INVALIDHANDLE, detail);
        return DPNERR_INVALIDHANDLE;
    }
    HRESULT Close(DWORD) override
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!initialized_) return DPNERR_UNINITIALIZED;
        initialized_ = false;
        return S_OK;
    }

private:
    std::mutex mu_;
    bool initialized_ = false;
};

HRESULT CreateObject(IUnknown* object, REFIID iid, void** out)
{
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    if (FAILED(hr)) Trace("CoCreateInstance", hr, "the class does not have that interface");
    return hr;
}

struct ClassRegistration {
    ClassRegistration()
    {
        PlatformRegisterComClass(CLSID_DirectPlay8Peer, [](REFIID iid, void** out) {
            return CreateObject(static_cast<IDirectPlay8Peer*>(new PeerImpl), iid, out);
        });
        PlatformRegisterComClass(CLSID_DirectPlay8Address, [](REFIID iid, void** out) {
            return CreateObject(static_cast<IDirectPlay8Address*>(new AddressImpl), iid, out);
        });
        PlatformRegisterComClass(CLSID_DirectPlay8LobbiedApplication, [](REFIID iid, void** out) {
            return CreateObject(static_cast<IDirectPlay8LobbiedApplication*>(new LobbiedApplicationImpl), iid, out);
        });
    }
};
// The class GUIDs live in this file, so whoever names a class links this registration in.
const ClassRegistration gRegistration;

}  // namespace
}  // namespace dplay8_detail
