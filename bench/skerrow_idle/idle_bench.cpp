// The real game left on its menu in real time (no fixed step): frames per second, which the
// 13 ms pacing holds at about 77, and the processor time it takes per second of wall time,
// which should stay under a quarter of one core. Headless (SDL's offscreen driver) unless
// SKERROW_BENCH_DISPLAY names an X display (":N") to run on, windowed and full screen.
// The pacing is what is measured here, so it is kept.
//   skerrow_idle_bench [--benchmark_* flags] [--seconds S]   S seconds of menu measured (10)
#include "bench/support/bench_main.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

int g_seconds = 10;

// The process's processor time (user and system, all threads) in seconds.
double ProcessorSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    if (fields.size() < 13) return 0.0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void IdleMenu(benchmark::State& state, bool fullscreen)
{
    const char* display = std::getenv("SKERROW_BENCH_DISPLAY");
    const fs::path dir = fs::path(BUILD_ROOT) / "bench-skerrow-idle" / (fullscreen ? "full" : "window");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path data = fs::path(BUILD_ROOT) / "data" / "skerrow";
    for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"}) fs::create_symlink(data / pack, dir / pack);
    std::ofstream(dir / "Ombrelit.ini") << "[Settings]\nFullscreen = " << (fullscreen ? 1 : 0) << "\nSound enable = 1\n";
    // The seconds of menu measured, at 77 frames a second, lie between the two screenshots.
    const int first = 150, last = first + 77 * g_seconds;
    std::ofstream(dir / "script.txt") << first << " screenshot a.png\n" << last << " screenshot b.png\n"
                                      << last + 40 << " quit\n";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s(*e);
        if (s.rfind("PLATFORM_", 0) != 0 && s.rfind("SDL_", 0) != 0 && s.rfind("DISPLAY=", 0) != 0) env.push_back(s);
    }
    env.push_back("PLATFORM_SCRIPT=script.txt");
    env.push_back("SDL_AUDIODRIVER=dummy");
    env.push_back("XDG_RUNTIME_DIR=" + dir.string());
    if (display) {
        env.push_back(std::string("DISPLAY=") + display);
        env.push_back("SDL_VIDEODRIVER=x11");
    } else {
        env.push_back("SDL_VIDEODRIVER=offscreen");
    }
    for (auto _ : state) {
        fs::remove(dir / "a.png");
        fs::remove(dir / "b.png");
        std::vector<char*> envp;
        for (std::string& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string program = SKERROW_BINARY;
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            state.SkipWithError("cannot start the game");
            return;
        }
        auto waitFor = [&](const char* name, double& wall, double& cpu) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!fs::exists(dir / name)) {
                if (std::chrono::steady_clock::now() > until || waitpid(pid, nullptr, WNOHANG) == pid) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
            cpu = ProcessorSeconds(pid);
            return true;
        };
        double wallA = 0, cpuA = 0, wallB = 0, cpuB = 0;
        const bool ok = waitFor("a.png", wallA, cpuA) && waitFor("b.png", wallB, cpuB);
        int status = 0;
        for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) != pid; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, WNOHANG);
        if (!ok) {
            state.SkipWithError("the game did not reach both screenshots");
            return;
        }
        const double seconds = wallB - wallA;
        state.SetIterationTime(seconds);
        state.counters["frames_per_second"] = (last - first) / seconds;
        state.counters["cores"] = (cpuB - cpuA) / seconds;
    }
}

void BM_IdleMenuWindow(benchmark::State& state) { IdleMenu(state, false); }
void BM_IdleMenuFullScreen(benchmark::State& state) { IdleMenu(state, true); }
BENCHMARK(BM_IdleMenuWindow)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleMenuFullScreen)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = benchmain::Initialize(argc, argv);
    if (arguments.size() == 2 && arguments[0] == "--seconds" && std::atoi(arguments[1].c_str()) > 0) {
        g_seconds = std::atoi(arguments[1].c_str());
    } else if (!arguments.empty()) {
        std::fprintf(stderr, "usage: %s [--benchmark_* flags] [--seconds S]\n", argv[0]);
        return 2;
    }
    return benchmain::RunAll();
}
