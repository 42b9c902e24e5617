// Firmware update: the package list "update.ini" in the working folder, the
// check for a newer package, and the one-shot transfer on port 8006.
//
// Threads: UpdateService runs on the UI thread and blocks it for the whole
// exchange (connect up to 5 s, the file, the verdict up to 3 s); it takes
// hostLock only to copy the address. CheckForUpdate takes tableLock only to
// read the camera's version. The parsers are pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace picam {
class Service;
}

inline constexpr int kUpdatePort = 8006;
inline constexpr const char* kUpdateListName = "update.ini";
inline constexpr size_t kUpdateFileNameBytes = 254;
// Bounds of what is read into memory: the list file and one package (the
// package size also has to fit the 32-bit size field of the exchange).
inline constexpr uint64_t kMaxUpdateListBytes = 1u << 20;
inline constexpr uint64_t kMaxUpdatePackageBytes = 256u << 20;

// Result codes of UpdateService (the camera's verdict byte, or 1 / 7 locally).
enum UpdateResult : int {
    kUpdateQueued = 0,
    kUpdateNotNeeded = 1,
    kUpdateCrcFailed = 2,
    kUpdateDecryptFailed = 3,
    kUpdateAuthFailed = 4,
    kUpdateAlreadyQueued = 5,
    kUpdateFileNotCreated = 6,
    kUpdateInternalError = 7,
};

struct UpdateEntry {
    uint32_t version = 0;  // major * 1,000,000 + minor * 1000 + patch
    bool restartAfter = false;
    std::string file;  // relative to the working folder, at most 254 bytes
};

// Lines "version=file[,restart]"; unusable lines are skipped. True when at
// least one entry was kept.
bool ParseUpdateText(std::string_view text, std::vector<UpdateEntry>* entries);
// Reads "update.ini" from the working folder (ERROR line when missing).
bool ParseUpdate(std::vector<UpdateEntry>* entries);

// The choice UpdateService makes for a camera at `current`: returns `best`
// (0: nothing newer or equal listed; `current`: already up to date; above
// `current`: the first newer entry in file order, whose index goes to *index).
uint32_t ChooseUpdateTarget(const std::vector<UpdateEntry>& entries, uint32_t current, size_t* index);

// True and the first listed entry newer than the camera's service version.
bool CheckForUpdate(picam::Service* service, UpdateEntry* out);

// The whole transfer; returns the camera's verdict, 1 when no update is
// needed and 7 for every local failure. Blocks (see above).
int UpdateService(picam::Service* service);
