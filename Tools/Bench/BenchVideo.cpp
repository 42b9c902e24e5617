// orvex-bench-video: live video latency and decoding cost against a simulated
// unit started in-process (1920x1080, 30 pictures per second, replayed so
// that encoding does not compete with decoding).
//
//   (a) latency of AV::Stream: from the simulator handing the last byte of a
//       picture to the socket until Stream::Process has queued it; the
//       picture's frame-number blocks tell which one it is;
//   (b) CPU time of Stream::Process per decoded picture;
//   (c) the same latency for an ffmpeg process reading the plain port and
//       writing raw grey pictures into a pipe that this program reads, once
//       with ffmpeg's default decoder threads (frame threads: each adds a
//       picture of delay) and once with -threads 1 (no frame threads, the
//       lowest latency ffmpeg's pipeline has); ours is compared with the
//       better of the two;
//   (d) CPU seconds per wall second of two streams decoded side by side.
//
// Options: --address A (default 127.0.29.200), --pictures N (300),
// --two-stream-s S (10). The last line is machine-readable.
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "Base/Log.h"
#include "Base/Thread.h"
#include "CameraSim/Unit.h"
#include "CameraSim/VideoEncoder.h"
#include "CameraSim/VideoServer.h"
#include "Video/AV/Stream.h"

extern char** environ;

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kRate = 30;
constexpr int kNumbers = 4096;  // send times kept per port, by frame number

// Send times in microseconds, [0] framed port, [1] plain port.
std::atomic<int64_t> sentUs[2][kNumbers];
int framedPort = 8012, plainPort = 9012;

void OnSent(void*, int port, uint32_t frameNumber, int64_t us) {
    int which = port == framedPort ? 0 : (port == plainPort ? 1 : -1);
    if (which >= 0) sentUs[which][frameNumber % kNumbers].store(us);
}

int64_t ThreadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

AV::Stream::Options BenchOptions() {
    AV::Stream::Options o = AV::Stream::Options::LiveCamera();
    o.receiveTimeout_us = 60000000;  // the unit encodes its replay first
    return o;
}

// (a) and (b): latency and CPU per picture of our stream.
bool MeasureOurs(const std::string& address, int pictures, std::vector<double>* latency_ms, std::vector<double>* cpu_ms) {
    AV::Stream stream;
    if (!stream.Open("tcp://" + address + ":8012", BenchOptions())) {
        fprintf(stderr, "orvex-bench-video: could not open the live stream\n");
        return false;
    }
    int warmUp = kRate;  // the first second settles caches and the decoder
    while (static_cast<int>(latency_ms->size()) < pictures) {
        int64_t cpu0 = ThreadCpuUs();
        int rc = stream.Process();
        int64_t cpu1 = ThreadCpuUs();
        int64_t now = camsim::MonotonicUs();
        if (rc < 0 && !stream.IsOpen()) {
            fprintf(stderr, "orvex-bench-video: stream closed (%d)\n", rc);
            return false;
        }
        std::shared_ptr<AV::Frame> frame = stream.PopFrame();
        if (!frame) continue;
        uint32_t number = 0;
        if (!camsim::ReadFrameNumber(frame->Plane(0), frame->Stride(0), frame->Width(), frame->Height(), &number)) continue;
        if (warmUp > 0) {
            --warmUp;
            continue;
        }
        int64_t sent = sentUs[0][number % kNumbers].load();
        if (sent <= 0 || now < sent) continue;
        latency_ms->push_back(static_cast<double>(now - sent) / 1000.0);
        cpu_ms->push_back(static_cast<double>(cpu1 - cpu0) / 1000.0);
    }
    return true;
}

// (c): ffmpeg reading the plain port into a pipe of raw grey pictures.
bool MeasureFfmpeg(const std::string& address, int pictures, bool oneThread, std::vector<double>* latency_ms) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::string url = "tcp://" + address + ":9012";
    std::vector<const char*> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-fflags", "nobuffer",
                                     "-flags", "low_delay", "-probesize", "32", "-analyzeduration", "0"};
    if (oneThread) {
        argv.push_back("-threads");
        argv.push_back("1");
    }
    for (const char* a : {"-f", "h264", "-i", url.c_str(), "-f", "rawvideo", "-pix_fmt", "gray", "pipe:1"})
        argv.push_back(a);
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        fprintf(stderr, "orvex-bench-video: could not start ffmpeg: %s\n", strerror(rc));
        return false;
    }
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight);
    int warmUp = kRate;
    bool ok = true;
    while (static_cast<int>(latency_ms->size()) < pictures) {
        size_t got = 0;
        while (got < picture.size()) {
            ssize_t n = read(pipeFds[0], picture.data() + got, picture.size() - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        int64_t now = camsim::MonotonicUs();
        if (got < picture.size()) {
            fprintf(stderr, "orvex-bench-video: ffmpeg stopped early\n");
            ok = false;
            break;
        }
        uint32_t number = 0;
        if (!camsim::ReadFrameNumber(picture.data(), kWidth, kWidth, kHeight, &number)) continue;
        if (warmUp > 0) {
            --warmUp;
            continue;
        }
        int64_t sent = sentUs[1][number % kNumbers].load();
        if (sent > 0 && now >= sent) latency_ms->push_back(static_cast<double>(now - sent) / 1000.0);
    }
    kill(pid, SIGTERM);
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return ok;
}

// (d): two live streams decoded side by side, each on its own thread.
double MeasureTwoStreams(const std::string& address, double seconds, int* pictures) {
    std::atomic<int64_t> cpuUs{0};
    std::atomic<int> decoded{0};
    std::atomic<bool> ready[2] = {false, false};
    std::atomic<bool> go{false}, stop{false};
    auto worker = [&](int channel) {
        AV::Stream stream;
        bool open = stream.Open("tcp://" + address + ":" + std::to_string(8012 + channel), BenchOptions());
        ready[channel] = true;
        while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int64_t cpu0 = ThreadCpuUs();
        while (open && !stop) {
            if (stream.Process() < 0 && !stream.IsOpen()) break;
            if (stream.PopFrame()) ++decoded;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // as the video thread does
        }
        cpuUs += ThreadCpuUs() - cpu0;
    };
    std::thread a = base::StartThread("bench-video0", [&worker] { worker(0); });
    std::thread b = base::StartThread("bench-video1", [&worker] { worker(1); });
    while (!ready[0] || !ready[1]) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int64_t start = camsim::MonotonicUs();
    go = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
    stop = true;
    a.join();
    b.join();
    double wall = static_cast<double>(camsim::MonotonicUs() - start) / 1e6;
    *pictures = decoded.load();
    return static_cast<double>(cpuUs.load()) / 1e6 / wall;
}

}  // namespace

