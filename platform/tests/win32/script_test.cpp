// PLATFORM_SCRIPT and PLATFORM_FIXED_STEP_MS: parsing, delivery by frame, screenshots, the
// fixed clock, and a whole scripted run of a program on the platform's entry point.
#include "test_support.h"

#include "platform/win32/detail.h"

#include <SDL.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class Script : public PlatformTest {};

std::string ParseError(const std::string& text)
{
    std::string error;
    EXPECT_FALSE(PlatformLoadScript(text, "s.txt", error)) << text;
    return error;
}

std::vector<std::pair<UINT, WPARAM>> Dispatched(HWND hwnd, HACCEL accel = nullptr)
{
    Seen().clear();
    DrainMessages(hwnd, accel);
    std::vector<std::pair<UINT, WPARAM>> out;
    for (auto& s : Seen())
        if ((s.message >= WM_KEYFIRST && s.message <= WM_KEYLAST) || s.message == WM_COMMAND ||
            (s.message >= WM_MOUSEFIRST && s.message <= WM_MOUSELAST) || s.message == WM_CLOSE)
            out.emplace_back(s.message, s.message == WM_COMMAND ? LOWORD(s.wParam) : s.wParam);
    return out;
}

using P = std::pair<UINT, WPARAM>;

bool ReadPng(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    w = static_cast<int>(image.width);
    h = static_cast<int>(image.height);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

}  // namespace

TEST_F(Script, MalformedLinesAreReportedWithTheirNumber)
{
    const char* bad[] = {"abc key A",        "-1 key A",          "5",
                         "5 jump",           "5 key",             "5 key VK_NOPE",
                         "5 key ctrl+ctrl+A", "5 key meta+A",     "5 key A sideways",
                         "5 key A down up",  "5 move 1",          "5 move x 2",
                         "5 move 1 2 3",     "5 move 1 99999",    "5 click 1 2 middle",
                         "5 screenshot",     "5 screenshot a b",  "5 quit now",
                         "5 text",           "5 key AB",          "99999999999999999999 quit"};
    for (const char* line : bad) {
        std::string error = ParseError(std::string("# header\n\n0 key A\n") + line + "\n1 quit\n");
        EXPECT_EQ(error.rfind("s.txt:4: ", 0), 0u) << line << " -> " << error;
    }
    // A bad script leaves the previous one in force rather than half of the new one.
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("3 screenshot a.png\n", "good", error));
    ParseError("0 key A\n1 bogus\n");
    EXPECT_EQ(PlatformPendingScreenshots(), 1);
}

TEST_F(Script, CommentsBlankLinesAndTheAcceptedForms)
{
    std::string error;
    EXPECT_TRUE(PlatformLoadScript("# a comment\n"
                                   "   \n"
                                   "0 key VK_RETURN   # trailing comment\n"
                                   "1 key alt+VK_RETURN\n"
                                   "2 key CTRL+shift+f down\n"
                                   "3 key ctrl+shift+F up\n"
                                   "4 text C# and spaces\r\n"
                                   "5 move -5 600\n"
                                   "6 click 10 20\n"
                                   "7 click 10 20 right\n"
                                   "8 screenshot shot.png\n"
                                   "9 quit\n",
                                   "ok", error))
        << error;
}

