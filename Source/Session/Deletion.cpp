#include "Session/Deletion.h"

#include <algorithm>

#include "Base/Log.h"
#include "Base/FileServices.h"

namespace {
constexpr float kDoneProgress = 0.99f;
}

void MediaDeletion::DeleteLogged(const Path& path) {
    if (!platform::DeleteFile(path))
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", path.CStr());
}

void MediaDeletion::FillFileDeletion(std::vector<Path> paths) {
    files = std::move(paths);
    filesTotal = files.size();
}

bool MediaDeletion::FileDeletionStep(float displayedProgress) {
    if (!files.empty()) {
        const Path path = files.back();
        if (!store_.viewed.path.Empty() && path == store_.viewed.path) store_.StopPlayer();
        DeleteLogged(path);
        files.pop_back();
        return false;
    }
    if (displayedProgress < kDoneProgress) return false;
    store_.RefreshSessions();
    return true;
}

void MediaDeletion::FillSessionDeletion(int s) {
    sessionFiles.clear();
    sessionIndex = s;
    if (s >= 0 && s < static_cast<int>(store_.sessions.size())) {
        for (const MediaEntry& e : store_.sessions[s].media) {
            if (s == store_.selectedList) store_.StopPlayer();
            sessionFiles.push_back(store_.MediaPath(s, e));
        }
    }
    sessionTotal = sessionFiles.size();
}

bool MediaDeletion::SessionDeletionStep(float displayedProgress) {
    if (!sessionFiles.empty()) {
        DeleteLogged(sessionFiles.back());
        sessionFiles.pop_back();
        return false;
    }
    if (displayedProgress < kDoneProgress) return false;
    const int s = sessionIndex;
    const int c = store_.currentIndex;
    if (s >= 0 && s < static_cast<int>(store_.sessions.size())) {
        if (s < c) store_.currentIndex = c - 1;
        // The next refresh loads the history of whichever session becomes current.
        if (s == c) store_.currentName.clear();
        store_.sessions.erase(store_.sessions.begin() + s);
    }
    const int last = static_cast<int>(store_.sessions.size()) - 1;
    sessionIndex = std::min(sessionIndex, last);
    store_.currentIndex = std::min(store_.currentIndex, last);
    store_.RefreshSessions();
    sessionIndex = -1;
    return true;
}
