// The session manager "OpenSession": adding a session (both variants),
// resuming one, choosing one for deletion, and the storage folder line with
// "Change Save Location". A plain popup that closes on a click outside it;
// drawn every frame by the main window. UI thread only.
#pragma once

struct AppState;

namespace ui {

class SessionPopup {
public:
    // Opens the popup with its top-left corner at (x, y) (the title bar's
    // session button); the variant without sessions is always centred.
    void Request(float x, float y);
    bool IsOpen() const { return open_; }
    void Draw(AppState& app);

private:
    void DrawAddRow(AppState& app, bool focus);
    void DrawSessionList(AppState& app, float rows);
    void DrawStorageLine(AppState& app, float width);
    void Add(AppState& app);
    void TakeFolderAnswer(AppState& app);

    bool request_ = false;
    bool open_ = false;
    float x_ = 0, y_ = 0;
    char name_[41] = {};  // at most 40 bytes and the terminator
    int highlighted_ = 0;
};

SessionPopup& TheSessionPopup();
// The control bar's hook (Record or Snapshot with no session open): opens
// the session popup unless it is already open.
void RequestSessionPopupFromControls(AppState& app);

}  // namespace ui
