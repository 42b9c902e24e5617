// orvex-bench-screen: what a person sees, measured on the screen. A simulated
// unit runs in this process; the Studio and two reference players show its
// live video on this process's X display (Xvfb), and this program reads the
// frame-number blocks of the picture back from the screen.
//
//   (a) receive-to-screen latency (1280x720 at 30/s): from the moment the
//       simulator has handed a picture's last byte to the socket until its
//       number first shows on the screen. One clock (CLOCK_MONOTONIC) in one
//       process takes both times: the simulator's connection thread stamps
//       the send, the polling thread here stamps what it reads. The view's
//       row of blocks (one pixel line) is read with XGetImage every ~1 ms; a
//       number counts once two reads in a row agree (so a picture half drawn
//       by a swap is never taken). The Studio reads the framed port; mpv and
//       ffplay, in their low-latency settings, the plain port, which ends
//       every picture with an access-unit delimiter.
//   (b) start-up to the first live picture: from starting the Studio until
//       the frame-number row is first found on the screen.
//   (c) two live 1920x1080 views at 30/s each: the UI thread's CPU time per
//       frame (the Studio's own "Frame costs" line, and /proc), and resident
//       memory now and after --minutes with both streams (a run shorter
//       than 10 minutes prints a linear extrapolation to 10 minutes), and
//       the trend of a reading every 10 s in between;
//   (d) resident memory before and after 100 (--scale-changes) UI scale changes
//       (ORVEX_SCALE_CHANGES drives them through the Studio's own path),
//       and the trend of a reading after every tenth change.
//   Single readings swing by several MiB (allocator arenas, textures
//   made and freed), so the trends are what tells growth.
//
// Run it in a private network namespace with its own display:
//   tools/with-netns tools/with-xvfb build/orvex-bench-screen [options]
// Options: --pictures N (300), --minutes M (10), --scale-changes N (100, a
// multiple of 10), --only latency|costs|scale
// (costs: (c) and (d); scale: (d) alone),
// --players studio,mpv,ffplay (all three),
// --studio-window WxH (1280x800, the latency run's window), --address A
// (127.0.29.210). The last line is machine-readable.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Base/Log.h"
#include "CameraSim/Unit.h"
#include "CameraSim/VideoEncoder.h"
#include "CameraSim/VideoServer.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::WaitUntil;

const std::string kBuild = ORVEX_BUILD_DIR;

// ---- send times ----------------------------------------------------------------------

constexpr int kNumbers = 4096;
struct SentSlot {
    std::atomic<uint32_t> number{0xFFFFFFFFu};
    std::atomic<int64_t> us{0};
};
// [0] framed port of channel 0, [1] plain port of channel 0, by frame number.
SentSlot g_sent[2][kNumbers];
std::atomic<int> g_framedPort{8012}, g_plainPort{9012};

void OnSent(void*, int port, uint32_t frameNumber, int64_t us) {
    const int which = port == g_framedPort.load() ? 0 : (port == g_plainPort.load() ? 1 : -1);
    if (which < 0) return;
    SentSlot& s = g_sent[which][frameNumber % kNumbers];
    s.us.store(0);
    s.number.store(frameNumber);
    s.us.store(us);
}

