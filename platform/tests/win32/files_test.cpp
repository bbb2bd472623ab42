// File names as the games write them ('\', any letter case) against the names on disk.
#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
class Files : public ::testing::Test {
protected:
    ScratchDir dir;
};
}  // namespace

TEST_F(Files, BackslashesAndLetterCaseResolveToTheNamesOnDisk)
{
    dir.WriteFile("Data/Interface/Cursor.TGA", "x");
    dir.WriteFile("dat/window.dat", "");
    EXPECT_EQ(PlatformMapPath("data\\interface\\cursor.tga", false), "Data/Interface/Cursor.TGA");
    EXPECT_EQ(PlatformMapPath("DATA\\INTERFACE\\CURSOR.TGA", false), "Data/Interface/Cursor.TGA");
    EXPECT_EQ(PlatformMapPath("Data/Interface/Cursor.TGA", false), "Data/Interface/Cursor.TGA");
    EXPECT_EQ(PlatformMapPath("DAT\\Window.dat", false), "dat/window.dat");
    EXPECT_EQ(PlatformMapPath(".\\data\\\\interface\\cursor.tga", false), "./Data/Interface/Cursor.TGA");
    EXPECT_EQ(PlatformMapPath("data\\..\\dat\\WINDOW.DAT", false), "Data/../dat/window.dat");
    // Absolute names resolve from the root.
    std::string absolute = dir.Path() + "/DATA/interface/CURSOR.tga";
    EXPECT_EQ(PlatformMapPath(absolute.c_str(), false), dir.Path() + "/Data/Interface/Cursor.TGA");
}

TEST_F(Files, AnExactMatchWinsOverOtherCases)
{
    dir.WriteFile("save/Slot1.sav", "upper");
    dir.WriteFile("save/slot1.sav", "lower");
    EXPECT_EQ(PlatformMapPath("save\\slot1.sav", false), "save/slot1.sav");
    EXPECT_EQ(PlatformMapPath("save\\Slot1.sav", false), "save/Slot1.sav");
    // No exact match: the choice is the same every time (the first name in byte order).
    EXPECT_EQ(PlatformMapPath("save\\SLOT1.SAV", false), "save/Slot1.sav");
}

