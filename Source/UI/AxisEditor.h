// The axis editor popup ("Edit %s Axis", id "###EditAxisPopup"), opened by
// "Edit" in the crawler info popup. See CrawlerInfo.h. UI thread only.
#pragma once

struct AppState;

namespace ui {

void OpenAxisEditor(AppState& app, int axis);
void DrawAxisEditor(AppState& app);

}  // namespace ui
