#include "Base/Log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "Base/ThreadSafety.h"
#include "Base/Version.h"
#include "Base/FileServices.h"

namespace {

// Set once at start-up (UI thread, before other threads exist), read by every
// thread afterwards; the file sink is closed only after all threads joined.
LogLockFn lockFn = nullptr;
void* lockUser = nullptr;
int lowestLevel = LOG_TRACE;
FILE* fileSink = nullptr;
bool stderrEnabled = true;
std::string filePath;

const char* const levelNames[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};

std::mutex processLogMutex;

// Takes or releases the lock as asked: the analysis cannot follow a lock
// whose holding depends on an argument.
void ProcessMutexLock(void*, bool lock) NO_THREAD_SAFETY_ANALYSIS {
    if (lock)
        processLogMutex.lock();
    else
        processLogMutex.unlock();
}

}  // namespace

namespace {

// One whole line on one sink, flushed at once; called under the log lock.
void WriteLine_locked(FILE* sink, const char* timeFormat, const struct tm& local, const char* levelName,
                      const char* format, va_list args) {
    char timeText[32];
    strftime(timeText, sizeof timeText, timeFormat, &local);
    va_list copy;
    va_copy(copy, args);
    fprintf(sink, "%s %-5s: ", timeText, levelName);
    vfprintf(sink, format, copy);
    fputc('\n', sink);
    fflush(sink);
    va_end(copy);
}

}  // namespace

void LogSetLock(LogLockFn fn, void* user) {
    lockFn = fn;
    lockUser = user;
}

void LogSetLevel(int lowest) { lowestLevel = lowest; }

void LogUseProcessMutex() { LogSetLock(ProcessMutexLock, nullptr); }

void LogSetStderr(bool enabled) { stderrEnabled = enabled; }

void LogWriteV(int level, const char* /*source*/, int /*line*/, const char* format, va_list args) {
    if (level < lowestLevel) return;
    if (lockFn) lockFn(lockUser, true);

    const char* levelName = (level >= 0 && level <= LOG_FATAL) ? levelNames[level] : "?";
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);

    if (stderrEnabled) WriteLine_locked(stderr, "%H:%M:%S", local, levelName, format, args);
    if (fileSink) WriteLine_locked(fileSink, "%Y-%m-%d %H:%M:%S", local, levelName, format, args);

    if (lockFn) lockFn(lockUser, false);
}

void LogWrite(int level, const char* source, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogWriteV(level, source, line, format, args);
    va_end(args);
}

bool LogOpenFile(const Path& dataFolder, long long nowSeconds) {
    time_t now = nowSeconds ? static_cast<time_t>(nowSeconds) : time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);

    Path logs = dataFolder;
    logs.Append("Logs");
    platform::CreateDirectories(logs);

    std::vector<std::string> names = platform::ListFolder(logs);
    std::sort(names.begin(), names.end());
    if (names.size() > 300) {
        const size_t excess = names.size() - 300;
        for (size_t i = 0; i < excess; ++i) {
            Path p = logs;
            p.Append(names[i]);
            if (p.Extension() != "txt") continue;
            if (!platform::DeleteFile(p))
                LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", p.CStr());
        }
    }

    char name[512];
    snprintf(name, sizeof name, "%s/log-%s.%d-%d%02d%02d%02d%02d%02d.txt", logs.CStr(), AppVersion, AppBuild,
             t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (fileSink) fclose(fileSink);
    fileSink = fopen(name, "wb");
    filePath = fileSink ? name : "";
    return fileSink != nullptr;
}

const char* LogFilePath() { return filePath.c_str(); }

void LogCloseFile() {
    if (fileSink) fclose(fileSink);
    fileSink = nullptr;
}