// Send time of `number` on port `which`, 0 when unknown.
int64_t SentUs(int which, uint32_t number) {
    const SentSlot& s = g_sent[which][number % kNumbers];
    const int64_t us = s.us.load();
    return s.number.load() == number ? us : 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// ---- the screen ------------------------------------------------------------------------

// Where a picture's frame-number row is on the screen: the white marker
// block's left and top edge and the block size in screen pixels.
struct RowPlace {
    double x = 0, y = 0, block = 0;
    int Left() const { return static_cast<int>(std::floor(x - block)); }
    int Width() const { return static_cast<int>(std::ceil(27 * block)) + 2; }
    int CentreY() const { return static_cast<int>(std::lround(y + block / 2)); }
};

class ScreenReader {
public:
    ScreenReader() {
        display_ = XOpenDisplay(nullptr);
        if (display_ != nullptr) {
            root_ = DefaultRootWindow(display_);
            width_ = DisplayWidth(display_, DefaultScreen(display_));
            height_ = DisplayHeight(display_, DefaultScreen(display_));
        }
    }
    ~ScreenReader() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    bool Open() const { return display_ != nullptr; }

    // Green levels of a rectangle (one byte per pixel), empty when it cannot be read.
    bool Grab(int x, int y, int w, int h, std::vector<uint8_t>* out) {
        x = std::clamp(x, 0, width_ - 1);
        y = std::clamp(y, 0, height_ - 1);
        w = std::min(w, width_ - x);
        h = std::min(h, height_ - y);
        XImage* image = XGetImage(display_, root_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                                  ZPixmap);
        if (image == nullptr) return false;
        out->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
        const bool fourBytes = image->bits_per_pixel == 32;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                (*out)[static_cast<size_t>(row) * w + col] =
                    fourBytes ? static_cast<uint8_t>(image->data[row * image->bytes_per_line + col * 4 + 1])
                              : static_cast<uint8_t>((XGetPixel(image, col, row) >> 8) & 0xFF);
        grabX_ = x;
        grabY_ = y;
        grabW_ = w;
        grabH_ = h;
        XDestroyImage(image);
        return true;
    }
    int GrabX() const { return grabX_; }
    int GrabY() const { return grabY_; }
    int GrabW() const { return grabW_; }
    int GrabH() const { return grabH_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    Display* display_ = nullptr;
    Window root_ = 0;
    int width_ = 0, height_ = 0;
    int grabX_ = 0, grabY_ = 0, grabW_ = 0, grabH_ = 0;
};

constexpr int kBright = 160, kDark = 96;

// Reads the number from one pixel line through the row's block centres
// (`line` starts at screen x `left`). False when the markers are not there.
bool ReadRow(const std::vector<uint8_t>& line, int left, const RowPlace& place, uint32_t* number) {
    auto sample = [&](int block) -> int {
        const int x = static_cast<int>(std::lround(place.x + (block - 1 + 0.5) * place.block)) - left;
        return x >= 0 && x < static_cast<int>(line.size()) ? line[static_cast<size_t>(x)] : -1;
    };
    if (sample(1) < kBright || sample(2) < 0 || sample(2) > kDark) return false;
    uint32_t value = 0;
    for (int i = 0; i < camsim::kFrameNumberBits; ++i) {
        const int v = sample(3 + i);
        if (v < 0) return false;
        value = (value << 1) | (v >= 128 ? 1u : 0u);
    }
    *number = value;
    return true;
}

// Looks for a frame-number row anywhere in a full-screen grab: a white
// square block inside a dark frame, a dark block right of it, dark rows above
// and below the whole row. The block size is measured to a fraction of a
// pixel (the edge pixels of a scaled picture are partly white).
std::optional<RowPlace> FindRow(const std::vector<uint8_t>& g, int w, int h) {
    auto at = [&](int x, int y) -> int { return x < 0 || y < 0 || x >= w || y >= h ? -1 : g[static_cast<size_t>(y) * w + x]; };
    auto dark = [&](double x, double y) {
        const int v = at(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
        return v >= 0 && v <= kDark;
    };
    for (int y = 1; y < h; ++y) {
        for (int x = 1; x < w; ++x) {
            if (at(x, y) < kBright || at(x - 1, y) >= kBright || at(x, y - 1) >= kBright) continue;
            int run = 0;
            while (at(x + run, y) >= kBright) ++run;
            if (run < 4 || run > 64) continue;
            const int mid = x + run / 2;
            int tall = 0;
            while (at(mid, y + tall) >= kBright) ++tall;
            if (std::abs(tall - run) > 2) continue;
            // Fractional width along the block's middle line.
            const int cy = y + tall / 2;
            const int hi = at(mid, cy), lo = at(x - 2, cy);
            if (lo < 0 || hi - lo < 100) continue;
            double width = 0;
            for (int xi = x - 3; xi <= x + run + 2; ++xi)
                width += std::clamp(static_cast<double>(at(xi, cy) - lo) / (hi - lo), 0.0, 1.0);
            double height = 0;
            for (int yi = y - 3; yi <= y + tall + 2; ++yi)
                height += std::clamp(static_cast<double>(at(mid, yi) - lo) / (hi - lo), 0.0, 1.0);
            const double block = (width + height) / 2;
            // Where the edges are: the partly white pixels shift the left edge.
            const double left = x - std::clamp(static_cast<double>(at(x - 1, cy) - lo) / (hi - lo), 0.0, 1.0);
            const double top = y - std::clamp(static_cast<double>(at(mid, y - 1) - lo) / (hi - lo), 0.0, 1.0);
            const double ym = top + block / 2;
            bool ok = dark(left - block / 2, ym) && dark(left + 1.5 * block, ym);
            for (int k = 0; ok && k < 27; ++k) {
                const double xk = left + (k - 0.5) * block;
                ok = dark(xk, top - block / 2) && dark(xk, top + 1.5 * block);
            }
            if (!ok) continue;
            return RowPlace{left, top, block};
        }
    }
    return std::nullopt;
}

// ---- players ------------------------------------------------------------------------

struct PlayerRun {
    std::string name;
    bool skipped = false;
    std::string why;
    std::vector<double> latency_ms;
    double startup_s = 0;   // spawn to the first picture found
    double pollMedian_ms = 0, grabMedian_ms = 0;
    std::string log;  // the player's output (the Studio's: its log lines)
};

// The whole screen into <build>/screenshots, to look at after a run.
void SaveShot(const std::string& name) {
    const fs::path folder = fs::path(kBuild) / "screenshots";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!testsupport::Screenshot(folder / name).ok) fprintf(stderr, "orvex-bench-screen: no screenshot %s\n", name.c_str());
}

bool Installed(const char* program) {
    const char* path = getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

// Finds the row on the screen (a full grab every 50 ms) whose number is a
// picture sent on `which`, for at most `limit`.
std::optional<RowPlace> Calibrate(ScreenReader& screen, int which, std::chrono::milliseconds limit, ChildProcess& child) {
    std::vector<uint8_t> full, line;
    std::optional<RowPlace> found;
    WaitUntil(
        [&] {
            if (!child.Running()) return true;
            if (!screen.Grab(0, 0, screen.Width(), screen.Height(), &full)) return false;
            std::optional<RowPlace> place = FindRow(full, screen.Width(), screen.Height());
            if (!place) return false;
            const RowPlace p = *place;
            const int y = p.CentreY();
            line.assign(full.begin() + static_cast<ptrdiff_t>(y) * screen.Width(),
                        full.begin() + static_cast<ptrdiff_t>(y + 1) * screen.Width());
            uint32_t number = 0;
            if (!ReadRow(line, 0, p, &number) || SentUs(which, number) == 0) return false;
            found = p;
            return true;
        },
        limit, 50ms);
    return found;
}

// Polls the row until `pictures` numbers (after a warm-up of 60) have been
// seen, or `limit` passes.
void Measure(ScreenReader& screen, const RowPlace& place, int which, int pictures, std::chrono::seconds limit,
             ChildProcess& child, PlayerRun* run) {
    std::vector<uint8_t> line;
    const int left = place.Left(), width = place.Width(), y = place.CentreY();
    uint32_t shown = 0xFFFFFFFFu, pending = 0xFFFFFFFFu;
    int64_t pendingUs = 0, lastPoll = 0;
    int warmUp = 60, misses = 0;
    std::vector<double> polls, grabs;
    const int64_t end = MonotonicUs() + std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
    while (static_cast<int>(run->latency_ms.size()) < pictures && MonotonicUs() < end) {
        const int64_t t = MonotonicUs();
        if (lastPoll != 0) polls.push_back(static_cast<double>(t - lastPoll) / 1000.0);
        lastPoll = t;
        const bool grabbed = screen.Grab(left, y, width, 1, &line);
        grabs.push_back(static_cast<double>(MonotonicUs() - t) / 1000.0);
        uint32_t number = 0;
        if (grabbed && ReadRow(line, screen.GrabX(), place, &number)) {
            if (number == shown) {
                pending = 0xFFFFFFFFu;
            } else if (number == pending) {
                shown = number;
                pending = 0xFFFFFFFFu;
                const int64_t sent = SentUs(which, number);
                if (warmUp > 0) {
                    --warmUp;
                } else if (sent > 0 && pendingUs >= sent && pendingUs - sent < 2000000) {
                    run->latency_ms.push_back(static_cast<double>(pendingUs - sent) / 1000.0);
                }
            } else {
                pending = number;
                pendingUs = t;
            }
        } else if (++misses % 2000 == 0 && !child.Running()) {
            break;
        }
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::microseconds(t + 1000)));
    }
    run->pollMedian_ms = Percentile(polls, 0.5);
    run->grabMedian_ms = Percentile(grabs, 0.5);
}

struct Setup {
    std::string address = "127.0.29.210";
    std::string stem = "orvexbench210";
    int pictures = 300;
    double minutes = 10;
    int scaleChanges = 100;
    int windowW = 1280, windowH = 800;
    bool latency = true, costs = true;
    std::string players = "studio,mpv,ffplay";
    fs::path root;
};

std::string StudioSettings(const Setup& s, const std::string& layout, int w, int h) {
    std::ostringstream out;
    out << "[File]\nSessionDirectory=" << (s.root / "storage").string() << "\n[Layout]\nLayoutStyle=" << layout
        << "\nWindowPosX=0\nWindowPosY=0\nWindowWidth=" << w << "\nWindowHeight=" << h << "\nDPI=96\n";
    return out.str();
}

// A fresh data folder for one Studio run; its environment.
std::vector<std::string> PrepareStudio(const Setup& s, const std::string& name, const std::string& settings) {
    const fs::path data = s.root / name / "data";
    const fs::path folder = data / "KAVOR Industries" / "ORVEX Studio";
    fs::create_directories(folder);
    fs::create_directories(s.root / "storage");
    std::ofstream(folder / "settings.ini") << settings;
    return {"XDG_DATA_HOME=" + data.string(), "LIBGL_ALWAYS_SOFTWARE=1", "ORVEX_CAMERA_STEM=" + s.stem};
}

void Stop(ChildProcess& child) {
    if (child.Terminate(10s) < 0) child.Signal(SIGKILL);
    child.Wait(5s);
}

PlayerRun RunPlayer(const Setup& s, ScreenReader& screen, const std::string& name, std::vector<std::string> argv,
                    std::vector<std::string> env, int which) {
    PlayerRun run;
    run.name = name;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (("," + s.players + ",").find("," + lower + ",") == std::string::npos) {
        run.skipped = true;
        run.why = "not asked for (--players)";
        return run;
    }
    if (!Installed(argv[0].c_str()) && argv[0].find('/') == std::string::npos) {
        run.skipped = true;
        run.why = "not installed";
        return run;
    }
    const std::string log = (s.root / (name + ".log")).string();
    run.log = log;
    const int64_t start = MonotonicUs();
    ChildProcess child(argv, env, log);
    std::optional<RowPlace> place = Calibrate(screen, which, 90s, child);
    if (!place) {
        Stop(child);
        run.skipped = true;
        run.why = "no picture found on the screen (log " + log + ")";
        return run;
    }
    run.startup_s = static_cast<double>(MonotonicUs() - start) / 1e6;
    SaveShot("bench-screen-" + lower + ".png");
    fprintf(stderr, "orvex-bench-screen: %s shows pictures after %.2f s (row at %.1f,%.1f, blocks of %.2f px)\n",
            name.c_str(), run.startup_s, place->x, place->y, place->block);
    Measure(screen, *place, which, s.pictures, std::chrono::seconds(60 + s.pictures / 10), child, &run);
    Stop(child);
    if (run.latency_ms.empty()) {
        run.skipped = true;
        run.why = "no pictures measured (log " + log + ")";
    }
    return run;
}

// ---- /proc and the Studio's log ------------------------------------------------------------

long ResidentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return atol(line.c_str() + 6);
    return -1;
}

