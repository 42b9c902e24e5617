// Section index
//   wire helpers      record lengths of the requests, message building
//   Link              one connection: receive, check, answer, send
//   ScanLinkServer    listener, crawler, request counter and summary line
#include "CameraSim/ScanLinkServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "CameraSim/Crawler.h"
#include "CameraSim/Servers.h"
#include "CameraSim/TcpServer.h"
#include "Video/Camera/Cobs.h"
#include "Video/Camera/Crc.h"

namespace camsim {

namespace {

constexpr int kScanLinkPort = 8010;
constexpr size_t kAccumulatorBytes = 256;
constexpr size_t kMaxPendingBytes = 1024;
constexpr size_t kMaxAnswerRecords = 200;  // keeps a message within the program's 256-byte accumulator
constexpr int64_t kUnaskedPositionsUs = 100000;
constexpr int64_t kSummaryPeriodUs = 5000000;

// Lengths of the records this device understands (type byte(s) included);
// 0 ends the parsing of a message.
size_t RequestLength(uint8_t type) {
    switch (type) {
    case 2:
        return 1;
    case 32:
    case 36:
    case 160:
        return 2;
    case 1:
    case 164:
    case 166:
    case 168:
        return 3;
    case 161:
    case 174:
    case 175:
    case 176:
        return 4;
    case 33:
        return 6;
    case 177:
        return 7;
    default:
        return 0;
    }
}

int32_t ReadInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

class Answer {
public:
    bool Empty() const { return records_.empty(); }
    size_t Size() const { return records_.size(); }
    const std::vector<uint8_t>& Records() const { return records_; }
    void Clear() { records_.clear(); }

    void Bytes(std::initializer_list<uint8_t> bytes) { records_.insert(records_.end(), bytes); }
    void Int32(int32_t value) {
        const uint32_t v = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) records_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Text20(const char* text) {
        const size_t n = strnlen(text, 20);
        records_.insert(records_.end(), text, text + n);
        records_.insert(records_.end(), 20 - n, 0);
    }

private:
    std::vector<uint8_t> records_;
};

class ScanLinkServer;

// One scan-link connection; lives on its connection thread.
class Link {
public:
    Link(ScanLinkServer& server, Unit& unit, Crawler& crawler, int fd)
        : server_(server), unit_(unit), crawler_(crawler), fd_(fd), openedUs_(MonotonicUs()) {}
    void Run();

private:
    void HandleBytes(const uint8_t* bytes, size_t length);
    void HandleFrame(const uint8_t* frame, size_t length);
    void AnswerMessage(const uint8_t* records, size_t length);
    void AnswerRecord(uint8_t type, const uint8_t* p);
    void AppendPositions();
    // Frames and sends `answer_` (unless silent); false when the peer is gone.
    bool Send();
    bool Silent() const;

    ScanLinkServer& server_;
    Unit& unit_;
    Crawler& crawler_;
    int fd_;
    int64_t openedUs_;
    int64_t positionsSentUs_ = 0;  // last message that carried positions
    bool answerHasPositions_ = false;
    uint16_t rxSequence_ = 0;
    uint16_t txSequence_ = 0;
    uint64_t framesSent_ = 0;
    bool discarding_ = false;
    bool failed_ = false;
    std::vector<uint8_t> pending_;
    uint8_t accumulator_[kAccumulatorBytes] = {};
    Answer answer_;
};

class ScanLinkServer : public PortServer {
public:
    const char* Name() const override { return "scan link"; }

    bool Start(Unit& unit) override {
        unit_ = &unit;
        crawler_ = std::make_unique<Crawler>(unit.Opts().crawlerSpeedMmS);
        lastSummaryUs_ = MonotonicUs();
        return server_.Start(unit.Opts().address, unit.Port(kScanLinkPort), "sim-scanlink",
                             [this](int fd, const std::string& peer) { Serve(fd, peer); });
    }
    void Stop() override { server_.Stop(); }
    void DropConnections() override { server_.DropConnections(); }

