// orvex-camsim: runs one or more simulated camera units until SIGINT or
// SIGTERM. Every option of camsim::Options has one line in the option table
// below; the table also produces --help.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>

#include "CameraSim/Unit.h"

namespace {

using camsim::Options;
using Setter = std::function<bool(Options&, const char* text)>;

struct OptionDef {
    const char* name;
    const char* argument;  // nullptr: a switch without argument
    const char* help;
    Setter set;
};

bool ParseLong(const char* text, long long* out, int base = 10) {
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text, &end, base);
    if (errno != 0 || end == text || *end != 0) return false;
    *out = v;
    return true;
}

Setter Text(std::string Options::*field) {
    return [field](Options& o, const char* t) {
        o.*field = t;
        return true;
    };
}

Setter Int(int Options::*field, long long minimum, long long maximum) {
    return [=](Options& o, const char* t) {
        long long v;
        if (!ParseLong(t, &v) || v < minimum || v > maximum) return false;
        o.*field = static_cast<int>(v);
        return true;
    };
}

// Accepts decimal or 0x-prefixed hexadecimal.
Setter Unsigned(uint32_t Options::*field) {
    return [=](Options& o, const char* t) {
        long long v;
        if (!ParseLong(t, &v, 0) || v < 0 || v > 0xFFFFFFFFLL) return false;
        o.*field = static_cast<uint32_t>(v);
        return true;
    };
}

// Seconds are finite and at most `max_s` (a fault time of days is as good as
// never; a replay buffer is held in memory, so it gets a tighter bound).
Setter Seconds(double Options::*field, double max_s = 1e6) {
    return [=](Options& o, const char* t) {
        errno = 0;
        char* end = nullptr;
        double v = strtod(t, &end);
        if (errno != 0 || end == t || *end != 0 || !std::isfinite(v) || v > max_s) return false;
        o.*field = v;
        return true;
    };
}

Setter Switch(bool Options::*field, bool value) {
    return [=](Options& o, const char*) {
        o.*field = value;
        return true;
    };
}

// A held status word for the named camera-state options: "G" alone or "G:V".
Setter ForceState(std::initializer_list<int> list, int32_t fixedValue, bool takesValue) {
    const std::vector<int> indices(list);  // the list's own storage ends with the table's construction
    return [=](Options& o, const char* t) {
        long long group = 0, value = fixedValue;
        std::string text = t;
        const size_t colon = text.find(':');
        if (takesValue != (colon != std::string::npos)) return false;
        if (!ParseLong(text.substr(0, colon).c_str(), &group) || group < 0 || group > 1) return false;
        if (takesValue && (!ParseLong(text.substr(colon + 1).c_str(), &value, 0) || value < 0 || value > 0xFFFFFFFFLL))
            return false;
        for (int index : indices)
            o.forced.push_back({static_cast<int>(group), index, static_cast<int32_t>(static_cast<uint32_t>(value))});
        return true;
    };
}

// Options of the whole program (not of a unit).
int unitCount = 1;

