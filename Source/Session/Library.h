// The media library: the in-memory picture of the storage folder, rebuilt
// from the file names by one scan, and the texts the file list shows for it
// (day headings, per-file labels). Pure functions over values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Base/Path.h"
#include "Session/Session.h"

// 32-bit FNV-1a over the bytes of `text`.
uint32_t Fnv1a32(std::string_view text);

// Sessions in the order the folder listing first names one of their files;
// each session's media sorted by time. Names that do not parse are skipped.
std::vector<Session> ScanLibrary(const Path& folder);
// Same over an already listed set of names (the benchmark and tests use it).
std::vector<Session> ScanNames(const std::vector<std::string>& names);

// "Today", "March 5" (same year) or "March 5, 2023".
std::string DayHeading(const LocalTime& date, const LocalTime& today);

struct FileRowText {
    std::string label;
    bool selectable = true;
};
// `shown` is the local time printed in front (the file's own last-write time,
// or the previous row's when that cannot be converted; see GroupByDay).
FileRowText FileRowLabel(const MediaEntry& entry, const MediaInfo& info, bool recording, const LocalTime& shown);
// Convenience: the file's own last-write time (zero fields when not convertible).
FileRowText FileRowLabel(const MediaEntry& entry, const MediaInfo& info, bool recording);

// Day grouping of one list: for each file, whether a heading goes before it,
// that heading, and the local time the row shows.
struct DayGroupRow {
    bool heading = false;
    std::string headingText;
    LocalTime shown;
};
// Today's date is taken by the caller once per drawing of the list.
std::vector<DayGroupRow> GroupByDay(const std::vector<platform::FileTime>& lastWrites, const LocalTime& today);
// The local date now (UTC now converted with the time-zone rules).
LocalTime LocalNow();