    // One accepted request message; prints the running total every 5 s.
    void CountRequest() {
        const int total = ++requests_;
        const int64_t now = MonotonicUs();
        int64_t last = lastSummaryUs_.load();
        if (now - last >= kSummaryPeriodUs && lastSummaryUs_.compare_exchange_strong(last, now))
            unit_->Print("scanlink requests %d", total);
    }

private:
    void Serve(int fd, const std::string& peer) {
        if (unit_->ServiceDown()) return;  // restarting: refuse
        unit_->Print("connection port %d from %s", unit_->Port(kScanLinkPort), peer.c_str());
        Link link(*this, *unit_, *crawler_, fd);
        link.Run();
    }

    Unit* unit_ = nullptr;
    std::unique_ptr<Crawler> crawler_;
    TcpServer server_;
    std::atomic<int> requests_{0};
    std::atomic<int64_t> lastSummaryUs_{0};
};

bool Link::Silent() const {
    const double silentAfterS = unit_.Opts().scanlinkSilentAfterS;
    return silentAfterS >= 0 && MonotonicUs() - openedUs_ >= static_cast<int64_t>(silentAfterS * 1e6);
}

void Link::Run() {
    uint8_t buffer[1024];
    while (!failed_) {
        pollfd p{fd_, POLLIN, 0};
        const int r = poll(&p, 1, 10);
        if (r < 0 && errno != EINTR) break;
        if (r > 0) {
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // peer closed, or the server dropped us
            HandleBytes(buffer, static_cast<size_t>(n));
        }
        if (MonotonicUs() - positionsSentUs_ >= kUnaskedPositionsUs) {
            AppendPositions();
            if (!Send()) break;
        }
    }
}

void Link::HandleBytes(const uint8_t* bytes, size_t length) {
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] != 0) continue;
        if (discarding_) {
            discarding_ = false;
        } else {
            pending_.insert(pending_.end(), bytes + start, bytes + i);
            if (!pending_.empty()) HandleFrame(pending_.data(), pending_.size());
        }
        pending_.clear();
        start = i + 1;
    }
    if (discarding_) return;
    pending_.insert(pending_.end(), bytes + start, bytes + length);
    if (pending_.size() > kMaxPendingBytes) {
        pending_.clear();
        discarding_ = true;  // no valid frame is this long; drop it up to its 0
    }
}

void Link::HandleFrame(const uint8_t* frame, size_t length) {
    size_t n = CobsDecode(frame, length, accumulator_, kAccumulatorBytes);
    if (n > kAccumulatorBytes) n = kAccumulatorBytes;
    if (n < 2) return;
    n -= 2;
    const uint16_t check = static_cast<uint16_t>(accumulator_[n] | accumulator_[n + 1] << 8);
    if (ScanLinkCheckValue(accumulator_, n, rxSequence_) != check) {
        // Ask the program to send again from the sequence expected here.
        unit_.CountScanLinkRequest(false);
        answer_.Clear();
        answer_.Bytes({0x01, static_cast<uint8_t>(rxSequence_ & 0xFF), static_cast<uint8_t>(rxSequence_ >> 8)});
        Send();
        return;
    }
    ++rxSequence_;
    unit_.CountScanLinkRequest(true);
    server_.CountRequest();
    AnswerMessage(accumulator_, n);
}

void Link::AnswerMessage(const uint8_t* records, size_t length) {
    answer_.Clear();
    size_t pos = 0;
    while (pos < length) {
        const uint8_t type = records[pos];
        const size_t recordLength = RequestLength(type);
        if (recordLength == 0 || recordLength > length - pos) break;
        if (type >= 128 && records[pos + 1] != 0) break;
        AnswerRecord(type, records + pos + (type >= 128 ? 2 : 1));
        pos += recordLength;
        if (answer_.Size() > kMaxAnswerRecords && !Send()) return;
    }
    if (!answer_.Empty()) Send();
}

