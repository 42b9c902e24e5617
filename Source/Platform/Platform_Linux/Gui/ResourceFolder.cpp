#include "Platform/Platform_Linux/Gui/ResourceFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace {

std::mutex g_lock;
Path g_folder;  // guarded by g_lock
bool g_decided = false;

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Path FindResourceFolder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    std::string dir = ".";
    if (n > 0) {
        exe[n] = 0;
        dir.assign(exe, size_t(n));
        size_t slash = dir.rfind('/');
        dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    }
    const std::string installed = dir + "/../share/orvex-studio";
    Path folder;
    if (IsFolder(installed)) {
        folder.Append(installed.c_str());
    } else {
        folder.Append((dir + "/Data").c_str());
    }
    return folder;
}

}  // namespace

const Path& ResourceFolder() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_decided) {
        g_folder = FindResourceFolder();
        g_decided = true;
    }
    return g_folder;
}

Path ResourcePath(const char* name) {
    Path path = ResourceFolder();
    path.Append(name);
    return path;
}

void SetResourceFolderForTests(const std::string& folder) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (folder.empty()) {
        g_decided = false;
        return;
    }
    g_folder = Path();
    g_folder.Append(folder.c_str());
    g_decided = true;
}