// Resident memory read at several moments: a straight line through the
// readings (least squares) tells growth from the swing of single readings
// (allocator arenas and textures come and go by several MiB).
struct MemorySeries {
    std::vector<std::pair<double, double>> points;  // (x, KiB)
    void Add(double x, long kb) {
        if (kb > 0) points.emplace_back(x, static_cast<double>(kb));
    }
    // KiB per unit of x; 0 with fewer than three readings.
    double Slope() const {
        if (points.size() < 3) return 0;
        double mx = 0, my = 0;
        for (const auto& [x, y] : points) mx += x, my += y;
        mx /= static_cast<double>(points.size());
        my /= static_cast<double>(points.size());
        double sxy = 0, sxx = 0;
        for (const auto& [x, y] : points) sxy += (x - mx) * (y - my), sxx += (x - mx) * (x - mx);
        return sxx > 0 ? sxy / sxx : 0;
    }
    double LowMiB() const {
        double low = points.empty() ? 0 : points[0].second;
        for (const auto& p : points) low = std::min(low, p.second);
        return low / 1024.0;
    }
    // The readings in MiB, one decimal each, on one line.
    std::string List() const {
        std::string out;
        char one[32];
        for (const auto& p : points) {
            snprintf(one, sizeof one, "%s%.1f", out.empty() ? "" : " ", p.second / 1024.0);
            out += one;
        }
        return out;
    }
    double HighMiB() const {
        double high = 0;
        for (const auto& p : points) high = std::max(high, p.second);
        return high / 1024.0;
    }
};

