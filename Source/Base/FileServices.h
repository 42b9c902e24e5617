// File-system services used by the session, media, settings and log code.
// They keep no shared state and may be called from any thread; they log
// nothing themselves (callers log "Platform_Linux - Could not ..." lines).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Base/Path.h"

// Undo the <windows.h>-style macro names some headers define.
#undef DeleteFile
#undef CopyFile

namespace platform {

// 100-ns ticks since 1601-01-01 UTC, the program's file-time unit.
using FileTime = int64_t;
FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
int64_t UnixSecondsFromFileTime(FileTime t);

struct FileInfo {
    uint64_t size = 0;
    FileTime created = 0;    // status-change time where the file system has no birth time
    FileTime lastWrite = 0;  // 0 means "not yet known" to the media cache
    bool isDirectory = false;
};

bool GetFileInfo(const Path& path, FileInfo* info);
// Names of every entry, "." and ".." included, in directory order; empty on failure.
std::vector<std::string> ListFolder(const Path& folder);
bool CreateDirectories(const Path& folder);
bool CopyFile(const Path& source, const Path& destination);

// Answer of a copy progress routine.
enum class CopyProgress { Continue, Stop };
using CopyProgressFn = std::function<CopyProgress(uint64_t totalBytes, uint64_t copiedBytes)>;
// Copies in 4 MiB blocks, calling `progress` after every block (and once
// before the first); a Stop answer ends the copy unsuccessfully and removes
// the partial destination. `largeFile` drops the copied pages from the cache.
bool CopyFileWithProgress(const Path& source, const Path& destination, bool largeFile, const CopyProgressFn& progress);

bool DeleteFile(const Path& path);
bool FileSize(const Path& path, uint64_t* size);
bool FreeSpace(const Path& path, uint64_t* bytes);
bool ReadWholeFile(const Path& path, std::vector<uint8_t>* bytes);
bool WriteWholeFile(const Path& path, const void* data, size_t length);
// Replaces `path` so that a crash never leaves it partly written: the bytes
// go to `temporary` (same folder), are flushed to the disk and renamed over
// `path`, then the folder is flushed. The new file keeps the permissions of
// the one it replaces. On failure the temporary file is removed and `path`
// is untouched. An empty `data` writes an empty file.
bool WriteFileReplacing(const Path& path, const Path& temporary, const void* data, size_t length);
// Keeps a file the program could not read out of the way of the next write:
// renames it to "<path>.damaged-YYYYMMDDhhmmss" (local time; "-2", "-3", ...
// added when that name is taken). `movedTo` receives the new name. False when
// the file could not be renamed (it is then left where it is).
bool MoveAsideDamaged(const Path& path, Path* movedTo);

// $XDG_DATA_HOME, else ~/.local/share.
Path LocalAppDataFolder();
// XDG documents folder (user-dirs.dirs), else ~/Documents.
Path DocumentsFolder();
// Label of the mounted file system holding `path`, and its mount point.
bool VolumeLabel(const Path& path, std::string* label, std::string* mountPoint);
// UTF-16 to UTF-8; empty on malformed input.
std::string Utf16ToNarrow(const std::u16string& text);

}  // namespace platform
