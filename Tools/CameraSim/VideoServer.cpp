// Section index
//   observer       benchmark hook
//   VideoChannel   encoder thread, ring of access units, live and replay modes
//   connections    framing, faults, start at a key frame
//   VideoServer    the port server
#include "CameraSim/VideoServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Base/Thread.h"
#include "CameraSim/Servers.h"
#include "CameraSim/TcpServer.h"
#include "CameraSim/VideoEncoder.h"

namespace camsim {

// ---- observer ------------------------------------------------------------------------

namespace {
std::atomic<VideoSendObserver> sendObserver{nullptr};
std::atomic<void*> sendObserverUser{nullptr};

constexpr int kParamWidth = 117, kParamHeight = 118, kParamFrameRate = 119;
constexpr int kParamProfile = 133, kParamLevel = 134, kParamBitrate = 141;
constexpr int kCaptionMessage = 3;
constexpr size_t kRingLength = 120;

VideoSettings ReadSettings(const Unit& unit, int group) {
    VideoSettings s;
    auto value = [&](int index, int fallback, int lo, int hi) {
        int v = unit.ParamValue(group, index);
        return v >= lo && v <= hi ? v : fallback;
    };
    s.width = value(kParamWidth, 1920, 16, 4096) & ~1;
    s.height = value(kParamHeight, 1080, 16, 4096) & ~1;
    s.frameRate = value(kParamFrameRate, 30, 1, 120);
    s.profile = value(kParamProfile, 2, 0, 2);
    s.level = value(kParamLevel, 1, 0, 2);
    s.bitrate_kbps = value(kParamBitrate, 8000, 100, 100000);
    return s;
}

bool Paused(const Unit& unit) {
    const Options& o = unit.Opts();
    if (o.videoPauseFromS < 0 || o.videoPauseToS <= o.videoPauseFromS) return false;
    double t = unit.Uptime();
    return t >= o.videoPauseFromS && t < o.videoPauseToS;
}
}  // namespace

void SetVideoSendObserver(VideoSendObserver observer, void* user) {
    sendObserverUser = user;
    sendObserver = observer;
}

// ---- VideoChannel ---------------------------------------------------------------------

namespace {

struct RingEntry {
    uint64_t sequence;
    std::shared_ptr<const AccessUnit> unit;
};

class VideoChannel {
public:
    VideoChannel(Unit& unit, int channel) : unit_(unit), channel_(channel) {}
    ~VideoChannel() { Stop(); }

    void Start() {
        stopping_ = false;
        thread_ = base::StartThread(("video-enc-" + std::to_string(channel_)).c_str(), [this] { Run(); });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    void Serve(int fd, const std::string& peer, int port, bool framed);

private:
    void Run();
    void RunLive();
    void RunReplay();
    void Publish(std::shared_ptr<const AccessUnit> au);
    bool WaitForClients();
    bool SendUnit(int fd, const AccessUnit& au, bool framed, uint32_t* rng, uint64_t* fragments);

    Unit& unit_;
    const int channel_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    // Guarded by lock_.
    std::deque<RingEntry> ring_;
    uint64_t nextSequence_ = 0;
    int clients_ = 0;
    bool keyWanted_ = false;
    std::atomic<bool> stopping_{false};  // written under lock_ for the waits
};

void VideoChannel::Publish(std::shared_ptr<const AccessUnit> au) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ring_.push_back(RingEntry{nextSequence_++, std::move(au)});
        if (ring_.size() > kRingLength) ring_.pop_front();
    }
    changed_.notify_all();
}

bool VideoChannel::WaitForClients() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return stopping_.load() || clients_ > 0; });
    return !stopping_;
}

void VideoChannel::Run() {
    if (unit_.Opts().replayS > 0)
        RunReplay();
    else
        RunLive();
}

void VideoChannel::RunLive() {
    using Clock = std::chrono::steady_clock;
    VideoEncoder encoder;
    bool configured = false;
    uint32_t frameNumber = 0;
    uint64_t generation = ~0ull;
    VideoSettings settings;
    Clock::time_point deadline = Clock::now();
    while (WaitForClients()) {
        if (Paused(unit_)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            deadline = Clock::now();
            continue;
        }
        bool forceKey = false;
        if (unit_.Generation() != generation) {
            generation = unit_.Generation();
            settings = ReadSettings(unit_, channel_);
        }
        if (!configured || !(settings == encoder.Settings())) {
            configured = encoder.Configure(settings);
            if (!configured) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                continue;
            }
            forceKey = true;
        }
        std::this_thread::sleep_until(deadline);
        const auto period = std::chrono::microseconds(1000000 / settings.frameRate);
        deadline += period;
        if (Clock::now() > deadline + period) deadline = Clock::now();  // too slow: do not catch up
        {
            std::lock_guard<std::mutex> guard(lock_);
            forceKey = forceKey || keyWanted_;
            keyWanted_ = false;
        }
        // Picture settings are read every picture: status words that change
        // by themselves (the LED's thermal state) show as soon as they do.
        const PictureSettings picture = ReadPictureSettings(unit_, channel_);
        auto au = std::make_shared<AccessUnit>();
        if (!encoder.Encode(frameNumber++, picture, unit_.Message(channel_, kCaptionMessage), forceKey, au.get())) {
            configured = false;
            continue;
        }
        Publish(std::move(au));
    }
}

