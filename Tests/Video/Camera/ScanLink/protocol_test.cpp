// Scan-link codecs and message handling without a network: COBS, the CRC-16,
// the request builders (byte-exact), and the receive side's checks, records
// and bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "Video/Camera/ScanLink/ScanLinkTestUtil.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/ScanLinkProtocol.h"

namespace {

Bytes Encode(const Bytes& data) {
    Bytes out(CobsEncodedMax(data.size()));
    out.resize(CobsEncode(data.data(), data.size(), out.data()));
    return out;
}

Bytes Range(int from, int to) {  // from..to inclusive
    Bytes b;
    for (int v = from; v <= to; ++v) b.push_back(static_cast<uint8_t>(v));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// ---- COBS ----------------------------------------------------------------------

TEST(Cobs, KnownEncodings) {
    struct Case {
        const char* label;
        Bytes data;
        Bytes encoded;
    };
    const Case cases[] = {
        {"empty", {}, {0x01}},
        {"one zero", {0x00}, {0x01, 0x01}},
        {"two zeros", {0x00, 0x00}, {0x01, 0x01, 0x01}},
        {"zero inside", {0x11, 0x22, 0x00, 0x33}, {0x03, 0x11, 0x22, 0x02, 0x33}},
        {"no zero", {0x11, 0x22, 0x33, 0x44}, {0x05, 0x11, 0x22, 0x33, 0x44}},
        {"trailing zeros", {0x11, 0x00, 0x00, 0x00}, {0x02, 0x11, 0x01, 0x01, 0x01}},
        {"254 non-zero", Range(1, 254), Cat({{0xFF}, Range(1, 254)})},
        {"zero then 254", Cat({{0x00}, Range(1, 254)}), Cat({{0x01, 0xFF}, Range(1, 254)})},
        {"255 non-zero", Range(1, 255), Cat({{0xFF}, Range(1, 254), {0x02, 0xFF}})},
        {"254 then zero", Cat({Range(1, 254), {0x00}}), Cat({{0xFF}, Range(1, 254), {0x01, 0x01}})},
        {"position request", {0x20, 0x00, 0x20, 0x01, 0x8F, 0x1D}, {0x02, 0x20, 0x05, 0x20, 0x01, 0x8F, 0x1D}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Encode(c.data), c.encoded);
        Bytes decoded(c.data.size() + 4);
        decoded.resize(CobsDecode(c.encoded.data(), c.encoded.size(), decoded.data(), decoded.size()));
        EXPECT_EQ(decoded, c.data);
    }
}

TEST(Cobs, RandomRoundTripsIncludingLongNonZeroRuns) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255), nonZero(1, 255);
    const size_t lengths[] = {1, 2, 253, 254, 255, 256, 508, 509, 510, 1000, 4096};
    for (size_t length : lengths) {
        for (int pattern = 0; pattern < 4; ++pattern) {
            Bytes data(length);
            for (size_t i = 0; i < length; ++i) {
                switch (pattern) {
                case 0:
                    data[i] = static_cast<uint8_t>(byte(rng));
                    break;  // zeros anywhere
                case 1:
                    data[i] = static_cast<uint8_t>(nonZero(rng));
                    break;  // no zero at all
                case 2:
                    data[i] = (i % 255 == 254) ? 0 : static_cast<uint8_t>(nonZero(rng));
                    break;  // runs of 254
                default:
                    data[i] = (i % 256 == 255) ? 0 : static_cast<uint8_t>(nonZero(rng));
                    break;  // runs of 255
                }
            }
            SCOPED_TRACE("length " + std::to_string(length) + " pattern " + std::to_string(pattern));
            Bytes encoded = Encode(data);
            EXPECT_LE(encoded.size(), CobsEncodedMax(length));
            EXPECT_EQ(std::count(encoded.begin(), encoded.end(), 0), 0);
            Bytes decoded(length);
            ASSERT_EQ(CobsDecode(encoded.data(), encoded.size(), decoded.data(), decoded.size()), length);
            EXPECT_EQ(decoded, data);
        }
    }
}