TEST_F(Files, NewFilesKeepTheirCaseInsideExistingDirectories)
{
    dir.WriteFile("Saves/placeholder", "");
    EXPECT_EQ(PlatformMapPath("saves\\NewGame.SAV", true), "Saves/NewGame.SAV");
    // A directory that does not exist is not invented: the rest stays as given.
    EXPECT_EQ(PlatformMapPath("missing\\Dir\\File.txt", true), "missing/Dir/File.txt");

    HANDLE f = CreateFileA("SAVES\\Screen00.pcx", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, "PCX", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    ASSERT_TRUE(CloseHandle(f));
    EXPECT_EQ(dir.ReadFile("Saves/Screen00.pcx"), "PCX");
}

TEST_F(Files, CreateReadSeekAndSize)
{
    HANDLE f = CreateFileA("data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(f, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(GetFileSize(f, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(f, 2, nullptr, FILE_BEGIN), 2u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(f, buf, 3, &n, nullptr));
    EXPECT_EQ(n, 3u);
    EXPECT_STREQ(buf, "234");
    EXPECT_EQ(SetFilePointer(f, -1, nullptr, FILE_END), 9u);
    EXPECT_EQ(SetFilePointer(f, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Reading at the end succeeds with nothing read.
    SetFilePointer(f, 0, nullptr, FILE_END);
    ASSERT_TRUE(ReadFile(f, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);
    ASSERT_TRUE(CloseHandle(f));

    // The dispositions refuse as the system does.
    EXPECT_EQ(CreateFileA("DATA.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(CreateFileA("nothing.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE again = CreateFileA("Data.Bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(again, nullptr), 0u);  // truncated
    CloseHandle(again);
    EXPECT_EQ(dir.ReadFile("data.bin"), "");
}

TEST_F(Files, ClosedAndForeignHandlesAreRefused)
{
    HANDLE f = CreateFileA("a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(f));
    DWORD n = 123;
    char buf[4];
    EXPECT_FALSE(ReadFile(f, buf, 4, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &n, nullptr));
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    // An event is not a file.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ReadFile(event, buf, 4, &n, nullptr));
    EXPECT_TRUE(CloseHandle(event));
    // A directory cannot be opened as a file.
    ASSERT_TRUE(CreateDirectoryA("Sub", nullptr));
    EXPECT_EQ(CreateFileA("sub", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(Files, AttributesDirectoriesAndDeletion)
{
    EXPECT_EQ(GetFileAttributesA("dat\\debug.dat"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(CreateDirectoryA("Dat", nullptr));
    EXPECT_FALSE(CreateDirectoryA("DAT", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileAttributesA("dat"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    dir.WriteFile("Dat/Debug.dat", "");
    EXPECT_EQ(GetFileAttributesA("dat\\debug.dat"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("DAT\\DEBUG.DAT"));
    EXPECT_EQ(GetFileAttributesA("dat\\debug.dat"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(DeleteFileA("dat\\debug.dat"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, FopenMapsNamesForReadingAndWriting)
{
    dir.WriteFile("Lang/English.TXT", "hello");
    FILE* in = PlatformFopen("lang\\english.txt", "rb");
    ASSERT_NE(in, nullptr);
    char buf[8] = {};
    EXPECT_EQ(fread(buf, 1, 5, in), 5u);
    fclose(in);
    EXPECT_STREQ(buf, "hello");
    FILE* out = PlatformFopen("LANG\\Options.cfg", "wb");
    ASSERT_NE(out, nullptr);
    fputs("x=1", out);
    fclose(out);
    EXPECT_EQ(dir.ReadFile("Lang/Options.cfg"), "x=1");
    EXPECT_EQ(PlatformFopen("lang\\missing.txt", "rb"), nullptr);
    EXPECT_EQ(PlatformFopen(nullptr, "rb"), nullptr);
}

// A FIFO, or a device, where a file is expected is no file: it is reported missing at once
// instead of holding the program until something writes into it. The first look keeps the FIFO's
// other end open, so that an open which does not tell a FIFO from a file succeeds there rather
// than waiting; the second is the player's case, nobody at the other end.
TEST_F(Files, OnlyRegularFilesOpenAndAFifoIsMissingWithoutWaiting)
{
    ASSERT_EQ(mkdir((dir.Path() + "/Saves").c_str(), 0755), 0);
    const std::string fifo = dir.Path() + "/Saves/sav0.sav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    {
        const int bothEnds = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(bothEnds, 0);
        HANDLE f = CreateFileA("saves\\SAV0.sav", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        const DWORD error = GetLastError();
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        FILE* in = PlatformFopen("saves\\sav0.sav", "rb");
        if (in) fclose(in);
        close(bothEnds);
        ASSERT_EQ(f, INVALID_HANDLE_VALUE) << "a FIFO opened as a file";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        ASSERT_EQ(in, nullptr) << "a FIFO opened as a file";
    }
    EXPECT_EQ(CreateFileA("saves\\sav0.sav", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    errno = 0;
    EXPECT_EQ(PlatformFopen("saves\\sav0.sav", "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    // Nor is it written into: a writer would wait for a reader just the same.
    EXPECT_EQ(CreateFileA("saves\\sav0.sav", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlatformFopen("saves\\sav0.sav", "wb"), nullptr);
    // A device is no file either.
    EXPECT_EQ(CreateFileA("/dev/zero", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlatformFopen("/dev/zero", "rb"), nullptr);

    // Regular files beside it read and write as before, blocking as files do.
    FILE* out = PlatformFopen("saves\\sav1.sav", "wb");
    ASSERT_NE(out, nullptr);
    fputs("one", out);
    fclose(out);
    out = PlatformFopen("saves\\sav1.sav", "ab");
    ASSERT_NE(out, nullptr);
    fputs("+two", out);
    fclose(out);
    EXPECT_EQ(dir.ReadFile("Saves/sav1.sav"), "one+two");
    HANDLE f = CreateFileA("saves\\sav1.sav", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    char buf[8] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(f, buf, 7, &n, nullptr));
    EXPECT_EQ(n, 7u);
    EXPECT_TRUE(CloseHandle(f));
    FILE* in = PlatformFopen("saves\\sav1.sav", "rb");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(fcntl(fileno(in), F_GETFL) & O_NONBLOCK, 0) << "the file is left non-blocking";
    fclose(in);
    EXPECT_EQ(PlatformFopen("saves\\sav1.sav", "q"), nullptr);
}
