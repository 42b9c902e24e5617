// picam::Service without a network: wire encoding, reply parsing, the
// SetParam_locked / SetMessageValue_locked rules, the version gate and the list handles.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CameraTestUtil.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace {

using picam::ParamRecord;
using picam::Service;

using Bytes = std::vector<uint8_t>;

// A described record: range min..max, default, scale 1/1.
void Describe(Service& s, int group, int index, int32_t minimum, int32_t maximum, int32_t defaultValue) {
    ParamRecord& r = s.groups[group].params[index];
    picam::InitParamRecord(&r);
    r.value = r.defaultValue = defaultValue;
    r.minimum = minimum;
    r.maximum = maximum;
}

void SetVersion(Service& s, uint32_t v) {
    s.groups[0].params[0].value = static_cast<int32_t>(v);
    s.version = v;
}

Bytes Out(const Service& s) { return Bytes(s.outBuffer, s.outBuffer + s.outLength); }

// The request frame the thread would send: 4-byte big-endian length + records.
Bytes Frame(const Service& s) {
    Bytes f(4);
    picam::WriteBigEndian32(f.data(), static_cast<uint32_t>(s.outLength));
    Bytes body = Out(s);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

void AppendBigEndian(Bytes* b, uint32_t v) {
    uint8_t w[4];
    picam::WriteBigEndian32(w, v);
    b->insert(b->end(), w, w + 4);
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        picam::SetVersionGate(picam::kDefaultVersionGate);
        // Parameter 0 at the gate: replies keep every record.
        s->groups[0].params[0].value = 9000;
    }
    std::unique_ptr<Service> s = std::make_unique<Service>();
    cameratest::LogCapture log;
};

// ---- the byte-exact examples ---------------------------------------------------------
struct WireCase {
    const char* name;
    std::function<Bytes(Service&)> produce;
    Bytes expected;
};

TEST_F(ServiceTest, ByteExactExamples) {
    const WireCase cases[] = {
        {"read of parameter 23 in group 1 as a whole frame",
         [](Service& x) {
             x.paramDirty[1][23] = picam::kDirtyRead;
             x.PackChanges_locked();
             return Frame(x);
         },
         {0x00, 0x00, 0x00, 0x04, 0x17, 0x01, 0x01, 0x00}},
        {"write of 1 to parameter 94 of group 0",
         [](Service& x) {
             SetVersion(x, 9000);
             Describe(x, 0, 94, 0, 1, 0);
             x.SetParam_locked(0, 94, 1);
             x.PackChanges_locked();
             return Out(x);
         },
         {0x5E, 0x00, 0x02, 0x04, 0x00, 0x00, 0x00, 0x01}},
        {"a write below the gate goes out as a read",
         [](Service& x) {
             SetVersion(x, 8999);
             Describe(x, 0, 94, 0, 1, 0);
             x.SetParam_locked(0, 94, 1);
             x.PackChanges_locked();
             return Out(x);
         },
         {0x5E, 0x00, 0x01, 0x00}},
        {"message write: text without terminator, len = text length",
         [](Service& x) {
             SetVersion(x, 9000);
             x.SetMessageValue_locked(1, 3, "Hi!");
             x.PackChanges_locked();
             return Out(x);
         },
         {0x03, 0x01, 0x06, 0x03, 'H', 'i', '!'}},
        {"messages before parameters, group 0 before group 1",
         [](Service& x) {
             x.paramDirty[1][5] = 1;
             x.messageDirty[1][0] = 1;
             x.paramDirty[0][191] = 1;
             x.paramDirty[0][192] = 1;  // outside the exchange: never packed
             x.messageDirty[0][4] = 1;
             x.PackChanges_locked();
             return Out(x);
         },
         {0x04, 0x00, 0x05, 0x00, 0xBF, 0x00, 0x01, 0x00, 0x00, 0x01, 0x05, 0x00, 0x05, 0x01, 0x01, 0x00}},
    };
    for (const WireCase& c : cases) {
        auto fresh = std::make_unique<Service>();
        EXPECT_EQ(c.produce(*fresh), c.expected) << c.name;
    }
}

