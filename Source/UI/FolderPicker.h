// The folder picker the session manager ("Change Save Location") and the file
// list's export share. With a system chooser installed (and outside tablet
// mode) it runs that chooser on a worker thread and draws a modal
// "Choose a folder" overlay until the answer comes; otherwise it shows its
// own folder browser popup. Either way the UI thread never waits. One pick
// at a time; each asker takes its own answer. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "Base/Path.h"
#include "Base/FolderDialog.h"

namespace ui {

enum class FolderPickOwner { None, StorageFolder, Export };

class FolderPicker {
public:
    enum class Result { Pending, Picked, Cancelled };

    // Starts a pick at `initial` for `owner` (ignored while another pick runs).
    void Request(FolderPickOwner owner, const Path& initial, bool tabletMode);
    bool Busy() const { return owner_ != FolderPickOwner::None; }
    // The answer for `owner` once the pick has ended; Picked fills `folder`.
    Result Take(FolderPickOwner owner, Path* folder);
    // Every frame, after the panels: the overlay or the browser popup.
    void Draw(float clientWidth, float clientHeight, float uiScale);

    // The browser's folder now (tests and the popup's path line).
    const std::string& BrowsedFolder() const { return browsed_; }

private:
    void DrawBrowser(float clientWidth, float clientHeight, float s);
    void DrawOverlay(float clientWidth, float clientHeight, float s);
    void Finish(Result result, const Path& folder);
    void Browse(const std::string& folder);

    FolderPickOwner owner_ = FolderPickOwner::None;
    bool external_ = false;      // the system chooser runs
    bool openRequest_ = false;   // the browser popup opens next frame
    std::string browsed_;  // absolute; "/" is the root (a Path cannot hold it)
    std::vector<std::string> subfolders_;  // of browsed_, listed when it changes
    platform::FolderDialogJob job_;

    FolderPickOwner answeredOwner_ = FolderPickOwner::None;
    Result answer_ = Result::Pending;
    Path answerFolder_;
};

FolderPicker& TheFolderPicker();

// Browser rules, tested on real folders: the sub-folders of `folder` sorted
// by name, hidden ones (a leading '.') left out; the parent folder ("/" stays
// "/"); and the nearest folder that exists at or above `start` ("/" at worst,
// also for a relative or empty start).
std::vector<std::string> SubfolderNames(const std::string& folder);
std::string ParentFolder(const std::string& folder);
std::string NearestExistingFolder(const std::string& start);
std::string ChildFolder(const std::string& folder, const std::string& name);

}  // namespace ui
