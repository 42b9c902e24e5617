// The popup record and the one routine that opens and draws a popup from it.
// Every popup of the program (the shared confirmation and export popups, the
// layout, light, session, crawler and firmware popups) keeps one record; a
// control that wants a popup requests it through its record, the popup's own
// Draw runs every frame in the main window's popup order and opens it through
// BeginPopupRecord. UI thread only.
#pragma once

#include <imgui.h>

#include <cstdint>
#include <string>

namespace ui {

// openState values.
enum PopupOpenState : int32_t {
    PopupClosed = 0,
    PopupRequested = 1,    // asked for; opened by the next BeginPopupRecord
    PopupOpenedNow = 2,    // opened in this frame
    PopupOpen = 4,
};

struct PopupRecord {
    // Recomputed every frame by the popup's Draw; a width with height 0 fixes
    // the width only (the height fits the contents).
    float x = 0, y = 0, width = 0, height = 0;
    int32_t openState = PopupClosed;
    int32_t result = -1;  // -1 while no answer is given
    bool isOpen = false;  // the popup was drawn open this frame
    // The title is the popup's identity; the message and the button labels
    // are used by the confirmation dialog.
    std::string title, message, first, middle, last;
};

// Asks for the popup at (x, y): width and height 0, the open request
// toggled, result -1, the open flag cleared. A request for a popup that is
// open already is ignored, so a double press cannot close and reopen it.
void RequestPopup(PopupRecord& record, float x, float y);
// Closes the popup at the next BeginPopupRecord (or now when called between
// BeginPopupRecord and EndPopupRecord).
void ClosePopup(PopupRecord& record);
// True while the popup is requested or open.
bool PopupShowing(const PopupRecord& record);

enum class PopupKind {
    Plain,  // closes when the user clicks outside it
    Modal,  // over the dimmed window; takes every input until it closes
};

// The popup routine. Opens the popup when requested, places it at the
// record's position (pivot as given) with the record's size (0 = fit its
// contents), and begins it. True when the popup is open this frame: draw the
// contents, then call EndPopupRecord. Keeps openState and isOpen up to date:
// a popup that ImGui closed (a click outside, CloseCurrentPopup) is closed
// in the record too.
bool BeginPopupRecord(PopupRecord& record, PopupKind kind, ImGuiWindowFlags flags, ImVec2 pivot = ImVec2(0, 0));
void EndPopupRecord(PopupRecord& record);

// The shared question and progress popups dim the window with black at
// 20 % instead of the style's modal dimming. Call inside such a popup; the
// main window applies the dimming of the top-most modal at the end of the frame.
void DimLightlyBehindThisPopup();
void ApplyModalDimming();

// The records of the popups that other panels' controls request: the
// control asks with RequestPopup at its position, the popup's own Draw opens
// it with BeginPopupRecord. Titles are set here once.
struct ProgramPopups {
    PopupRecord cameraViewLayout;  // "CameraViewLayout", the control bar's layout toggle
    PopupRecord lightView;         // "LightView", the control bar's lights toggle
    PopupRecord session;           // "OpenSession", the title bar's session button, Record/Snapshot without a session
    PopupRecord crawlerInfo;       // "CrawlerInfo", the title bar's crawler readout
};
ProgramPopups& Popups();

}  // namespace ui
