// Deleting media: single files chosen in the file list, or every file of a
// session. Both run on the UI thread one file per frame, so the progress bar
// moves and the player can be stopped before the file it shows is removed.
#pragma once

#include <cstddef>
#include <vector>

#include "Base/Path.h"
#include "Session/SessionStore.h"

class MediaDeletion {
public:
    explicit MediaDeletion(SessionStore& store) : store_(store) {}

    // The files chosen in the file list; total is their count.
    void FillFileDeletion(std::vector<Path> paths);
    // One step of the "Delete Files" popup; `displayedProgress` is the
    // popup's eased bar (0..1). Deletes one file per call; once the list is
    // empty and the bar has reached 0.99 it refreshes the sessions and
    // reports completion.
    bool FileDeletionStep(float displayedProgress);

    // Every media file of session `s`, the data file included.
    void FillSessionDeletion(int s);
    // One step of the session deletion; on completion the session is gone
    // from the store, the current session repaired and the sessions refreshed.
    bool SessionDeletionStep(float displayedProgress);

    std::vector<Path> files;
    size_t filesTotal = 0;
    std::vector<Path> sessionFiles;
    size_t sessionTotal = 0;
    int sessionIndex = -1;  // the session being deleted, -1 when none

private:
    static void DeleteLogged(const Path& path);
    SessionStore& store_;
};
