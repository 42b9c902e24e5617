// Reading and writing "settings.ini".
//
// Sections: reading (line rules, keys per section) | writing (layout, floats,
// line length) | file steps (read, atomic write with backup, save hook)
#include "Base/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Base/Log.h"
#include "Base/Text.h"
#include "Base/FileServices.h"

namespace {

const char* const kLayoutNames[] = {"SingleCamera", "SplitVertical", "SplitHorizontal", "SplitOverlap"};

// A settings file larger than this is not read at all: the real file is a few
// kilobytes, and reading is all-at-once.
constexpr uint64_t kMaxSettingsFile_bytes = 64ull << 20;

// Every written line, its CR LF included, fits in this many bytes.
constexpr size_t kMaxLine_bytes = 255;

// ---- reading ------------------------------------------------------------------

bool IsTrue(std::string_view value) { return value == "true"; }

// "Param_%d" / "Message_%d" as scanf would match them: the prefix, then an
// integer (leading whitespace and sign allowed, trailing text ignored).
bool MatchIndexedKey(std::string_view key, std::string_view prefix, int32_t* index) {
    if (key.substr(0, prefix.size()) != prefix) return false;
    bool matched = false;
    *index = LenientInt32(key.substr(prefix.size()), &matched);
    return matched;
}

// Parsing state of one file: the current section and the elements that keys
// of [Camera Config] and [Camera] apply to. Elements that came from an
// earlier file are never touched by keys of this one.
struct Reader {
    Settings* s;
    std::string_view section;
    size_t configIndex = 0;
    bool haveConfig = false;
    bool haveEntry = false;
    size_t entryIndex = 0;

    CameraConfig* Config() { return haveConfig ? &s->CameraConfigs[configIndex] : nullptr; }
    CameraEntry* Entry() { return haveEntry ? &s->CameraEntries[entryIndex] : nullptr; }

    void File(std::string_view key, std::string_view value) {
        if (key == "SessionDirectory")
            s->SessionDirectory = value;
        else if (key == "RecentSession")
            s->RecentSession = value;
        else if (key == "RecentExport")
            s->RecentExport = value;
    }

    void Layout(std::string_view key, std::string_view value) {
        if (key == "LayoutStyle") {
            for (size_t i = 0; i < std::size(kLayoutNames); ++i)
                if (value == kLayoutNames[i]) s->LayoutStyle = static_cast<LayoutKind>(i);
        } else if (key == "WindowWidth") {
            s->WindowWidth = LenientInt32(value);
        } else if (key == "WindowHeight") {
            s->WindowHeight = LenientInt32(value);
        } else if (key == "WindowPosX") {
            s->WindowPosX = LenientInt32(value);
        } else if (key == "WindowPosY") {
            s->WindowPosY = LenientInt32(value);
        } else if (key == "WindowMaximized") {
            s->WindowMaximized = IsTrue(value);
        } else if (key == "WindowFullscreen") {
            s->WindowFullscreen = IsTrue(value);
        } else if (key == "Split_Session") {
            s->Split_Session = LenientFloat(value);
        } else if (key == "Split_Camera") {
            s->Split_Camera = LenientFloat(value);
        } else if (key == "Split_Overlap") {
            s->Split_Overlap = LenientFloat(value);
        } else if (key == "DPI") {
            s->DPI = LenientInt32(value);
        } else if (key == "TabletMode") {
            s->TabletMode = IsTrue(value);
        }
    }

    void Hardware(std::string_view key, std::string_view value) {
        if (key == "AxisLabelX")
            s->AxisLabelX = value.substr(0, AxisLabelMaxLength);
        else if (key == "AxisLabelY")
            s->AxisLabelY = value.substr(0, AxisLabelMaxLength);
        else if (key == "AxisSelectX")
            s->AxisSelectX = LenientInt32(value);
        else if (key == "AxisSelectY")
            s->AxisSelectY = LenientInt32(value);
    }

    void ConfigKey(std::string_view key, std::string_view value) {
        if (key == "Name") {
            s->CameraConfigs.emplace_back();
            s->CameraConfigs.back().Name = value;
            haveConfig = true;
            configIndex = s->CameraConfigs.size() - 1;
            return;
        }
        CameraConfig* c = Config();
        if (!c) return;  // keys before the first Name of this file
        int32_t index = 0;
        if (key == "EnableRecord")
            c->EnableRecord = IsTrue(value);
        else if (key == "EnableCapture")
            c->EnableCapture = IsTrue(value);
        else if (MatchIndexedKey(key, "Param_", &index))
            c->Params.push_back({index, LenientInt32(value)});
        else if (MatchIndexedKey(key, "Message_", &index))
            c->Messages.push_back({index, std::string(value)});
    }

