// A program a test starts (the Studio, the simulator, a tool): standard
// output and error go to a file the test reads back, and the child dies with
// the test (PR_SET_PDEATHSIG), so a test runner that is killed - a time-out,
// Ctrl-C - leaves no Studio or simulator behind. The death signal follows the
// thread that made the child: start children from the test's own thread.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Support/Wait.h"

extern char** environ;

namespace testsupport {

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> env;  // "NAME=value", replacing or adding to this process's
        std::string output;            // file for standard output and error; empty: this process's
        std::string workDir;           // empty: this process's
    };

    // argv[0] is a path, or a name looked up in PATH.
    ChildProcess(std::vector<std::string> argv, const Options& options) { Start(std::move(argv), options); }
    ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& env, const std::string& output,
                 const std::string& workDir = {}) {
        Options options;
        options.env = env;
        options.output = output;
        options.workDir = workDir;
        Start(std::move(argv), options);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }  // for /proc readings (benchmarks)
    void Signal(int sig) const {
        if (pid_ > 0 && !ended_) kill(pid_, sig);
    }
    bool Running() {
        if (pid_ <= 0 || ended_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
        Ended(status);
        return false;
    }
    // The exit code (128 + signal when killed; 127 when the program could not
    // be started), or -1 when it did not end within the limit.
    int Wait(std::chrono::milliseconds limit) {
        if (pid_ <= 0) return -1;
        if (!WaitUntil([this] { return !Running(); }, limit, std::chrono::milliseconds(10))) return -1;
        return exitCode_;
    }
    // SIGTERM, then Wait.
    int Terminate(std::chrono::milliseconds limit) {
        Signal(SIGTERM);
        return Wait(limit);
    }

private:
    void Start(std::vector<std::string> argv, const Options& options) {
        // Everything the child needs is made before fork: another thread of
        // this process may hold the allocator's lock at that moment.
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& extra : options.env) {
                const size_t eq = extra.find('=');
                replaced = replaced || entry.compare(0, eq + 1, extra, 0, eq + 1) == 0;
            }
            if (!replaced) environment.push_back(entry);
        }
        environment.insert(environment.end(), options.env.begin(), options.env.end());
        std::vector<char*> args, envp;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        const pid_t parent = getpid();

        pid_ = fork();
        if (pid_ != 0) return;
        // The child: only async-signal-safe calls from here on.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(127);
        if (!options.output.empty()) {
            const int fd = open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    void Ended(int status) {
        ended_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};

}  // namespace testsupport
