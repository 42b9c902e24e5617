// "PopupFileCopy": the progress of an export with its Cancel button and the
// final report as an alert. The file list starts an export with
// StartExportPopup (which resets the shared progress record) and then
// StartCopy with the record's routine; the main window draws the popup every
// frame. UI thread only.
#pragma once

#include <cstdint>

#include "UI/Popup.h"

namespace ui {

// The popup's record ("Export Files", "Exporting selected files...", "Cancel").
PopupRecord& ExportPopup();
// Requests the popup for a new export; returns the export's id for
// TheExportProgress().RoutineFor.
uint64_t StartExportPopup();

// The bar's next displayed value: restarts at 0 on the frame the popup opens,
// otherwise eases towards p by (p + 0.005 - displayed) x 6 x dt, never past p.
float EaseProgress(float displayed, float p, float dtSeconds, bool openedNow);
// done / total, or 0 without a total.
float ExportFraction(int64_t total, int64_t done);

// 400 x 260 times the scale, centred on the window.
void DrawFileCopyPopup(float clientWidth, float clientHeight, float uiScale);

}  // namespace ui
