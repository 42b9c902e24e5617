// Pure value rules of the camera settings panel, the light view, the
// diagnostics panel, the firmware popup and the crawler popups: how a record
// becomes a slider position or a text and how a position becomes the value
// that is stored. No ImGui, no locks: callers pass copies they took under
// the service's tableLock or scanLinkLock.
//
// Section index
//   settings panel   tab labels, pending-change state, zoom window, guides, colours, text filters
//   light            percentage of the LED maximum
//   diagnostics      status rows, error bits, registers, plot resampling and colour
//   firmware         result texts and the waiting stage's texts
//   crawler          feedback pod candidates, numeric input
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Session/SessionData.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/ScanLink.h"

namespace ui {

// ---- settings panel -----------------------------------------------------------------------

// Sub-panel types, in button order; -1 is the main list.
enum SettingsPage : int {
    kPageMainList = -1,
    kPageVideo = 0,
    kPagePhoto = 1,
    kPageAnnotation = 2,
    kPageZoom = 3,
    kPagePicture = 4,
    kPageGuides = 5,
    kPageSystem = 6,
};
extern const char* const kSettingsPageNames[7];

// The tab of a channel: its name, or "PRIMARY" / "SATELLITE" when empty; a
// named SATELLITE reads "%s(%s)".
std::string TabLabel(const char* cameraName, int group);

// What the Apply/Undo row offers: indices 77..191 that are not read-only,
// comparing the slot table (L), the baseline (B) and the camera (C).
// L != B and L == C: an undo is available. L != B and L != C: apply is
// offered when that index has no request in flight; the last such index in
// index order decides.
struct PendingChanges {
    bool apply = false;
    bool undo = false;
};
PendingChanges PendingChangesOf(const picam::ParamGroup& slot, const picam::ParamGroup& baseline,
                                const picam::ParamGroup& camera, const int32_t* pendingParam);

// The zoom window in picture terms: x and y are the left and top of the
// window as fractions of the shown picture, size its width and height.
struct ZoomWindow {
    double x = 0, y = 0, size = 1;
};
// Which indices hold the window's x and y: 96 and 97, swapped at rotation
// positions 1 and 3 (shown 90 and 270).
void ZoomIndices(int rotationPosition, int* xIndex, int* yIndex);
// The window read from a table (shown values).
ZoomWindow ZoomWindowOf(const picam::ParamGroup& table);
// Size limited to 0.25..1, x and y to 0..1 - size.
ZoomWindow ClampZoom(ZoomWindow window);
// A new size that keeps the window's centre.
ZoomWindow ResizeZoom(ZoomWindow window, double size);

// Crosshair size slider: W = maximum x scaleNum / scaleDen of index 123
// (integer arithmetic); the slider runs 16..W/2 and shows 176 x W / 2.
int CrosshairImageWidth(const picam::ParamRecord& imageWidth);
double CrosshairSliderValue(const picam::ParamRecord& size, int imageWidth);
int32_t CrosshairRaw(const picam::ParamRecord& size, double slider, int imageWidth);

// Guide word as the check boxes edit it: bits 0x78 cleared.
int32_t GuideWorkingCopy(int32_t flags);
int32_t GuideWithCrosshairs(int32_t flags, bool on);
// "Invert Color" is checked when the text colour's low byte is 0.
bool InvertColourChecked(int32_t textColour);
// Guide colour with its top byte (opacity) replaced.
uint32_t GuideColourWithOpacity(uint32_t swatch, int opacity);

// Characters the name inputs refuse: " * / : < > ? \ |.
bool NameCharAllowed(unsigned int c);
// Position and counts inputs take digits, "." and "-" only.
bool NumberCharAllowed(unsigned int c);

// Line weight slider: shown minimum .. shown maximum, at most 8.
void LineWeightRange(const picam::ParamRecord& record, int* minimum, int* maximum);

// ---- light -----------------------------------------------------------------------------------

// Slider position 0..100 of LightLevel (36): value x 100 / maximum.
int LightPercent(const picam::ParamRecord& record);
// Raw level for a position: maximum x percent / 100, truncated.
int32_t LightRawFromPercent(const picam::ParamRecord& record, int percent);

// ---- diagnostics -----------------------------------------------------------------------------

struct Rgba {
    float r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// Status row value: shown value (64-bit), 0 for a null record; the CAM rows
// read 4 ("not found") when their group is not below the shown group count.
int64_t StatusRowValue(const picam::ParamRecord& record, bool camRow, int group, int64_t shownGroupCount);
// Name of a status value ("code %d" outside 0..10) and its colour.
std::string StatusName(int64_t value);
Rgba StatusColour(int64_t value);

extern const char* const kAslErrorNames[8];
extern const char* const kNvmErrorNames[8];
// Eight binary digits, bit 7 first.
std::string BinaryDigits(uint8_t byte);
// "ok", or the names of the set bits from bit 0 up, each followed by " | ".
std::string ErrorBitsText(uint8_t byte, const char* const names[8]);

// Temperature heading: "Temperatures (C)" and, when 43 is not 0, the LED word.
const char* LedHeadingWord(int32_t thermalState);  // "" / "Dimmed" / "Shutdown"

// Plot points from a history series: fewer than two samples give none; n =
// samples (at most 60); step = (last - first) / n, raised to the next
// multiple of 10 from 10 s up; point k is the value holding at first + k x
// step, converted to its shown value.
std::vector<float> ResamplePlot(const SampleSeries& series, const picam::ParamRecord& record);
// Colour of a plot by where `value` lies in minimum..maximum: hue from 0.486
// at the minimum down to 0 at the maximum, full saturation and value.
Rgba PlotColour(double value, double minimum, double maximum);

// Drive slider limits in shown units; "Current" stops at 1.8.
struct DriveSlider {
    bool floating = false;  // scaleDen above 1: a float slider "%.2f"
    double minimum = 0, maximum = 0;
};
DriveSlider DriveSliderOf(const picam::ParamRecord& record, bool currentRow);
int32_t DriveRawFromShown(const picam::ParamRecord& record, double shown);

// ---- firmware ---------------------------------------------------------------------------------

// The alert text of a failed transfer ("%s (id=%d)"); empty for result 0.
std::string FirmwareResultAlert(int result);

enum class FirmwareWait { Waiting, Problem, SuccessRestart, Success, NoResponse };
// Stage 2 after `elapsed_ms` since the transfer: `found` when the unit with
// the kept camera id is connected again (looked for only after 1 s), with
// its `version`.
FirmwareWait FirmwareWaitState(int64_t elapsed_ms, bool found, uint32_t version, uint32_t targetVersion,
                               bool restartAfter);
const char* FirmwareWaitText(FirmwareWait state);

extern const char* const kFirmwareConfirmText;

// ---- crawler ---------------------------------------------------------------------------------

struct PodCandidate {
    int item = 0;
    std::string name;
};
// Candidates for an axis's feedback pod: each item c of the axis's range
// whose scale is not 0 and whose value has arrived, then c | 0x80 under the
// same test, named "<item name> AUX".
std::vector<PodCandidate> PodCandidates(const ScanLinkState& state, int axis);
// The number in a position or counts input; false for empty or unreadable text.
bool ParseNumberInput(const char* text, double* out);

}  // namespace ui
