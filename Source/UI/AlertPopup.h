// The modal "AlertPopup" fed by PostAlert: one waiting alert at a time, in
// the order they were posted, until "Okay". UI thread only.
#pragma once

namespace ui {

// Size of the popup for a text of the given size at scale s.
void AlertPopupSize(float textWidth, float textHeight, float uiScale, float* width, float* height);

void DrawAlertPopup(float clientWidth, float clientHeight, float uiScale);

}  // namespace ui
