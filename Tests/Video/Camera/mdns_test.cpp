// The one-shot mDNS query: hand-made packets, and live queries against the
// simulator's responder on loopback (addresses 127.0.10.20-29).
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <string>
#include <vector>

#include "CameraSim/Unit.h"
#include "CameraTestUtil.h"
#include "Video/Camera/Mdns.h"
#include "Video/Camera/Socket.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint16_t id, uint16_t flags, uint16_t qd, uint16_t an, uint16_t ns = 0, uint16_t ar = 0) {
    return {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), static_cast<uint8_t>(flags >> 8),
            static_cast<uint8_t>(flags), 0, static_cast<uint8_t>(qd), 0, static_cast<uint8_t>(an),
            0, static_cast<uint8_t>(ns), 0, static_cast<uint8_t>(ar)};
}

void Add(Bytes* b, std::initializer_list<uint8_t> bytes) { b->insert(b->end(), bytes); }

// A record: name bytes as given, type, class, TTL 10, data.
void Record(Bytes* b, std::initializer_list<uint8_t> name, uint16_t type, uint16_t klass, Bytes data) {
    b->insert(b->end(), name);
    Add(b, {static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type), static_cast<uint8_t>(klass >> 8),
            static_cast<uint8_t>(klass), 0, 0, 0, 10, 0, static_cast<uint8_t>(data.size())});
    b->insert(b->end(), data.begin(), data.end());
}

const std::initializer_list<uint8_t> kCamLocal = {3, 'c', 'a', 'm', 5, 'l', 'o', 'c', 'a', 'l', 0};

struct PacketCase {
    const char* name;
    Bytes packet;
    bool found;
    const char* address;
};

std::vector<PacketCase> Cases() {
    std::vector<PacketCase> cases;
    {
        Bytes b = Header(0x1234, 0x8400, 1, 1);
        b.insert(b.end(), kCamLocal);
        Add(&b, {0, 1, 0x80, 1});
        Record(&b, {0xC0, 0x0C}, 1, 0x8001, {127, 0, 10, 21});  // compressed name, cache-flush bit
        cases.push_back({"compressed answer name", b, true, "127.0.10.21"});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 3);
        Record(&b, {5, 'o', 't', 'h', 'e', 'r', 5, 'l', 'o', 'c', 'a', 'l', 0}, 1, 1, {10, 0, 0, 1});
        // "cam" + pointer to the "local" label of the first record (offset 18).
        Record(&b, {3, 'c', 'a', 'm', 0xC0, 18}, 16, 1, {3, 'x', 'y', 'z'});  // TXT: skipped
        Record(&b, {3, 'C', 'A', 'M', 0xC0, 18}, 1, 1, {127, 0, 10, 22});      // case differs
        cases.push_back({"several answers, the A record of the name wins", b, true, "127.0.10.22"});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 0, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 23});
        cases.push_back({"answer in the additional section", b, true, "127.0.10.23"});
    }
    {
        Bytes b = Header(0x9999, 0x8400, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 24});
        cases.push_back({"other query id", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x0000, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 24});
        cases.push_back({"a query, not a response", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8403, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 24});
        cases.push_back({"error code set", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 24});
        b.resize(b.size() - 2);
        cases.push_back({"truncated address", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Add(&b, {3, 'c', 'a'});
        cases.push_back({"truncated name", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Record(&b, {0xC0, 12}, 1, 1, {127, 0, 10, 24});  // points at itself
        cases.push_back({"pointer loop", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Record(&b, {0xC0, 200}, 1, 1, {127, 0, 10, 24});
        cases.push_back({"pointer past the end", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Record(&b, {0x40, 'c', 0}, 1, 1, {127, 0, 10, 24});
        cases.push_back({"reserved label type", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 1);
        Record(&b, kCamLocal, 1, 1, {127, 0, 10, 24, 0, 0});  // A record of 6 bytes
        cases.push_back({"A record with a wrong length", b, false, ""});
    }
    {
        Bytes b = Header(0x1234, 0x8400, 0, 9);  // claims nine answers, holds one
        Record(&b, {4, 'c', 'a', 'm', 'x', 5, 'l', 'o', 'c', 'a', 'l', 0}, 1, 1, {127, 0, 10, 24});
        cases.push_back({"fewer records than counted", b, false, ""});
    }
    cases.push_back({"shorter than a header", Bytes{0x12, 0x34, 0x84}, false, ""});
    return cases;
}

TEST(MdnsPackets, HandMadeResponses) {
    for (const PacketCase& c : Cases()) {
        uint32_t a = 0;
        const bool found = MdnsParseAnswer(c.packet.data(), c.packet.size(), 0x1234, "cam.local", &a);
        EXPECT_EQ(found, c.found) << c.name;
        if (found && c.found) {
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &a, text, sizeof text);
            EXPECT_STREQ(text, c.address) << c.name;
        }
    }
}

TEST(MdnsPackets, QueryAndAnswerRoundTrip) {
    Bytes q = MdnsBuildQuery("orvexcam-2.local", 0xBEEF);
    ASSERT_FALSE(q.empty());
    uint16_t id = 0;
    std::vector<std::string> names;
    ASSERT_TRUE(MdnsParseQuestions(q.data(), q.size(), &id, &names));
    EXPECT_EQ(id, 0xBEEF);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], "orvexcam-2.local");

    in_addr a{};
    inet_pton(AF_INET, "127.0.10.25", &a);
    Bytes answer = MdnsBuildAnswer("orvexcam-2.local", id, a.s_addr);
    uint32_t got = 0;
    ASSERT_TRUE(MdnsParseAnswer(answer.data(), answer.size(), 0xBEEF, "orvexcam-2.local.", &got));
    EXPECT_EQ(got, a.s_addr);
    EXPECT_FALSE(MdnsParseAnswer(answer.data(), answer.size(), 0xBEEF, "orvexcam.local", &got));

    EXPECT_TRUE(MdnsBuildQuery(std::string(64, 'a') + ".local", 1).empty());  // label too long
    EXPECT_TRUE(MdnsBuildQuery("a..local", 1).empty());
    // A response is not a query.
    EXPECT_FALSE(MdnsParseQuestions(answer.data(), answer.size(), &id, &names));
}

// Live: two simulated units each answer only their own name.
TEST(MdnsLive, EachUnitAnswersItsOwnName) {
    const std::string stem = cameratest::UniqueStem("mdns");
    camsim::Options a;
    a.address = "127.0.10.21";
    a.name = stem;
    camsim::Options b = a;
    b.address = "127.0.10.22";
    b.name = stem + "-2";
    camsim::Unit unitA(a), unitB(b);
    ASSERT_TRUE(unitA.Start());
    ASSERT_TRUE(unitB.Start());

    std::string out;
    EXPECT_TRUE(MdnsQueryIPv4(stem + ".local", &out));
    EXPECT_EQ(out, "127.0.10.21");
    EXPECT_TRUE(ResolveIPv4(stem + "-2.LOCAL", &out));
    EXPECT_EQ(out, "127.0.10.22");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MdnsQueryIPv4(stem + "-3.local", &out));
    EXPECT_EQ(out, "");
    EXPECT_LT(cameratest::SecondsSince(start), 1.0);
}

}  // namespace
