// Events, mutexes (also between processes), critical sections, memory blocks, COM classes,
// libraries, the registry and the clocks.
#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace {
std::string UniqueName(const char* base)
{
    return std::string(base) + "-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Named mutexes keep their lock files in XDG_RUNTIME_DIR (else in /tmp): a test that makes them
// points it at a folder of its own, which goes with the lock files when the test ends.
class LockFileFolder {
public:
    LockFileFolder() : folder_("platform-mutex-test")
    {
        if (const char* old = getenv("XDG_RUNTIME_DIR")) old_ = old;
        setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
    }
    ~LockFileFolder()
    {
        if (old_)
            setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    LockFileFolder(const LockFileFolder&) = delete;
    LockFileFolder& operator=(const LockFileFolder&) = delete;
    bool Empty() const { return std::filesystem::is_empty(folder_.Path()); }

private:
    ScratchDirectory folder_;
    std::optional<std::string> old_;
};
}  // namespace

TEST(Sync, AutoResetEventsReleaseOneWaiterEach)
{
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(e, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // reset by the wait

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        SetEvent(e);
    });
    // The set event ends the wait, not the time-out, however late a busy machine runs the setter.
    EXPECT_EQ(WaitForSingleObject(e, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    setter.join();
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_FALSE(SetEvent(e));
}

TEST(Sync, ManualResetEventsStaySignalled)
{
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(e, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ResetEvent(e);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
    CloseHandle(e);
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "named"), nullptr);  // not provided: says so
}

TEST(Sync, WaitForMultipleObjectsAnyAndAll)
{
    HANDLE e[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr),
                   CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), static_cast<DWORD>(WAIT_OBJECT_0 + 2));
    SetEvent(e[0]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SetEvent(e[1]);
        SetEvent(e[2]);
    });
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    setter.join();
    HANDLE bad[2] = {e[0], reinterpret_cast<HANDLE>(0x42)};
    EXPECT_EQ(WaitForMultipleObjects(2, bad, FALSE, 0), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_EQ(WaitForMultipleObjects(0, e, FALSE, 0), static_cast<DWORD>(WAIT_FAILED));
    for (HANDLE h : e) CloseHandle(h);
}

