// The confirmation of a session's deletion ("Delete Session \"%s\""): the
// summary of its files by type, "Cancel" or "Delete", then a progress bar
// while its files go one per frame. Modal over a dimmed background; drawn
// every frame by the main window. UI thread only.
#pragma once

#include <string>
#include <vector>

struct AppState;

namespace ui {

class DeleteSessionPopup {
public:
    // Asks about session `index` (the session manager's "Delete").
    void Request(int index);
    int DeleteIndex() const { return deleteIndex_; }
    void Draw(AppState& app);

private:
    int deleteIndex_ = -1;
    bool openRequest_ = false;
    bool deleting_ = false;
    float displayed_ = 0;
    std::string sessionName_;
    std::vector<std::string> summary_;
};

DeleteSessionPopup& TheDeleteSessionPopup();

}  // namespace ui
