#include "CameraSim/Unit.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "CameraSim/Catalogue.h"
#include "CameraSim/ControlFile.h"
#include "CameraSim/Servers.h"

namespace camsim {

namespace {
std::mutex printLock;  // whole console lines from every server thread
}

Unit::Unit(Options options) : options_(std::move(options)) {
    params_.assign(2 * 256, ParamWords{});
    messages_.assign(2 * 16, std::string());
    forced_.assign(2 * 256, {false, 0});
    {
        std::lock_guard<std::mutex> lock(tableLock_);
        FillCatalogue_locked();
    }
    for (const Options::ForcedValue& f : options_.forced) Force(f.group, f.index, f.value);
    if (options_.partialStill) stillMode_ = StillMode::Partial;
    AddPortServers(*this);
}

Unit::~Unit() { Stop(); }

void Unit::AddServer(std::unique_ptr<PortServer> server) { servers_.push_back(std::move(server)); }

bool Unit::Start() {
    startUs_ = MonotonicUs();
    running_ = true;
    if (!options_.controlFile.empty()) {
        control_ = std::make_unique<ControlFileWatcher>(*this, options_.controlFile);
        control_->Start();
    }
    // One line per port server, in port order (see Servers.h).
    for (auto& server : servers_) {
        if (!server->Start(*this)) {
            fprintf(stderr, "orvex-camsim: %s could not start on %s\n", server->Name(), options_.address.c_str());
            Stop();
            return false;
        }
    }
    return true;
}

void Unit::Stop() {
    if (!running_.exchange(false)) return;
    if (control_) control_->Stop();
    for (auto it = servers_.rbegin(); it != servers_.rend(); ++it) (*it)->Stop();
}

double Unit::Uptime() const { return static_cast<double>(MonotonicUs() - startUs_.load()) / 1e6; }

ParamWords Unit::Param(int group, int index) const {
    if (group < 0 || group > 1 || index < 0 || index > 255) return ParamWords{};
    std::lock_guard<std::mutex> lock(tableLock_);
    return params_[static_cast<size_t>(group * 256 + index)];
}

int32_t Unit::ParamValue(int group, int index) const { return Param(group, index)[0]; }

void Unit::SetParamValue(int group, int index, int32_t value) {
    if (group < 0 || group > 1 || index < 0 || index > 255) return;
    std::lock_guard<std::mutex> lock(tableLock_);
    params_[static_cast<size_t>(group * 256 + index)][0] = value;
    ++generation_;
}

void Unit::SetParam(int group, int index, const ParamWords& words) {
    if (group < 0 || group > 1 || index < 0 || index > 255) return;
    std::lock_guard<std::mutex> lock(tableLock_);
    params_[static_cast<size_t>(group * 256 + index)] = words;
    ++generation_;
}

std::string Unit::Message(int group, int index) const {
    if (group < 0 || group > 1 || index < 0 || index > 15) return {};
    std::lock_guard<std::mutex> lock(tableLock_);
    return messages_[static_cast<size_t>(group * 16 + index)];
}

void Unit::SetMessage(int group, int index, const std::string& text) {
    if (group < 0 || group > 1 || index < 0 || index > 15) return;
    std::lock_guard<std::mutex> lock(tableLock_);
    messages_[static_cast<size_t>(group * 16 + index)] = text.substr(0, 255);
    ++generation_;
}

bool Unit::ForcedValue(int group, int index, int32_t* value) const {
    if (group < 0 || group > 1 || index < 0 || index > 255) return false;
    std::lock_guard<std::mutex> lock(tableLock_);
    const auto& f = forced_[static_cast<size_t>(group * 256 + index)];
    if (f.first) *value = f.second;
    return f.first;
}

void Unit::Force(int group, int index, int32_t value) {
    if (group < 0 || group > 1 || index < 0 || index > 255) return;
    std::lock_guard<std::mutex> lock(tableLock_);
    forced_[static_cast<size_t>(group * 256 + index)] = {true, value};
    ++generation_;
}

void Unit::ReleaseAllForced() {
    std::lock_guard<std::mutex> lock(tableLock_);
    for (auto& f : forced_) f = {false, 0};
    ++generation_;
}

void Unit::ReplaceInjected(const std::vector<Options::ForcedValue>& forced, StillMode stills) {
    std::lock_guard<std::mutex> lock(tableLock_);
    for (auto& f : forced_) f = {false, 0};
    for (const Options::ForcedValue& f : forced) {
        if (f.group < 0 || f.group > 1 || f.index < 0 || f.index > 255) continue;
        forced_[static_cast<size_t>(f.group * 256 + f.index)] = {true, f.value};
    }
    // Stored while the lock is held: whoever takes tableLock_ after this
    // (and reads the new forced values) also reads this mode.
    stillMode_ = stills;
    ++generation_;
}

int32_t Unit::ReportedValue(int group, int index) const {
    int32_t value = 0;
    if (ForcedValue(group, index, &value)) return value;
    if (LiveStatusValue(*this, group, index, &value)) return value;
    return ParamValue(group, index);
}

uint32_t Unit::ServiceVersion() const { return static_cast<uint32_t>(ParamValue(0, 0)); }

void Unit::SetServiceVersion(uint32_t version) {
    for (int g = 0; g < 2; ++g) SetParamValue(g, 0, static_cast<int32_t>(version));
}

void Unit::RestartService(double downS) {
    serviceDownUntilUs_ = MonotonicUs() + static_cast<int64_t>(downS * 1e6);
    for (auto& server : servers_) server->DropConnections();
}

bool Unit::ServiceDown() const { return MonotonicUs() < serviceDownUntilUs_.load(); }

void Unit::Print(const char* format, ...) {
    std::lock_guard<std::mutex> lock(printLock);
    va_list args;
    va_start(args, format);
    vfprintf(stdout, format, args);
    va_end(args);
    fputc('\n', stdout);
    fflush(stdout);
}

}  // namespace camsim