TEST_F(ServiceTest, PackChangesCountsPendingAndClearsFlags) {
    s->paramDirty[0][7] = 1;
    s->messageDirty[1][2] = 1;
    s->PackChanges_locked();
    EXPECT_EQ(s->pendingParam[0][7], 1);
    EXPECT_EQ(s->pendingMessage[1][2], 1);
    EXPECT_EQ(s->paramDirty[0][7], 0);
    EXPECT_EQ(s->messageDirty[1][2], 0);
    // The reply settles both counts.
    const Bytes reply = {0x07, 0x00, 0x01, 0x04, 0, 0, 1, 0xC4, 0x02, 0x01, 0x05, 0x02, 'A', 'B'};
    s->ParseReply_locked(reply.data(), reply.size());
    EXPECT_EQ(s->pendingParam[0][7], 0);
    EXPECT_EQ(s->pendingMessage[1][2], 0);
    EXPECT_EQ(s->groups[0].params[7].value, 452);
    EXPECT_STREQ(s->groups[1].messages[2], "AB");
}

TEST_F(ServiceTest, PackChangesDropsRecordsThatDoNotFit) {
    SetVersion(*s, 9000);
    s->outLength = picam::kOutBufferSize - 7;  // room for a read (4) but not a write (8)
    Describe(*s, 0, 80, -100, 100, 0);
    s->SetParam_locked(0, 80, 5);
    s->paramDirty[0][81] = picam::kDirtyRead;
    s->PackChanges_locked();
    // The write was dropped (flag cleared, pending raised); the read fitted.
    EXPECT_EQ(s->outLength, picam::kOutBufferSize - 3);
    EXPECT_EQ(s->paramDirty[0][80], 0);
    EXPECT_EQ(s->pendingParam[0][80], 1);
    const uint8_t* last = s->outBuffer + picam::kOutBufferSize - 7;
    EXPECT_EQ(Bytes(last, last + 4), (Bytes{81, 0, 1, 0}));

    // Completely full (or beyond): nothing more is written.
    s->outLength = picam::kOutBufferSize + 16;
    s->paramDirty[1][82] = picam::kDirtyRead;
    s->PackChanges_locked();
    EXPECT_EQ(s->outLength, picam::kOutBufferSize + 16);
    EXPECT_EQ(s->pendingParam[1][82], 1);
}

// ---- ParseReply -----------------------------------------------------------------------
TEST_F(ServiceTest, TwelveBytePayloadChangesOnlyTheFirstThreeWords) {
    ParamRecord& r = s->groups[0].params[80];
    for (int w = 0; w < 55; ++w) reinterpret_cast<int32_t*>(&r)[w] = 1000 + w;
    Bytes reply = {80, 0, 1, 12};
    AppendBigEndian(&reply, static_cast<uint32_t>(-5));
    AppendBigEndian(&reply, 7);
    AppendBigEndian(&reply, static_cast<uint32_t>(-100));
    s->ParseReply_locked(reply.data(), reply.size());
    EXPECT_EQ(r.value, -5);
    EXPECT_EQ(r.defaultValue, 7);
    EXPECT_EQ(r.minimum, -100);
    EXPECT_EQ(r.maximum, 1003);
    EXPECT_EQ(r.scaleNum, 1004);
    EXPECT_EQ(r.options[47], 1054);
}

