// The camera parameter catalogue: what each parameter and message index
// means, which are polled, the text tables that label values, and the
// helpers that turn a record into the value shown. The camera itself
// describes ranges, defaults and scales; nothing here holds any.
//
// Plain constants and pure functions; no state, no locks. Callers read the
// records they pass in under the service's tableLock.
//
// Section index
//   ParamIndex, MessageIndex    named indices
//   poll sets                   what ServiceProc reads every 250 ms / 50 ms
//   text tables                 presets, option names, status codes
//   helpers                     shown values, version texts, rotation, presets
#pragma once

#include <cstdint>
#include <string>

#include "Video/Camera/Service.h"

namespace picam {

// ---- named indices -----------------------------------------------------------------
enum ParamIndex : int {
    ServiceVersion = 0,
    CameraId = 1,
    OsVersion = 2,
    PlatformRevision = 3,
    GroupCount = 4,
    StatusWord5 = 5,
    SysStatus = 6,
    ProcessorTemperature = 7,
    CpuClock = 8,
    StatusWord9 = 9,
    StatusWord10 = 10,
    Command = 11,
    CanStatus = 17,
    StatusWord18 = 18,
    StatusWord19 = 19,
    StatusWord20 = 20,
    StatusWord21 = 21,
    AxisInvert = 22,
    FastStatus = 23,
    PicStatus = 32,
    LightingFirmwareBuild = 33,
    LightingFirmwareVersion = 34,
    LightLevel = 36,
    LedDriveCurrent = 37,
    FoldbackLow = 39,
    FoldbackHigh = 40,
    LedStatusWord41 = 41,
    LedCurrent = 42,
    LedThermalState = 43,
    AslErrorFlags = 44,
    NvmErrorFlags = 45,
    LedStatusWord46 = 46,
    LedVin = 47,
    LedVout = 48,
    AslTemperature = 49,
    LedTemperatureA = 50,
    LedTemperatureB = 51,
    CaseTemperature = 52,
    InternalTemperature = 53,
    LedStatusWord54 = 54,
    Diag1 = 55,
    Diag2 = 56,
    Diag3 = 57,
    BsuvRegister = 58,
    LedStatusWord59 = 59,
    LedStatusWord60 = 60,
    LedStatusWord61 = 61,
    CamStatus = 74,
    StatusWord75 = 75,
    StatusWord76 = 76,
    Sharpness = 80,
    Contrast = 81,
    Brightness = 82,
    Saturation = 83,
    Iso = 84,
    ExposureMode = 86,
    Metering = 87,
    ExposureCompensation = 88,
    AwbMode = 90,
    RedGain = 91,
    BlueGain = 92,
    Rotation = 93,
    FlipHorizontal = 94,
    FlipVertical = 95,
    ZoomX = 96,
    ZoomY = 97,
    ZoomWidth = 98,
    ZoomHeight = 99,
    VideoWidth = 117,
    VideoHeight = 118,
    VideoFrameRate = 119,
    ImageWidth = 123,
    ImageHeight = 124,
    JpegQuality = 125,
    Drc = 126,
    H264Profile = 133,
    H264Level = 134,
    Bitrate = 141,
    AnnotationEnable = 155,
    AnnotationBackground = 156,
    AnnotationSize = 157,
    AnnotationTextColor = 158,
    AnnotationBackColor = 159,
    AnnotationLocation = 160,
    AnnotationOffsetX = 161,
    AnnotationOffsetY = 162,
    AnnotationShowName = 163,
    AnnotationDateFormat = 164,
    AnnotationTimeFormat = 165,
    AnnotationEncoder = 167,
    GuideFlags = 172,
    GuideLineWeight = 175,
    GuideCrosshairSize = 176,
    GuidePositionX = 179,
    GuidePositionY = 180,
    GuideColor = 181,
};

enum MessageIndex : int {
    CameraName = 2,
    AnnotationText = 3,
    AxisLabel = 4,
};

// Command (11) values.
constexpr int32_t kCommandRestartService = 1;

// GuideFlags (172) bits.
constexpr int32_t kGuideEnable = 0x1;
constexpr int32_t kGuideHorizontal = 0x2;
constexpr int32_t kGuideVertical = 0x4;
constexpr int32_t kGuideCrosshairs = 0x180;   // both bits together
constexpr int32_t kGuideClearedBits = 0x78;   // cleared whenever the panel writes the word

// AnnotationLocation (160) codes.
enum AnnotationLocationCode : int32_t {
    kLocationTopCentre = 0,
    kLocationTopLeft = 1,
    kLocationTopRight = 2,
    kLocationBottomCentre = 3,
    kLocationBottomLeft = 4,
    kLocationBottomRight = 5,
};

// ---- poll sets ---------------------------------------------------------------------
// Read every 250 ms: these of group 0 only, then these of both groups.
inline constexpr int kPollParamsGroup0[] = {5, 6, 7, 8, 10, 17, 18, 19};
inline constexpr int kPollParamsBothGroups[] = {20, 21, 22, 23, 32, 36, 41, 42, 43, 44, 47, 48, 49, 50,
                                                51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 74, 75, 76};
// Read every 50 ms in both groups.
inline constexpr int kFastPollParam = FastStatus;

// ---- text tables -------------------------------------------------------------------
struct ResolutionPreset {
    const char* label;
    int32_t width, height, frameRate;
};
struct ImageSizePreset {
    const char* label;
    int32_t width, height;
};

extern const ResolutionPreset kResolutionPresets[5];
extern const ImageSizePreset kImageSizePresets[2];
extern const char* const kAwbNames[11];           // AwbMode by option position
extern const char* const kExposureModeNames[13];  // ExposureMode by value
extern const char* const kMeteringNames[4];       // Metering by option position
extern const char* const kDateFormatNames[6];     // AnnotationDateFormat by value
extern const char* const kTimeFormatNames[5];     // AnnotationTimeFormat by value
extern const char* const kEncoderDisplayNames[3];  // AnnotationEncoder by option position
extern const char* const kStatusCodeNames[11];    // SysStatus, CanStatus, PicStatus, CamStatus by value
extern const char* const kH264ProfileNames[3];    // H264Profile by value
extern const char* const kH264LevelNames[3];      // H264Level by value
extern const char* const kRotationLabels[4];      // by position (see RotationPosition)

// Entry i of a table of n texts; nullptr when i is outside it.
const char* TableText(const char* const* table, int count, int32_t i);
// Status code label; codes outside 0..10 read "code %d".
std::string StatusCodeText(int32_t code);
// LedThermalState: "" for 0 (normal), "LED Dimmed" for 1, else "LED Shutdown".
const char* LedThermalText(int32_t state);
// The name shown for a channel whose CameraName message is empty.
const char* DefaultCameraName(int group);

// ---- helpers -----------------------------------------------------------------------
// value * scaleNum / scaleDen (a zero denominator shows the raw value).
double ShownValue(const ParamRecord& record);
int64_t ShownValueInt(const ParamRecord& record);
// The raw value for a shown value, rounded to the nearest integer.
int32_t RawFromShown(const ParamRecord& record, double shown);

// "%u.%u.%u" of major*1000000 + minor*1000 + patch.
std::string VersionText(uint32_t version);
// LightingFirmwareVersion: bytes 2, 1, 0 as "%u.%u.%u".
std::string LightingVersionText(uint32_t value);
// LightingFirmwareBuild: "%04X-%04X", high half first.
std::string LightingBuildText(uint32_t value);

// Rotation: raw r shows at position (r + 2) mod 4; position p stores (p + 2) mod 4.
int RotationPosition(int32_t raw);
int32_t RotationRaw(int position);

// Iso option label: "Auto" for the option equal to defaultValue, else "%d".
std::string IsoOptionText(const ParamRecord& record, int32_t option);

// Bitrate slider in whole Mbit/s: minimum / 1000 .. maximum / 1000.
void BitrateSliderRange(const ParamRecord& record, int* minimumMbps, int* maximumMbps);
int BitrateMbps(const ParamRecord& record);
int32_t BitrateFromMbps(int mbps);

// Zoom factor shown for a zoom width record: 1 / shown width.
double ZoomFactor(const ParamRecord& zoomWidth);

// The first preset whose numbers all equal the current values; -1 for none.
int FindResolutionPreset(int32_t width, int32_t height, int32_t frameRate);
int FindImageSizePreset(int32_t width, int32_t height);
// Position of `value` in the record's option list; -1 when not listed.
int OptionPosition(const ParamRecord& record, int32_t value);

}  // namespace picam