    void EntryKey(std::string_view key, std::string_view value) {
        if (key == "Id") {
            s->CameraEntries.emplace_back();
            s->CameraEntries.back().Id = LenientUint32(value);
            haveEntry = true;
            entryIndex = s->CameraEntries.size() - 1;
            return;
        }
        CameraEntry* e = Entry();
        if (!e) return;  // keys before the first Id of this file
        // Index and Window are written with "%u"; reading them wrapped to 32
        // bits brings a negative value back unchanged.
        if (key == "Index")
            e->Index = LenientInt32Wrapping(value);
        else if (key == "Window")
            e->Window = LenientInt32Wrapping(value);
        else if (key == "Config")
            e->Config = value;
        else if (key == "Uri")
            e->Uri = value;
    }

    void Line(std::string_view line) {
        // Leading whitespace, stepping over whole UTF-8 characters.
        const char* p = line.data();
        const char* end = p + line.size();
        while (p < end && IsUnicodeSpace(p, end)) p += Utf8CharLength(static_cast<unsigned char>(*p));
        if (p >= end) return;
        const std::string_view rest(p, static_cast<size_t>(end - p));
        if (rest[0] == '#' || rest[0] == ';') return;
        if (rest[0] == '[') {
            const size_t close = rest.find(']', 1);
            section = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            return;
        }
        const size_t eq = rest.find('=');
        const std::string key = TrimUnicodeSpace(rest.substr(0, eq));
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : rest.substr(eq + 1);
        if (key.empty() || value.empty()) return;
        if (section == "File")
            File(key, value);
        else if (section == "Layout")
            Layout(key, value);
        else if (section == "Hardware")
            Hardware(key, value);
        else if (section == "Camera Config")
            ConfigKey(key, value);
        else if (section == "Camera")
            EntryKey(key, value);
    }
};

// ---- writing ------------------------------------------------------------------

// "%f", then trailing zeros and a trailing "." removed: 0.85 -> "0.85", 2 -> "2".
std::string FormatFloat(float value) {
    char text[64];
    snprintf(text, sizeof text, "%f", static_cast<double>(value));
    std::string s(text);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return s;
}

const char* BoolText(bool value) { return value ? "true" : "false"; }

// One line "<key>=<value>\r\n", the value cut so that the line stays within
// kMaxLine_bytes.
void AddLine(std::string* out, std::string_view key, std::string_view value) {
    const size_t room = kMaxLine_bytes - 2;
    std::string line(key);
    line += '=';
    if (line.size() > room) line.resize(room);
    line.append(value.substr(0, room - line.size()));
    *out += line;
    *out += "\r\n";
}

void AddLine(std::string* out, std::string_view text) {
    out->append(text.substr(0, kMaxLine_bytes - 2));
    *out += "\r\n";
}

void AddInt(std::string* out, std::string_view key, int32_t value) { AddLine(out, key, std::to_string(value)); }
void AddUnsigned(std::string* out, std::string_view key, uint32_t value) { AddLine(out, key, std::to_string(value)); }

// ---- file steps -----------------------------------------------------------------

RecentConfigHook recentConfigHook;  // UI thread

void LogCopyFailure(const Path& from, const Path& to) {
    LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not copy from %s to %s", from.CStr(),
             to.CStr());
}

}  // namespace

const char* LayoutStyleName(LayoutKind style) {
    const auto i = static_cast<size_t>(style);
    return i < std::size(kLayoutNames) ? kLayoutNames[i] : nullptr;
}

void ParseSettingsText(std::string_view text, Settings* settings) {
    Reader reader{settings, std::string_view()};
    size_t pos = 0;
    while (pos < text.size()) {
        // Lines end at CR, LF or any run of them; blank lines disappear.
        const size_t end = text.find_first_of("\r\n", pos);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > pos) reader.Line(text.substr(pos, stop - pos));
        pos = stop + 1;
    }
}

std::string FormatSettingsText(const Settings& s) {
    std::string out;
    AddLine(&out, "[File]");
    AddLine(&out, "SessionDirectory",
            s.ConfiguredSessionDirectory.empty() ? s.SessionDirectory : s.ConfiguredSessionDirectory);
    AddLine(&out, "RecentSession", s.RecentSession);
    AddLine(&out, "RecentExport", s.RecentExport);
    out += "\r\n";

    AddLine(&out, "[Layout]");
    const char* layout = LayoutStyleName(s.LayoutStyle);
    AddLine(&out, "LayoutStyle", layout ? layout : kLayoutNames[0]);
    AddInt(&out, "WindowWidth", s.WindowWidth);
    AddInt(&out, "WindowHeight", s.WindowHeight);
    AddInt(&out, "WindowPosX", s.WindowPosX);
    AddInt(&out, "WindowPosY", s.WindowPosY);
    AddLine(&out, "WindowMaximized", BoolText(s.WindowMaximized));
    AddLine(&out, "WindowFullscreen", BoolText(s.WindowFullscreen));
    AddLine(&out, "Split_Session", FormatFloat(s.Split_Session));
    AddLine(&out, "Split_Camera", FormatFloat(s.Split_Camera));
    AddLine(&out, "Split_Overlap", FormatFloat(s.Split_Overlap));
    AddInt(&out, "DPI", s.DPI);
    out += "\r\n";

    AddLine(&out, "[Hardware]");
    AddLine(&out, "AxisLabelX", s.AxisLabelX);
    AddLine(&out, "AxisLabelY", s.AxisLabelY);
    AddInt(&out, "AxisSelectX", s.AxisSelectX);
    AddInt(&out, "AxisSelectY", s.AxisSelectY);
    out += "\r\n";

    for (const CameraEntry& e : s.CameraEntries) {
        if (e.Id == 0) break;
        AddLine(&out, "[Camera]");
        AddUnsigned(&out, "Id", e.Id);
        AddUnsigned(&out, "Index", static_cast<uint32_t>(e.Index));
        AddUnsigned(&out, "Window", static_cast<uint32_t>(e.Window));
        if (!e.Config.empty()) AddLine(&out, "Config", e.Config);
        if (!e.Uri.empty()) AddLine(&out, "Uri", e.Uri);
        out += "\r\n";
    }

    for (const CameraConfig& c : s.CameraConfigs) {
        AddLine(&out, "[Camera Config]");
        AddLine(&out, "Name", c.Name);
        AddLine(&out, "EnableRecord", BoolText(c.EnableRecord));
        AddLine(&out, "EnableCapture", BoolText(c.EnableCapture));
        for (const ConfigParam& p : c.Params) AddInt(&out, "Param_" + std::to_string(p.index), p.value);
        for (const ConfigMessage& m : c.Messages) AddLine(&out, "Message_" + std::to_string(m.index), m.text);
        out += "\r\n";
    }
    return out;
}

