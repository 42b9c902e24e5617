// "PopupConfirmDialog": the question with up to three buttons that several
// panels share. A panel that asks owns its record; the main window draws the
// record the active reference points to. UI thread only.
//
// Asking:   fill title, message, first / middle / last labels, then
//           AskConfirmation(record).
// Answer:   every frame, TakeConfirmationAnswer(record, &answer): true once,
//           when the dialog has closed with an answer (0 first button,
//           2 middle, 1 last); the record is then idle again.
#pragma once

#include "UI/Popup.h"

namespace ui {

void AskConfirmation(PopupRecord& record);
bool TakeConfirmationAnswer(PopupRecord& record, int* answer);
// The record being asked now, or nullptr.
PopupRecord* ActiveConfirmation();

// Answers of the buttons in the order they stand on the bottom row, right
// to left: first (0), middle (2) when its label is not empty, last (1).
struct ConfirmButton {
    const char* label;
    int answer;
};
int ConfirmButtons(const PopupRecord& record, ConfirmButton out[3]);

// The dialog, 640 x 240 times the scale, centred on the window.
void DrawConfirmDialog(float clientWidth, float clientHeight, float uiScale);

}  // namespace ui