int main(int argc, char** argv) {
    std::string address = "127.0.29.200";
    int pictures = 300;
    double twoStreamS = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        if (key == "--address") address = argv[i + 1];
        else if (key == "--pictures") pictures = std::max(10, atoi(argv[i + 1]));
        else if (key == "--two-stream-s") twoStreamS = std::max(1.0, atof(argv[i + 1]));
        else {
            fprintf(stderr, "usage: orvex-bench-video [--address A] [--pictures N] [--two-stream-s S]\n");
            return 2;
        }
    }
    LogSetLevel(LOG_WARN);
    LogUseProcessMutex();

    camsim::Options options;
    options.address = address;
    options.mdns = false;
    options.plainVideo = true;
    options.replayS = 10;
    camsim::Unit unit(options);
    for (int g = 0; g < 2; ++g) {
        unit.SetParamValue(g, 117, kWidth);
        unit.SetParamValue(g, 118, kHeight);
        unit.SetParamValue(g, 119, kRate);
        unit.SetParamValue(g, 141, 8000);
    }
    framedPort = unit.Port(8012);
    plainPort = unit.Port(9012);
    camsim::SetVideoSendObserver(OnSent, nullptr);
    if (!unit.Start()) return 1;

    std::vector<double> ours, cpu, theirs, theirsOne;
    if (!MeasureOurs(address, pictures, &ours, &cpu)) return 1;
    int twoPictures = 0;
    double twoStreamCpu = MeasureTwoStreams(address, twoStreamS, &twoPictures);
    bool ffmpegOk = MeasureFfmpeg(address, pictures, false, &theirs);
    bool ffmpegOneOk = MeasureFfmpeg(address, pictures, true, &theirsOne);
    camsim::SetVideoSendObserver(nullptr, nullptr);
    unit.Stop();

    const double oursMedian = Percentile(ours, 0.5), oursP95 = Percentile(ours, 0.95);
    const double decodeMedian = Percentile(cpu, 0.5);
    const double ffmpegMedian = ffmpegOk ? Percentile(theirs, 0.5) : 0;
    const double ffmpegOneMedian = ffmpegOneOk ? Percentile(theirsOne, 0.5) : 0;
    double bestMedian = 0;
    for (double m : {ffmpegMedian, ffmpegOneMedian})
        if (m > 0 && (bestMedian == 0 || m < bestMedian)) bestMedian = m;
    const double budget = 1.5 * decodeMedian + 2.0;
    printf("pictures measured: ours %zu, ffmpeg %zu, ffmpeg -threads 1 %zu (1920x1080 at 30/s, software decoding)\n",
           ours.size(), theirs.size(), theirsOne.size());
    printf("ours: latency median %.2f ms, p95 %.2f ms; decode CPU median %.2f ms, p95 %.2f ms\n", oursMedian, oursP95,
           decodeMedian, Percentile(cpu, 0.95));
    printf("ffmpeg pipeline (default threads): latency median %.2f ms, p95 %.2f ms\n", ffmpegMedian,
           Percentile(theirs, 0.95));
    printf("ffmpeg pipeline (-threads 1): latency median %.2f ms, p95 %.2f ms\n", ffmpegOneMedian,
           Percentile(theirsOne, 0.95));
    printf("ratio ours/ffmpeg default threads (median latency): %.2f\n",
           ffmpegMedian > 0 ? oursMedian / ffmpegMedian : 0.0);
    printf("ratio ours/ffmpeg -threads 1 (median latency): %.2f\n",
           ffmpegOneMedian > 0 ? oursMedian / ffmpegOneMedian : 0.0);
    printf("ratio ours/best ffmpeg pipeline (median latency): %.2f (target <= 1)\n",
           bestMedian > 0 ? oursMedian / bestMedian : 0.0);
    printf("ratio ours/(1.5 x decode + 2 ms): %.2f (target <= 1)\n", budget > 0 ? oursMedian / budget : 0.0);
    printf("two streams: %.3f CPU-s per wall-s over %.0f s, %d pictures (target < 0.6)\n", twoStreamCpu, twoStreamS,
           twoPictures);
    printf("video-bench ours_median_ms=%.2f ours_p95_ms=%.2f decode_median_ms=%.2f ffmpeg_median_ms=%.2f "
           "ffmpeg_threads1_median_ms=%.2f two_stream_cpu=%.2f\n",
           oursMedian, oursP95, decodeMedian, ffmpegMedian, ffmpegOneMedian, twoStreamCpu);
    return 0;
}