void ClampSettingsValues(Settings* s) {
    static constexpr int32_t kMaxWindowCoordinate = 32767;
    auto size = [](int32_t v) { return v < 0 ? 0 : std::min(v, kMaxWindowCoordinate); };
    auto position = [](int32_t v) { return std::clamp(v, -kMaxWindowCoordinate, kMaxWindowCoordinate); };
    s->WindowWidth = size(s->WindowWidth);
    s->WindowHeight = size(s->WindowHeight);
    s->WindowPosX = position(s->WindowPosX);
    s->WindowPosY = position(s->WindowPosY);
    const Settings defaults;
    auto ratio = [](float v, float fallback) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : fallback; };
    s->Split_Session = ratio(s->Split_Session, defaults.Split_Session);
    s->Split_Camera = ratio(s->Split_Camera, defaults.Split_Camera);
    s->Split_Overlap = ratio(s->Split_Overlap, defaults.Split_Overlap);
}

bool ReadSettings(const Path& folder, Settings* settings) {
    Path path = folder;
    path.Append("settings.ini");
    uint64_t size = 0;
    if (platform::FileSize(path, &size) && size > kMaxSettingsFile_bytes) {
        LOGF(LOG_WARN, LOG_SRC_MAIN, "ReadSettings | %s is too large (%llu bytes), not read", path.CStr(),
                 static_cast<unsigned long long>(size));
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, &bytes)) {
        // A missing file is the normal first start; one that is there but
        // cannot be read leaves the defaults in place, and the user must
        // hear why the preferences are gone.
        const int error = errno;
        if (platform::GetFileInfo(path, nullptr))
            LOGF(LOG_WARN, LOG_SRC_MAIN, "ReadSettings | could not read %s: %s", path.CStr(),
                     std::strerror(error));
        return false;
    }
    ParseSettingsText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), settings);
    return true;
}

bool WriteSettings(const Settings& settings, const Path& dataFolder) {
    const std::string text = FormatSettingsText(settings);
    Path settingsPath = dataFolder;
    settingsPath.Append("settings.ini");
    Path backupPath = dataFolder;
    backupPath.Append("settings.ini.bk");

    // The first save on a fresh machine has nothing to back up; that is
    // not a failed copy.
    const bool existed = platform::GetFileInfo(settingsPath, nullptr);
    const bool backedUp = existed && platform::CopyFile(settingsPath, backupPath);
    if (existed && !backedUp) LogCopyFailure(settingsPath, backupPath);

    // A failed atomic write never touched the settings file, so with this
    // save's backup in place the old text is already where it belongs:
    // copying the backup back would rewrite the file in place, the very
    // moment a crash must never find. Without a backup of this save there is
    // nothing to restore from (an older one, left by an earlier failed save,
    // must never go over the current file): the restore fails and is logged.
    Path temporaryPath = dataFolder;
    temporaryPath.Append("settings.ini.tmp");
    const bool written = platform::WriteFileReplacing(settingsPath, temporaryPath, text.data(), text.size());
    if (!written)
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "WriteSettings | could not write %s; the previous file is kept",
                 settingsPath.CStr());
    if (!written && !backedUp) {
        if (existed) LogCopyFailure(backupPath, settingsPath);
        return false;
    }
    // A backup that was never made (first save) is not a failed deletion.
    if (!platform::DeleteFile(backupPath) && platform::GetFileInfo(backupPath, nullptr))
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", backupPath.CStr());
    return written;
}

bool SaveSettings(Settings& settings, const Path& dataFolder) {
    if (recentConfigHook) recentConfigHook(settings);
    return WriteSettings(settings, dataFolder);
}

void SetRecentConfigHook(RecentConfigHook hook) { recentConfigHook = std::move(hook); }