TEST(Cobs, DecodeNeverWritesPastCapacity) {
    Bytes data(600, 0x5A);
    Bytes encoded = Encode(data);
    Bytes out(256 + 16, 0xEE);
    EXPECT_EQ(CobsDecode(encoded.data(), encoded.size(), out.data(), 256), 600u);
    for (size_t i = 256; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << i;
    // A block that claims more bytes than follow decodes what is present.
    const uint8_t cut[] = {0x09, 0x41, 0x42};
    EXPECT_EQ(CobsDecode(cut, sizeof cut, out.data(), 256), 2u);
}

// ---- CRC-16 ----------------------------------------------------------------------

TEST(Crc16, CheckValueCoversRecordsAndSequence) {
    const uint8_t records[] = {0x20, 0x00, 0x20, 0x01};
    EXPECT_EQ(ScanLinkCheckValue(records, 4, 0), 0x1D8F);
    // Same records, next sequence: a different value (the sequence is checked).
    EXPECT_NE(ScanLinkCheckValue(records, 4, 1), 0x1D8F);
    const uint8_t withSequence[] = {0x20, 0x00, 0x20, 0x01, 0x00, 0x00};
    EXPECT_EQ(Crc16Update(kCrc16Initial, withSequence, 6), 0x1D8F);
    // From 0, one byte 0x01 shifts a single bit out of the top: the polynomial.
    const uint8_t one = 0x01;
    EXPECT_EQ(Crc16Update(0, &one, 1), 0x90D9);
}

// ---- the byte-exact examples (through the program's sending side) ---------------

// The link the examples run on, registered like a running ScanlinkProc's.
ScanLinkPort* examplePort = nullptr;

// Frames fed to the program's receive side, as the unit sends them.
void FeedProgram(ScanLinkRx& rx, const Bytes& wire) {
    rx.Feed(wire.data(), wire.size(), examplePort->state, examplePort->tx, scanLinkLock);
}

Bytes ItemRequests(uint8_t c, uint8_t units) {
    const uint8_t a = static_cast<uint8_t>(c | 0x80);
    return {0xA6, 0x00, c, 0x24, c, 0x24, a, 0xB0, 0x00, c, units, 0xB0, 0x00, a, units};
}

struct ExampleCase {
    const char* label;
    std::function<void(ScanLinkRx&)> action;
    std::vector<Bytes> messages;  // records of each queued message, in order
    Bytes wire;                   // exact bytes on the wire when given
    std::function<void(const ScanLinkState&)> check;
};

class ScanLinkExamples : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(ScanLinkExamples, QueueExactMessages) {
    const ExampleCase& c = GetParam();
    ScanLinkPort port;
    {
        std::lock_guard<std::mutex> lock(scanLinkLock);
        RegisterScanLinkPort_locked(&port);
    }
    examplePort = &port;
    ScanLinkRx rx;
    c.action(rx);
    Bytes wire(ScanLinkTx::kQueueCapacity);
    {
        std::lock_guard<std::mutex> lock(scanLinkLock);
        wire.resize(port.tx.TakeQueued_locked(wire.data(), wire.size()));
        EXPECT_EQ(port.tx.Sequence_locked(), c.messages.size());
        EXPECT_EQ(port.tx.MessageLength_locked(), 0u);
        if (c.check) c.check(port.state);
        UnregisterScanLinkPort_locked(&port);
    }
    examplePort = nullptr;
    std::vector<DecodedMessage> messages = DecodeFrames(wire, 0);
    ASSERT_EQ(messages.size(), c.messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].records, c.messages[i]) << "message " << i;
        EXPECT_TRUE(messages[i].checkMatches) << "message " << i;
    }
    if (!c.wire.empty()) {
        EXPECT_EQ(wire, c.wire);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScanLinkExamples,
    ::testing::Values(
        ExampleCase{"position request, sequence 0",
                    [](ScanLinkRx&) { RequestPositions(); },
                    {{0x20, 0x00, 0x20, 0x01}},
                    {0x02, 0x20, 0x05, 0x20, 0x01, 0x8F, 0x1D, 0x00},
                    nullptr},
        ExampleCase{"wrong check value answered with [01 lo hi], next good frame accepted",
                    [](ScanLinkRx& rx) {
                        FeedProgram(rx, FrameMessage({0x21, 0x00, 0x00, 0x00, 0x02, 0x00}, 0, 0x8000));
                        FeedProgram(rx, FrameMessage({0x21, 0x00, 0x00, 0x00, 0x03, 0x00}, 0));
                    },
                    {{0x01, 0x00, 0x00}},
                    {},
                    [](const ScanLinkState& s) { EXPECT_EQ(s.axisPosition[0].raw, 0x30000); }},
        ExampleCase{"type 169, count 3 from id 4: items 4, 5, 6 in one message",
                    [](ScanLinkRx& rx) {
                        FeedProgram(rx, FrameMessage({0xA1, 0x00, 0x02, 0x00, 0xA9, 0x00, 0x01, 0x04, 0x03}, 0));
                    },
                    {Cat({ItemRequests(4, 2), ItemRequests(5, 2), ItemRequests(6, 2)})},
                    {},
                    [](const ScanLinkState& s) {
                        EXPECT_EQ(s.axisItems[1].first, 4);
                        EXPECT_EQ(s.axisItems[1].count, 3);
                    }},
        ExampleCase{"counts 12.5 sent as 819200",
                    [](ScanLinkRx&) { SetItemScale(3, 12.5); },
                    {{0xB1, 0x00, 0x03, 0x00, 0x80, 0x0C, 0x00}},
                    {},
                    nullptr},
        ExampleCase{"zero sent as a type-33 record with value 0",
                    [](ScanLinkRx&) { SetAxisPosition(1, 0.0); },
                    {{0x21, 0x01, 0x00, 0x00, 0x00, 0x00}},
                    {},
                    nullptr},
        ExampleCase{"auto scale sends 0",
                    [](ScanLinkRx&) { SetItemScale(0x81, 0); },
                    {{0xB1, 0x00, 0x81, 0, 0, 0, 0}},
                    {},
                    nullptr},
        ExampleCase{"negative position truncated toward 0",
                    [](ScanLinkRx&) { SetAxisPosition(0, -2.50001); },
                    {{0x21, 0x00, 0x00, 0x80, 0xFD, 0xFF}},
                    {},
                    nullptr},
        ExampleCase{"position beyond int32 is clamped",
                    [](ScanLinkRx&) { SetAxisPosition(0, 1e12); },
                    {{0x21, 0x00, 0xFF, 0xFF, 0xFF, 0x7F}},
                    {},
                    nullptr},
        ExampleCase{"position 1.5 set under the lock",
                    [](ScanLinkRx&) {
                        std::lock_guard<std::mutex> lock(scanLinkLock);
                        SetAxisPosition_locked(0, 1.5);
                    },
                    {{0x21, 0x00, 0x00, 0x80, 0x01, 0x00}},
                    {},
                    nullptr},
        ExampleCase{"units inches", [](ScanLinkRx&) { SetUnits(3); }, {{0xA1, 0x00, 0x03, 0x00}}, {}, nullptr},
        ExampleCase{"axis source auxiliary input",
                    [](ScanLinkRx&) { SetAxisSource(1, 0x82); },
                    {{0xAF, 0x00, 0x01, 0x82}},
                    {},
                    nullptr},
        ExampleCase{"refresh, then positions with the next sequence",
                    [](ScanLinkRx&) {
                        RequestRefresh();
                        RequestPositions();
                    },
                    {{0xA0, 0x00, 0xA4, 0x00, 0x00, 0xA4, 0x00, 0x01, 0xA8, 0x00, 0x00,
                      0xA8, 0x00, 0x01, 0xAE, 0x00, 0x00, 0x00, 0xAE, 0x00, 0x01, 0x00},
                     {0x20, 0x00, 0x20, 0x01}},
                    {},
                    nullptr}),
    [](const ::testing::TestParamInfo<ExampleCase>& info) { return "case" + std::to_string(info.index); });