const std::vector<OptionDef>& OptionTable() {
    static const std::vector<OptionDef> table = {
        // Identity and camera service (port 8008, mDNS).
        {"--address", "A", "IPv4 address of the first unit (default 127.0.0.1)", Text(&Options::address)},
        {"--name", "N", "mDNS host name stem; answers \"N.local\" (default orvexcam)", Text(&Options::name)},
        {"--units", "N", "number of units on consecutive addresses, named N, N-2, N-3, ... (default 1)",
         [](Options&, const char* t) {
             long long v;
             if (!ParseLong(t, &v) || v < 1 || v > 64) return false;
             unitCount = static_cast<int>(v);
             return true;
         }},
        {"--channels", "1|2", "camera channels per unit (default 2)", Int(&Options::channels, 1, 2)},
        {"--service-version", "V", "service version, major*1000000+minor*1000+patch; writes need >= 9000",
         Unsigned(&Options::serviceVersion)},
        {"--camera-id", "X", "camera id (decimal or 0x hex)", Unsigned(&Options::cameraId)},
        {"--stall-after-s", "S", "the service stops answering S seconds after start", Seconds(&Options::stallAfterS)},
        {"--drop-after-s", "S", "the service closes each connection S seconds after accepting it",
         Seconds(&Options::dropAfterS)},
        {"--reply-delay-ms", "M", "every service reply waits M ms", Int(&Options::replyDelayMs, 0, 60000)},
        {"--no-mdns", nullptr, "do not answer mDNS queries", Switch(&Options::mdns, false)},
        // Video (ports 8012/8013).
        {"--plain-video", nullptr, "also serve unframed H.264 on 9012/9013", Switch(&Options::plainVideo, true)},
        {"--video-drop-fragment-every", "N", "drop every N-th video fragment",
         Int(&Options::videoDropFragmentEvery, 0, 1000000)},
        {"--video-bad-header-after-s", "S", "send a corrupt fragment header after S seconds",
         Seconds(&Options::videoBadHeaderAfterS)},
        {"--video-close-after-s", "S", "close video connections after S seconds", Seconds(&Options::videoCloseAfterS)},
        {"--video-pause-s", "A:B", "send no video from A to B seconds of uptime",
         [](Options& o, const char* t) {
             double a = 0, b = 0;
             char tail = 0;
             if (sscanf(t, "%lf:%lf%c", &a, &b, &tail) != 2 || !(a >= 0) || !(b > a)) return false;
             o.videoPauseFromS = a;
             o.videoPauseToS = b;
             return true;
         }},
        {"--video-pause-from-s", "S", "stop sending video from S seconds", Seconds(&Options::videoPauseFromS)},
        {"--video-pause-to-s", "S", "resume video at S seconds", Seconds(&Options::videoPauseToS)},
        {"--replay-s", "S", "encode S seconds of video once, then replay them", Seconds(&Options::replayS, 120)},
        // Still capture (ports 8014/8015).
        {"--capture-delay-ms", "M", "stills wait M ms before sending", Int(&Options::captureDelayMs, 0, 600000)},
        {"--capture-fail", nullptr, "still connections close without a picture", Switch(&Options::captureFail, true)},
        {"--capture-size-bytes", "N", "pad every still to exactly N bytes", Int(&Options::captureSizeBytes, 0, 100000000)},
        // Scan link (port 8010).
        {"--crawler-speed-mm-s", "MMS", "simulated crawler speed in mm/s (default 25)", Seconds(&Options::crawlerSpeedMmS)},
        {"--scanlink-corrupt-every", "N", "corrupt every N-th scan-link frame",
         Int(&Options::scanlinkCorruptEvery, 0, 1000000)},
        {"--scanlink-silent-after-s", "S", "each scan-link connection goes silent S seconds after it opened",
         Seconds(&Options::scanlinkSilentAfterS)},
        // Firmware update (port 8006).
        {"--firmware-result", "R", "force the firmware result byte (0..255)", Int(&Options::firmwareResult, -1, 255)},
        {"--firmware-delay-ms", "M", "the firmware result byte waits M ms", Int(&Options::firmwareDelayMs, 0, 60000)},
        {"--firmware-stays-away", nullptr, "after an accepted package the service goes down and never comes back",
         Switch(&Options::firmwareStaysAway, true)},
        // Camera states (status words held at a value; see also --control-file).
        {"--force", "G:I=V", "the service reports V for parameter I of group G (repeatable)",
         [](Options& o, const char* t) {
             int g = 0, i = 0;
             long long v = 0;
             char tail = 0;
             if (sscanf(t, "%d:%d=%lli%c", &g, &i, &v, &tail) != 3 || g < 0 || g > 1 || i < 0 || i > 255 ||
                 v < INT32_MIN || v > 0xFFFFFFFFLL)
                 return false;
             o.forced.push_back({g, i, static_cast<int32_t>(static_cast<uint32_t>(v))});
             return true;
         }},
        {"--connection-error", "G", "camera G reports a sensor error (status 74 = 10)", ForceState({74}, 10, false)},
        {"--led-dimmed", "G", "the LED of group G is dimmed (43 = 1)", ForceState({43}, 1, false)},
        {"--led-shutdown", "G", "the LED of group G is shut down (43 = 2)", ForceState({43}, 2, false)},
        {"--asl-error", "G:BITS", "ASL error bits of group G (44)", ForceState({44}, 0, true)},
        {"--nvm-error", "G:BITS", "NVM error bits of group G (45)", ForceState({45}, 0, true)},
        {"--diag", "G:BITS", "DIAG1, DIAG2, DIAG3 and BSUV registers of group G (55 to 58)",
         ForceState({55, 56, 57, 58}, 0, true)},
        {"--overheat", "G", "temperatures of group G out of range (ASL 180 C, LED, case and chip 95 C)",
         [](Options& o, const char* t) {
             if (!ForceState({49}, 1800, false)(o, t)) return false;
             return ForceState({50, 51, 52, 53}, 950, false)(o, t);
         }},
        {"--partial-still", nullptr, "stills stop half-way through the file", Switch(&Options::partialStill, true)},
        {"--control-file", "PATH", "watch PATH for camera states to inject while running (force/set/message/still lines)",
         Text(&Options::controlFile)},
        // Tests only.
        {"--port-base", "B", "add B to every TCP port (tests)", Int(&Options::portBase, 0, 50000)},
    };
    return table;
}

