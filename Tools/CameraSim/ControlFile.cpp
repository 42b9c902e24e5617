#include "CameraSim/ControlFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "Base/Thread.h"
#include "CameraSim/Unit.h"

namespace camsim {

namespace {

constexpr int kPollMs = 100;

// The injected part of a control file, collected before it is applied.
struct InjectedState {
    std::vector<Options::ForcedValue> forced;
    Unit::StillMode stills = Unit::StillMode::Whole;
};

bool ReadInt(std::istringstream& in, long long lo, long long hi, long long* out) {
    std::string word;
    if (!(in >> word)) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = strtoll(word.c_str(), &end, 0);
    if (errno != 0 || end == word.c_str() || *end != 0 || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Applies one line. With `pending`, forced values and the still mode are
// collected there (applied together afterwards) instead of on the unit.
bool ApplyLine(Unit& unit, const std::string& line, std::string* error, InjectedState* pending) {
    std::istringstream in(line);
    std::string command;
    if (!(in >> command) || command[0] == '#') return true;
    long long group = 0, index = 0, value = 0;
    if (command == "force" || command == "set") {
        if (!ReadInt(in, 0, 1, &group) || !ReadInt(in, 0, 255, &index) || !ReadInt(in, INT32_MIN, 0xFFFFFFFFLL, &value)) {
            *error = "needs a group (0 or 1), an index (0 to 255) and a 32-bit value";
            return false;
        }
        std::string rest;
        if (in >> rest) {
            *error = "unexpected text after the value";
            return false;
        }
        const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(value));
        if (command == "force" && pending != nullptr)
            pending->forced.push_back({static_cast<int>(group), static_cast<int>(index), v});
        else if (command == "force")
            unit.Force(static_cast<int>(group), static_cast<int>(index), v);
        else
            unit.SetParamValue(static_cast<int>(group), static_cast<int>(index), v);
        return true;
    }
    if (command == "message") {
        if (!ReadInt(in, 0, 1, &group) || !ReadInt(in, 0, 15, &index)) {
            *error = "needs a group (0 or 1) and a message index (0 to 15)";
            return false;
        }
        std::string text;
        std::getline(in, text);
        if (!text.empty() && text[0] == ' ') text.erase(0, 1);
        unit.SetMessage(static_cast<int>(group), static_cast<int>(index), text);
        return true;
    }
    if (command == "still") {
        std::string mode;
        in >> mode;
        Unit::StillMode stills;
        if (mode == "whole") stills = Unit::StillMode::Whole;
        else if (mode == "partial") stills = Unit::StillMode::Partial;
        else if (mode == "fail") stills = Unit::StillMode::Fail;
        else {
            *error = "still takes whole, partial or fail";
            return false;
        }
        if (pending != nullptr)
            pending->stills = stills;
        else
            unit.SetStills(stills);
        return true;
    }
    *error = "unknown command '" + command + "'";
    return false;
}

}  // namespace

bool ApplyControlLine(Unit& unit, const std::string& line, std::string* error) {
    return ApplyLine(unit, line, error, nullptr);
}

int ApplyControlText(Unit& unit, const std::string& text) {
    // The new injected state is collected first and replaces the old one in
    // one step: the capture and service threads never meet a half-applied
    // file (forces released but the still mode not yet reset, or the new
    // forces in place and the new still mode not yet).
    InjectedState next;
    next.forced = unit.Opts().forced;
    next.stills = unit.Opts().partialStill ? Unit::StillMode::Partial : Unit::StillMode::Whole;
    std::istringstream in(text);
    std::string line;
    int number = 0, bad = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string error;
        if (!ApplyLine(unit, line, &error, &next)) {
            unit.Print("control file line %d: %s", number, error.c_str());
            ++bad;
        }
    }
    unit.ReplaceInjected(next.forced, next.stills);
    return bad;
}

void ControlFileWatcher::Start() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = false;
    }
    thread_ = base::StartThread("sim-control", [this] { Run(); });
}

void ControlFileWatcher::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ControlFileWatcher::Run() {
    // The file is identified by its change time and size; a file that is
    // missing counts as empty (nothing injected beyond the command line).
    bool first = true;
    timespec seen{};
    off_t seenSize = -1;
    bool seenMissing = false;
    std::unique_lock<std::mutex> guard(lock_);
    while (!stopping_) {
        guard.unlock();
        struct stat st {};
        const bool present = stat(path_.c_str(), &st) == 0;
        const bool changed = first || present == seenMissing ||
                             (present && (st.st_mtim.tv_sec != seen.tv_sec || st.st_mtim.tv_nsec != seen.tv_nsec ||
                                          st.st_size != seenSize));
        if (changed) {
            first = false;
            seenMissing = !present;
            seen = present ? st.st_mtim : timespec{};
            seenSize = present ? st.st_size : -1;
            std::string text;
            if (present) {
                std::ifstream file(path_, std::ios::binary);
                std::ostringstream all;
                all << file.rdbuf();
                text = all.str();
            }
            const int bad = ApplyControlText(unit_, text);
            unit_.Print("control file %s: %s (%d bad lines)", path_.c_str(), present ? "applied" : "missing", bad);
        }
        guard.lock();
        wake_.wait_for(guard, std::chrono::milliseconds(kPollMs), [this] { return stopping_; });
    }
}

}  // namespace camsim
