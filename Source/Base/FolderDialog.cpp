#include "Base/FolderDialog.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "Base/Log.h"
#include "Base/Thread.h"

extern char** environ;

namespace platform {

struct FolderDialogJob::Shared {
    std::mutex lock;  // guards everything below (UI thread and the worker)
    State state = State::Idle;
    Path folder;
    pid_t child = -1;
    bool abandoned = false;
    std::vector<std::string> command;  // written before the worker starts, read by it only
};

namespace {

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

// The worker: runs the chooser with its standard output on a pipe, reads the
// answer, reaps the child. The shared record outlives the job if need be.
void RunPicker(const std::shared_ptr<FolderDialogJob::Shared>& shared) {

    int fds[2] = {-1, -1};
    bool ok = pipe(fds) == 0;
    int spawnError = ok ? 0 : errno;
    pid_t pid = -1;
    if (ok) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> args;
        for (std::string& a : shared->command) args.push_back(a.data());
        args.push_back(nullptr);
        // Its own process group, so that a stop reaches whatever it started.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        spawnError = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
        ok = spawnError == 0;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
    }
    if (ok) {
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->child = pid;
        if (shared->abandoned) kill(-pid, SIGTERM);
    }
    std::string output;
    if (ok) {
        char buffer[1024];
        ssize_t n;
        while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) output.append(buffer, size_t(n));
        }
    }
    if (fds[0] >= 0) close(fds[0]);
    int status = 0;
    if (ok) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->child = -1;
    Path folder;
    if (!ok) {
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "PickFolder | could not start %s : %s",
                 shared->command[0].c_str(), std::strerror(spawnError));
        shared->state = FolderDialogJob::State::Failed;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && ParseChooserOutput(output, &folder)) {
        shared->folder = folder;
        shared->state = FolderDialogJob::State::Picked;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) <= 1) {
        shared->state = FolderDialogJob::State::Cancelled;  // the user closed the chooser
    } else {
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "PickFolder | %s ended with status %d",
                 shared->command[0].c_str(), status);
        shared->state = FolderDialogJob::State::Failed;
    }
}

}  // namespace

std::string ExternalFolderChooser() {
    if (OnPath("zenity")) return "zenity";
    if (OnPath("kdialog")) return "kdialog";
    return "";
}

std::vector<std::string> FolderChooserCommand(const std::string& chooser, const Path& initial) {
    std::string start = initial.Text();
    if (chooser == "zenity") {
        // zenity opens the folder of a name that ends with a separator.
        if (!start.empty() && start.back() != '/') start += '/';
        return {"zenity", "--file-selection", "--directory", "--title=Choose a folder", "--filename=" + start};
    }
    return {"kdialog", "--getexistingdirectory", start.empty() ? "." : start, "--title", "Choose a folder"};
}

bool ParseChooserOutput(const std::string& output, Path* folder) {
    const std::string line = output.substr(0, output.find('\n'));
    if (line.empty()) return false;
    Path result;
    result.Append(line);
    if (result.Empty()) return false;
    *folder = result;
    return true;
}

FolderDialogJob::FolderDialogJob() : shared_(std::make_shared<Shared>()) {}

FolderDialogJob::~FolderDialogJob() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->abandoned = true;
    if (shared_->child > 0) kill(-shared_->child, SIGTERM);
}

bool FolderDialogJob::Start(std::vector<std::string> command) {
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        if (shared_->state == State::Running || command.empty()) return false;
        shared_->state = State::Running;
        shared_->command = std::move(command);
    }
    std::shared_ptr<Shared> shared = shared_;
    base::StartDetachedThread("orvex-picker", [shared] { RunPicker(shared); });
    return true;
}

FolderDialogJob::State FolderDialogJob::Poll(Path* folder) {
    std::lock_guard<std::mutex> guard(shared_->lock);
    const State state = shared_->state;
    if (state == State::Picked && folder != nullptr) *folder = shared_->folder;
    if (state != State::Running) shared_->state = State::Idle;
    return state;
}

}  // namespace platform
