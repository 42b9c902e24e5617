#include "Video/Camera/Catalogue.h"

#include <cmath>
#include <cstdio>

namespace picam {

const ResolutionPreset kResolutionPresets[5] = {
    {"16:9  1920 x 1080", 1920, 1080, 30}, {"16:9  1640 x 922", 1640, 922, 30},
    {"16:9  1280 x 720", 1280, 720, 30},   {" 4:3   1640 x 1232", 1640, 1232, 30},
    {" 4:3   640 x 480", 640, 480, 30},
};

const ImageSizePreset kImageSizePresets[2] = {
    {" 4:3   3280 x 2464 (full)", 3280, 2464},
    {"16:9  3280 x 1844 (cropped)", 3280, 1844},
};

const char* const kAwbNames[11] = {"Off",      "Auto",        "Sun",          "Cloud", "Shade",    "Tungsten",
                                   "Fluorescent", "Incandescent", "Flash", "Horizon", "Greyworld"};
const char* const kExposureModeNames[13] = {"Off",       "Auto",      "Night",     "Night 2",   "Backlight",
                                            "Spotlight", "Sports",    "Snow",      "Beach",     "Very Long",
                                            "Fixed FPS", "Antishake", "Fireworks"};
const char* const kMeteringNames[4] = {"Average", "Spot", "Backlit", "Matrix"};
const char* const kDateFormatNames[6] = {"No Date",    "MM/DD/YYYY", "DD-MM-YYYY",
                                         "YYYY-MM-DD", "DD.MM.YYYY", "YYYY.MM.DD"};
const char* const kTimeFormatNames[5] = {"No Time", "24h:mm", "24h:mm:ss", "12h:mm", "12h:mm:ss"};
const char* const kEncoderDisplayNames[3] = {"No Encoder", "[x,y]", "Labels [x,y]"};
const char* const kStatusCodeNames[11] = {"unknown",      "ok",        "timeout",      "not connected",
                                          "not found",    "no interface", "no comms", "no interface",
                                          "no comms",     "fatal",     "sensor error"};
const char* const kH264ProfileNames[3] = {"Baseline", "Main", "High"};
const char* const kH264LevelNames[3] = {"4.0", "4.1", "4.2"};
const char* const kRotationLabels[4] = {"0", "90", "180", "270"};

const char* TableText(const char* const* table, int count, int32_t i) {
    return (i >= 0 && i < count) ? table[i] : nullptr;
}

std::string StatusCodeText(int32_t code) {
    if (const char* text = TableText(kStatusCodeNames, 11, code)) return text;
    char buffer[32];
    snprintf(buffer, sizeof buffer, "code %d", code);
    return buffer;
}

const char* LedThermalText(int32_t state) {
    if (state == 0) return "";
    return state == 1 ? "LED Dimmed" : "LED Shutdown";
}

const char* DefaultCameraName(int group) { return group == 0 ? "PRIMARY" : "SATELLITE"; }

double ShownValue(const ParamRecord& record) {
    if (record.scaleDen == 0) return record.value;
    return static_cast<double>(record.value) * record.scaleNum / record.scaleDen;
}

int64_t ShownValueInt(const ParamRecord& record) {
    if (record.scaleDen == 0) return record.value;
    return static_cast<int64_t>(record.value) * record.scaleNum / record.scaleDen;
}

int32_t RawFromShown(const ParamRecord& record, double shown) {
    double raw = shown;
    if (record.scaleNum != 0 && record.scaleDen != 0) raw = shown * record.scaleDen / record.scaleNum;
    raw = std::round(raw);
    if (raw > INT32_MAX) return INT32_MAX;
    if (raw < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(raw);
}

std::string VersionText(uint32_t v) {
    char buffer[40];
    snprintf(buffer, sizeof buffer, "%u.%u.%u", v / 1000000, (v % 1000000) / 1000, v % 1000);
    return buffer;
}

std::string LightingVersionText(uint32_t value) {
    char buffer[40];
    snprintf(buffer, sizeof buffer, "%u.%u.%u", (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    return buffer;
}

std::string LightingBuildText(uint32_t value) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "%04X-%04X", (value >> 16) & 0xFFFF, value & 0xFFFF);
    return buffer;
}

int RotationPosition(int32_t raw) { return static_cast<int>(((static_cast<int64_t>(raw) + 2) % 4 + 4) % 4); }

int32_t RotationRaw(int position) { return ((position + 2) % 4 + 4) % 4; }

std::string IsoOptionText(const ParamRecord& record, int32_t option) {
    if (option == record.defaultValue) return "Auto";
    return std::to_string(option);
}

void BitrateSliderRange(const ParamRecord& record, int* minimumMbps, int* maximumMbps) {
    *minimumMbps = record.minimum / 1000;
    *maximumMbps = record.maximum / 1000;
}

int BitrateMbps(const ParamRecord& record) { return record.value / 1000; }

int32_t BitrateFromMbps(int mbps) { return mbps * 1000; }

double ZoomFactor(const ParamRecord& zoomWidth) {
    const double width = ShownValue(zoomWidth);
    return width > 0 ? 1.0 / width : 1.0;
}

int FindResolutionPreset(int32_t width, int32_t height, int32_t frameRate) {
    for (int i = 0; i < 5; ++i) {
        const ResolutionPreset& p = kResolutionPresets[i];
        if (p.width == width && p.height == height && p.frameRate == frameRate) return i;
    }
    return -1;
}

int FindImageSizePreset(int32_t width, int32_t height) {
    for (int i = 0; i < 2; ++i)
        if (kImageSizePresets[i].width == width && kImageSizePresets[i].height == height) return i;
    return -1;
}

int OptionPosition(const ParamRecord& record, int32_t value) {
    const int count = record.optionCount < kMaxOptions ? record.optionCount : kMaxOptions;
    for (int i = 0; i < count; ++i)
        if (record.options[i] == value) return i;
    return -1;
}

}  // namespace picam