TEST_F(ServiceTest, VersionBelowGateBlanksAllButTheFirstFiveRecords) {
    for (int g = 0; g < 2; ++g) {
        for (int i = 0; i < 256; ++i) Describe(*s, g, i, 0, 10, 3);
        strcpy(s->groups[g].messages[2], "name");
    }
    Bytes reply = {0, 0, 1, 4};
    AppendBigEndian(&reply, 8999);
    s->ParseReply_locked(reply.data(), reply.size());
    EXPECT_EQ(s->version.load(), 8999u);
    for (int g = 0; g < 2; ++g) {
        for (int i = 1; i < 5; ++i) EXPECT_EQ(s->groups[g].params[i].maximum, 10) << g << "/" << i;
        for (int i = 5; i < 256; ++i) {
            const ParamRecord& r = s->groups[g].params[i];
            ASSERT_TRUE(picam::IsNullParam(r)) << g << "/" << i;
            ASSERT_EQ(r.value, 0);
            ASSERT_EQ(r.scaleNum, 1);
            ASSERT_EQ(r.scaleDen, 1);
        }
        for (int m = 0; m < 16; ++m) EXPECT_EQ(s->groups[g].messages[m][0], 0);
    }
    // Every later write goes out as a read.
    s->paramDirty[0][3] = picam::kDirtyWrite;
    s->messageDirty[0][2] = 6;
    s->outLength = 0;
    s->PackChanges_locked();
    EXPECT_EQ(Out(*s), (Bytes{2, 0, 5, 0, 3, 0, 1, 0}));
}

struct BadReplyCase {
    const char* name;
    Bytes reply;
};

// Hostile or broken replies never write outside a record and leave the
// neighbours intact; the valid record at the end (where there is one) still lands.
TEST_F(ServiceTest, MalformedRecordsAreSkipped) {
    Bytes longParam = {10, 0, 1, 224};  // 56 words: one more than a record
    for (int i = 0; i < 56; ++i) AppendBigEndian(&longParam, 0x41414141);
    longParam.insert(longParam.end(), {12, 0, 1, 4, 0, 0, 0, 9});
    Bytes tail = {12, 0, 1, 4, 0, 0, 0, 9};
    const BadReplyCase cases[] = {
        {"group 2 and above stepped over", [&] {
             Bytes b = {10, 2, 1, 8, 1, 2, 3, 4, 5, 6, 7, 8, 10, 255, 5, 2, 'x', 'y'};
             b.insert(b.end(), tail.begin(), tail.end());
             return b;
         }()},
        {"message index 16 and above", [&] {
             Bytes b = {16, 0, 5, 3, 'a', 'b', 'c', 255, 1, 6, 1, 'z'};
             b.insert(b.end(), tail.begin(), tail.end());
             return b;
         }()},
        {"parameter payload past 220 bytes", longParam},
        {"message payload past the frame end", Bytes{12, 0, 1, 4, 0, 0, 0, 9, 2, 0, 5, 200, 'a', 'b'}},
        {"parameter payload past the frame end is cut", Bytes{12, 0, 1, 6, 0, 0, 0, 9, 0}},
        {"trailing fragment shorter than a header", Bytes{12, 0, 1, 4, 0, 0, 0, 9, 1, 0}},
    };
    for (const BadReplyCase& c : cases) {
        auto x = std::make_unique<Service>();
        x->groups[0].params[0].value = 9000;
        Describe(*x, 0, 10, 0, 50, 5);
        Describe(*x, 0, 11, 0, 50, 6);
        strcpy(x->groups[0].messages[2], "keep");
        x->ParseReply_locked(c.reply.data(), c.reply.size());
        EXPECT_EQ(x->groups[0].params[10].value, 5) << c.name;
        EXPECT_EQ(x->groups[0].params[10].maximum, 50) << c.name;
        EXPECT_EQ(x->groups[0].params[11].value, 6) << c.name;
        EXPECT_EQ(x->groups[0].params[12].value, 9) << c.name;
        EXPECT_STREQ(x->groups[0].messages[2], "keep") << c.name;
        for (int m = 0; m < 16; ++m) EXPECT_EQ(x->groups[1].messages[m][0], 0) << c.name;
    }
}