TEST(Sync, NamedMutexReportsASecondInstance)
{
    LockFileFolder locks;
    std::string name = UniqueName("Ombrelit.exe running");
    SetLastError(0);
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(locks.Empty()) << "the lock file is in the test's own folder";
    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(second);

    // Another process sees it held...
    pid_t child = fork();
    if (child == 0) {
        HANDLE h = CreateMutexA(nullptr, TRUE, name.c_str());
        _exit(h && GetLastError() == ERROR_ALREADY_EXISTS ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // ...and free once the holder is gone.
    CloseHandle(first);
    HANDLE third = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(third);
}

TEST(Sync, NamedMutexIsReleasedWhenTheHolderDies)
{
    LockFileFolder locks;
    std::string name = UniqueName("crash holder");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        CreateMutexA(nullptr, TRUE, name.c_str());
        char c = 1;
        if (write(ready[1], &c, 1) != 1) _exit(2);
        pause();  // killed below, as by a crash
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    HANDLE held = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The holder is alive: waiting times out; when it dies the lock can be had.
    EXPECT_EQ(WaitForSingleObject(held, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(WaitForSingleObject(held, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(held);
    HANDLE fresh = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(fresh);
    close(ready[0]);
    close(ready[1]);
}

TEST(Sync, CriticalSectionsAreReentrantAndExclusive)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);  // the same thread again
    std::atomic<bool> other{false};
    std::thread t([&] { other = TryEnterCriticalSection(&cs) != FALSE; });
    t.join();
    EXPECT_FALSE(other);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    long counter = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int k = 0; k < 10000; ++k) {
                EnterCriticalSection(&cs);
                ++counter;
                LeaveCriticalSection(&cs);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(counter, 40000);
    DeleteCriticalSection(&cs);

    volatile LONG value = 0;
    threads.clear();
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int k = 0; k < 10000; ++k) InterlockedIncrement(&value);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(value, 40000);
    EXPECT_EQ(InterlockedDecrement(&value), 39999);
    EXPECT_EQ(InterlockedExchange(&value, 5), 39999);
    EXPECT_EQ(value, 5);
}

TEST(Memory, GlobalBlocks)
{
    HGLOBAL block = GlobalAlloc(GHND, 1000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 1000u);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(bytes[i], 0) << i;  // zero-filled as asked
    bytes[999] = 7;
    EXPECT_FALSE(GlobalUnlock(block));  // no lock left
    EXPECT_EQ(GlobalFree(block), nullptr);
    // A pointer that is not a block is refused, not freed.
    int local = 0;
    testing::internal::CaptureStderr();
    char fake[64] = {};
    EXPECT_EQ(GlobalFree(fake + 32), static_cast<HGLOBAL>(fake + 32));
    testing::internal::GetCapturedStderr();
    (void)local;
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, SIZE_T(1) << 50), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Com, ClassesAndLibrariesComeFromRegistration)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    const CLSID clsid = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* out = reinterpret_cast<void*>(1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(LoadLibraryA("DDRAW.DLL"), nullptr);
    testing::internal::GetCapturedStderr();

    struct Thing : RefCounted<IUnknown> {};
    PlatformRegisterComClass(clsid, [](REFIID, void** o) {
        *o = new Thing;
        return S_OK;
    });
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &out), S_OK);
    auto* thing = static_cast<Thing*>(out);
    EXPECT_EQ(thing->AddRef(), 2u);
    EXPECT_EQ(thing->Release(), 1u);
    EXPECT_EQ(thing->Release(), 0u);

    static int calls = 0;
    struct Entry {
        static void Run() { ++calls; }
    };
    PlatformRegisterLibrary("ddraw.dll", {{"DirectDrawCreate", reinterpret_cast<FARPROC>(&Entry::Run)}});
    HMODULE lib = LoadLibraryA("DDraw");
    ASSERT_NE(lib, nullptr);
    FARPROC proc = GetProcAddress(lib, "DirectDrawCreate");
    ASSERT_NE(proc, nullptr);
    proc();
    EXPECT_EQ(calls, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetProcAddress(lib, "DirectDrawCreateEx"), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_FALSE(FreeLibrary(lib));
}

TEST(Registry, EveryLookUpIsNotFound)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key, nullptr);
    char value[64];
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "DX8SDK Samples Path", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST(Clock, RealClocksAgreeAndMoveForward)
{
    PlatformSetFixedStep(0);
    LARGE_INTEGER f, a, b;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_GT(f.QuadPart, 0);
    QueryPerformanceCounter(&a);
    DWORD t0 = timeGetTime();
    Sleep(20);
    QueryPerformanceCounter(&b);
    DWORD t1 = timeGetTime();
    double seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
    EXPECT_GE(seconds, 0.019);
    EXPECT_GE(t1 - t0, 19u);
    EXPECT_LE(GetTickCount() - t1, 1000u);
}

TEST(Clock, FixedStepMovesOnlyWithFramesSleepsAndIdlePolls)
{
    PlatformSetFixedStep(16);
    DWORD t0 = timeGetTime();
    LARGE_INTEGER f, c0, c1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(timeGetTime(), t0);  // real time does not count
    PlatformFramePresented();
    PlatformFramePresented();
    EXPECT_EQ(timeGetTime() - t0, 32u);
    QueryPerformanceCounter(&c1);
    EXPECT_EQ((c1.QuadPart - c0.QuadPart) * 1000 / f.QuadPart, 32);
    Sleep(5);
    EXPECT_EQ(timeGetTime() - t0, 37u);
    // A worker thread's sleep is its own business: the game's clock does not move.
    std::thread worker([] { Sleep(50); });
    worker.join();
    EXPECT_EQ(timeGetTime() - t0, 37u);
    EXPECT_EQ(GetTickCount(), timeGetTime());
    PlatformSetFixedStep(0);
}