TEST(ScanLinkTxQueue, FullQueueDropsWholeMessagesAndKeepsCounting) {
    ScanLinkTx tx;
    // Position requests take 8 bytes each on the wire (and need 8 free): 32 fit in 256.
    for (int i = 0; i < 40; ++i) tx.QueuePositionRequest_locked();
    EXPECT_EQ(tx.QueuedLength_locked(), 256u);
    EXPECT_EQ(tx.Sequence_locked(), 32);  // dropped messages are not counted
    Bytes wire(1024);
    wire.resize(tx.TakeQueued_locked(wire.data(), 100));
    EXPECT_EQ(wire.size(), 100u);
    EXPECT_EQ(tx.QueuedLength_locked(), 156u);
    // A record that no longer fits the 128-byte message closes it first.
    const uint8_t two = 0x02;
    for (int i = 0; i < 130; ++i) tx.AppendRecord_locked(&two, 1);
    EXPECT_EQ(tx.MessageLength_locked(), 2u);
}

// ---- receive side ---------------------------------------------------------------------

class ScanLinkReceive : public ::testing::Test {
protected:
    void SetUp() override { memset(&state, 0, sizeof state); }

    ScanLinkRx::Result Feed(const Bytes& wire) { return rx.Feed(wire.data(), wire.size(), state, tx, lock); }