TEST_F(ServiceTest, MessageRecordWithLengthZeroEmptiesTheText) {
    strcpy(s->groups[1].messages[4], "label");
    const Bytes reply = {4, 1, 5, 0};
    s->ParseReply_locked(reply.data(), reply.size());
    EXPECT_STREQ(s->groups[1].messages[4], "");
}

// ---- SetParam / SetMessageValue -------------------------------------------------------
TEST_F(ServiceTest, SetParamRules) {
    Describe(*s, 0, 75, 0, 100, 0);
    s->SetParam_locked(0, 75, 3);  // read-only: nothing, no log line
    EXPECT_EQ(s->groups[0].params[75].value, 0);
    EXPECT_EQ(s->paramDirty[0][75], 0);

    s->SetParam_locked(1, 80, 3);  // null record
    EXPECT_EQ(s->paramDirty[1][80], 0);

    Describe(*s, 0, 81, -10, 10, 0);
    s->SetParam_locked(0, 81, 11);  // out of range
    EXPECT_EQ(s->groups[0].params[81].value, 0);
    EXPECT_EQ(s->paramDirty[0][81], 0);

    s->SetParam_locked(0, 81, 0);  // same value: marks nothing
    EXPECT_EQ(s->paramDirty[0][81], 0);
    s->SetParam_locked(0, 81, -10);
    EXPECT_EQ(s->groups[0].params[81].value, -10);
    EXPECT_EQ(s->paramDirty[0][81], picam::kDirtyWrite);

    // Options: only listed values (and the default) are accepted.
    ParamRecord& iso = s->groups[0].params[84];
    Describe(*s, 0, 84, 0, 0, 0);
    iso.optionCount = 3;
    iso.options[0] = 100;
    iso.options[1] = 200;
    iso.options[2] = 400;
    s->SetParam_locked(0, 84, 300);
    EXPECT_EQ(iso.value, 0);
    s->SetParam_locked(0, 84, 400);
    EXPECT_EQ(iso.value, 400);
    s->SetParam_locked(0, 84, 0);  // the default is always accepted
    EXPECT_EQ(iso.value, 0);

    const std::string text = log.Text();
    EXPECT_EQ(text.find("(0,75)"), std::string::npos);
    EXPECT_NE(text.find("picam::Service::SetParam(1,80)  attempted to set null param"), std::string::npos);
    EXPECT_NE(text.find("picam::Service::SetParam(0,81)"), std::string::npos);
    EXPECT_NE(text.find("11"), std::string::npos);
    EXPECT_NE(text.find("picam::Service::SetParam(0,84)"), std::string::npos);
}

TEST_F(ServiceTest, SetMessageValueRules) {
    const std::string ok(255, 'a');
    s->SetMessageValue_locked(0, 2, ok.c_str());
    EXPECT_EQ(std::string(s->groups[0].messages[2]), ok);
    EXPECT_EQ(s->messageDirty[0][2], 6);

    s->messageDirty[0][2] = 0;
    s->SetMessageValue_locked(0, 2, ok.c_str());  // unchanged: not marked
    EXPECT_EQ(s->messageDirty[0][2], 0);

    const std::string tooLong(256, 'b');
    s->SetMessageValue_locked(0, 2, tooLong.c_str());
    EXPECT_EQ(std::string(s->groups[0].messages[2]), ok);
    EXPECT_EQ(s->messageDirty[0][2], 0);
    EXPECT_TRUE(log.Contains("picam::Service::SetMessageValue(0,2," + tooLong + ")  message too long"));

    s->SetMessageValue_locked(0, 2, "aaa");  // shorter: differs in length
    EXPECT_EQ(s->messageDirty[0][2], 6);
    char out[256];
    memset(out, 'x', sizeof out);
    s->GetMessageValue(0, 2, out);
    EXPECT_STREQ(out, "aaa");
}