void Link::AnswerRecord(uint8_t type, const uint8_t* p) {
    const double t = unit_.Uptime();
    switch (type) {
    case 1:  // the program missed our message with this sequence: count from there
        txSequence_ = static_cast<uint16_t>(p[0] | p[1] << 8);
        break;
    case 33:
        unit_.Print("scanlink axis %d position set to %d/65536", p[0], ReadInt32(p + 1));
        crawler_.SetAxisPosition(p[0], ReadInt32(p + 1), t);
        [[fallthrough]];
    case 32:
        if (p[0] < Crawler::kAxes) {
            answer_.Bytes({0x21, p[0]});
            answer_.Int32(crawler_.AxisPosition(p[0], t));
            answerHasPositions_ = true;
        }
        break;
    case 36:
        answer_.Bytes({0x25, p[0]});
        answer_.Int32(crawler_.ItemValue(p[0], t));
        break;
    case 161:
        unit_.Print("scanlink units set to %d", p[0]);
        crawler_.SetUnits(p[0]);
        [[fallthrough]];
    case 160:
        answer_.Bytes({0xA1, 0x00, static_cast<uint8_t>(crawler_.Units()), 0x01});
        break;
    case 164:
        if (p[0] < Crawler::kAxes) {
            answer_.Bytes({0xA5, 0x00, p[0]});
            answer_.Text20(Crawler::AxisName(p[0]));
        }
        break;
    case 166:
        answer_.Bytes({0xA7, 0x00, p[0]});
        answer_.Text20(Crawler::ItemName(p[0]));
        break;
    case 168:
        if (p[0] < Crawler::kAxes)
            answer_.Bytes({0xA9, 0x00, p[0], static_cast<uint8_t>(Crawler::AxisFirstItem(p[0])),
                           static_cast<uint8_t>(Crawler::AxisItemCount(p[0]))});
        break;
    case 175:
        unit_.Print("scanlink axis %d source set to %d", p[0], p[1]);
        crawler_.SetAxisSource(p[0], p[1], t);
        [[fallthrough]];
    case 174:
        if (p[0] < Crawler::kAxes) answer_.Bytes({0xAF, 0x00, p[0], static_cast<uint8_t>(crawler_.AxisSource(p[0]))});
        break;
    case 177:
        unit_.Print("scanlink item %d scale set to %d/65536", p[0], ReadInt32(p + 1));
        crawler_.SetItemScale(p[0], ReadInt32(p + 1));
        answer_.Bytes({0xB1, 0x00, p[0]});
        answer_.Int32(crawler_.ItemScale(p[0], crawler_.Units()));
        break;
    case 176:
        answer_.Bytes({0xB1, 0x00, p[0]});
        answer_.Int32(crawler_.ItemScale(p[0], p[1]));
        break;
    default:
        break;  // 2: nothing to answer
    }
}

void Link::AppendPositions() {
    const double t = unit_.Uptime();
    for (uint8_t axis = 0; axis < Crawler::kAxes; ++axis) {
        answer_.Bytes({0x21, axis});
        answer_.Int32(crawler_.AxisPosition(axis, t));
    }
    answerHasPositions_ = true;
}

bool Link::Send() {
    std::vector<uint8_t> message = answer_.Records();
    answer_.Clear();
    if (answerHasPositions_) positionsSentUs_ = MonotonicUs();
    answerHasPositions_ = false;
    if (Silent()) return true;  // connection stays open, nothing leaves
    uint16_t check = ScanLinkCheckValue(message.data(), message.size(), txSequence_++);
    const int corruptEvery = unit_.Opts().scanlinkCorruptEvery;
    if (corruptEvery > 0 && ++framesSent_ % static_cast<uint64_t>(corruptEvery) == 0) check ^= 0x5A5A;
    message.push_back(static_cast<uint8_t>(check & 0xFF));
    message.push_back(static_cast<uint8_t>(check >> 8));
    std::vector<uint8_t> wire(CobsEncodedMax(message.size()) + 1);
    wire.resize(CobsEncode(message.data(), message.size(), wire.data()));
    wire.push_back(0);
    if (!SendAllFd(fd_, wire.data(), wire.size())) failed_ = true;
    return !failed_;
}

}  // namespace

std::unique_ptr<PortServer> MakeScanLinkServer() { return std::make_unique<ScanLinkServer>(); }

}  // namespace camsim
