// A temporary folder under /tmp for one test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Base/Path.h"

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/orvex-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        dir_ = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Dir() const { return dir_; }
    Path AsPath() const { return Path(dir_); }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};