TEST_F(Script, EventsArriveBeforeTheirFrameInBothMessagesAndKeyState)
{
    HWND hwnd = MakeTestWindow();
    PlatformSetBackBufferSize(hwnd, 800, 600);
    HACCEL accel = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(113));
    DrainMessages();
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("0 key A\n"
                                   "1 text h\xC3\xA9\n"
                                   "2 key alt+VK_RETURN\n"
                                   "4 click 10 20 right\n"
                                   "5 move 30 40\n"
                                   "6 quit\n",
                                   "s", error))
        << error;
    const uint8_t* keys = PlatformKeyboardScancodes();

    // Frame 0
    EXPECT_EQ(Dispatched(hwnd, accel), (std::vector<P>{{WM_KEYDOWN, 'A'}}));
    EXPECT_EQ(keys[SDL_SCANCODE_A], 1);
    EXPECT_NE(GetAsyncKeyState('A') & 0x8000, 0);
    PlatformFramePresented();

    // Frame 1: A goes up; the text types; H is pressed for DirectInput
    EXPECT_EQ(Dispatched(hwnd, accel), (std::vector<P>{{WM_KEYUP, 'A'}, {WM_CHAR, 'h'}, {WM_CHAR, 0xE9}}));
    EXPECT_EQ(keys[SDL_SCANCODE_A], 0);
    EXPECT_EQ(keys[SDL_SCANCODE_H], 1);
    PlatformFramePresented();

    // Frame 2: Alt+Enter becomes the command, not a key press
    EXPECT_EQ(Dispatched(hwnd, accel), (std::vector<P>{{WM_SYSKEYDOWN, VK_MENU}, {WM_COMMAND, 40003}}));
    EXPECT_EQ(keys[SDL_SCANCODE_H], 0);
    EXPECT_EQ(keys[SDL_SCANCODE_RETURN], 1);
    EXPECT_EQ(keys[SDL_SCANCODE_LALT], 1);
    PlatformFramePresented();

    // Frame 3: released in the reverse order
    EXPECT_EQ(Dispatched(hwnd, accel), (std::vector<P>{{WM_SYSKEYUP, VK_RETURN}, {WM_SYSKEYUP, VK_MENU}}));
    EXPECT_EQ(keys[SDL_SCANCODE_LALT], 0);
    int dx, dy, wheel;
    PlatformTakeMouseMotion(dx, dy, wheel);
    PlatformFramePresented();

    // Frame 4: move then press; DirectInput sees the motion and the button
    auto m = Dispatched(hwnd, accel);
    EXPECT_EQ(m, (std::vector<P>{{WM_MOUSEMOVE, 0}, {WM_RBUTTONDOWN, MK_RBUTTON}}));
    auto moves = SeenOf(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 20);
    EXPECT_EQ(PlatformMouseButtons(), 2u);
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 10);
    EXPECT_EQ(dy, 20);
    PlatformFramePresented();

    // Frame 5: released; moved by (20, 20)
    m = Dispatched(hwnd, accel);
    EXPECT_EQ(m, (std::vector<P>{{WM_RBUTTONUP, 0}, {WM_MOUSEMOVE, 0}}));
    PlatformTakeMouseMotion(dx, dy, wheel);
    EXPECT_EQ(dx, 20);
    EXPECT_EQ(dy, 20);
    PlatformFramePresented();

    // Frame 6: closed as a user would
    EXPECT_EQ(Dispatched(hwnd, accel), (std::vector<P>{{WM_CLOSE, 0}}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Script, EventsWaitForTheFirstWindow)
{
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("0 key B\n", "s", error));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetAsyncKeyState('B'), 0);
    HWND hwnd = MakeTestWindow();
    Seen().clear();
    DrainMessages();
    ASSERT_EQ(SeenOf(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(SeenOf(WM_KEYDOWN)[0].hwnd, hwnd);
}

TEST_F(Script, ScreenshotsAreThePresentedFrameAsPng)
{
    ScratchDir dir;
    mkdir("Shots", 0755);
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("1 screenshot shots/one.png\n2 screenshot two.png\n", "s", error));
    int reads = 0;
    PlatformSetFrameReader([&](int& w, int& h, std::vector<uint8_t>& rgb) {
        ++reads;
        w = 3;
        h = 2;
        rgb.clear();
        for (int i = 0; i < w * h; ++i) {
            rgb.push_back(static_cast<uint8_t>(i * 40));
            rgb.push_back(static_cast<uint8_t>(PlatformFrameCount()));
            rgb.push_back(200);
        }
        return true;
    });
    PlatformFramePresented();  // frame 0
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(PlatformPendingScreenshots(), 2);
    PlatformFramePresented();  // frame 1
    EXPECT_EQ(reads, 1);
    int w, h;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(dir.Path() + "/Shots/one.png", w, h, rgb));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    ASSERT_EQ(rgb.size(), 18u);
    EXPECT_EQ(rgb[3 * 5 + 0], 200);  // pixel 5: red 5 * 40
    EXPECT_EQ(rgb[3 * 5 + 1], 1);    // drawn in frame 1
    EXPECT_EQ(rgb[3 * 5 + 2], 200);

    // A reader that fails, or none, is reported and counted, not silently skipped.
    PlatformSetFrameReader([](int&, int&, std::vector<uint8_t>&) { return false; });
    testing::internal::CaptureStderr();
    PlatformFramePresented();  // frame 2
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("two.png"), std::string::npos);
    EXPECT_EQ(PlatformPendingScreenshots(), 1);
}

TEST_F(Script, FixedStepAdvancesExactlyPerPresentedFrame)
{
    PlatformSetFixedStep(20);
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    // A loop that presents on every idle pass sees exactly the step between frames.
    DWORD last = timeGetTime();
    MSG msg;
    for (int frame = 0; frame < 10; ++frame) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        DWORD now = timeGetTime();
        if (frame > 0) {
            EXPECT_EQ(now - last, 20u) << "frame " << frame;
        }
        last = now;
        PlatformFramePresented();
    }
    (void)hwnd;
}

TEST_F(Script, FixedStepShorterThanAPacerStillMakesProgress)
{
    // A frame pacer that runs a frame only after more than 12 ms, with a 10 ms step: idle polls
    // move the clock on, so the loop neither spins for ever nor skips time.
    PlatformSetFixedStep(10);
    MakeTestWindow();
    DrainMessages();
    DWORD lastFrame = timeGetTime();
    int frames = 0, polls = 0;
    std::vector<DWORD> gaps;
    MSG msg;
    while (frames < 20 && polls < 100000) {
        ++polls;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            GetMessageA(&msg, nullptr, 0, 0);
            DispatchMessageA(&msg);
            continue;
        }
        DWORD t = timeGetTime();
        if (t - lastFrame <= 12) continue;
        gaps.push_back(t - lastFrame);
        lastFrame = t;
        ++frames;
        PlatformFramePresented();
    }
    ASSERT_EQ(frames, 20);
    EXPECT_LT(polls, 200);
    // Each gap is the 10 ms step plus the idle polls that were needed: 13 ms.
    for (size_t i = 1; i < gaps.size(); ++i) EXPECT_EQ(gaps[i], 13u) << i;

    // A zero-elapsed-time frame skip (nothing presented) moves on after one extra poll.
    PlatformSetFixedStep(16);
    DWORD start = timeGetTime();
    int skipped = 0;
    while (timeGetTime() == start) {
        ASSERT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        ASSERT_LT(++skipped, 10);
    }
    EXPECT_EQ(timeGetTime() - start, 1u);
}