    // Messages queued for sending since the last call, decoded.
    std::vector<DecodedMessage> Sent() {
        Bytes wire(ScanLinkTx::kQueueCapacity);
        wire.resize(tx.TakeQueued_locked(wire.data(), wire.size()));
        std::vector<DecodedMessage> m = DecodeFrames(wire, sentSequence);
        sentSequence = tx.Sequence_locked();
        return m;
    }

    std::mutex lock;
    ScanLinkState state;
    ScanLinkTx tx;
    ScanLinkRx rx;
    uint16_t sentSequence = 0;
};

TEST_F(ScanLinkReceive, WrongCheckValueIsAnsweredAndTheNextGoodFrameAccepted) {
    for (uint16_t s = 0; s < 5; ++s) EXPECT_EQ(Feed(FrameMessage({0x21, 0x00, 1, 0, 0, 0}, s)).accepted, 1);
    ASSERT_EQ(rx.Sequence(), 5);

    // Corrupt check value: [01 05 00] is queued, nothing applied or counted.
    ScanLinkRx::Result r = Feed(FrameMessage({0x21, 0x00, 0x00, 0x00, 0x07, 0x00}, 5, 0x0100));
    EXPECT_EQ(r.rejected, 1);
    EXPECT_EQ(state.axisPosition[0].raw, 1);
    EXPECT_EQ(rx.Sequence(), 5);
    std::vector<DecodedMessage> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].records, (Bytes{0x01, 0x05, 0x00}));
    EXPECT_TRUE(sent[0].checkMatches);

    // A frame counted with the wrong sequence fails the same way.
    EXPECT_EQ(Feed(FrameMessage({0x21, 0x00, 0x00, 0x00, 0x07, 0x00}, 6)).rejected, 1);
    EXPECT_EQ(Sent()[0].records, (Bytes{0x01, 0x05, 0x00}));

    // The good frame with sequence 5 is accepted.
    EXPECT_EQ(Feed(FrameMessage({0x21, 0x00, 0x00, 0x00, 0x07, 0x00}, 5)).accepted, 1);
    EXPECT_EQ(state.axisPosition[0].raw, 0x70000);
    EXPECT_EQ(state.axisPosition[0].divisor, 65536);
    EXPECT_EQ(rx.Sequence(), 6);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ScanLinkReceive, ItemRangeAnswersAreBounded) {
    struct Case {
        Bytes record;
        int axis, storedFirst, storedCount;
        size_t messages;  // queued
    };
    const Case cases[] = {
        {{0xA9, 0x00, 0x01, 0x00, 0x08}, 1, 0, 8, 1},    // 8 items fill one message
        {{0xA9, 0x00, 0x01, 0x00, 0xFF}, 1, 0, 8, 1},    // 255 listed: the first 8
        {{0xA9, 0x00, 0x00, 0x7D, 0x08}, 0, 125, 3, 1},  // ids stop below 128
        {{0xA9, 0x00, 0x00, 0xF0, 0x20}, 0, 240, 0, 0},  // auxiliary ids only: nothing
        {{0xA9, 0x00, 0x00, 0x02, 0x00}, 0, 2, 0, 0},    // count 0: stored, nothing sent
        {{0xA9, 0x00, 0x02, 0x00, 0x03}, -1, 0, 0, 0},   // axis 2 does not exist
    };
    uint16_t s = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.record));
        memset(&state, 0, sizeof state);
        EXPECT_EQ(Feed(FrameMessage(c.record, s++)).accepted, 1);
        std::vector<DecodedMessage> sent = Sent();
        EXPECT_EQ(sent.size(), c.messages);
        if (c.axis >= 0) {
            EXPECT_EQ(state.axisItems[c.axis].first, c.storedFirst);
            EXPECT_EQ(state.axisItems[c.axis].count, c.storedCount);
            if (c.messages) {
                EXPECT_EQ(sent[0].records.size(), static_cast<size_t>(15 * c.storedCount));
            }
        } else {
            EXPECT_EQ(state.axisItems[0].count + state.axisItems[1].count, 0);
        }
    }
}

