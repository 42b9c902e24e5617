// Which file the media view shows: the session store's selection (list and
// file) and the calls that hand a file to the player. Shared by the file
// list, the player controls and the player-mode body. UI thread only.
#pragma once

struct AppState;

namespace ui {

// The player-mode body with nothing loaded: selects the current session's
// list and its first file when nothing is selected, and loads the selected
// file without playing when it exists. False: nothing to show.
bool LoadFirstMedia(AppState& app);
// Any session has a Video or Image entry.
bool HasViewableMedia(AppState& app);
// Previous (-1) or next (+1) file of the selected list, wrapping round,
// loaded playing.
void StepMedia(AppState& app, int step);
// Selects file j of list i and, when it is not the file the player holds
// already, opens it playing.
void SelectMedia(AppState& app, int list, int file);

}  // namespace ui
