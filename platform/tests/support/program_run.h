// A built game program run headless in a folder of its own, as the end-to-end tests run it, and
// bounded by the work it does rather than by the clock.
//
// A loaded machine stretches a run's wall time many times over (a run of five thousand frames
// that takes a minute on an idle machine took over five at a load of sixty on eight cores), but
// not the processor time the run needs. A run is therefore stopped as hung only when it has used
// more processor time than its budget (a program going round in circles), or when its processor
// time has stood still for two minutes (a program blocked for good): a slow machine makes a run
// slow, never red.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

// Processor seconds a scripted run of `frames` frames may take. An idle machine takes a little
// under 20 ms a frame on Fenwolt's heaviest screens, and three times that under the sanitizers;
// the budget is generous beyond both, since all it has to catch is a program that never ends.
inline double CpuBudgetForFrames(long frames) { return 60.0 + 0.15 * static_cast<double>(frames); }

// The highest frame number of a PLATFORM_SCRIPT (0 for none).
inline long LastScriptFrame(const std::string& script)
{
    long last = 0;
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line[at] < '0' || line[at] > '9') continue;
        last = std::max(last, std::strtol(line.c_str() + at, nullptr, 10));
    }
    return last;
}

class ProgramRun {
public:
    // The exit code reported for a run stopped as hung, as timeout(1) reports it.
    static constexpr int kHungCode = 124;

    ProgramRun() = default;
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    ~ProgramRun() { Kill(); }

    // Starts `program` with `arguments` in `dir`, with the variables `environment`
    // ("NAME=value") set over the test's own environment, its standard output and error going to `log`
    // (relative to `dir`). False when it could not be started.
    bool Start(const std::filesystem::path& program, const std::filesystem::path& dir,
               const std::vector<std::string>& environment, double cpuBudgetSeconds,
               const std::string& log = "run.log", const std::vector<std::string>& arguments = {})
    {
        Kill();
        budget_ = cpuBudgetSeconds;
        why_.clear();
        code_ = -1;
        hung_ = false;
        // The platform's and SDL's variables are the test's to give: none of the test's own
        // environment (a developer's PLATFORM_DEBUG_OUTPUT, say) reaches the run.
        std::vector<std::string> env = environment;
        for (char** e = environ; *e; ++e) {
            const std::string s(*e);
            if (s.rfind("PLATFORM_", 0) == 0 || s.rfind("SDL_", 0) == 0) continue;
            const std::string name = s.substr(0, s.find('='));
            bool overridden = false;
            for (const std::string& mine : environment)
                if (mine.compare(0, name.size() + 1, name + "=") == 0) overridden = true;
            if (!overridden) env.push_back(s);
        }
        std::vector<char*> envp;
        for (std::string& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);
        logPath_ = (dir / log).string();
        const std::string& logPath = logPath_;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::string path = program.string();
        std::vector<std::string> args = arguments;
        std::vector<char*> argv = {path.data()};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            why_ = path + " could not be started: " + std::strerror(spawned);
            return false;
        }
        pid_ = pid;
        lastCpu_ = 0;
        lastChange_ = std::chrono::steady_clock::now();
        return true;
    }

    // Looks once: true while the program runs. A program found hung is killed here.
    bool Running()
    {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (!WIFEXITED(status) && why_.empty())
                why_ = "ended by signal " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            pid_ = -1;
            return false;
        }
        const double cpu = CpuSeconds();
        const auto now = std::chrono::steady_clock::now();
        if (cpu != lastCpu_) {
            lastCpu_ = cpu;
            lastChange_ = now;
        }
        if (cpu > budget_) {
            StopHung("it used " + std::to_string((int)cpu) + " s of processor time, over its budget of " +
                     std::to_string((int)budget_) + " s");
        } else if (now - lastChange_ > standstill_) {
            StopHung("its processor time stood still at " + std::to_string((int)cpu) + " s for " +
                     std::to_string(std::chrono::duration_cast<std::chrono::seconds>(standstill_).count()) + " s");
        }
        return pid_ > 0;
    }

    // Waits for the program to end (or to be found hung); its exit code, -1 when a signal ended it,
    // kHungCode when it was stopped as hung.
    int Wait()
    {
        while (Running()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return code_;
    }

    // Kills the program, if it still runs, and waits for it to go.
    void Kill()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        code_ = -1;
    }

    // Processor time that stands still this long means the program is blocked for good.
    void SetStandstill(std::chrono::milliseconds standstill) { standstill_ = standstill; }

    pid_t Pid() const { return pid_; }
    int Code() const { return code_; }
    bool Hung() const { return hung_; }
    // Why the run ended other than by itself, for a test's message; empty when it did.
    const std::string& Why() const { return why_; }

    // The processor time the program has used so far (its threads' together).
    double CpuSeconds() const
    {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) return lastCpu_;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        unsigned long long user = 0, system = 0;
        // After the name: state, then fields 4 to 13, then user and system time in clock ticks.
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) user = std::strtoull(field.c_str(), nullptr, 10);
            if (i == 15) system = std::strtoull(field.c_str(), nullptr, 10);
        }
        return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    // The reason also ends the program's log, where a failing test shows it.
    void StopHung(const std::string& why)
    {
        why_ = "stopped as hung: " + why;
        Kill();
        std::ofstream(logPath_, std::ios::app) << "\n[the test] " << why_ << "\n";
        hung_ = true;
        code_ = kHungCode;
    }

    pid_t pid_ = -1;
    int code_ = -1;
    bool hung_ = false;
    double budget_ = 0;
    double lastCpu_ = 0;
    std::chrono::milliseconds standstill_{std::chrono::minutes(2)};
    std::chrono::steady_clock::time_point lastChange_;
    std::string why_;
    std::string logPath_;
};

// Runs `program` over `script` (written to `dir`/`scriptName`) with the fixed step of `stepMs`
// and `environment` besides, to its end; its exit code as ProgramRun::Wait gives it, and in
// `why` what ended it when it did not end by itself.
inline int RunScriptedProgram(const std::filesystem::path& program, const std::filesystem::path& dir,
                              const std::string& script, int stepMs, std::vector<std::string> environment = {},
                              const std::string& scriptName = "script.txt", const std::string& log = "run.log",
                              std::string* why = nullptr)
{
    std::ofstream(dir / scriptName) << script;
    environment.push_back("PLATFORM_SCRIPT=" + scriptName);
    environment.push_back("PLATFORM_FIXED_STEP_MS=" + std::to_string(stepMs));
    ProgramRun run;
    if (!run.Start(program, dir, environment, CpuBudgetForFrames(LastScriptFrame(script)), log)) {
        if (why) *why = run.Why();
        return -1;
    }
    const int code = run.Wait();
    if (why) *why = run.Why();
    return code;
}
