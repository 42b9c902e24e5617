// The session manager "OpenSession": adding a session (both variants),
// resuming one, choosing one for deletion, and the storage folder line with
// "Change Save Location". A plain popup that closes on a click outside it,
// opened through its popup record (Popups().session: the title bar's session
// button, Record or Snapshot with no session); drawn every frame by the main
// window. UI thread only.
#pragma once

struct AppState;

namespace ui {

class SessionPopup {
public:
    // The variant without sessions is always centred; the other one stands
    // where its opener put the record.
    void Draw(AppState& app);

private:
    void DrawAddRow(AppState& app, bool focus);
    void DrawSessionList(AppState& app, float rows);
    void DrawStorageLine(AppState& app, float width);
    void Add(AppState& app);
    void TakeFolderAnswer(AppState& app);

    char name_[41] = {};  // at most 40 bytes and the terminator
    int highlighted_ = 0;
};

SessionPopup& TheSessionPopup();
// The main window's session-popups place: the session manager, the delete
// confirmation, the delete progress, and the folder picker they and the file
// list share.
void DrawSessionPopups(AppState& app);

}  // namespace ui
