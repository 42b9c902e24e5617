// The session data file ("<session>-00.00.00.000-D-0-0.qsd" in the storage
// folder): a 4-byte big-endian payload length followed by the payload as one
// LZ4 block. The payload layout (all integers big-endian):
//   00 0F 42 4D, version 1, camera count C, C camera blocks
//   {id, 2, two group blocks {192, 192 record blocks {L, L/4 words, series}}},
//   then 4 and the four spare series. A series is M, M big-endian doubles
//   (times) and M signed 32-bit values, compacted when written.
//
// Saving goes through the ".bk" backup and a temporary file renamed over the
// data file, so a crash never leaves a truncated data file. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Base/Path.h"
#include "Session/SessionData.h"

// The exact payload (uncompressed) of `data`.
std::vector<uint8_t> EncodeSessionPayload(const SessionData& data);

enum class PayloadResult {
    Ok,
    OtherVersion,  // version byte is not 1: an empty history, no message
    Malformed,     // a count reads past the end or is out of range
};
// Resets `data`, then reads `payload` into it. On Malformed `data` is left empty.
PayloadResult DecodeSessionPayload(const uint8_t* payload, size_t length, SessionData* data);

// The whole data file as read from disk (length header and LZ4 block). Resets
// `data` first; false, with `data` left empty, when the length is implausible,
// the block does not expand to exactly that length or the payload is malformed.
bool DecodeSessionFile(const uint8_t* file, size_t size, SessionData* data);

// The data file's path for a session in `folder`.
Path SessionDataPath(const Path& folder, const std::string& sessionName);
// The name a new data file is written under before it replaces the old one;
// it never parses as a media file name.
Path SessionDataTemporaryPath(const Path& dataPath);

// Failures become the alerts "Session data could not be saved (compression
// error): %s" / "(file error): %s". Returns true when the file is in place.
bool SaveSessionData(const Path& folder, const std::string& sessionName, const SessionData& data);
// Always resets `data` first. A missing file is silent; a damaged one gives
// "Session data could not be loaded (decompress error): %s".
void LoadSessionData(const Path& folder, const std::string& sessionName, SessionData* data);
