// "CameraViewLayout": the popup in which the user picks the view layout
// (swap the two views, single view, one inset in the other, stacked, side by
// side), requested by the control bar's layout toggle. Switching away from a
// recording view asks first ("Switch Camera View"); the main window acts on
// the answer. UI thread only.
#pragma once

#include "Base/Settings.h"
#include "UI/Popup.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

enum ViewSwitchMode : int {
    ViewSwitchSwap = 0,    // "Cancel" / "Add View" / "Save and Switch"
    ViewSwitchSingle = 1,  // "Cancel" / "Save and Switch"
};

// The confirmation the layout popup asks; mode says which question.
struct ViewSwitchQuestion {
    PopupRecord record;
    int mode = ViewSwitchSwap;
};
ViewSwitchQuestion& ViewSwitchConfirmation();

// The five buttons of the popup, in order.
enum class LayoutButton { Swap, Single, Overlap, Stacked, SideBySide };

// What one button does in the current state: change the layout, swap the
// views, or ask first.
struct LayoutAction {
    bool swap = false;       // exchange the view positions, invert Split_Camera
    bool ask = false;        // ask the question `mode` instead
    int mode = ViewSwitchSwap;
    bool setLayout = false;  // select `layout`
    LayoutKind layout = LayoutKind::SingleCamera;
};
LayoutAction LayoutButtonAction(LayoutButton button, LayoutKind current, bool shownSlotRecording,
                                bool secondSlotRecording);

// The slot shown at view position p (else the first active slot).
AV::CameraSlot* SlotAtViewPosition(AppState& app, int position);
// Exchanges the view positions of the first two active slots and inverts
// Split_Camera.
void SwapFirstTwoViews(AppState& app);
// Stores the active slots' view positions in the settings' camera entries
// (by camera identifier and channel), so the next start shows them there.
void RememberViewPositions(AppState& app);

void DrawCameraViewLayout(AppState& app);

}  // namespace ui
