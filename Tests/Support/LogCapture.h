// The program's log, captured for a test: the log goes to a file in a
// temporary folder that lives as long as the test program (threads may log
// until the very end), and each capture reads back what was logged since it
// was made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Base/Log.h"
#include "Support/FileText.h"
#include "Support/TempFolder.h"

namespace testsupport {

class LogCapture {
public:
    LogCapture() {
        struct LogFolder {
            TempFolder dir;
            ~LogFolder() { LogCloseFile(); }
        };
        static LogFolder folder;
        static const bool opened = [] {
            LogUseProcessMutex();
            LogSetLevel(LOG_TRACE);
            LogSetStderr(false);
            return LogOpenFile(folder.dir.AsPath());
        }();
        EXPECT_TRUE(opened);
        start_ = Size();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything logged since this capture was made.
    std::string Text() const {
        std::ifstream in(LogFilePath(), std::ios::binary);
        in.seekg(static_cast<std::streamoff>(start_));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Contains(const std::string& needle) const { return Text().find(needle) != std::string::npos; }
    int Count(const std::string& needle) const { return testfiles::CountOf(Text(), needle); }

private:
    static uint64_t Size() {
        std::error_code ec;
        const auto size = std::filesystem::file_size(LogFilePath(), ec);
        return ec ? 0 : size;
    }
    uint64_t start_ = 0;
};

}  // namespace testsupport
