// "Delete Files##DeleteFileProgress": deletes the files the file list filled
// into the deletion list, one per frame, with a progress bar, then refreshes
// the sessions. Modal; drawn every frame by the main window. UI thread only.
#pragma once

struct AppState;

namespace ui {

class DeleteFilesPopup {
public:
    // Opens it over the files already in the file deletion list.
    void Request() { openRequest_ = true; }
    void Draw(AppState& app);

private:
    bool openRequest_ = false;
    float displayed_ = 0;
};

DeleteFilesPopup& TheDeleteFilesPopup();

}  // namespace ui
