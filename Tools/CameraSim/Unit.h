// camsim::Unit — one simulated camera unit: its options, its parameter and
// message tables, and the port servers that serve them on one IPv4 address.
//
// Threads: every port server runs its own named accept thread and one thread
// per connection. The tables are guarded by `tableLock_`; console lines by a
// process-wide print lock (Console). Nothing here blocks on the caller.
//
// Section index
//   Options        command-line options of every port server
//   ParamSlot      one described parameter (the 55-word record of the wire)
//   Unit           tables, lifetime, console
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Base/Clock.h"

namespace camsim {

struct Options {
    // Identity and service (port 8008, mDNS).
    std::string address = "127.0.0.1";
    std::string name = "orvexcam";  // answers mDNS A queries for "<name>.local"
    int channels = 2;
    uint32_t serviceVersion = 1002003;  // 1.2.3; >= 9000 accepts writes
    uint32_t cameraId = 0x4F525831;
    double stallAfterS = -1;  // service stops answering (connection stays open)
    double dropAfterS = -1;   // service closes its connection
    int replyDelayMs = 0;
    bool mdns = true;  // answer mDNS queries on port 5353

    // Video (ports 8012/8013, plain 9012/9013).
    bool plainVideo = false;
    int videoDropFragmentEvery = 0;
    double videoBadHeaderAfterS = -1;
    double videoCloseAfterS = -1;
    double videoPauseFromS = -1, videoPauseToS = -1;
    double replayS = 0;  // > 0: encode this many seconds once, then replay them

    // Still capture (ports 8014/8015).
    int captureDelayMs = 0;
    bool captureFail = false;
    int captureSizeBytes = 0;  // > 0: pad every still with comment segments to this size

    // Scan link (port 8010).
    double crawlerSpeedMmS = 25.0;
    int scanlinkCorruptEvery = 0;
    double scanlinkSilentAfterS = -1;

    // Firmware update (port 8006).
    int firmwareResult = -1;  // >= 0 forces the result byte
    int firmwareDelayMs = 0;  // the result byte waits this long
    bool firmwareStaysAway = false;  // an accepted package takes the service down for good

    // Camera states for the program to show: status words held at a value
    // (--force and the named state options), a still cut short, and a
    // control file watched for the same at run time (ControlFile.h).
    struct ForcedValue {
        int group = 0;
        int index = 0;
        int32_t value = 0;
    };
    std::vector<ForcedValue> forced;
    bool partialStill = false;
    std::string controlFile;

    // Port offset for tests that cannot use the fixed ports (0 in the program).
    int portBase = 0;
};

class PortServer;
class ControlFileWatcher;

// Words of one parameter record as the service sends them.
using ParamWords = std::array<int32_t, 55>;

class Unit {
public:
    explicit Unit(Options options);
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // Binds every port and starts the servers. False (and a line on stderr)
    // when a port cannot be bound.
    bool Start();
    // Closes every listener and connection and joins every thread.
    void Stop();
    bool Running() const { return running_.load(); }

    const Options& Opts() const { return options_; }
    int Port(int port) const { return port + options_.portBase; }
    // Seconds since Start().
    double Uptime() const;

    // ---- tables (any thread) -------------------------------------------------
    ParamWords Param(int group, int index) const;
    int32_t ParamValue(int group, int index) const;
    // Stores a value as the service would after a write from the program.
    void SetParamValue(int group, int index, int32_t value);
    // Replaces a whole description (catalogue set-up, status updates).
    void SetParam(int group, int index, const ParamWords& words);
    std::string Message(int group, int index) const;
    void SetMessage(int group, int index, const std::string& text);
    // Incremented on every change; video and capture watch it for new settings.
    uint64_t Generation() const { return generation_.load(); }

    // The value the service reports for an index: a forced value first,
    // then the live status of the moment (Catalogue.h), else the stored one.
    int32_t ReportedValue(int group, int index) const;
    bool ForcedValue(int group, int index, int32_t* value) const;
    void Force(int group, int index, int32_t value);
    void ReleaseAllForced();

    // How the next stills are sent (capture ports): whole, cut in half, or not at all.
    enum class StillMode { Whole, Partial, Fail };
    StillMode Stills() const { return stillMode_.load(); }
    void SetStills(StillMode mode) { stillMode_ = mode; }

    // Releases every forced value, then forces `forced` and sets the still
    // mode, all under tableLock_: a thread that sees any of the new values
    // (ReportedValue, the service's replies) sees the whole new state, never
    // the released table of the moment between (a control file reload).
    void ReplaceInjected(const std::vector<Options::ForcedValue>& forced, StillMode stills);

    // Firmware version reported on port 8006 and as parameter 0 of group 0.
    uint32_t ServiceVersion() const;
    void SetServiceVersion(uint32_t version);

    // Closes every service connection and refuses new ones for `downS`
    // seconds (command 11 = 1, firmware restart).
    void RestartService(double downS);
    bool ServiceDown() const;

    // Scan-link request messages accepted and refused (wrong check value)
    // over every connection; counted by the scan-link connection threads.
    void CountScanLinkRequest(bool accepted) { (accepted ? scanLinkAccepted_ : scanLinkRefused_).fetch_add(1); }
    int ScanLinkAccepted() const { return scanLinkAccepted_.load(); }
    int ScanLinkRefused() const { return scanLinkRefused_.load(); }

    // ---- console ---------------------------------------------------------------
    // One whole line on stdout, flushed; safe from any thread.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Servers register themselves at construction time of the unit.
    void AddServer(std::unique_ptr<PortServer> server);

private:
    void FillCatalogue_locked();

    Options options_;
    mutable std::mutex tableLock_;
    std::vector<ParamWords> params_;         // [group * 256 + index], guarded by tableLock_
    std::vector<std::string> messages_;      // [group * 16 + index], guarded by tableLock_
    std::vector<std::pair<bool, int32_t>> forced_;  // [group * 256 + index], guarded by tableLock_
    std::atomic<StillMode> stillMode_{StillMode::Whole};
    std::unique_ptr<ControlFileWatcher> control_;  // started and stopped with the unit
    std::atomic<uint64_t> generation_{0};
    std::atomic<bool> running_{false};
    std::atomic<int64_t> startUs_{0};
    std::atomic<int64_t> serviceDownUntilUs_{0};
    std::atomic<int> scanLinkAccepted_{0};
    std::atomic<int> scanLinkRefused_{0};
    std::vector<std::unique_ptr<PortServer>> servers_;
};

// A port server: Start binds and launches its threads; Stop closes and joins.
class PortServer {
public:
    virtual ~PortServer() = default;
    virtual const char* Name() const = 0;
    virtual bool Start(Unit& unit) = 0;
    virtual void Stop() = 0;
    // Called by Unit::RestartService: drop live connections.
    virtual void DropConnections() {}
};

using ::MonotonicUs;  // the program's monotonic clock (Base/Clock.h)

}  // namespace camsim