TEST_F(Script, EnvironmentErrorsStopTheProgramWithTheLine)
{
    ScratchDir dir;
    dir.WriteFile("bad.txt", "0 key A\n# fine\n2 key VK_ENTER\n");
    dir.WriteFile("good.txt", "0 text hi\n");
    std::string probe = SCRIPT_PROBE;
    auto run = [&](const std::string& env, std::string& out) {
        std::string command = "cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + env +
                              " '" + probe + "' > out.txt 2> err.txt";
        int status = system(command.c_str());
        out = dir.ReadFile("out.txt") + dir.ReadFile("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_NE(run("PLATFORM_SCRIPT=bad.txt", out), 0);
    EXPECT_NE(out.find("bad.txt:3:"), std::string::npos) << out;
    EXPECT_NE(out.find("VK_ENTER"), std::string::npos) << out;
    EXPECT_EQ(out.find("exit"), std::string::npos) << "the program must not have run";

    EXPECT_NE(run("PLATFORM_SCRIPT=missing.txt", out), 0);
    EXPECT_NE(out.find("missing.txt"), std::string::npos);
    EXPECT_NE(run("PLATFORM_SCRIPT=good.txt PLATFORM_FIXED_STEP_MS=fast", out), 0);
    EXPECT_NE(out.find("PLATFORM_FIXED_STEP_MS"), std::string::npos);
}

TEST_F(Script, AWholeScriptedRunOfAProgram)
{
    ScratchDir dir;
    dir.WriteFile("run.txt",
                  "0 key alt+VK_RETURN\n"
                  "2 text ok\n"
                  "3 click 5 6\n"
                  "4 screenshot frame4.png\n"
                  "6 key alt+X\n"  // the probe has no use for it but the built-in table turns it into 40006
                  "7 quit\n");
    std::string command = "cd '" + dir.Path() +
                          "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy PLATFORM_SCRIPT=run.txt "
                          "PLATFORM_FIXED_STEP_MS=16 '" +
                          std::string(SCRIPT_PROBE) + "' > out.txt 2> err.txt";
    int status = system(command.c_str());
    std::string out = dir.ReadFile("out.txt");
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out << dir.ReadFile("err.txt");
    EXPECT_NE(out.find("frame 0 key 18\nframe 0 command 40003\n"), std::string::npos) << out;
    EXPECT_NE(out.find("frame 2 char 111\nframe 2 char 107\n"), std::string::npos) << out;
    EXPECT_NE(out.find("frame 3 click 5 6\n"), std::string::npos) << out;
    EXPECT_NE(out.find("frame 6 command 40006\n"), std::string::npos) << out;
    EXPECT_NE(out.find("exit 7\n"), std::string::npos) << out;
    int w, h;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(dir.Path() + "/frame4.png", w, h, rgb));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(rgb[0], 4);  // the picture of frame 4

    // A screenshot the run never reached makes the run fail.
    dir.WriteFile("short.txt", "1 quit\n3 screenshot never.png\n");
    command = "cd '" + dir.Path() +
              "' && SDL_VIDEODRIVER=offscreen PLATFORM_SCRIPT=short.txt '" + std::string(SCRIPT_PROBE) +
              "' > out.txt 2> err.txt";
    status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_NE(dir.ReadFile("err.txt").find("screenshot"), std::string::npos);
}

TEST_F(Script, AWaitLineStandsTheScriptStillUntilItsFileComes)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    const std::string file = ::testing::TempDir() + "script-wait-" + std::to_string(getpid());
    std::remove(file.c_str());
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("1 wait " + file + "\n1 key A\n3 key B\n", "s", error)) << error;
    PlatformFramePresented();
    // Frames go on while the file is missing, but nothing of the script after the wait happens,
    // not even a line of the wait's own frame.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Dispatched(hwnd), (std::vector<P>{}));
        PlatformFramePresented();
    }
    std::ofstream(file) << "";
    EXPECT_EQ(Dispatched(hwnd), (std::vector<P>{{WM_KEYDOWN, 'A'}}));
    PlatformFramePresented();
    EXPECT_EQ(Dispatched(hwnd), (std::vector<P>{{WM_KEYUP, 'A'}}));
    PlatformFramePresented();
    // Two script frames after the wait's, as the script says, however long it waited.
    EXPECT_EQ(Dispatched(hwnd), (std::vector<P>{{WM_KEYDOWN, 'B'}}));
    std::remove(file.c_str());
}
