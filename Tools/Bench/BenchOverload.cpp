// orvex-bench-overload: one live camera slot (its receiving and decoding
// threads, as the Studio runs them) recording 1920x1080 at 30 pictures per
// second from a simulated unit started in-process, first on the machine as
// it is, then with every core kept busy by a CPU hog (stress-ng --cpu N,
// started by this program when installed).
//
// Per phase it prints:
//   - receive-to-decoded latency (a unit's last byte read from the socket to
//     its picture queued for the screen): median, p95, max;
//   - camera-to-decoded latency (the simulator handing the picture's last
//     byte to the socket to the picture queued; frame-number blocks), p95;
//   - pictures shown (taken from the queue every 16.7 ms, as the UI does)
//     against pictures received;
//   - the recording's packet intervals: median, p5, p95, min, max, and its
//     packets against the pictures the simulator sent meanwhile.
// Targets: p95 camera-to-decoded <= 200 ms under the hog, packet intervals
// within a few ms of 33.3 ms (p5..p95), no packet missing.
//
// Options: --address A (default 127.0.29.201), --seconds S per phase (15),
// --hog-cpus N (default: the number of cores; 0 runs no hog). The last line
// is machine-readable.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "Base/Clock.h"
#include "Base/Log.h"
#include "CameraSim/Unit.h"
#include "CameraSim/VideoEncoder.h"
#include "CameraSim/VideoServer.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Service.h"

extern char** environ;

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kRate = 30;
constexpr int kNumbers = 4096;

std::atomic<int64_t> sentUs[kNumbers];
std::atomic<uint64_t> sentCount{0};
int framedPort = 8012;
// Send times of the current phase (the simulator's video thread appends).
std::mutex sentLock;
std::vector<int64_t> sentTimes_us;
bool collectSent = false;

