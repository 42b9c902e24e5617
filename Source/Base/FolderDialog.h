// The system's folder chooser: `zenity --file-selection --directory` or
// `kdialog --getexistingdirectory`, whichever is installed, run as a child
// process on a worker thread so the UI keeps drawing while the user picks.
// The UI thread starts a pick and polls it once per frame; nothing here
// waits on the UI thread. No display code: the overlay and the in-program
// browser that replaces a missing chooser live in the UI.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Base/Path.h"

namespace platform {

// "zenity" or "kdialog" when found on PATH (in that order), else empty.
std::string ExternalFolderChooser();
// The command line that asks `chooser` for a folder starting at `initial`.
std::vector<std::string> FolderChooserCommand(const std::string& chooser, const Path& initial);
// The chooser's answer: its standard output up to the first line end, as a
// Path (a trailing separator dropped). False when nothing usable came back.
bool ParseChooserOutput(const std::string& output, Path* folder);

class FolderDialogJob {
public:
    enum class State { Idle, Running, Picked, Cancelled, Failed };

    FolderDialogJob();
    ~FolderDialogJob();  // kills a chooser still running; never joins
    FolderDialogJob(const FolderDialogJob&) = delete;
    FolderDialogJob& operator=(const FolderDialogJob&) = delete;

    // Starts `command` on the worker thread "orvex-picker". False when a pick
    // is already running (it goes on). A chooser that cannot be started is
    // reported as Failed by Poll.
    bool Start(std::vector<std::string> command);
    // The state now; with Picked, `folder` receives the choice. Picked,
    // Cancelled and Failed are reported once, then the job is Idle again.
    State Poll(Path* folder);

    struct Shared;  // defined in the .cpp; the worker thread shares it

private:
    std::shared_ptr<Shared> shared_;  // the worker holds its own reference
};

}  // namespace platform