TEST_F(ServiceTest, ApplyParamsRefreshesReadOnlyAndWritesTheRest) {
    SetVersion(*s, 9000);
    Describe(*s, 0, 7, -400, 1250, 0);
    s->groups[0].params[7].value = 452;
    Describe(*s, 0, 82, 0, 100, 50);
    auto table = std::make_unique<picam::ParamGroup>();
    picam::InitParamGroup(table.get());
    table->params[7] = s->groups[0].params[7];
    table->params[7].value = 1;
    table->params[82] = s->groups[0].params[82];
    table->params[82].value = 70;
    strcpy(table->messages[2], "Left");
    s->ApplyParams(0, table.get());
    EXPECT_EQ(table->params[7].value, 452);
    EXPECT_EQ(s->groups[0].params[82].value, 70);
    EXPECT_STREQ(s->groups[0].messages[2], "Left");
    EXPECT_EQ(Out(*s), (Bytes{2, 0, 6, 4, 'L', 'e', 'f', 't', 82, 0, 2, 4, 0, 0, 0, 70}));
}

TEST(ReadOnlyParams, ExactlyTheListedIndices) {
    std::vector<int> readOnly;
    for (int i = 0; i < 256; ++i)
        if (picam::IsReadOnlyParam(i)) readOnly.push_back(i);
    std::vector<int> expected;
    for (int i = 0; i <= 10; ++i) expected.push_back(i);
    for (int i = 17; i <= 21; ++i) expected.push_back(i);
    expected.push_back(23);
    for (int i = 32; i <= 34; ++i) expected.push_back(i);
    for (int i = 41; i <= 61; ++i) expected.push_back(i);
    for (int i = 74; i <= 76; ++i) expected.push_back(i);
    EXPECT_EQ(readOnly, expected);
}

TEST(AcquireService, AbsentOrUnansweredGivesNullService) {
    auto s = std::make_unique<Service>();
    {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        picam::ServiceList.push_back(s.get());
    }
    {
        picam::ServiceRef beyond = picam::AcquireService(5);
        picam::ServiceRef unanswered = picam::AcquireService(0);
        EXPECT_TRUE(beyond.IsNull());
        EXPECT_TRUE(unanswered.IsNull());
        for (int i = 0; i < 256; ++i) ASSERT_TRUE(picam::IsNullParam(unanswered->groups[0].params[i]));
        EXPECT_EQ(picam::CountReadyServices(), 0);
    }
    s->version = 9001;
    {
        picam::ServiceRef ref = picam::AcquireService(0);
        EXPECT_EQ(ref.Get(), s.get());
        EXPECT_EQ(s->holders, 1);
        picam::ServiceRef moved = std::move(ref);
        EXPECT_EQ(s->holders, 1);
        EXPECT_EQ(picam::CountReadyServices(), 1);
    }
    EXPECT_EQ(s->holders, 0);
    EXPECT_EQ(picam::CountConnectedServices(), 0);
    s->connected = true;
    EXPECT_EQ(picam::CountConnectedServices(), 1);
    std::lock_guard<std::mutex> lock(picam::serviceListLock);
    picam::ServiceList.clear();
}

TEST(ResetTables, EmptiesEverything) {
    auto s = std::make_unique<Service>();
    Describe(*s, 1, 90, 0, 10, 1);
    s->version = 9000;
    s->pendingParam[1][90] = 3;
    s->paramDirty[1][90] = 2;
    s->outLength = 12;
    s->SetHost("127.0.0.1");
    s->running = true;
    s->connected = true;
    s->ResetTables();
    EXPECT_TRUE(picam::IsNullParam(s->groups[1].params[90]));
    EXPECT_EQ(s->version.load(), 0u);
    EXPECT_EQ(s->pendingParam[1][90], 0);
    EXPECT_EQ(s->paramDirty[1][90], 0);
    EXPECT_EQ(s->outLength, 0);
    EXPECT_EQ(s->Host(), "");
    EXPECT_FALSE(s->running.load());
    EXPECT_FALSE(s->connected.load());
}

}  // namespace
