// Media file names: the only record the program keeps of a media file. The
// session list and every session's media list are rebuilt from these names
// alone, so formatting and parsing must round-trip exactly.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Base/FileServices.h"

enum class MediaType : int32_t {
    None = 0,
    Video = 1,
    Image = 2,
    Note = 3,
    Data = 4,
};
constexpr int kMediaTypeCount = 5;

// Letter in names, extension, and the labels the delete confirmation uses.
const char* MediaTypeLetter(MediaType type);
const char* MediaTypeExtension(MediaType type);
const char* MediaTypeLabel(MediaType type, bool plural);

struct MediaEntry {
    MediaType type = MediaType::None;
    int64_t time = 0;       // microseconds of session time when the file was started
    uint32_t cameraId = 0;  // the camera's identity value; 0 for the data file
    int32_t cameraSlot = 0; // 0 primary view, 1 satellite view

    bool operator==(const MediaEntry& o) const {
        return type == o.type && time == o.time && cameraId == o.cameraId && cameraSlot == o.cameraSlot;
    }
};

// Prefix of files named while no session exists.
inline constexpr const char* kDefaultSessionName = "ORVEX";

// "%s-%02d.%02d.%02d.%03d-%s-%u-%d.%s", the session name kept whole however
// long it is. A path separator or NUL in `session` becomes '_' so a name can
// never leave the storage folder.
std::string MediaFileName(std::string_view session, const MediaEntry& entry);
bool ParseMediaFileName(std::string_view name, std::string* session, MediaEntry* entry);
std::string SessionDataFileName(std::string_view session);

// Session time split into hours (not reduced modulo 24), minutes, seconds and
// the microseconds below the second.
struct SessionTimeParts {
    int64_t hours = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;
    int32_t micros = 0;
};
SessionTimeParts SplitSessionTime(int64_t timeUs);

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
// File time (100-ns ticks since 1601 UTC) to local calendar time.
bool LocalTimeOf(platform::FileTime fileTime, LocalTime* out);

std::string ExportFileName(std::string_view prefix, const MediaEntry& entry, const platform::FileInfo& info);
// `prefix` empty: the form without the session name.
std::string MediaTimeLabel(std::string_view prefix, const MediaEntry& entry, const platform::FileInfo& info);

// Session names as the session popup accepts them: 1..40 bytes, none of
// " * / : < > ? \ | and no control characters, and not made of spaces and
// dashes alone. Names found in the storage folder are taken as they are; this
// guards names that create files.
bool IsAcceptableSessionName(std::string_view name);