// CPU seconds of thread `tid` of `pid` (user + system).
double ThreadCpuS(pid_t pid, pid_t tid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> f; ++i) {
        if (i == 14) utime = atol(f.c_str());
        if (i == 15) {
            stime = atol(f.c_str());
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct FrameCostsLine {
    double seconds = 0;
    int frames = 0;
    double cpuPerFrame_ms = 0;
    std::string text;
};

std::vector<FrameCostsLine> FrameCostLines(const std::string& log) {
    std::vector<FrameCostsLine> lines;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find("Frame costs | ");
        if (at == std::string::npos) continue;
        FrameCostsLine f;
        f.text = line.substr(at);
        if (sscanf(line.c_str() + at, "Frame costs | %lf s: %d frames", &f.seconds, &f.frames) != 2) continue;
        const size_t cpu = line.find("UI thread ");
        if (cpu != std::string::npos) f.cpuPerFrame_ms = atof(line.c_str() + cpu + 10);
        lines.push_back(f);
    }
    return lines;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// ---- the unit -------------------------------------------------------------------------

std::unique_ptr<camsim::Unit> StartUnit(const std::string& address, const std::string& stem, int width, int height,
                                        int channels, double replayS) {
    camsim::Options options;
    options.address = address;
    options.name = stem;
    options.channels = channels;
    options.plainVideo = true;
    options.replayS = replayS;
    auto unit = std::make_unique<camsim::Unit>(options);
    for (int g = 0; g < 2; ++g) {
        unit->SetParamValue(g, 117, width);
        unit->SetParamValue(g, 118, height);
        unit->SetParamValue(g, 119, 30);
        unit->SetParamValue(g, 141, 8000);
    }
    g_framedPort = unit->Port(8012);
    g_plainPort = unit->Port(9012);
    if (!unit->Start()) return nullptr;
    return unit;
}

bool OnlyLoopback() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool only = true;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next)
        if ((a->ifa_flags & IFF_LOOPBACK) == 0) only = false;
    freeifaddrs(list);
    return only;
}