TEST_F(ScanLinkReceive, RecordsFillTheStateAndBadRecordsAreDropped) {
    auto text = [](const char* t) {
        Bytes b(20, 0);
        memcpy(b.data(), t, strnlen(t, 20));
        return b;
    };
    struct Case {
        const char* label;
        Bytes records;
        std::function<void(const ScanLinkState&)> check;
    };
    const Case cases[] = {
        {"positions and values",
         {0x21, 0x01, 0x00, 0x80, 0xFF, 0xFF, 0x25, 0x83, 0x10, 0, 0, 0},
         [](const ScanLinkState& s) {
             EXPECT_EQ(s.axisPosition[1].raw, -32768);
             EXPECT_DOUBLE_EQ(ScanLinkValueOf(s.axisPosition[1]), -0.5);
             EXPECT_EQ(s.itemValue[0x83].raw, 16);
         }},
        {"names, source and scale",
         Cat({{0xA5, 0x00, 0x00},
              text("Crawler"),
              {0xA7, 0x00, 0x07},
              text("12345678901234567890"),
              {0xAF, 0x00, 0x01, 0x82, 0xB1, 0x00, 0x05, 0x00, 0x80, 0x0C, 0x00}}),
         [](const ScanLinkState& s) {
             EXPECT_STREQ(s.axisName[0], "Crawler");
             EXPECT_STREQ(s.itemName[7], "12345678901234567890");  // no zero byte: all 20
             EXPECT_EQ(s.axisSource[1], 0x82);
             EXPECT_EQ(s.itemScale[5], 819200);
         }},
        {"indices beyond the tables are ignored",
         Cat({{0x21, 0x02, 1, 0, 0, 0, 0xA5, 0x00, 0x02},
              text("X"),
              {0xA7, 0x00, 0x08},
              text("Y"),
              {0xAF, 0x00, 0x05, 0x01, 0x21, 0x00, 9, 0, 0, 0}}),
         [](const ScanLinkState& s) {
             EXPECT_EQ(s.axisPosition[0].raw, 9);  // parsing went on past them
             EXPECT_EQ(s.axisSource[0] + s.axisSource[1], 0);
         }},
        {"unknown type ends the message",
         {0x21, 0x00, 5, 0, 0, 0, 0x04, 0x21, 0x01, 6, 0, 0, 0},
         [](const ScanLinkState& s) {
             EXPECT_EQ(s.axisPosition[0].raw, 5);
             EXPECT_EQ(s.axisPosition[1].divisor, 0);
         }},
        {"record past the end is dropped",
         {0x21, 0x00, 5, 0, 0, 0, 0x21, 0x01, 6, 0},
         [](const ScanLinkState& s) {
             EXPECT_EQ(s.axisPosition[0].raw, 5);
             EXPECT_EQ(s.axisPosition[1].divisor, 0);
         }},
        {"extended type (second byte not 0) ends the message",
         {0xA1, 0x80, 0x03, 0x00, 0x21, 0x00, 5, 0, 0, 0},
         [](const ScanLinkState& s) {
             EXPECT_EQ(s.units, 0);
             EXPECT_EQ(s.axisPosition[0].divisor, 0);
         }},
    };
    uint16_t s = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        memset(&state, 0, sizeof state);
        EXPECT_EQ(Feed(FrameMessage(c.records, s++)).accepted, 1);
        c.check(state);
    }
}