void VideoChannel::RunReplay() {
    using Clock = std::chrono::steady_clock;
    const VideoSettings settings = ReadSettings(unit_, channel_);
    VideoEncoder encoder;
    std::vector<std::shared_ptr<const AccessUnit>> pictures;
    if (encoder.Configure(settings)) {
        const std::string caption = unit_.Message(channel_, kCaptionMessage);
        const PictureSettings picture = ReadPictureSettings(unit_, channel_);
        const int count = static_cast<int>(unit_.Opts().replayS * settings.frameRate);
        for (int i = 0; i < count && !stopping_; ++i) {
            auto au = std::make_shared<AccessUnit>();
            if (!encoder.Encode(static_cast<uint32_t>(i), picture, caption, i == 0, au.get())) break;
            pictures.push_back(std::move(au));
        }
    }
    if (pictures.empty()) {
        unit_.Print("video channel %d: nothing to replay", channel_);
        return;
    }
    unit_.Print("video channel %d: replaying %zu pictures of %dx%d at %d/s", channel_, pictures.size(), settings.width,
                settings.height, settings.frameRate);
    const auto period = std::chrono::microseconds(1000000 / settings.frameRate);
    Clock::time_point deadline = Clock::now();
    size_t index = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            if (changed_.wait_until(guard, deadline, [this] { return stopping_.load(); })) return;
        }
        deadline += period;
        if (Clock::now() > deadline + period) deadline = Clock::now();
        if (Paused(unit_)) continue;
        Publish(pictures[index]);
        index = (index + 1) % pictures.size();
    }
}

// ---- connections ------------------------------------------------------------------

