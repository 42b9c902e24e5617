// The process-wide logger: two sinks (stderr, one file per run), six levels,
// a caller-supplied lock so lines from different threads never interleave.
// Configuration (lock, level, file) is set on the UI thread at start-up before
// any other thread exists; LogWrite may be called from every thread.
#pragma once

#include <cstdarg>

#include "Base/Path.h"

enum LogLevel : int {
    LOG_TRACE = 0,
    LOG_DEBUG = 1,
    LOG_INFO = 2,
    LOG_WARN = 3,
    LOG_ERROR = 4,
    LOG_FATAL = 5,
};

using LogLockFn = void (*)(void* user, bool lock);

void LogWrite(int level, const char* source, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void LogWriteV(int level, const char* source, int line, const char* format, va_list args);

void LogSetLock(LogLockFn fn, void* user);
void LogSetLevel(int lowest);
// Installs the program's own process mutex as the lock.
void LogUseProcessMutex();

// Creates "<dataFolder>/Logs", prunes it to about 300 entries and opens
// "log-<version>.<build>-YYYYMMDDhhmmss.txt". `now` (seconds since the epoch)
// names the file; pass 0 for the current time. Returns false when the file
// could not be opened (logging then stays on stderr only).
bool LogOpenFile(const Path& dataFolder, long long now = 0);
// Path of the open log file ("" when none).
const char* LogFilePath();
void LogCloseFile();
// Tests: silence the stderr sink.
void LogSetStderr(bool enabled);

// Module source paths passed by callers.
#define LOG_SRC_MAIN "Source/main"
#define LOG_SRC_PLATFORM "Source/Platform/Platform_Linux"
#define LOG_SRC_GRAPHICS "Source/Platform/GraphicsGL"
#define LOG_SRC_AV "Source/Video/AV"
#define LOG_SRC_CAMERA "Source/Video/Camera"
#define LOG_SRC_SESSION "Source/Session"
#define LOG_SRC_UI "Source/UI"

// The one call form: LOGF(level, LOG_SRC_..., format, ...) passes the
// caller's line to LogWrite.
#define LOGF(level, src, ...) LogWrite((level), (src), __LINE__, __VA_ARGS__)