void OnSent(void*, int port, uint32_t frameNumber, int64_t us) {
    if (port != framedPort) return;
    sentUs[frameNumber % kNumbers].store(us);
    ++sentCount;
    std::lock_guard<std::mutex> guard(sentLock);
    if (collectSent) sentTimes_us.push_back(us);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

struct Phase {
    std::string name;
    std::vector<double> receiveToDecoded_ms, cameraToDecoded_ms, intervals_ms, sentIntervals_ms;
    uint64_t received = 0, shown = 0, skipped = 0, keyJumps = 0;
    int64_t packets = 0;
    uint64_t sent = 0;  // pictures the simulator sent while the file was written
};

// Packet times of a recording, in ms.
std::vector<double> PacketTimes(const std::string& path) {
    std::vector<double> times;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return times;
    if (avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->nb_streams == 1) {
        const AVRational tb = ctx->streams[0]->time_base;
        AVPacket* p = av_packet_alloc();
        while (av_read_frame(ctx, p) >= 0) {
            times.push_back(static_cast<double>(p->pts) * 1000.0 * tb.num / tb.den);
            av_packet_unref(p);
        }
        av_packet_free(&p);
    }
    avformat_close_input(&ctx);
    return times;
}

bool RunPhase(AV::CameraSlot& slot, const std::string& path, double seconds, Phase* phase) {
    // Settle: the decoder and the hog reach their pace.
    const int64_t settleUntil = MonotonicUs() + 2000000;
    while (MonotonicUs() < settleUntil) {
        slot.stream.PopFrame();
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    if (!slot.stream.StartRecording(path)) {
        fprintf(stderr, "orvex-bench-overload: could not start recording %s\n", path.c_str());
        return false;
    }
    const AV::LiveQueueCounts before = slot.units.Counts();
    const uint64_t sentBefore = sentCount.load();
    const int64_t start_ns = MonotonicNs();
    {
        std::lock_guard<std::mutex> guard(sentLock);
        sentTimes_us.clear();
        collectSent = true;
    }
    const int64_t end = MonotonicUs() + static_cast<int64_t>(seconds * 1e6);
    // The UI's part: once a display refresh, take what was queued.
    while (MonotonicUs() < end) {
        while (std::shared_ptr<AV::Frame> f = slot.stream.PopFrame()) {
            if (f->arrival_ns < start_ns) continue;  // received before the phase
            ++phase->shown;
            phase->receiveToDecoded_ms.push_back(static_cast<double>(f->decoded_ns - f->arrival_ns) / 1e6);
            uint32_t number = 0;
            std::lock_guard<std::mutex> guard(f->lock);
            if (camsim::ReadFrameNumber(f->Plane(0), f->Stride(0), f->Width(), f->Height(), &number)) {
                const int64_t sent = sentUs[number % kNumbers].load();
                const int64_t decoded_us = f->decoded_ns / 1000;
                if (sent > 0 && decoded_us >= sent)
                    phase->cameraToDecoded_ms.push_back(static_cast<double>(decoded_us - sent) / 1000.0);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    phase->packets = slot.stream.StopRecording();
    {
        std::lock_guard<std::mutex> guard(sentLock);
        collectSent = false;
        for (size_t i = 1; i < sentTimes_us.size(); ++i)
            phase->sentIntervals_ms.push_back(static_cast<double>(sentTimes_us[i] - sentTimes_us[i - 1]) / 1000.0);
    }
    const AV::LiveQueueCounts after = slot.units.Counts();
    phase->sent = sentCount.load() - sentBefore;
    phase->received = after.received - before.received;
    phase->skipped = (after.skippedDisposable + after.skippedToKey) - (before.skippedDisposable + before.skippedToKey);
    phase->keyJumps = after.keyJumps - before.keyJumps;
    const std::vector<double> times = PacketTimes(path);
    for (size_t i = 1; i < times.size(); ++i) phase->intervals_ms.push_back(times[i] - times[i - 1]);
    return true;
}

pid_t StartHog(int cpus) {
    if (cpus <= 0) return 0;
    const std::string count = std::to_string(cpus);
    const char* argv[] = {"stress-ng", "--cpu", count.c_str(), "--quiet", nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "stress-ng", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
    return pid;
}

void StopHog(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

void Print(const Phase& p) {
    printf("%s: receive-to-decoded median %.1f ms, p95 %.1f ms, max %.1f ms; camera-to-decoded p95 %.1f ms "
           "(target <= 200)\n",
           p.name.c_str(), Percentile(p.receiveToDecoded_ms, 0.5), Percentile(p.receiveToDecoded_ms, 0.95),
           Percentile(p.receiveToDecoded_ms, 1.0), Percentile(p.cameraToDecoded_ms, 0.95));
    printf("%s: pictures shown %llu of %llu received (%.0f %%), %llu left out, %llu jumps to a key frame\n",
           p.name.c_str(), static_cast<unsigned long long>(p.shown), static_cast<unsigned long long>(p.received),
           p.received ? 100.0 * static_cast<double>(p.shown) / static_cast<double>(p.received) : 0.0,
           static_cast<unsigned long long>(p.skipped), static_cast<unsigned long long>(p.keyJumps));
    printf("%s: recording %lld packets (simulator sent %llu meanwhile; the file starts at a key frame), "
           "intervals median %.1f ms, p5 %.1f, p95 %.1f, min %.1f, max %.1f (target 33.3 +- a few ms)\n",
           p.name.c_str(), static_cast<long long>(p.packets), static_cast<unsigned long long>(p.sent),
           Percentile(p.intervals_ms, 0.5), Percentile(p.intervals_ms, 0.05), Percentile(p.intervals_ms, 0.95),
           Percentile(p.intervals_ms, 0.0), Percentile(p.intervals_ms, 1.0));
    printf("%s: the simulator's own send intervals meanwhile: median %.1f ms, p5 %.1f, p95 %.1f, min %.1f, max %.1f\n",
           p.name.c_str(), Percentile(p.sentIntervals_ms, 0.5), Percentile(p.sentIntervals_ms, 0.05),
           Percentile(p.sentIntervals_ms, 0.95), Percentile(p.sentIntervals_ms, 0.0), Percentile(p.sentIntervals_ms, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    std::string address = "127.0.29.201";
    double seconds = 15;
    int hogCpus = static_cast<int>(std::thread::hardware_concurrency());
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        if (key == "--address") address = argv[i + 1];
        else if (key == "--seconds") seconds = std::max(3.0, atof(argv[i + 1]));
        else if (key == "--hog-cpus") hogCpus = std::max(0, atoi(argv[i + 1]));
        else {
            fprintf(stderr, "usage: orvex-bench-overload [--address A] [--seconds S] [--hog-cpus N]\n");
            return 2;
        }
    }
    LogSetLevel(LOG_WARN);
    LogUseProcessMutex();
    av_log_set_level(AV_LOG_ERROR);

    camsim::Options options;
    options.address = address;
    options.mdns = false;
    options.replayS = 10;  // encoded once, then replayed: the simulator does not compete with decoding
    camsim::Unit unit(options);
    for (int g = 0; g < 2; ++g) {
        unit.SetParamValue(g, 117, kWidth);
        unit.SetParamValue(g, 118, kHeight);
        unit.SetParamValue(g, 119, kRate);
        unit.SetParamValue(g, 141, 8000);
    }
    framedPort = unit.Port(8012);
    camsim::SetVideoSendObserver(OnSent, nullptr);
    if (!unit.Start()) return 1;

    // The unit as the service monitor lists it once it has answered.
    picam::Service service;
    service.version = 9000;
    service.SetHost(address);
    int index = 0;
    {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        index = static_cast<int>(picam::ServiceList.size());
        picam::ServiceList.push_back(&service);
    }
    AV::CameraSlot slot;
    slot.cameraIndex = index;
    slot.channel = 0;
    AV::Stream::Options streamOptions = AV::Stream::Options::LiveCamera();
    streamOptions.receiveTimeout_us = 60000000;  // the unit encodes its replay first
    AV::StartSlot(&slot, streamOptions);
    const int64_t connectLimit = MonotonicUs() + 120000000;
    while (!(slot.Flags() & AV::kSlotStreaming) || slot.stream.FramesFetched() == 0) {
        if (MonotonicUs() > connectLimit) {
            fprintf(stderr, "orvex-bench-overload: no live picture within 120 s\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("orvex-bench-overload-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    Phase quiet, loaded;
    quiet.name = "as is";
    loaded.name = "CPU hog";
    bool ok = RunPhase(slot, (dir / "quiet.mkv").string(), seconds, &quiet);
    pid_t hog = ok ? StartHog(hogCpus) : 0;
    if (hog < 0) {
        fprintf(stderr, "orvex-bench-overload: stress-ng not found; the second phase runs without a hog\n");
        loaded.name = "no hog (stress-ng missing)";
    } else if (hog > 0) {
        loaded.name = "CPU hog (stress-ng --cpu " + std::to_string(hogCpus) + ")";
    }
    ok = ok && RunPhase(slot, (dir / "loaded.mkv").string(), seconds, &loaded);
    StopHog(hog);

    AV::StopSlot(&slot);
    {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        picam::ServiceList[static_cast<size_t>(index)] = &picam::NullService;
    }
    camsim::SetVideoSendObserver(nullptr, nullptr);
    unit.Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!ok) return 1;

    printf("one live slot, 1920x1080 at 30/s, %.0f s per phase, %u cores\n", seconds,
           std::thread::hardware_concurrency());
    Print(quiet);
    Print(loaded);
    printf("overload-bench quiet_p95_ms=%.1f loaded_p95_ms=%.1f loaded_camera_p95_ms=%.1f loaded_shown=%llu "
           "loaded_received=%llu loaded_interval_p5_ms=%.1f loaded_interval_p95_ms=%.1f loaded_packets=%lld\n",
           Percentile(quiet.receiveToDecoded_ms, 0.95), Percentile(loaded.receiveToDecoded_ms, 0.95),
           Percentile(loaded.cameraToDecoded_ms, 0.95), static_cast<unsigned long long>(loaded.shown),
           static_cast<unsigned long long>(loaded.received), Percentile(loaded.intervals_ms, 0.05),
           Percentile(loaded.intervals_ms, 0.95), static_cast<long long>(loaded.packets));
    return 0;
}
