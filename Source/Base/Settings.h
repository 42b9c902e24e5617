// The settings record behind "settings.ini" and its reader and writer.
//
// The record is owned by the UI thread (start-up, panels, main loop,
// shut-down); nothing here takes a lock. The file lives in the data folder;
// start-up also reads a "settings.ini" from the working folder first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Base/Path.h"

enum class LayoutKind : int32_t {
    SingleCamera = 0,
    SplitVertical = 1,
    SplitHorizontal = 2,
    SplitOverlap = 3,
};

// One (index, value) pair of a camera configuration, in file order.
struct ConfigParam {
    int32_t index = 0;
    int32_t value = 0;
};

// One (index, text) pair of a camera configuration, in file order.
struct ConfigMessage {
    int32_t index = 0;
    std::string text;
};

// A named set of camera settings ([Camera Config] section). The names
// "<recent-primary>" and "<recent-satellite>" hold the most recent settings
// of channel 0 and channel 1.
struct CameraConfig {
    std::string Name;
    bool EnableRecord = true;   // the slot's record-enabled flag
    bool EnableCapture = true;  // the slot's snapshot-enabled flag
    std::vector<ConfigParam> Params;
    std::vector<ConfigMessage> Messages;
};

inline constexpr const char* RecentPrimaryConfigName = "<recent-primary>";
inline constexpr const char* RecentSatelliteConfigName = "<recent-satellite>";

// Where a camera channel is shown ([Camera] section).
struct CameraEntry {
    uint32_t Id = 0;     // value of parameter 1 of group 0; 0 ends the written list
    int32_t Index = 0;   // channel: 0 PRIMARY, 1 SATELLITE
    int32_t Window = 0;  // preferred view position
    std::string Config;  // name of a camera configuration (kept, not used)
    std::string Uri;     // stream address given to the slot when it starts
};

inline constexpr size_t AxisLabelMaxLength = 31;

struct Settings {
    LayoutKind LayoutStyle = LayoutKind::SingleCamera;
    int32_t WindowWidth = 0;  // 0: start-up computes the geometry
    int32_t WindowHeight = 0;
    int32_t WindowPosX = 0;
    int32_t WindowPosY = 0;
    bool WindowMaximized = false;
    bool WindowFullscreen = false;
    bool OnScreenKeyboard = true;  // not stored; start-up sets it before reading
    bool TabletMode = false;       // read, never written
    float Split_Session = 0.85f;
    float Split_Camera = 0.5f;
    float Split_Overlap = 0.4f;
    int32_t DPI = 96;  // design DPI; start-up sets 144 before reading
    int32_t AxisSelectX = 0;
    int32_t AxisSelectY = 0;
    std::string AxisLabelX;  // at most AxisLabelMaxLength bytes
    std::string AxisLabelY;
    std::string SessionDirectory;  // the storage folder in use this run
    // Not a key of its own: the storage folder the file names while this run
    // uses a fallback because that folder was missing at start (an unplugged
    // disk). It is what the file keeps as SessionDirectory, so the next start
    // goes back to it. Empty when SessionDirectory is the configured folder;
    // whatever sets SessionDirectory by the user's choice clears it.
    std::string ConfiguredSessionDirectory;
    std::string RecentSession;
    std::string RecentExport;
    std::vector<CameraConfig> CameraConfigs;
    std::vector<CameraEntry> CameraEntries;
};

// The word written for a layout ("SingleCamera" ...); nullptr for none.
const char* LayoutStyleName(LayoutKind style);

// Applies the lines of a settings text to the record: keys found override the
// record, [Camera Config] Name and [Camera] Id append new elements.
void ParseSettingsText(std::string_view text, Settings* settings);

// The whole record as the file text (CR LF line ends, every line at most 255
// bytes including its line end).
std::string FormatSettingsText(const Settings& settings);

// Reads "settings.ini" in `folder` (an empty folder means the working folder)
// into the record. A missing or unreadable file leaves the record unchanged
// and returns false.
bool ReadSettings(const Path& folder, Settings* settings);

// Brings values read from a file into the ranges the program computes with,
// before any arithmetic on them: window sizes 0 (computed) .. 32767, window
// positions -32767 .. 32767, split ratios 0 .. 1 (a ratio that is not a
// number takes its default). Start-up calls it after reading both files.
void ClampSettingsValues(Settings* settings);

// Writes the whole record to "settings.ini" in the data folder through the
// backup copy "settings.ini.bk". Returns true when the new text is in place.
bool WriteSettings(const Settings& settings, const Path& dataFolder);

// Records the recent camera configurations (through the hook below), then
// WriteSettings. The save every part of the program calls.
bool SaveSettings(Settings& settings, const Path& dataFolder);

// The "recent configuration" step of SaveSettings: the camera binding installs
// a routine that stores the current configuration of each active slot of the
// first camera unit in the record (UI thread; nullptr/empty removes it).
using RecentConfigHook = std::function<void(Settings& settings)>;
void SetRecentConfigHook(RecentConfigHook hook);