bool VideoChannel::SendUnit(int fd, const AccessUnit& au, bool framed, uint32_t* rng, uint64_t* fragments) {
    if (!framed) {
        // A plain byte stream has no end-of-picture mark: a reader's parser
        // only knows a picture is complete when the next one starts. An
        // access-unit delimiter right behind every picture (it opens the next
        // access unit) lets a player decode each picture as soon as it is here.
        static constexpr uint8_t kDelimiter[] = {0, 0, 0, 1, 0x09, 0xF0};
        std::vector<uint8_t> out;
        out.reserve(au.bytes.size() + sizeof kDelimiter);
        out.insert(out.end(), au.bytes.begin(), au.bytes.end());
        out.insert(out.end(), kDelimiter, kDelimiter + sizeof kDelimiter);
        return SendAllFd(fd, out.data(), out.size());
    }
    const int dropEvery = unit_.Opts().videoDropFragmentEvery;
    std::vector<uint8_t> out;
    out.reserve(au.bytes.size() + au.bytes.size() / 200 + 64);
    bool resent = false;
    size_t offset = 0;
    while (offset < au.bytes.size()) {
        *rng = *rng * 1664525u + 1013904223u;
        size_t size = 200 + (*rng >> 8) % 48000;
        if (size > au.bytes.size() - offset) size = au.bytes.size() - offset;
        const bool last = offset + size == au.bytes.size();
        uint8_t flags = last ? 0x04 : 0x00;
        ++*fragments;
        bool drop = dropEvery > 0 && !resent && *fragments % static_cast<uint64_t>(dropEvery) == 0;
        if (drop) flags = 0x20;
        const uint8_t header[8] = {0, 0, 2, flags, static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                                   static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
        out.insert(out.end(), header, header + 8);
        out.insert(out.end(), au.bytes.begin() + static_cast<ptrdiff_t>(offset),
                   au.bytes.begin() + static_cast<ptrdiff_t>(offset + size));
        if (drop) {
            // The receiver forgets the unit so far; send it whole again.
            resent = true;
            offset = 0;
            continue;
        }
        offset += size;
    }
    return SendAllFd(fd, out.data(), out.size());
}

void VideoChannel::Serve(int fd, const std::string& peer, int port, bool framed) {
    unit_.Print("video port %d: connection from %s", port, peer.c_str());
    const Options& o = unit_.Opts();
    const int64_t startUs = MonotonicUs();
    uint32_t rng = static_cast<uint32_t>(startUs) | 1u;
    uint64_t fragments = 0, sent = 0;
    uint64_t next = 0;
    bool needKey = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++clients_;
        keyWanted_ = true;
        next = nextSequence_;
    }
    changed_.notify_all();
    const char* reason = "peer closed";
    std::vector<RingEntry> batch;
    for (;;) {
        const double age = static_cast<double>(MonotonicUs() - startUs) / 1e6;
        if (framed && o.videoBadHeaderAfterS >= 0 && age >= o.videoBadHeaderAfterS) {
            uint8_t bad[24] = {0, 0, 1, 4, 0, 0, 0, 16};
            SendAllFd(fd, bad, sizeof bad);
            reason = "bad header sent";
            break;
        }
        if (o.videoCloseAfterS >= 0 && age >= o.videoCloseAfterS) {
            reason = "closed on purpose";
            break;
        }
        batch.clear();
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait_for(guard, std::chrono::milliseconds(50), [&] {
                return stopping_.load() || (!ring_.empty() && ring_.back().sequence >= next);
            });
            if (stopping_) {
                reason = "stopping";
                break;
            }
            if (!ring_.empty() && next < ring_.front().sequence) {
                next = ring_.front().sequence;  // fell behind: wait for a key frame
                needKey = true;
            }
            for (const RingEntry& e : ring_)
                if (e.sequence >= next) batch.push_back(e);
        }
        pollfd pfd{fd, POLLIN | POLLRDHUP, 0};
        if (poll(&pfd, 1, 0) > 0) break;  // the peer sends nothing; anything here is a hang-up
        bool ok = true;
        for (const RingEntry& e : batch) {
            next = e.sequence + 1;
            if (needKey && !e.unit->key) continue;
            needKey = false;
            if (!SendUnit(fd, *e.unit, framed, &rng, &fragments)) {
                ok = false;
                break;
            }
            ++sent;
            if (VideoSendObserver observer = sendObserver.load())
                observer(sendObserverUser.load(), port, e.unit->frameNumber, MonotonicUs());
        }
        if (!ok) break;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        --clients_;
    }
    // The server closes the descriptor only when it reaps the thread; the
    // camera's close must reach the peer now.
    shutdown(fd, SHUT_RDWR);
    unit_.Print("video port %d: %s after %llu pictures", port, reason, static_cast<unsigned long long>(sent));
}

// ---- VideoServer --------------------------------------------------------------------

class VideoServer : public PortServer {
public:
    const char* Name() const override { return "video"; }

    bool Start(Unit& unit) override {
        const int channels = unit.Opts().channels >= 2 ? 2 : 1;
        for (int ch = 0; ch < channels; ++ch) {
            channels_[ch] = std::make_unique<VideoChannel>(unit, ch);
            channels_[ch]->Start();
            VideoChannel* channel = channels_[ch].get();
            const int port = unit.Port(8012 + ch);
            if (!framed_[ch].Start(unit.Opts().address, port, "video-" + std::to_string(8012 + ch),
                                   [channel, port](int fd, const std::string& peer) { channel->Serve(fd, peer, port, true); }))
                return false;
            if (unit.Opts().plainVideo) {
                const int plainPort = unit.Port(9012 + ch);
                if (!plain_[ch].Start(unit.Opts().address, plainPort, "video-" + std::to_string(9012 + ch),
                                      [channel, plainPort](int fd, const std::string& peer) {
                                          channel->Serve(fd, peer, plainPort, false);
                                      }))
                    return false;
            }
        }
        return true;
    }

    void Stop() override {
        for (int ch = 0; ch < 2; ++ch)
            if (channels_[ch]) channels_[ch]->Stop();
        for (int ch = 0; ch < 2; ++ch) {
            framed_[ch].Stop();
            plain_[ch].Stop();
        }
        for (auto& c : channels_) c.reset();
    }

    void DropConnections() override {
        for (int ch = 0; ch < 2; ++ch) {
            framed_[ch].DropConnections();
            plain_[ch].DropConnections();
        }
    }

    ~VideoServer() override { Stop(); }

private:
    std::unique_ptr<VideoChannel> channels_[2];
    TcpServer framed_[2];
    TcpServer plain_[2];
};

}  // namespace

std::unique_ptr<PortServer> MakeVideoServer() { return std::make_unique<VideoServer>(); }

}  // namespace camsim