void PrintLatency(const std::vector<PlayerRun>& runs) {
    const PlayerRun& ours = runs[0];
    const double oursMedian = Percentile(ours.latency_ms, 0.5);
    printf("receive-to-screen latency, 1280x720 at 30/s (last byte sent -> number on the screen; screen read every "
           "%.2f ms, %.3f ms per read):\n",
           ours.pollMedian_ms, ours.grabMedian_ms);
    for (const PlayerRun& r : runs) {
        if (r.skipped) {
            printf("  %-8s skipped: %s\n", r.name.c_str(), r.why.c_str());
            continue;
        }
        printf("  %-8s median %6.2f ms, p95 %6.2f ms, min %6.2f ms, %zu pictures\n", r.name.c_str(),
               Percentile(r.latency_ms, 0.5), Percentile(r.latency_ms, 0.95), Percentile(r.latency_ms, 0.0),
               r.latency_ms.size());
    }
    for (size_t i = 1; i < runs.size(); ++i)
        if (!runs[i].skipped && !ours.skipped)
            printf("  ratio Studio/%s (median): %.2f (target < 1)\n", runs[i].name.c_str(),
                   oursMedian / Percentile(runs[i].latency_ms, 0.5));
    if (!ours.skipped) printf("  Studio median %.2f ms (target <= 12 ms)\n", oursMedian);
}

}  // namespace

