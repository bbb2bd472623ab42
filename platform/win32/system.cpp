// Time, synchronisation, named mutexes, COM basics, libraries, the registry and the C runtime's
// generator.
#include "platform/win32/detail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace platform_detail;

void PlatformTrace(const char* format, ...)
{
    char buf[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    fprintf(stderr, "[platform] %s\n", buf);
}

// ---------------------------------------------------------------------------------------------
// Last error: per thread, as the callers read it right after the failing call.
namespace {
thread_local DWORD lastError = 0;
}
DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

// ---------------------------------------------------------------------------------------------
// Handles
//
// The tables here are made on first use and never destroyed: a program's own static objects may
// close handles, wait on events or free libraries while it exits, after any table of ours that
// static destruction took down would be gone. (The mutexes have no destructor to run.)
namespace {
std::mutex handleMutex;
std::set<KernelObject*>& LiveHandles()
{
    static auto* live = new std::set<KernelObject*>;
    return *live;
}
}  // namespace

HANDLE platform_detail::RegisterHandle(KernelObject* object)
{
    std::lock_guard<std::mutex> lock(handleMutex);
    LiveHandles().insert(object);
    return object;
}

KernelObject* platform_detail::LookUpHandle(HANDLE handle, KernelObject::Kind kind)
{
    std::lock_guard<std::mutex> lock(handleMutex);
    auto* object = static_cast<KernelObject*>(handle);
    if (!handle || handle == INVALID_HANDLE_VALUE || !LiveHandles().count(object) ||
        object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

namespace {
// Events and mutexes share one lock and one condition: waits on several objects then need no
// extra machinery, and the games wait rarely.
std::mutex syncMutex;
std::condition_variable& SyncChanged()
{
    static auto* changed = new std::condition_variable;
    return *changed;
}

struct EventObject : KernelObject {
    EventObject() : KernelObject(Kind::Event) {}
    bool manualReset = false;
    bool signalled = false;
};

struct MutexObject : KernelObject {
    MutexObject() : KernelObject(Kind::Mutex) {}
    int lockFd = -1;  // named: the lock file held with flock
    bool held = false;  // this process holds it
    std::thread::id owner;
    int recursion = 0;
    ~MutexObject() override
    {
        if (lockFd >= 0) close(lockFd);
    }
};
}  // namespace

BOOL CloseHandle(HANDLE handle)
{
    KernelObject* object = nullptr;
    {
        std::lock_guard<std::mutex> lock(handleMutex);
        auto* candidate = static_cast<KernelObject*>(handle);
        if (!handle || handle == INVALID_HANDLE_VALUE || !LiveHandles().count(candidate)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        LiveHandles().erase(candidate);
        object = candidate;
    }
    if (object->kind == KernelObject::Kind::File) {
        delete object;
    } else {
        std::lock_guard<std::mutex> lock(syncMutex);
        delete object;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Time
namespace {
std::atomic<uint32_t> fixedStepMs{0};
std::atomic<uint64_t> fixedNowMs{0};
std::atomic<bool> lastPollIdle{false};

uint64_t MonotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t NowNs()
{
    if (fixedStepMs.load() != 0) return fixedNowMs.load() * 1000000ull;
    return MonotonicNs();
}
}  // namespace

void PlatformSetFixedStep(uint32_t ms)
{
    if (ms) NoteMainThread();
    fixedStepMs = ms;
    fixedNowMs = 0;
    lastPollIdle = false;
}

bool platform_detail::FixedStepActive() { return fixedStepMs.load() != 0; }

bool PlatformFixedStepActive() { return FixedStepActive(); }

void platform_detail::NoteIdlePoll()
{
    const bool again = lastPollIdle.exchange(true);
    if (FixedStepActive()) {
        if (again) fixedNowMs += 1;
        return;
    }
    // A program that polls its empty queue in a loop, with no frame shown in between, is waiting
    // for its clock: on the desktop that loop costs a core. A short pause gives the processor
    // back while still looking at the clock more than once a millisecond, so a program pacing
    // its frames by timeGetTime keeps its rate to the millisecond.
    if (again) std::this_thread::sleep_for(std::chrono::microseconds(400));
}

void platform_detail::NoteFramePresented()
{
    lastPollIdle = false;
    if (FixedStepActive()) fixedNowMs += fixedStepMs.load();
}

DWORD timeGetTime() { return static_cast<DWORD>(NowNs() / 1000000ull); }
DWORD GetTickCount() { return timeGetTime(); }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000ll;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count) return FALSE;
    count->QuadPart = static_cast<LONGLONG>(NowNs());
    return TRUE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

void Sleep(DWORD ms)
{
    if (FixedStepActive() && IsMainThread()) {
        // The fixed clock moves by the time asked for; the real pause stays short so that a
        // scripted run is not slowed, but other threads still get their turn. Only the game's
        // own thread moves it: worker threads sleep in real time, so their timing cannot
        // change what the game sees.
        fixedNowMs += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<DWORD>(ms, 2)));
        return;
    }
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---------------------------------------------------------------------------------------------
// Events and mutexes
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    if (name && *name) {
        PlatformTrace("CreateEventA: named events are not supported (\"%s\")", name);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto* event = new EventObject;
    event->manualReset = manualReset != FALSE;
    event->signalled = initialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return RegisterHandle(event);
}

BOOL SetEvent(HANDLE handle)
{
    auto* event = static_cast<EventObject*>(LookUpHandle(handle, KernelObject::Kind::Event));
    if (!event) return FALSE;
    {
        std::lock_guard<std::mutex> lock(syncMutex);
        event->signalled = true;
    }
    SyncChanged().notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    auto* event = static_cast<EventObject*>(LookUpHandle(handle, KernelObject::Kind::Event));
    if (!event) return FALSE;
    std::lock_guard<std::mutex> lock(syncMutex);
    event->signalled = false;
    return TRUE;
}

namespace {
// Under syncMutex.
bool IsSignalled(KernelObject* object)
{
    if (object->kind == KernelObject::Kind::Event) return static_cast<EventObject*>(object)->signalled;
    auto* mutex = static_cast<MutexObject*>(object);
    if (mutex->lockFd >= 0 && !mutex->held) return false;  // another process holds the name
    return mutex->recursion == 0 || mutex->owner == std::this_thread::get_id();
}

void Acquire(KernelObject* object)
{
    if (object->kind == KernelObject::Kind::Event) {
        auto* event = static_cast<EventObject*>(object);
        if (!event->manualReset) event->signalled = false;
        return;
    }
    auto* mutex = static_cast<MutexObject*>(object);
    mutex->owner = std::this_thread::get_id();
    ++mutex->recursion;
}

bool TryTakeNamedLock(MutexObject* mutex)
{
    if (mutex->lockFd < 0 || mutex->held) return true;
    if (flock(mutex->lockFd, LOCK_EX | LOCK_NB) == 0) mutex->held = true;
    return mutex->held;
}
}  // namespace

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<KernelObject*> objects;
    for (DWORD i = 0; i < count; ++i) {
        KernelObject* object = LookUpHandle(handles[i], KernelObject::Kind::Event);
        if (!object) object = LookUpHandle(handles[i], KernelObject::Kind::Mutex);
        if (!object) {
            PlatformTrace("WaitForMultipleObjects: handle %u is not an event or a mutex", i);
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> lock(syncMutex);
    for (;;) {
        bool anyNamed = false;
        for (auto* object : objects)
            if (object->kind == KernelObject::Kind::Mutex) {
                auto* mutex = static_cast<MutexObject*>(object);
                if (mutex->lockFd >= 0 && !mutex->held) {
                    anyNamed = true;
                    TryTakeNamedLock(mutex);
                }
            }
        if (waitAll) {
            bool all = std::all_of(objects.begin(), objects.end(), IsSignalled);
            if (all) {
                for (auto* object : objects) Acquire(object);
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < count; ++i)
                if (IsSignalled(objects[i])) {
                    Acquire(objects[i]);
                    return WAIT_OBJECT_0 + i;
                }
        }
        if (ms == 0) return WAIT_TIMEOUT;
        // A lock file held by another process gives no notification: look again now and then.
        auto slice = anyNamed ? std::chrono::milliseconds(10) : std::chrono::milliseconds(1000);
        auto until = std::chrono::steady_clock::now() + slice;
        if (ms != INFINITE && deadline < until) until = deadline;
        SyncChanged().wait_until(lock, until);
        if (ms != INFINITE && std::chrono::steady_clock::now() >= deadline) {
            // One last look before giving up.
            if (waitAll ? std::all_of(objects.begin(), objects.end(), IsSignalled)
                        : std::any_of(objects.begin(), objects.end(), IsSignalled))
                continue;
            return WAIT_TIMEOUT;
        }
    }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD ms) { return WaitForMultipleObjects(1, &handle, FALSE, ms); }

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name)
{
    auto* mutex = new MutexObject;
    bool exists = false;
    if (name && *name) {
        std::string dir;
        const char* runtime = getenv("XDG_RUNTIME_DIR");
        struct stat st;
        if (runtime && *runtime && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
            dir = runtime;
        else
            dir = "/tmp";
        std::string file = dir + "/platform-mutex-" + std::to_string(getuid()) + "-";
        for (const char* p = name; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            file += (isalnum(c) || c == '.' || c == '-' || c == '_') ? static_cast<char>(c) : '_';
        }
        file += ".lock";
        mutex->lockFd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (mutex->lockFd < 0) {
            PlatformTrace("CreateMutexA: cannot open the lock file %s: %s", file.c_str(), strerror(errno));
            delete mutex;
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        if (flock(mutex->lockFd, LOCK_EX | LOCK_NB) == 0) {
            mutex->held = true;
        } else {
            exists = true;
        }
    }
    if (initialOwner && (!exists)) {
        mutex->owner = std::this_thread::get_id();
        mutex->recursion = 1;
    }
    HANDLE handle = RegisterHandle(mutex);
    SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReleaseMutex(HANDLE handle)
{
    auto* mutex = static_cast<MutexObject*>(LookUpHandle(handle, KernelObject::Kind::Mutex));
    if (!mutex) return FALSE;
    {
        std::lock_guard<std::mutex> lock(syncMutex);
        if (mutex->recursion == 0 || mutex->owner != std::this_thread::get_id()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        --mutex->recursion;
    }
    SyncChanged().notify_all();
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Critical sections
void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new std::recursive_mutex; }
void EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->lock(); }
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs)
{
    return static_cast<std::recursive_mutex*>(cs->impl)->try_lock() ? TRUE : FALSE;
}
void LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }
void DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    delete static_cast<std::recursive_mutex*>(cs->impl);
    cs->impl = nullptr;
}

// ---------------------------------------------------------------------------------------------
// COM and libraries
namespace {
std::mutex comMutex;
int comInitCount = 0;

// Never destroyed, as the handles' table: see there.
struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return memcmp(&a, &b, sizeof(GUID)) < 0; }
};
std::map<GUID, std::function<HRESULT(REFIID, void**)>, GuidLess>& ComClasses()
{
    static auto* classes = new std::map<GUID, std::function<HRESULT(REFIID, void**)>, GuidLess>;
    return *classes;
}

struct Library {
    std::string name;  // lower case, without ".dll"
    std::vector<std::pair<std::string, FARPROC>> entries;
    int loads = 0;
};
std::deque<Library>& Libraries()
{
    static auto* libraries = new std::deque<Library>;
    return *libraries;
}

std::string LibraryKey(const char* name)
{
    std::string key(name);
    size_t slash = key.find_last_of("\\/");
    if (slash != std::string::npos) key = key.substr(slash + 1);
    for (auto& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
    return key;
}
}  // namespace

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }
HRESULT CoInitializeEx(LPVOID, DWORD)
{
    std::lock_guard<std::mutex> lock(comMutex);
    return comInitCount++ == 0 ? S_OK : S_FALSE;
}
void CoUninitialize()
{
    std::lock_guard<std::mutex> lock(comMutex);
    if (comInitCount > 0) --comInitCount;
}

void PlatformRegisterComClass(const CLSID& clsid, std::function<HRESULT(REFIID, void**)> create)
{
    std::lock_guard<std::mutex> lock(comMutex);
    ComClasses()[clsid] = std::move(create);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD, REFIID iid, LPVOID* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    std::function<HRESULT(REFIID, void**)> create;
    {
        std::lock_guard<std::mutex> lock(comMutex);
        auto it = ComClasses().find(clsid);
        if (it != ComClasses().end()) create = it->second;
    }
    if (!create) {
        PlatformTrace("CoCreateInstance: class {%08X-%04X-%04X-...} is not provided", clsid.Data1,
                      clsid.Data2, clsid.Data3);
        return REGDB_E_CLASSNOTREG;
    }
    return create(iid, out);
}

void PlatformRegisterLibrary(const char* name, std::vector<std::pair<std::string, FARPROC>> entries)
{
    std::lock_guard<std::mutex> lock(comMutex);
    std::string key = LibraryKey(name);
    for (auto& library : Libraries())
        if (library.name == key) {
            library.entries = std::move(entries);
            return;
        }
    Libraries().push_back(Library{key, std::move(entries), 0});
}

HMODULE LoadLibraryA(LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(comMutex);
    std::string key = LibraryKey(name);
    for (auto& library : Libraries())
        if (library.name == key) {
            ++library.loads;
            return reinterpret_cast<HMODULE>(&library);
        }
    PlatformTrace("LoadLibraryA: no library \"%s\" here", name);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    std::lock_guard<std::mutex> lock(comMutex);
    for (auto& library : Libraries()) {
        if (reinterpret_cast<HMODULE>(&library) != module) continue;
        if (!name || IS_INTRESOURCE(name)) break;
        for (auto& entry : library.entries)
            if (entry.first == name) return entry.second;
        PlatformTrace("GetProcAddress: %s has no entry \"%s\"", library.name.c_str(), name);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module)
{
    std::lock_guard<std::mutex> lock(comMutex);
    for (auto& library : Libraries())
        if (reinterpret_cast<HMODULE>(&library) == module && library.loads > 0) {
            --library.loads;
            return TRUE;
        }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// ---------------------------------------------------------------------------------------------
// Registry: nothing is stored here.
LONG RegOpenKeyExA(HKEY, LPCSTR, DWORD, DWORD, HKEY* result)
{
    if (result) *result = nullptr;
    return ERROR_FILE_NOT_FOUND;
}
LONG RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return ERROR_FILE_NOT_FOUND; }
LONG RegCloseKey(HKEY) { return ERROR_INVALID_HANDLE; }

// ---------------------------------------------------------------------------------------------
// The C runtime's generator
namespace {
std::atomic<uint32_t> randState{1};
}
int PlatformRand()
{
    uint32_t next = randState.load(std::memory_order_relaxed) * 214013u + 2531011u;
    randState.store(next, std::memory_order_relaxed);
    return static_cast<int>((next >> 16) & 0x7FFF);
}
void PlatformSrand(unsigned int seed) { randState.store(seed, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------------------------
// Memory: a block is its own handle (fixed and movable alike); the size sits in front.
namespace {
struct BlockHeader {
    SIZE_T size;
    uint32_t magic;
    uint32_t locks;
};
constexpr uint32_t kBlockMagic = 0x474C4F42;
constexpr size_t kHeaderSize = (sizeof(BlockHeader) + 15) & ~size_t(15);
BlockHeader* HeaderOf(HGLOBAL mem)
{
    if (!mem) return nullptr;
    auto* header = reinterpret_cast<BlockHeader*>(static_cast<uint8_t*>(mem) - kHeaderSize);
    if (header->magic != kBlockMagic) return nullptr;
    return header;
}
}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (bytes > (SIZE_T(1) << 40)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw = (flags & GMEM_ZEROINIT) ? calloc(1, kHeaderSize + bytes) : malloc(kHeaderSize + bytes);
    if (!raw) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(raw);
    header->size = bytes;
    header->magic = kBlockMagic;
    header->locks = 0;
    return static_cast<uint8_t*>(raw) + kHeaderSize;
}

LPVOID GlobalLock(HGLOBAL mem)
{
    BlockHeader* header = HeaderOf(mem);
    if (!header) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++header->locks;
    return mem;
}

BOOL GlobalUnlock(HGLOBAL mem)
{
    BlockHeader* header = HeaderOf(mem);
    if (!header) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (header->locks > 0) --header->locks;
    SetLastError(NO_ERROR);
    return header->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL mem)
{
    if (!mem) return nullptr;
    BlockHeader* header = HeaderOf(mem);
    if (!header) {
        PlatformTrace("GlobalFree: %p is not a global memory block", mem);
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    header->magic = 0;
    free(header);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL mem)
{
    BlockHeader* header = HeaderOf(mem);
    return header ? header->size : 0;
}
