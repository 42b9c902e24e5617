#include "Session/MediaName.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "Base/Text.h"

namespace {

const char* const kLetters[kMediaTypeCount] = {"none", "V", "P", "N", "D"};
const char* const kExtensions[kMediaTypeCount] = {"bad", "mkv", "jpg", "txt", "qsd"};
const char* const kLabelOne[kMediaTypeCount] = {"Unknown file", "Video", "Image", "Note", "Data file"};
const char* const kLabelMany[kMediaTypeCount] = {"Unknown files", "Videos", "Images", "Notes", "Data files"};

constexpr int64_t kUsPerHour = 3600000000LL;
constexpr int64_t kUsPerMinute = 60000000LL;
constexpr int64_t kUsPerSecond = 1000000LL;
// Difference between 1601-01-01 and 1970-01-01 in 100-ns ticks.
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000LL;

int TypeIndex(MediaType type) {
    const int i = static_cast<int>(type);
    return (i >= 0 && i < kMediaTypeCount) ? i : 0;
}

// Splits at runs of `sep`, dropping empty tokens; each token is a view into `text`.
std::vector<std::string_view> SplitTokens(std::string_view text, char sep) {
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == sep) ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != sep) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// Reads a decimal number from at most the first 14 characters, as the name
// format allows; stops at the first non-digit.
uint64_t ReadDecimal14(std::string_view token) {
    char buffer[15] = {};
    const size_t n = token.size() < 14 ? token.size() : 14;
    std::memcpy(buffer, token.data(), n);
    return std::strtoull(buffer, nullptr, 10);
}

}  // namespace

const char* MediaTypeLetter(MediaType type) { return kLetters[TypeIndex(type)]; }
const char* MediaTypeExtension(MediaType type) { return kExtensions[TypeIndex(type)]; }
const char* MediaTypeLabel(MediaType type, bool plural) {
    return plural ? kLabelMany[TypeIndex(type)] : kLabelOne[TypeIndex(type)];
}

SessionTimeParts SplitSessionTime(int64_t timeUs) {
    SessionTimeParts p;
    p.hours = timeUs / kUsPerHour;
    const int64_t rest = timeUs - p.hours * kUsPerHour;
    p.minutes = static_cast<int32_t>(rest / kUsPerMinute);
    p.seconds = static_cast<int32_t>((rest - p.minutes * kUsPerMinute) / kUsPerSecond);
    p.micros = static_cast<int32_t>(timeUs - (timeUs / kUsPerSecond) * kUsPerSecond);
    return p;
}

std::string MediaFileName(std::string_view session, const MediaEntry& entry) {
    std::string safe(session);
    for (char& c : safe) {
        if (c == '/' || c == '\\' || c == '\0') c = '_';
    }
    const SessionTimeParts t = SplitSessionTime(entry.time);
    // Only the part after the session has a bounded length; the session is
    // joined in front of it whole, so a long name found in the folder is
    // never cut (a cut name loses its type and extension and is never listed
    // again).
    char tail[128];
    std::snprintf(tail, sizeof tail, "-%02" PRId64 ".%02d.%02d.%03d-%s-%u-%d.%s", t.hours, t.minutes, t.seconds,
                  t.micros / 1000, MediaTypeLetter(entry.type), entry.cameraId, entry.cameraSlot,
                  MediaTypeExtension(entry.type));
    return safe + tail;
}

std::string SessionDataFileName(std::string_view session) {
    MediaEntry data;
    data.type = MediaType::Data;
    return MediaFileName(session, data);
}

bool ParseMediaFileName(std::string_view name, std::string* session, MediaEntry* entry) {
    session->clear();
    *entry = MediaEntry{};

    const std::vector<std::string_view> tokens = SplitTokens(name, '-');
    if (tokens.size() < 5) return false;
    const size_t n = tokens.size();
    const std::string_view rawTime = tokens[n - 4];
    const std::string t1 = TrimUnicodeSpace(rawTime);
    const std::string t2 = TrimUnicodeSpace(tokens[n - 3]);
    const std::string t3 = TrimUnicodeSpace(tokens[n - 2]);
    const std::string t4 = TrimUnicodeSpace(tokens[n - 1]);

    // Everything before the '-' that precedes the time token; a session name may hold '-'.
    const size_t timeStart = static_cast<size_t>(rawTime.data() - name.data());
    const std::string sessionName = TrimUnicodeSpace(name.substr(0, timeStart > 0 ? timeStart - 1 : 0));
    // A name with nothing but spaces and '-' before its time is foreign: an
    // empty session name reads as "no session loaded" in the store, and the
    // name written for a session of dashes alone would not parse back (its
    // dashes merge with the separator before the time).
    if (sessionName.find_first_not_of('-') == std::string::npos) return false;

    if (t2.empty()) return false;
    MediaType type = MediaType::None;
    for (int i = 0; i < kMediaTypeCount; ++i) {
        if (std::strncmp(t2.c_str(), kLetters[i], std::strlen(kLetters[i])) == 0) {
            type = static_cast<MediaType>(i);
            break;
        }
    }
    if (type == MediaType::None) return false;

    const std::vector<std::string_view> parts = SplitTokens(t1, '.');
    if (parts.size() < 4) return false;
    const uint64_t hours = ReadDecimal14(parts[0]);
    const uint64_t minutes = ReadDecimal14(parts[1]);
    const uint64_t seconds = ReadDecimal14(parts[2]);
    const uint64_t millis = ReadDecimal14(parts[3]);
    // A name whose time does not fit a signed 64-bit microsecond count is foreign.
    constexpr uint64_t kMaxField = 1000000000ULL;
    constexpr uint64_t kMaxHours = 2000000ULL;
    if (hours > kMaxHours || minutes > kMaxField || seconds > kMaxField || millis > kMaxField) return false;

    const int64_t time = static_cast<int64_t>(hours) * kUsPerHour + static_cast<int64_t>(minutes) * kUsPerMinute +
                         static_cast<int64_t>(seconds) * kUsPerSecond + static_cast<int64_t>(millis) * 1000;
    // The fields may overflow into each other (90 minutes is 1 h 30 min), but
    // the whole time must stay within the hours a name may carry: the name
    // written for it is then one that parses back.
    if (time >= static_cast<int64_t>(kMaxHours + 1) * kUsPerHour) return false;
    // The program writes slot 0 or 1; a slot beyond a signed 32-bit value
    // would come back negative and be written as a name that reads otherwise.
    const uint64_t slot = ReadDecimal14(t4);
    if (slot > static_cast<uint64_t>(INT32_MAX)) return false;
    entry->type = type;
    entry->time = time;
    entry->cameraId = static_cast<uint32_t>(ReadDecimal14(t3));
    entry->cameraSlot = static_cast<int32_t>(slot);
    *session = sessionName;
    return true;
}

