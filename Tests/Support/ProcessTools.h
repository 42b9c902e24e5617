// Helpers of the process tests that run the real programs (the Studio, the
// simulator) under Xvfb: a child process with its output in a file, polling
// for a condition, reading a whole file and taking a screenshot of the root
// window. Header-only: every test folder builds its own program.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stb_image.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Polls `condition` every `period` until it holds or `limit` has passed; the
// last answer is taken after the limit.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                      std::chrono::milliseconds period = std::chrono::milliseconds(100)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(period);
    }
    return condition();
}

// A program started with posix_spawn, standard output and error in `output`,
// `env` ("NAME=value") replacing or adding to this process's environment,
// running in `workDir` when one is given (the Studio reads settings.ini from
// its working folder). Killed if it still runs when the object goes.
class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& env,
                 const std::filesystem::path& output, const std::filesystem::path& workDir = {}) {
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& extra : env) {
                const size_t eq = extra.find('=');
                replaced = replaced || entry.compare(0, eq + 1, extra, 0, eq + 1) == 0;
            }
            if (!replaced) environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> args, envp;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
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
    void Signal(int sig) const {
        if (pid_ > 0 && !ended_) kill(pid_, sig);
    }
    // The exit code (128 + signal when killed), or -1 when it did not end
    // within the limit.
    int Wait(std::chrono::milliseconds limit) {
        if (pid_ <= 0) return -1;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    // SIGTERM, then Wait.
    int Terminate(std::chrono::milliseconds limit) {
        Signal(SIGTERM);
        return Wait(limit);
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

// A screenshot of the whole X screen as RGB pixels.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool ok = false;
    const uint8_t* At(int x, int y) const { return &rgb[size_t(y * width + x) * 3]; }
};

// Takes a screenshot of the root window into `file` (ImageMagick's import)
// and loads it; `ok` is false when either step failed.
inline Shot Screenshot(const std::filesystem::path& file) {
    Shot shot;
    const std::string command = "import -window root '" + file.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return shot;
    int channels = 0;
    stbi_uc* pixels = stbi_load(file.c_str(), &shot.width, &shot.height, &channels, 3);
    if (pixels == nullptr) return shot;
    shot.rgb.assign(pixels, pixels + size_t(shot.width) * size_t(shot.height) * 3);
    stbi_image_free(pixels);
    shot.ok = true;
    return shot;
}

}  // namespace testsupport
