// Camera video framing over a socket pair: fragment headers, access-unit
// gathering, the read callback, and every refused or broken input.
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "Video/AV/StreamInput.h"
#include "Video/AV/AvTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fragment(uint8_t flags, const Bytes& payload) {
    uint32_t n = static_cast<uint32_t>(payload.size());
    Bytes out = {0, 0, 2, flags, static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                 static_cast<uint8_t>(n)};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

enum class Op { Fragment, Unit };

struct FramingCase {
    const char* name;
    Bytes wire;            // what the camera sends
    bool closeAfter;       // the camera closes after sending
    Op op;
    int expectResult;
    Bytes expectData;      // bytes at the start of the packet buffer (when the result > 0)
    const char* expectLog; // a line that must be logged ("" for none)
    bool expectOpen;       // socket still open afterwards
};

class Framing : public ::testing::TestWithParam<FramingCase> {
protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0);
        input_ = std::make_unique<AV::StreamInput>();
        input_->socket.handle = fds_[0];
        input_->receiveTimeout_us = 2000000;
    }
    void TearDown() override {
        if (writer_.joinable()) writer_.join();
        if (fds_[1] >= 0) close(fds_[1]);
    }
    // The camera side: sends on its own thread (large units exceed the
    // socket buffer), then optionally closes.
    void Send(Bytes wire, bool closeAfter) {
        writer_ = std::thread([this, wire = std::move(wire), closeAfter] {
            size_t done = 0;
            while (done < wire.size()) {
                ssize_t n = send(fds_[1], wire.data() + done, wire.size() - done, MSG_NOSIGNAL);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            if (closeAfter) {
                shutdown(fds_[1], SHUT_RDWR);
            }
        });
    }
    int fds_[2] = {-1, -1};
    std::unique_ptr<AV::StreamInput> input_;
    std::thread writer_;
};

TEST_P(Framing, Case) {
    const FramingCase& c = GetParam();
    avtest::LogCapture log;
    Send(c.wire, c.closeAfter);
    int result = 0;
    uint8_t flags = 0xFF;
    if (c.op == Op::Fragment)
        result = AV::IOReadPacket(input_.get(), input_->packetBuffer, AV::kPacketBufferSize, &flags);
    else
        result = AV::ReadAccessUnit_locked(input_.get());
    EXPECT_EQ(result, c.expectResult);
    if (result > 0) {
        ASSERT_EQ(c.expectData.size(), static_cast<size_t>(result));
        EXPECT_EQ(0, memcmp(input_->packetBuffer, c.expectData.data(), c.expectData.size()));
    }
    if (c.op == Op::Unit && result > 0) {
        EXPECT_EQ(input_->bufferedLength, result);
    }
    if (*c.expectLog) {
        EXPECT_TRUE(log.Contains(c.expectLog)) << log.Text();
    }
    EXPECT_EQ(input_->socket.IsOpen(), c.expectOpen);
}

const Bytes kSixteen = Pattern(16, 1);
const Bytes kA = Pattern(3, 10), kB = Pattern(5, 20), kC = Pattern(7, 30), kD = Pattern(11, 40);

