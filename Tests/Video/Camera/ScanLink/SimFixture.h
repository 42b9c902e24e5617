// Shared pieces of the scan-link and firmware tests that run against the
// simulator: a temporary folder, the log file inside it, and waiting.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "Base/Log.h"
#include "Support/TempFolder.h"

// Logs into a file of `folder` for the life of the object.
class LogCapture {
public:
    explicit LogCapture(const TempFolder& folder) {
        LogSetStderr(false);
        ::Path data(folder.Dir());
        opened_ = LogOpenFile(data);
    }
    ~LogCapture() {
        LogCloseFile();
        LogSetStderr(true);
    }
    bool Opened() const { return opened_; }
    std::string Text() const {
        std::ifstream in(LogFilePath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int Count(const std::string& needle) const {
        const std::string text = Text();
        int n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
        return n;
    }

private:
    bool opened_ = false;
};

// Polls `condition` every 10 ms until it holds or `seconds` pass.
inline bool WaitFor(const std::function<bool()>& condition, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}