bool LocalTimeOf(platform::FileTime fileTime, LocalTime* out) {
    // File times with the top bit set are invalid, as on the original platform.
    if (fileTime < 0) return false;
    const int64_t sinceUnix = fileTime - kFileTimeUnixEpoch;
    int64_t seconds = sinceUnix / 10000000;
    int64_t ticks = sinceUnix % 10000000;
    if (ticks < 0) {
        ticks += 10000000;
        seconds -= 1;
    }
    const time_t t = static_cast<time_t>(seconds);
    struct tm utc {};
    struct tm local {};
    if (gmtime_r(&t, &utc) == nullptr) return false;
    if (localtime_r(&t, &local) == nullptr) return false;
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    out->millisecond = static_cast<int>(ticks / 10000);
    return true;
}

std::string ExportFileName(std::string_view prefix, const MediaEntry& entry, const platform::FileInfo& info) {
    const std::string p(prefix);
    const char* suffix = entry.cameraSlot != 0 ? "_satellite" : "";
    const char* ext = MediaTypeExtension(entry.type);
    char buffer[256];
    LocalTime lt;
    if (LocalTimeOf(info.lastWrite, &lt)) {
        std::snprintf(buffer, sizeof buffer, "%s_%04d-%02d-%02d_%02d.%02d.%02d%s.%s", p.c_str(), lt.year, lt.month,
                      lt.day, lt.hour, lt.minute, lt.second, suffix, ext);
    } else {
        const SessionTimeParts t = SplitSessionTime(entry.time);
        std::snprintf(buffer, sizeof buffer, "%s_%02" PRId64 ".%02d.%02d.%02d%s.%s", p.c_str(), t.hours, t.minutes,
                      t.seconds, t.micros, suffix, ext);
    }
    return buffer;
}

std::string MediaTimeLabel(std::string_view prefix, const MediaEntry& entry, const platform::FileInfo& info) {
    const std::string p(prefix);
    const char* suffix = entry.cameraSlot != 0 ? " Satellite" : "";
    char buffer[256];
    LocalTime lt;
    const bool haveTime = LocalTimeOf(info.lastWrite, &lt);
    const SessionTimeParts t = SplitSessionTime(entry.time);
    if (!p.empty()) {
        if (haveTime) {
            std::snprintf(buffer, sizeof buffer, "%s: %04d-%02d-%02d %02d:%02d:%02d%s", p.c_str(), lt.year, lt.month,
                          lt.day, lt.hour, lt.minute, lt.second, suffix);
        } else {
            std::snprintf(buffer, sizeof buffer, "%s: %02" PRId64 ":%02d:%02d:%02d%s", p.c_str(), t.hours, t.minutes,
                          t.seconds, t.micros, suffix);
        }
    } else if (haveTime) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d%s", lt.year, lt.month, lt.day, lt.hour,
                      lt.minute, lt.second, suffix);
    } else {
        std::snprintf(buffer, sizeof buffer, "%02" PRId64 ":%02d:%02d:%02d%s", t.hours, t.minutes, t.seconds,
                      t.micros, suffix);
    }
    return buffer;
}

bool IsAcceptableSessionName(std::string_view name) {
    if (name.empty()) return false;
    size_t characters = 0;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || std::strchr("\"*/:<>?\\|", c) != nullptr) return false;
        i += static_cast<size_t>(Utf8CharLength(c));
        ++characters;
    }
    if (name == "." || name == "..") return false;
    // Nothing but spaces and dashes: the media names written for it would
    // read back as belonging to no session, and the files would not be listed.
    if (TrimUnicodeSpace(name).find_first_not_of('-') == std::string::npos) return false;
    return characters <= 40;
}
