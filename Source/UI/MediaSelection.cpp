#include "UI/MediaSelection.h"

#include "App/AppState.h"
#include "Base/FileServices.h"
#include "App/AppSessions.h"
#include "UI/MediaMath.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {

bool SelectionValid(const SessionStore& store) {
    return store.selectedList >= 0 && store.selectedList < int(store.viewable.size()) && store.selectedFile >= 0 &&
           store.selectedFile < int(store.viewable[store.selectedList].size());
}

}  // namespace

bool LoadFirstMedia(AppState& /*app*/) {
    SessionStore& store = Sessions();
    if (store.selectedList < 0) {
        store.selectedList = store.currentIndex;
        store.selectedFile = 0;
    }
    if (!SelectionValid(store)) return false;
    const MediaEntry entry = store.viewable[store.selectedList][store.selectedFile];
    platform::FileInfo info;
    if (!platform::GetFileInfo(store.MediaPath(store.selectedList, entry), &info)) return false;
    store.OpenMedia(store.selectedList, entry, false);
    return true;
}

bool HasViewableMedia(AppState& /*app*/) {
    for (const auto& list : Sessions().viewable)
        if (!list.empty()) return true;
    return false;
}

void StepMedia(AppState& /*app*/, int step) {
    SessionStore& store = Sessions();
    if (store.selectedList < 0 || store.selectedList >= int(store.viewable.size())) return;
    const auto& list = store.viewable[store.selectedList];
    const int next = StepFileIndex(store.selectedFile, step, int(list.size()));
    if (next < 0) return;
    store.selectedFile = next;
    store.OpenMedia(store.selectedList, list[next], true);
}

void SelectMedia(AppState& /*app*/, int list, int file) {
    SessionStore& store = Sessions();
    if (list < 0 || list >= int(store.viewable.size()) || file < 0 || file >= int(store.viewable[list].size())) return;
    store.selectedList = list;
    store.selectedFile = file;
    const MediaEntry& entry = store.viewable[list][file];
    const bool loaded = Player().mediaType.load() != 0 && !store.viewed.path.Empty();
    if (loaded && store.viewed.entry == entry && store.viewed.sessionName == store.sessions[list].name) return;
    store.OpenMedia(list, entry, true);
}

}  // namespace ui
