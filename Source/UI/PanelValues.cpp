#include "UI/PanelValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ui {

// ---- settings panel -----------------------------------------------------------------------

const char* const kSettingsPageNames[7] = {"Video", "Photo", "Annotation", "Zoom", "Picture", "Guides", "System"};

std::string TabLabel(const char* cameraName, int group) {
    if (cameraName == nullptr || cameraName[0] == 0) return picam::DefaultCameraName(group);
    if (group == 1) return std::string(cameraName) + "(" + picam::DefaultCameraName(1) + ")";
    return cameraName;
}

PendingChanges PendingChangesOf(const picam::ParamGroup& slot, const picam::ParamGroup& baseline,
                                const picam::ParamGroup& camera, const int32_t* pendingParam) {
    PendingChanges out;
    for (int i = 77; i <= 191; ++i) {
        if (picam::IsReadOnlyParam(i)) continue;
        const int32_t l = slot.params[i].value, b = baseline.params[i].value, c = camera.params[i].value;
        if (l == b) continue;
        if (l == c)
            out.undo = true;
        else
            out.apply = pendingParam[i] <= 0;
    }
    return out;
}

void ZoomIndices(int rotationPosition, int* xIndex, int* yIndex) {
    const bool swapped = rotationPosition == 1 || rotationPosition == 3;
    *xIndex = swapped ? picam::ZoomY : picam::ZoomX;
    *yIndex = swapped ? picam::ZoomX : picam::ZoomY;
}

ZoomWindow ZoomWindowOf(const picam::ParamGroup& table) {
    int xi, yi;
    ZoomIndices(picam::RotationPosition(table.params[picam::Rotation].value), &xi, &yi);
    ZoomWindow w;
    w.x = picam::ShownValue(table.params[xi]);
    w.y = picam::ShownValue(table.params[yi]);
    w.size = picam::ShownValue(table.params[picam::ZoomWidth]);
    return w;
}

ZoomWindow ClampZoom(ZoomWindow w) {
    if (!std::isfinite(w.size)) w.size = 1;
    w.size = std::clamp(w.size, 0.25, 1.0);
    if (!std::isfinite(w.x)) w.x = 0;
    if (!std::isfinite(w.y)) w.y = 0;
    w.x = std::clamp(w.x, 0.0, 1.0 - w.size);
    w.y = std::clamp(w.y, 0.0, 1.0 - w.size);
    return w;
}

ZoomWindow ResizeZoom(ZoomWindow w, double size) {
    const double cx = w.x + w.size / 2, cy = w.y + w.size / 2;
    w.size = std::clamp(size, 0.25, 1.0);
    w.x = cx - w.size / 2;
    w.y = cy - w.size / 2;
    return ClampZoom(w);
}

int CrosshairImageWidth(const picam::ParamRecord& r) {
    if (r.scaleDen == 0) return r.maximum;
    return static_cast<int>(static_cast<int64_t>(r.maximum) * r.scaleNum / r.scaleDen);
}

double CrosshairSliderValue(const picam::ParamRecord& size, int imageWidth) {
    return picam::ShownValue(size) * imageWidth / 2.0;
}

int32_t CrosshairRaw(const picam::ParamRecord& size, double slider, int imageWidth) {
    if (imageWidth <= 0) return size.value;
    const double fraction = slider * 2.0 / imageWidth;
    if (size.scaleNum == 0 || size.scaleDen == 0) return static_cast<int32_t>(fraction);
    return static_cast<int32_t>(fraction * size.scaleDen / size.scaleNum);
}

int32_t GuideWorkingCopy(int32_t flags) { return flags & ~picam::kGuideClearedBits; }

int32_t GuideWithCrosshairs(int32_t flags, bool on) {
    return on ? (flags | picam::kGuideCrosshairs) : (flags & ~picam::kGuideCrosshairs);
}

bool InvertColourChecked(int32_t textColour) { return (textColour & 0xFF) == 0; }

uint32_t GuideColourWithOpacity(uint32_t swatch, int opacity) {
    return (swatch & 0x00FFFFFFu) | (static_cast<uint32_t>(std::clamp(opacity, 0, 255)) << 24);
}

bool NameCharAllowed(unsigned int c) { return c >= 32 && strchr("\"*/:<>?\\|", static_cast<int>(c)) == nullptr; }

