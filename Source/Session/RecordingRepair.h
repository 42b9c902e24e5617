// Recordings left unfinished: a recording whose program ended without
// stopping it (kill -9, power loss, a display that went away before the
// orderly shut-down could run, a disk that filled up) plays up to its last
// flushed cluster but has no duration, no cues and an open-ended segment.
// The library walk finds such files when it measures their duration and
// makes them whole: the file is remuxed (stream copy) into a temporary file
// beside it, which replaces it by a rename only once it is complete, so the
// original stays until then. Files too large to copy at once are listed with
// their real duration, read from the time stamps of their last pictures.
// A recording file of 0 bytes (the program ended before the first key frame
// arrived) holds nothing and is removed.
//
// Threads: UI thread (the library walk), never for a file that is being
// recorded.
#pragma once

#include <cstdint>
#include <string>

#include "Base/Path.h"

enum class RecordingState {
    Whole,       // finished by the recorder; `seconds` from its header
    Repaired,    // was unfinished, now whole; `seconds` from the new file
    Unfinished,  // unfinished and left so (too large, or the copy failed); `seconds` from its last pictures
    Removed,     // empty (no picture at all): the file was removed
    Unreadable,  // no player could open it; `seconds` 0
};

// Files up to this size are made whole when found unfinished.
constexpr uint64_t kRepairLimit_bytes = 512ull << 20;

// Looks at one recording that is not being recorded; repairs or removes it
// as above and gives its duration.
RecordingState CheckRecording(const Path& path, double* seconds, uint64_t repairLimit_bytes = kRepairLimit_bytes);

// The temporary name a repaired copy is written under; it never parses as a
// media file name, so a copy left by a crash is never listed.
Path RepairTemporaryPath(const Path& path);

// Real duration of a (possibly unfinished) recording from the time stamps
// of its last packets; false when it could not be read.
bool MeasureRecordedSeconds(const std::string& path, double* seconds);