TEST_F(ScanLinkReceive, SequenceAndEchoRecords) {
    // [01 34 12] sets the transmit sequence; [02] is echoed with the next message.
    Feed(FrameMessage({0x01, 0x34, 0x12, 0x02}, 0));
    EXPECT_EQ(tx.Sequence_locked(), 0x1234);
    EXPECT_EQ(tx.MessageLength_locked(), 1u);
    tx.QueuePositionRequest_locked();
    sentSequence = 0x1234;
    std::vector<DecodedMessage> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].records, (Bytes{0x02, 0x20, 0x00, 0x20, 0x01}));
    EXPECT_TRUE(sent[0].checkMatches);
}

TEST_F(ScanLinkReceive, FramingEdgeCases) {
    // Empty frames and a message shorter than its check value are skipped.
    ScanLinkRx::Result r = Feed({0x00, 0x00, 0x02, 0x11, 0x00, 0x00});
    EXPECT_EQ(r.accepted + r.rejected, 0);
    EXPECT_TRUE(Sent().empty());

    // A message fed one byte at a time is put together across calls.
    Bytes frame = FrameMessage({0x21, 0x00, 3, 0, 0, 0}, 0);
    int accepted = 0;
    for (uint8_t b : frame) accepted += Feed({b}).accepted;
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(state.axisPosition[0].raw, 3);

    // Two messages in one read.
    Bytes two = Cat({FrameMessage({0x21, 0x00, 4, 0, 0, 0}, 1), FrameMessage({0x21, 0x01, 5, 0, 0, 0}, 2)});
    EXPECT_EQ(Feed(two).accepted, 2);
    EXPECT_EQ(state.axisPosition[1].raw, 5);

    // A frame longer than the accumulator (decodes to 300 bytes) fails its
    // check and is answered; nothing past the accumulator is written.
    Bytes longRecords(298, 0x02);
    r = Feed(FrameMessage(longRecords, 3));
    EXPECT_EQ(r.rejected, 1);
    EXPECT_EQ(Sent().back().records, (Bytes{0x01, 0x03, 0x00}));

    // Endless bytes without a 0 are discarded in bounded memory and answered
    // once; the next good frame is accepted.
    Bytes junk(3000, 0x41);
    r = Feed(junk);
    r = Feed(junk);
    r = Feed({0x41, 0x00});
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Feed(FrameMessage({0x21, 0x00, 6, 0, 0, 0}, 3)).accepted, 1);
    EXPECT_EQ(state.axisPosition[0].raw, 6);
}

}  // namespace

namespace {

// The shown position of an axis: two decimals, half away from zero, the unit
// text, and "--" until a position has arrived.
TEST(ScanLinkShownPosition, TwoDecimalsHalfAwayFromZeroAndUnits) {
    struct Case {
        ScanLinkValue value;
        int32_t units;
        const char* text;
    } cases[] = {
        {{0, 0}, kScanLinkUnitsMm, "-- mm"},
        {{0, 0}, kScanLinkUnitsInch, "-- in"},
        {{0, kScanLinkDivisor}, kScanLinkUnitsMm, "0.00 mm"},  // a real zero position
        {{73728, kScanLinkDivisor}, kScanLinkUnitsMm, "1.13 mm"},   // 1.125: the half goes up
        {{-73728, kScanLinkDivisor}, kScanLinkUnitsMm, "-1.13 mm"},  // and away from zero below it
        {{81920, kScanLinkDivisor}, kScanLinkUnitsInch, "1.25 in"},
        {{65863, kScanLinkDivisor}, kScanLinkUnitsMm, "1.00 mm"},  // 1.00499...
        {{12345, 0}, kScanLinkUnitsMm, "12345.00 mm"},           // no divisor: the raw value
        {{static_cast<int64_t>(INT32_MIN), kScanLinkDivisor}, kScanLinkUnitsMm, "-32768.00 mm"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScanLinkPositionText(c.value, c.units), c.text) << c.value.raw << "/" << c.value.divisor;
    EXPECT_DOUBLE_EQ(ScanLinkRoundedValue({73728, kScanLinkDivisor}), 1.13);
    EXPECT_DOUBLE_EQ(ScanLinkRoundedValue({-73728, kScanLinkDivisor}), -1.13);
}

}  // namespace
