// The program's log, captured for a test: the first capture opens a log
// file in a folder of its own for the whole test program (TRACE and up, the
// stderr sink silenced); Text() returns everything logged since this capture
// was made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Base/Log.h"
#include "Support/TempFolder.h"

class LogCapture {
public:
    LogCapture() {
        // The folder and the log file live until the program exits.
        struct LogFolder {
            TempFolder dir;
            ~LogFolder() { LogCloseFile(); }
        };
        static LogFolder logFolder;
        static TempFolder* folder = &logFolder.dir;
        static bool opened = [] {
            LogUseProcessMutex();
            LogSetLevel(LOG_TRACE);
            LogSetStderr(false);
            return LogOpenFile(folder->AsPath());
        }();
        EXPECT_TRUE(opened);
        start_ = Size();
    }
    std::string Text() const {
        std::ifstream in(LogFilePath(), std::ios::binary);
        in.seekg(static_cast<std::streamoff>(start_));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Has(const std::string& needle) const { return Text().find(needle) != std::string::npos; }
    int Count(const std::string& needle) const {
        const std::string text = Text();
        int n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
        return n;
    }

private:
    static uint64_t Size() {
        std::error_code ec;
        const auto size = std::filesystem::file_size(LogFilePath(), ec);
        return ec ? 0 : size;
    }
    uint64_t start_ = 0;
};