INSTANTIATE_TEST_SUITE_P(
    Table, Framing,
    ::testing::Values(
        FramingCase{"OneFragmentUnit", Fragment(0x04, kSixteen), false, Op::Unit, 16, kSixteen, "", true},
        FramingCase{"ThreeFragmentsInOrder", Cat({Fragment(0, kA), Fragment(0, kB), Fragment(0x04, kC)}), false, Op::Unit,
                    15, Cat({kA, kB, kC}), "", true},
        FramingCase{"DropFlagForgetsUnit",
                    Cat({Fragment(0, kA), Fragment(0, kB), Fragment(0x20, kC), Fragment(0x04, kD)}), false, Op::Unit, 11,
                    kD, "", true},
        FramingCase{"DropAndEndFlagsDoNotEndUnit",
                    Cat({Fragment(0, kA), Fragment(0x24, kB), Fragment(0, kC), Fragment(0x04, kD)}), false, Op::Unit, 18,
                    Cat({kC, kD}), "", true},
        FramingCase{"OtherFlagBitsIgnored", Fragment(0x04 | 0x01 | 0x80, kSixteen), false, Op::Unit, 16, kSixteen, "",
                    true},
        FramingCase{"WrongTypeByte", Bytes{0, 0, 1, 4, 0, 0, 0, 16}, false, Op::Fragment, -1, {},
                    "ERROR: AV::IOReadPacket | dataSize=0 / header=[0,0,1,4,0,0,0,16]", true},
        FramingCase{"NonZeroFirstByte", Bytes{9, 0, 2, 4, 0, 0, 0, 16}, false, Op::Fragment, -1, {},
                    "AV::IOReadPacket | dataSize=0 / header=[9,0,2,4,0,0,0,16]", true},
        FramingCase{"ZeroLength", Bytes{0, 0, 2, 4, 0, 0, 0, 0}, false, Op::Fragment, -1, {},
                    "AV::IOReadPacket | dataSize=0 / header=[0,0,2,4,0,0,0,0]", true},
        FramingCase{"TopBitLength", Bytes{0, 0, 2, 4, 0x80, 0, 0, 1}, false, Op::Fragment, -1, {},
                    "AV::IOReadPacket | dataSize=-2147483647 / header=[0,0,2,4,128,0,0,1]", true},
        FramingCase{"FragmentLargerThanBuffer", Bytes{0, 0, 2, 4, 0, 0x10, 0, 1}, false, Op::Fragment, -1, {},
                    "AV::IOReadPacket | dataSize=1048577 / header=[0,0,2,4,0,16,0,1] does not fit in 1048576", false},
        FramingCase{"UnitLargerThanBuffer", Cat({Fragment(0, Pattern(600000, 1)), Fragment(0x04, Pattern(600000, 2))}),
                    false, Op::Unit, -1, {}, "does not fit in 448576", false},
        FramingCase{"ClosedBetweenFragments", Fragment(0, kA), true, Op::Unit, -1, {},
                    "INFO : AV::IOReadPacket | connection closed", false},
        FramingCase{"ClosedInsideHeader", Bytes{0, 0, 2}, true, Op::Fragment, -1, {},
                    "AV::IOReadPacket | connection closed", false},
        FramingCase{"ClosedInsidePayload", Bytes{0, 0, 2, 4, 0, 0, 0, 100, 1, 2, 3}, true, Op::Fragment, 0, {},
                    "INFO : AV::IOReadPacket | connection closed(2)", false},
        FramingCase{"ClosedInsideUnitPayload", Cat({Fragment(0, kA), Bytes{0, 0, 2, 4, 0, 0, 0, 100, 1}}), true, Op::Unit,
                    -1, {}, "connection closed(2)", false}),
    [](const ::testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

// A camera that sends nothing: the header read times out, the socket closes.
TEST_F(Framing, HeaderTimeoutClosesSocket) {
    avtest::LogCapture log;
    input_->receiveTimeout_us = 150000;
    EXPECT_EQ(AV::IOReadPacket(input_.get(), input_->packetBuffer, AV::kPacketBufferSize, nullptr), -1);
    EXPECT_TRUE(log.Contains("ERROR: AV::IOReadPacket | read header error: ")) << log.Text();
    EXPECT_FALSE(input_->socket.IsOpen());
    // A closed input fails at once.
    EXPECT_EQ(AV::ReadAccessUnit_locked(input_.get()), -1);
}

// The read callback never returns a short count: 32,768 bytes over 1,000-byte
// fragments take 33 fragments and leave 232 bytes buffered for the next call.
TEST_F(Framing, ReadCallbackGathersAcrossFragments) {
    Bytes wire, stream;
    for (int i = 0; i < 34; ++i) {
        Bytes payload = Pattern(1000, static_cast<uint8_t>(i * 13));
        stream.insert(stream.end(), payload.begin(), payload.end());
        wire = Cat({wire, Fragment(static_cast<uint8_t>(i % 3 == 2 ? 0x04 : 0x00), payload)});
    }
    Send(wire, false);
    std::vector<uint8_t> out(32768);
    ASSERT_EQ(AV::IORead(input_.get(), out.data(), 32768), 32768);
    EXPECT_EQ(0, memcmp(out.data(), stream.data(), 32768));
    EXPECT_EQ(input_->bufferedLength - input_->readPosition, 232);
    // The rest of the 33rd fragment comes from the buffer; the 34th from the socket.
    ASSERT_EQ(AV::IORead(input_.get(), out.data(), 1232), 1232);
    EXPECT_EQ(0, memcmp(out.data(), stream.data() + 32768, 1232));
    EXPECT_EQ(AV::IORead(input_.get(), out.data(), 0), 0);
    EXPECT_EQ(AV::IORead(input_.get(), out.data(), -5), -5);
}

// The camera went away and the demuxer (or the gatherer) asks again: the
// input is closed, so it fails at once, and no "read header error" with an
// error left over from an earlier call (the connect's "Operation now in
// progress") is logged.
TEST_F(Framing, ReadingOnAfterTheCameraLeftLogsNoStaleError) {
    avtest::LogCapture log;
    Send(Fragment(0x04, kA), true);
    ASSERT_EQ(AV::ReadAccessUnit_locked(input_.get()), int(kA.size()));
    EXPECT_EQ(AV::ReadAccessUnit_locked(input_.get()), -1);
    EXPECT_FALSE(input_->socket.IsOpen());
    EXPECT_TRUE(log.Contains("INFO : AV::IOReadPacket | connection closed")) << log.Text();
    uint8_t out[64];
    for (int i = 0; i < 3; ++i) {
        errno = EINPROGRESS;  // what a successful non-blocking connect leaves behind
        EXPECT_EQ(AV::IORead(input_.get(), out, sizeof out), -1);
        errno = EINPROGRESS;
        EXPECT_EQ(AV::ReadAccessUnit_locked(input_.get()), -1);
        errno = EINPROGRESS;
        EXPECT_EQ(AV::IOReadPacket(input_.get(), input_->packetBuffer, AV::kPacketBufferSize, nullptr), -1);
    }
    const std::string text = log.Text();
    EXPECT_EQ(text.find("read header error"), std::string::npos) << text;
    EXPECT_EQ(text.find(strerror(EINPROGRESS)), std::string::npos) << text;
}

TEST_F(Framing, ReadCallbackFailsOnLostCamera) {
    Send(Cat({Fragment(0, Pattern(100, 1))}), true);
    std::vector<uint8_t> out(1000);
    EXPECT_EQ(AV::IORead(input_.get(), out.data(), 1000), -1);
    EXPECT_FALSE(input_->socket.IsOpen());
}

// After the read callback stopped inside an access unit, the gatherer skips
// the rest of that unit instead of handing its tail to the decoder.
TEST_F(Framing, GatheringAfterCallbackStartsAtUnitBoundary) {
    Send(Cat({Fragment(0, kA), Fragment(0, kB), Fragment(0x04, kC), Fragment(0x04, kD)}), false);
    uint8_t out[3];
    ASSERT_EQ(AV::IORead(input_.get(), out, 3), 3);
    EXPECT_FALSE(input_->atUnitBoundary);
    ASSERT_EQ(AV::ReadAccessUnit_locked(input_.get()), 11);
    EXPECT_EQ(0, memcmp(input_->packetBuffer, kD.data(), kD.size()));
}

// A dropped fragment (0x20) ends its unit: when the callback stopped right
// after one, the next unit is gathered whole, not skipped.
TEST_F(Framing, GatheringAfterCallbackStoppedAtDroppedFragment) {
    Send(Cat({Fragment(0, kB), Fragment(0x20, kA), Fragment(0x04, kD)}), false);
    uint8_t out[8];
    ASSERT_EQ(AV::IORead(input_.get(), out, 8), 8);
    EXPECT_TRUE(input_->atUnitBoundary);
    ASSERT_EQ(AV::ReadAccessUnit_locked(input_.get()), 11);
    EXPECT_EQ(0, memcmp(input_->packetBuffer, kD.data(), kD.size()));
}

}  // namespace
