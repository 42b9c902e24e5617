// orvex-bench-recorder: what recording costs the video thread. A real H.264
// stream at a given bit rate (made with the ffmpeg command-line tool) is
// fed to AV::Stream::WritePacket at its frame rate, as the live camera
// would deliver it, and the thread CPU time spent writing (muxing, the
// cluster closes and the flushes to the file) is printed per second of
// video and as a share of one core.
//
//   orvex-bench-recorder [Mbit/s] [seconds] [folder]     (defaults 8, 10, /tmp)
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "Video/AV/Stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

int64_t ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
    const int mbits = argc > 1 ? std::atoi(argv[1]) : 8;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const std::string folder = argc > 3 ? argv[3] : "/tmp";
    if (mbits < 1 || mbits > 100 || seconds < 2 || seconds > 600) {
        std::fprintf(stderr, "usage: %s [Mbit/s 1..100] [seconds 2..600] [folder]\n", argv[0]);
        return 2;
    }
    const std::string source = folder + "/orvex-bench-recorder-source.mkv";
    const std::string target = folder + "/orvex-bench-recorder-out.mkv";
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t " +
                             std::to_string(seconds) + " -c:v libx264 -preset ultrafast -g 30 -b:v " +
                             std::to_string(mbits) + "M -maxrate " + std::to_string(mbits) + "M -bufsize " +
                             std::to_string(mbits) + "M '" + source + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "orvex-bench-recorder: ffmpeg could not make the test stream\n");
        return 1;
    }
    // The stream opened on the file gives the recorder its codec parameters;
    // the packets come from a second reader, paced at 30 per second.
    AV::Stream stream;
    if (!stream.Open(source, AV::Stream::Options::MediaFile()) || !stream.StartRecording(target)) {
        std::fprintf(stderr, "orvex-bench-recorder: could not start the recording\n");
        return 1;
    }
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, source.c_str(), nullptr, nullptr) != 0) return 1;
    AVPacket* packet = av_packet_alloc();
    int64_t cpu_ns = 0, bytes = 0, packets = 0;
    auto next = std::chrono::steady_clock::now();
    while (av_read_frame(in, packet) >= 0) {
        std::this_thread::sleep_until(next);
        next += std::chrono::microseconds(33333);
        const int64_t before = ThreadCpuNs();
        stream.WritePacket(packet);
        cpu_ns += ThreadCpuNs() - before;
        bytes += packet->size;
        ++packets;
        av_packet_unref(packet);
    }
    const uint64_t flushes = stream.RecordingFlushes();
    const int64_t before = ThreadCpuNs();
    stream.StopRecording();
    const int64_t stop_ns = ThreadCpuNs() - before;
    av_packet_free(&packet);
    avformat_close_input(&in);
    std::remove(source.c_str());
    std::remove(target.c_str());
    const double video_s = double(packets) / 30.0;
    std::printf("orvex-bench-recorder: %lld packets, %.1f s of video at %.2f Mbit/s, %llu flushes to the file\n",
                static_cast<long long>(packets), video_s, double(bytes) * 8 / video_s / 1e6,
                static_cast<unsigned long long>(flushes));
    std::printf("  writing: %.3f ms CPU per second of video = %.3f %% of one core (stop and trailer %.2f ms)\n",
                double(cpu_ns) / 1e6 / video_s, double(cpu_ns) / 1e9 / video_s * 100.0, double(stop_ns) / 1e6);
    return 0;
}