void PrintHelp() {
    printf("usage: orvex-camsim [options]\n\nSimulates ORVEX camera units until SIGINT or SIGTERM.\n\n");
    for (const OptionDef& o : OptionTable()) {
        std::string left = std::string(o.name) + (o.argument ? std::string(" ") + o.argument : "");
        printf("  %-30s %s\n", left.c_str(), o.help);
    }
    printf("  %-30s %s\n", "--help", "show this text");
}

// The address `offset` places after `first`; empty when it leaves IPv4.
std::string NextAddress(const std::string& first, int offset) {
    in_addr a{};
    if (inet_pton(AF_INET, first.c_str(), &a) != 1) return {};
    uint64_t v = static_cast<uint64_t>(ntohl(a.s_addr)) + static_cast<uint64_t>(offset);
    if (v > 0xFFFFFFFFu) return {};
    a.s_addr = htonl(static_cast<uint32_t>(v));
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            PrintHelp();
            return 0;
        }
        const OptionDef* option = nullptr;
        for (const OptionDef& o : OptionTable())
            if (strcmp(arg, o.name) == 0) option = &o;
        if (!option) {
            fprintf(stderr, "orvex-camsim: unknown option %s (see --help)\n", arg);
            return 2;
        }
        const char* value = "";
        if (option->argument) {
            if (i + 1 >= argc) {
                fprintf(stderr, "orvex-camsim: %s needs a value\n", arg);
                return 2;
            }
            value = argv[++i];
        }
        if (!option->set(options, value)) {
            fprintf(stderr, "orvex-camsim: bad value for %s: %s\n", arg, value);
            return 2;
        }
    }
    in_addr check{};
    if (inet_pton(AF_INET, options.address.c_str(), &check) != 1) {
        fprintf(stderr, "orvex-camsim: --address needs a numeric IPv4 address: %s\n", options.address.c_str());
        return 2;
    }

    // Block the stop signals before any thread exists, so that every thread
    // inherits the mask and only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::unique_ptr<camsim::Unit>> units;
    for (int n = 0; n < unitCount; ++n) {
        Options unitOptions = options;
        unitOptions.address = NextAddress(options.address, n);
        if (unitOptions.address.empty()) {
            fprintf(stderr, "orvex-camsim: too many units for %s\n", options.address.c_str());
            return 2;
        }
        if (n > 0) unitOptions.name = options.name + "-" + std::to_string(n + 1);
        // Each unit reports its own id, so several units stay apart in a session.
        unitOptions.cameraId = options.cameraId + static_cast<uint32_t>(n);
        auto unit = std::make_unique<camsim::Unit>(unitOptions);
        if (!unit->Start()) return 1;
        unit->Print("unit %d: %s.local on %s, %d channel(s), service version %u", n, unitOptions.name.c_str(),
                    unitOptions.address.c_str(), unitOptions.channels, unitOptions.serviceVersion);
        units.push_back(std::move(unit));
    }

    int signalNumber = 0;
    while (sigwait(&stopSignals, &signalNumber) != 0) {
    }
    for (auto it = units.rbegin(); it != units.rend(); ++it) (*it)->Stop();
    units.front()->Print("stopped (%s)", strsignal(signalNumber));
    return 0;
}