bool NumberCharAllowed(unsigned int c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

void LineWeightRange(const picam::ParamRecord& r, int* minimum, int* maximum) {
    picam::ParamRecord m = r;
    m.value = r.minimum;
    *minimum = static_cast<int>(picam::ShownValueInt(m));
    m.value = r.maximum;
    *maximum = static_cast<int>(std::min<int64_t>(picam::ShownValueInt(m), 8));
}

// ---- light -----------------------------------------------------------------------------------

int LightPercent(const picam::ParamRecord& r) {
    if (r.maximum <= 0) return 0;
    return static_cast<int>(static_cast<int64_t>(r.value) * 100 / r.maximum);
}

int32_t LightRawFromPercent(const picam::ParamRecord& r, int percent) {
    return static_cast<int32_t>(static_cast<int64_t>(r.maximum) * std::clamp(percent, 0, 100) / 100);
}

// ---- diagnostics -----------------------------------------------------------------------------

int64_t StatusRowValue(const picam::ParamRecord& record, bool camRow, int group, int64_t shownGroupCount) {
    if (camRow && group >= shownGroupCount) return 4;
    if (picam::IsNullParam(record)) return 0;
    return picam::ShownValueInt(record);
}

std::string StatusName(int64_t value) {
    if (value >= 0 && value <= 10) return picam::kStatusCodeNames[value];
    return "code " + std::to_string(value);
}

Rgba StatusColour(int64_t value) {
    if (value == 0) return {0.25f, 0, 1, 1};
    if (value == 1) return {0, 1, 0, 1};
    if (value >= 2 && value <= 8) return {1, 0.5f, 0, 1};
    if (value == 9 || value == 10) return {1, 0, 0, 1};
    return {0.6f, 0.6f, 0.6f, 1};  // no label: grey
}

const char* const kAslErrorNames[8] = {"SPI ERROR", "VIN", "VGG", "BSUV", "LV HEADROOM", "LOW VOUT", "TJ", "LIMP"};
const char* const kNvmErrorNames[8] = {"SPI ERROR", "READ FAIL", "NOT READ", "WRITE FAIL",
                                       "NOT WRITTEN", "---", "---", "UNSET"};

std::string BinaryDigits(uint8_t byte) {
    std::string s(8, '0');
    for (int b = 0; b < 8; ++b)
        if (byte & (1u << b)) s[static_cast<size_t>(7 - b)] = '1';
    return s;
}

std::string ErrorBitsText(uint8_t byte, const char* const names[8]) {
    if (byte == 0) return "ok";
    std::string s;
    for (int b = 0; b < 8; ++b)
        if (byte & (1u << b)) s += std::string(names[b]) + " | ";
    return s;
}

const char* LedHeadingWord(int32_t state) {
    if (state == 0) return "";
    return state == 1 ? "Dimmed" : "Shutdown";
}

std::vector<float> ResamplePlot(const SampleSeries& series, const picam::ParamRecord& record) {
    std::vector<float> points;
    if (series.size() < 2) return points;
    const size_t n = std::min<size_t>(series.size(), 60);
    const double first = series.front().time, last = series.back().time;
    double step = (last - first) / static_cast<double>(n);
    if (step >= 10) step = 10 * (std::floor(step / 10) + 1);
    picam::ParamRecord shown = record;
    size_t at = 0;
    for (size_t k = 0; k < n; ++k) {
        const double t = first + static_cast<double>(k) * step;
        // The value holding at t: the last sample at or before it.
        while (at + 1 < series.size() && series[at + 1].time <= t) ++at;
        shown.value = series[at].value;
        points.push_back(static_cast<float>(picam::ShownValue(shown)));
    }
    return points;
}

Rgba PlotColour(double value, double minimum, double maximum) {
    double f = maximum > minimum ? (value - minimum) / (maximum - minimum) : 0;
    if (!std::isfinite(f)) f = 0;
    f = std::clamp(f, 0.0, 1.0);
    const double h = 0.486 * (1 - f) * 6;  // hue in sixths of a turn
    const int sector = static_cast<int>(h) % 6;
    const double part = h - std::floor(h);
    double r = 0, g = 0, b = 0;
    switch (sector) {
        case 0: r = 1, g = part, b = 0; break;
        case 1: r = 1 - part, g = 1, b = 0; break;
        case 2: r = 0, g = 1, b = part; break;
        default: r = 0, g = 1 - part, b = 1; break;
    }
    return {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1};
}

DriveSlider DriveSliderOf(const picam::ParamRecord& r, bool currentRow) {
    DriveSlider d;
    d.floating = r.scaleDen > 1;
    picam::ParamRecord m = r;
    m.value = r.minimum;
    d.minimum = picam::ShownValue(m);
    m.value = currentRow && r.scaleNum != 0 ? std::min<int32_t>(r.maximum, static_cast<int32_t>(r.scaleDen * 1.8 / r.scaleNum))
                                            : r.maximum;
    d.maximum = picam::ShownValue(m);
    return d;
}

int32_t DriveRawFromShown(const picam::ParamRecord& r, double shown) {
    if (r.scaleNum == 0 || r.scaleDen == 0) return static_cast<int32_t>(shown);
    return static_cast<int32_t>(std::lround(shown * r.scaleDen / r.scaleNum));
}

// ---- firmware ---------------------------------------------------------------------------------

const char* const kFirmwareConfirmText =
    "This will apply the ORVEX Camera firmware update. In order to avoid synchronization issues, please ensure "
    "your system time is correct.";

std::string FirmwareResultAlert(int result) {
    const char* message = nullptr;
    switch (result) {
        case 0: return "";
        case 1: message = "The firmware version is already up to date"; break;
        case 2:
        case 3:
        case 4: message = "The update files could not be validated"; break;
        case 5: message = "There is an existing update pending on the camera\nPlease power-cycle the camera"; break;
        default: message = "There was an internal error.  Firmware update cancelled."; break;
    }
    char text[512];
    snprintf(text, sizeof text, "%s (id=%d)", message, result);
    return text;
}

FirmwareWait FirmwareWaitState(int64_t elapsed_ms, bool found, uint32_t version, uint32_t target, bool restartAfter) {
    if (elapsed_ms > 1000 && found) {
        if (version < target) return FirmwareWait::Problem;
        return restartAfter ? FirmwareWait::SuccessRestart : FirmwareWait::Success;
    }
    return elapsed_ms <= 20000 ? FirmwareWait::Waiting : FirmwareWait::NoResponse;
}

const char* FirmwareWaitText(FirmwareWait state) {
    switch (state) {
        case FirmwareWait::Waiting:
            return "Files transferred, initializing camera firmware.\n\nThis may take some time, do not remove power "
                   "or disconnect ...";
        case FirmwareWait::Problem:
            return "There was a problem installing the update. Remove power to the camera and restart. Once camera "
                   "has connected, check firmware version and retry update if necessary.";
        case FirmwareWait::SuccessRestart:
            return "ORVEX firmware update successful. Some changes require camera to restart.  Please restart now, "
                   "or power-cycle the camera.";
        case FirmwareWait::Success:
            return "ORVEX firmware update successful.";
        case FirmwareWait::NoResponse:
            return "Camera has not responded. Remove power to the camera and restart. Once camera has connected, "
                   "check firmware version and retry update if necessary.";
    }
    return "";
}

// ---- crawler ---------------------------------------------------------------------------------

std::vector<PodCandidate> PodCandidates(const ScanLinkState& state, int axis) {
    std::vector<PodCandidate> out;
    if (axis < 0 || axis >= kScanLinkAxes) return out;
    const ScanLinkAxisItems range = state.axisItems[axis];
    auto usable = [&](int item) {
        return item >= 0 && item < kScanLinkItems && state.itemScale[item] != 0 && state.itemValue[item].divisor != 0;
    };
    auto name = [&](int item) {
        return item >= 0 && item < kScanLinkNamedItems ? std::string(state.itemName[item]) : std::string();
    };
    for (int64_t c = range.first; c < static_cast<int64_t>(range.first) + range.count; ++c) {
        if (c < 0 || c >= 0x80) continue;
        const int item = static_cast<int>(c);
        if (usable(item)) out.push_back({item, name(item)});
        if (usable(item | 0x80)) out.push_back({item | 0x80, name(item) + " AUX"});
    }
    return out;
}

bool ParseNumberInput(const char* text, double* out) {
    if (text == nullptr || text[0] == 0) return false;
    char* end = nullptr;
    const double v = strtod(text, &end);
    if (end == text || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

}  // namespace ui