int main(int argc, char** argv) {
    Setup s;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--pictures") s.pictures = std::max(30, atoi(value));
        else if (key == "--minutes") s.minutes = std::max(0.5, atof(value));
        else if (key == "--scale-changes") s.scaleChanges = std::clamp(atoi(value) / 10 * 10, 30, 10000);
        else if (key == "--address") s.address = value;
        else if (key == "--only") only = value;
        else if (key == "--players") s.players = value;
        else if (key == "--studio-window") {
            if (sscanf(value, "%dx%d", &s.windowW, &s.windowH) != 2) s.windowW = 0;
        } else {
            s.windowW = 0;
        }
        if (s.windowW <= 0 || (only != "" && only != "latency" && only != "costs" && only != "scale")) {
            fprintf(stderr,
                    "usage: orvex-bench-screen [--pictures N] [--minutes M] [--only latency|costs|scale] [--players LIST] "
                    "[--studio-window WxH] [--address A]\n");
            return 2;
        }
    }
    if ((argc - 1) % 2 != 0) {
        fprintf(stderr, "orvex-bench-screen: options come in pairs (see the top of Tools/Bench/BenchScreen.cpp)\n");
        return 2;
    }
    s.latency = only == "" || only == "latency";
    s.costs = only != "latency";
    const bool twoViews = only == "" || only == "costs";
    if (getenv("DISPLAY") == nullptr || !OnlyLoopback()) {
        fprintf(stderr,
                "orvex-bench-screen: needs its own display and a network namespace with only loopback:\n"
                "  tools/with-netns tools/with-xvfb %s\n",
                argv[0]);
        return 2;
    }
    ScreenReader screen;
    if (!screen.Open()) {
        fprintf(stderr, "orvex-bench-screen: cannot open the display %s\n", getenv("DISPLAY"));
        return 1;
    }
    LogSetLevel(LOG_WARN);
    LogUseProcessMutex();
    char pattern[] = "/tmp/orvex-bench-screen-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    s.root = pattern;
    camsim::SetVideoSendObserver(OnSent, nullptr);
    const std::string studio = kBuild + "/orvex-studio";

    double startupS = 0, oursMedian = 0, mpvMedian = 0, ffplayMedian = 0;
    if (s.latency) {
        auto unit = StartUnit(s.address, s.stem, 1280, 720, 1, 10);
        if (!unit) return 1;
        const std::string plain = "tcp://" + s.address + ":" + std::to_string(g_plainPort.load());
        std::vector<PlayerRun> runs;
        runs.push_back(RunPlayer(s, screen, "Studio", {studio},
                                 PrepareStudio(s, "studio-latency", StudioSettings(s, "SingleCamera", s.windowW, s.windowH)),
                                 0));
        startupS = runs[0].startup_s;
        runs.push_back(RunPlayer(s, screen, "mpv",
                                 {"mpv", "--profile=low-latency", "--untimed", "--no-config", "--no-audio",
                                  "--demuxer-lavf-format=h264", "--geometry=1280x720+0+0", "--no-border",
                                  "--osd-level=0", "--no-osc", "--really-quiet", plain},
                                 {}, 1));
        runs.push_back(RunPlayer(s, screen, "ffplay",
                                 {"ffplay", "-hide_banner", "-loglevel", "error", "-fflags", "nobuffer", "-flags",
                                  "low_delay", "-framedrop", "-probesize", "32", "-sync", "ext", "-f", "h264", "-an",
                                  "-noborder", "-left", "0", "-top", "0", "-x", "1280", "-y", "720", plain},
                                 {}, 1));
        unit->Stop();
        PrintLatency(runs);
        // What each step of the Studio's frames cost meanwhile (its last whole 10 s window).
        const std::vector<FrameCostsLine> costLines = FrameCostLines(testfiles::ReadText(runs[0].log));
        if (!costLines.empty()) printf("  the Studio's frames: %s\n", costLines.back().text.c_str());
        printf("start-up to the first live picture: %.2f s (the Studio started -> its first picture found on the "
               "screen; the splash takes 3 s of it)\n",
               startupS);
        oursMedian = runs[0].skipped ? 0 : Percentile(runs[0].latency_ms, 0.5);
        mpvMedian = runs[1].skipped ? 0 : Percentile(runs[1].latency_ms, 0.5);
        ffplayMedian = runs[2].skipped ? 0 : Percentile(runs[2].latency_ms, 0.5);
    }

    double cpuPerFrame = 0, procCpuPerFrame = 0, rssGrowthKb = 0, scaleGrowthKb = 0;
    double rssSlopeKbPerMin = 0, scaleSlopeKb = 0;
    if (s.costs) {
        s.stem = "orvexbench211";
        auto unit = StartUnit("127.0.29.211", s.stem, 1920, 1080, 2, 10);
        if (!unit) return 1;
        // (c) two live views side by side in a full-screen-sized window.
        if (twoViews) {
            const std::string log = (s.root / "studio-two.log").string();
            ChildProcess child({studio}, PrepareStudio(s, "studio-two", StudioSettings(s, "SplitVertical", 1920, 1080)),
                               log);
            const bool streaming = WaitUntil(
                [&] { return CountOf(testfiles::ReadText(log), "ProcessStream | streaming from ") >= 2 || !child.Running(); },
                120s, 100ms);
            if (!streaming || !child.Running()) {
                fprintf(stderr, "orvex-bench-screen: the two streams did not start (log %s)\n", log.c_str());
                return 1;
            }
            // Two whole 10 s windows after the streams run; the second is taken.
            const size_t before = FrameCostLines(testfiles::ReadText(log)).size();
            WaitUntil([&] { return FrameCostLines(testfiles::ReadText(log)).size() >= before + 1; }, 60s, 100ms);
            const double cpu0 = ThreadCpuS(child.Pid(), child.Pid());
            WaitUntil([&] { return FrameCostLines(testfiles::ReadText(log)).size() >= before + 2; }, 60s, 100ms);
            const double cpu1 = ThreadCpuS(child.Pid(), child.Pid());
            const std::vector<FrameCostsLine> lines = FrameCostLines(testfiles::ReadText(log));
            if (lines.size() < before + 2) {
                fprintf(stderr, "orvex-bench-screen: no frame costs logged (log %s)\n", log.c_str());
                return 1;
            }
            SaveShot("bench-screen-two-views.png");
            const FrameCostsLine& f = lines.back();
            cpuPerFrame = f.cpuPerFrame_ms;
            procCpuPerFrame = f.frames > 0 ? (cpu1 - cpu0) * 1000.0 / f.frames : 0;
            printf("two live 1920x1080 views at 30/s (window 1920x1080):\n");
            printf("  UI thread CPU per frame: %.2f ms (frame steps), %.2f ms (/proc, events included); %.1f frames/s\n",
                   cpuPerFrame, procCpuPerFrame, f.frames / f.seconds);
            printf("  %s\n", f.text.c_str());
            // Resident memory: one minute in, then at --minutes.
            const int64_t start = MonotonicUs();
            auto minutesIn = [&] { return static_cast<double>(MonotonicUs() - start) / 60e6; };
            WaitUntil([&] { return minutesIn() >= std::min(1.0, s.minutes / 2) || !child.Running(); },
                      std::chrono::minutes(2), 500ms);
            const double t0 = minutesIn();
            const long rss0 = ResidentKb(child.Pid());
            MemorySeries series;
            series.Add(t0, rss0);
            WaitUntil(
                [&] {
                    // A reading every 10 s between the two named ones.
                    if (minutesIn() - series.points.back().first >= 10.0 / 60) series.Add(minutesIn(), ResidentKb(child.Pid()));
                    return minutesIn() >= s.minutes || !child.Running();
                },
                std::chrono::milliseconds(static_cast<int64_t>(s.minutes * 60000) + 60000), 500ms);
            const double t1 = minutesIn();
            const long rss1 = ResidentKb(child.Pid());
            series.Add(t1, rss1);
            rssSlopeKbPerMin = series.Slope();
            rssGrowthKb = static_cast<double>(rss1 - rss0);
            const double perMinute = t1 > t0 ? rssGrowthKb / (t1 - t0) : 0;
            printf("  resident memory: %.1f MiB after %.1f min, %.1f MiB after %.1f min (%+.0f KiB, %+.1f KiB/min; "
                   "target: no growth)\n",
                   rss0 / 1024.0, t0, rss1 / 1024.0, t1, rssGrowthKb, perMinute);
            printf("  resident memory over %zu readings (every 10 s): %.1f to %.1f MiB, trend %+.1f KiB/min "
                   "(least squares; target: no growth)\n",
                   series.points.size(), series.LowMiB(), series.HighMiB(), rssSlopeKbPerMin);
            printf("  readings (MiB): %s\n", series.List().c_str());
            if (t1 < 10)
                printf("  extrapolated to 10 minutes: %.1f MiB (linear, from this %.1f-minute run)\n",
                       (rss1 + perMinute * (10 - t1)) / 1024.0, t1);
            if (!child.Running()) printf("  (the Studio ended early: log %s)\n", log.c_str());
            Stop(child);
        }
        // (d) --scale-changes UI scale changes (100) with one live view.
        {
            const std::string log = (s.root / "studio-scale.log").string();
            std::vector<std::string> env =
                PrepareStudio(s, "studio-scale", StudioSettings(s, "SingleCamera", s.windowW, s.windowH));
            // Room for the changes before the stream is live and a few after
            // the last reading; the Studio is stopped once they are read.
            const int total = s.scaleChanges;
            env.push_back("ORVEX_SCALE_CHANGES=" + std::to_string(total + 300));
            ChildProcess child({studio}, env, log);
            auto changes = [&] { return CountOf(testfiles::ReadText(log), "UI scale exercise | change "); };
            // The first reading waits for the live view's pictures on the
            // screen: the stream's decoder and picture textures (about 30 MiB
            // at 1080p) would otherwise count as growth of the changes.
            const bool live = Calibrate(screen, 0, 180s, child).has_value() && child.Running();
            const int first = (changes() / 10 + 1) * 10;
            const bool started = live && WaitUntil([&] { return changes() >= first || !child.Running(); }, 60s, 20ms);
            const long rss10 = ResidentKb(child.Pid());
            MemorySeries series;
            series.Add(first, rss10);
            // A reading after every tenth change (the same scale each time).
            const bool done = started && WaitUntil(
                                             [&] {
                                                 const int n = changes();
                                                 if (n >= series.points.back().first + 10 && n % 10 == 0)
                                                     series.Add(n, ResidentKb(child.Pid()));
                                                 return n >= first + total || !child.Running();
                                             },
                                             std::chrono::seconds(60 + 3 * total), 20ms);
            const long rssLast = series.points.empty() ? -1 : static_cast<long>(series.points.back().second);
            SaveShot("bench-screen-after-scale-changes.png");
            if (!done || !child.Running()) {
                fprintf(stderr, "orvex-bench-screen: the scale changes did not finish (log %s)\n", log.c_str());
                return 1;
            }
            scaleGrowthKb = static_cast<double>(rssLast - rss10);
            scaleSlopeKb = series.Slope();
            printf("UI scale changes, from change %d with the view live: resident memory %.1f MiB, %.1f MiB after %d "
                   "more (%+.0f KiB, %+.1f KiB each; target: no growth)\n",
                   first, rss10 / 1024.0, rssLast / 1024.0, total, scaleGrowthKb,
                   scaleGrowthKb / static_cast<double>(total));
            printf("  over %zu readings (every 10 changes): %.1f to %.1f MiB, trend %+.1f KiB per change (least "
                   "squares; target: no growth)\n",
                   series.points.size(), series.LowMiB(), series.HighMiB(), scaleSlopeKb);
            printf("  readings (MiB): %s\n", series.List().c_str());
            Stop(child);
        }
        unit->Stop();
    }
    camsim::SetVideoSendObserver(nullptr, nullptr);
    printf("screen-bench studio_median_ms=%.2f mpv_median_ms=%.2f ffplay_median_ms=%.2f startup_s=%.2f "
           "ui_cpu_per_frame_ms=%.2f rss_growth_kb=%.0f scale_rss_growth_kb=%.0f rss_trend_kb_per_min=%.1f "
           "scale_rss_trend_kb_per_change=%.1f\n",
           oursMedian, mpvMedian, ffplayMedian, startupS, cpuPerFrame, rssGrowthKb, scaleGrowthKb, rssSlopeKbPerMin,
           scaleSlopeKb);
    if (!getenv("ORVEX_KEEP_TEST_FILES")) {
        std::error_code ec;
        fs::remove_all(s.root, ec);
    }
    return 0;
}
