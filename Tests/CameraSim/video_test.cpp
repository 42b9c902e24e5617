// The simulated unit's live video: frame-number blocks, caption, the framed
// and plain ports, parameter sets at every connection, profile and level,
// live setting changes, the drop option and replay.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <set>

#include "CameraSim/VideoEncoder.h"
#include "CameraSim/VideoServer.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/Stream.h"
#include "Support/Wait.h"

namespace {

using avtest::StartUnit;

TEST(SimVideoPicture, FrameNumberRoundTrip) {
    const int widths[] = {160, 320, 1920};
    const uint32_t numbers[] = {0, 1, 0xABCDE, 0xFFFFFF};
    for (int w : widths) {
        const int h = w * 9 / 16;
        std::vector<uint8_t> luma(static_cast<size_t>(w) * h, 128);
        uint32_t read = 0;
        EXPECT_FALSE(camsim::ReadFrameNumber(luma.data(), w, w, h, &read));  // no marker blocks
        for (uint32_t n : numbers) {
            camsim::DrawFrameNumber(luma.data(), w, w, h, n);
            ASSERT_TRUE(camsim::ReadFrameNumber(luma.data(), w, w, h, &read)) << w;
            EXPECT_EQ(read, n) << w;
        }
    }
}

TEST(SimVideoPicture, CaptionIsBurnedIn) {
    const int w = 320, h = 240;
    std::vector<uint8_t> luma(static_cast<size_t>(w) * h, 128);
    camsim::DrawCaption(luma.data(), w, w, h, 16, 200, 2, "PIPE 7 12:30");
    int lit = 0, dark = 0;
    for (int y = 190; y < 230; ++y)
        for (int x = 0; x < w; ++x) {
            lit += luma[static_cast<size_t>(y) * w + x] == 235;
            dark += luma[static_cast<size_t>(y) * w + x] == 16;
        }
    EXPECT_GT(lit, 100);
    EXPECT_GT(dark, 100);
    // Text reaching past the edges is clipped, never written outside.
    camsim::DrawCaption(luma.data(), w, w, h, 300, 235, 3, std::string(400, 'W'));
}

// Reads framed fragments from a raw connection.
class RawVideo {
public:
    RawVideo(const std::string& address, int port, int timeout_s = 5) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        timeval tv{timeout_s, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~RawVideo() { close(fd_); }
    bool Connected() const { return connected_; }
    bool Read(void* out, size_t n) {
        auto* p = static_cast<uint8_t*>(out);
        while (n > 0) {
            ssize_t got = recv(fd_, p, n, 0);
            if (got <= 0) return false;
            p += got;
            n -= static_cast<size_t>(got);
        }
        return true;
    }
    // One fragment: flags and payload; false on a bad header or a lost link.
    bool Fragment(uint8_t* flags, std::vector<uint8_t>* payload) {
        uint8_t h[8];
        if (!Read(h, 8) || h[0] != 0 || h[1] != 0 || h[2] != 2) return false;
        uint32_t n = (uint32_t(h[4]) << 24) | (uint32_t(h[5]) << 16) | (uint32_t(h[6]) << 8) | h[7];
        if (n == 0 || n > (1u << 20)) return false;
        *flags = h[3];
        payload->resize(n);
        return Read(payload->data(), n);
    }
    // One access unit by the receiver's rules (0x20 drops, 0x04 ends).
    bool Unit(std::vector<uint8_t>* unit, std::vector<uint8_t>* flagsSeen = nullptr, std::set<size_t>* sizes = nullptr) {
        unit->clear();
        for (;;) {
            uint8_t flags = 0;
            std::vector<uint8_t> payload;
            if (!Fragment(&flags, &payload)) return false;
            if (flagsSeen) flagsSeen->push_back(flags);
            if (sizes) sizes->insert(payload.size());
            if (flags & 0x20) {
                unit->clear();
                continue;
            }
            unit->insert(unit->end(), payload.begin(), payload.end());
            if (flags & 0x04) return true;
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

// NAL unit types of an Annex-B access unit, and the SPS bytes after its header.
std::vector<int> NalTypes(const std::vector<uint8_t>& au, std::vector<uint8_t>* sps) {
    std::vector<int> types;
    for (size_t i = 0; i + 3 < au.size(); ++i) {
        if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
            int type = au[i + 3] & 0x1F;
            types.push_back(type);
            if (type == 7 && sps && i + 6 < au.size()) sps->assign(au.begin() + static_cast<ptrdiff_t>(i + 4), au.begin() + static_cast<ptrdiff_t>(i + 7));
            i += 3;
        }
    }
    return types;
}

struct ProfileCase {
    const char* address;
    int profile, level;
    uint8_t profileIdc, levelIdc;
};

class SimVideoProfile : public ::testing::TestWithParam<ProfileCase> {};

// Every connection starts at a key frame with its parameter sets, in the
// configured profile and level, cut into fragments of varying size.
TEST_P(SimVideoProfile, ConnectionStartsAtKeyFrameWithParameterSets) {
    const ProfileCase& c = GetParam();
    auto unit = StartUnit(c.address, 320, 240, 30, nullptr);
    ASSERT_TRUE(unit);
    for (int g = 0; g < 2; ++g) {
        unit->SetParamValue(g, 133, c.profile);
        unit->SetParamValue(g, 134, c.level);
    }
    for (int connection = 0; connection < 2; ++connection) {
        RawVideo raw(c.address, 8012 + connection);
        ASSERT_TRUE(raw.Connected());
        std::vector<uint8_t> au, sps;
        std::vector<uint8_t> flags;
        std::set<size_t> sizes;
        ASSERT_TRUE(raw.Unit(&au, &flags));
        std::vector<int> types = NalTypes(au, &sps);
        ASSERT_GE(types.size(), 3u);
        EXPECT_NE(std::find(types.begin(), types.end(), 7), types.end());
        EXPECT_NE(std::find(types.begin(), types.end(), 8), types.end());
        EXPECT_NE(std::find(types.begin(), types.end(), 5), types.end());
        ASSERT_EQ(sps.size(), 3u);
        EXPECT_EQ(sps[0], c.profileIdc);
        EXPECT_EQ(sps[2], c.levelIdc);
        for (uint8_t f : flags) EXPECT_EQ(f & ~0x04, 0);
        EXPECT_EQ(flags.back(), 0x04);
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(raw.Unit(&au, nullptr, &sizes));
        EXPECT_GT(sizes.size(), 3u);  // fragment sizes vary
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SimVideoProfile,
                         ::testing::Values(ProfileCase{"127.0.23.2", 0, 0, 66, 40}, ProfileCase{"127.0.23.3", 1, 1, 77, 41},
                                           ProfileCase{"127.0.23.4", 2, 2, 100, 42}));

TEST(SimVideo, PlainPortIsPlainH264ThatFfprobeIdentifies) {
    auto unit = StartUnit("127.0.23.1", 320, 240, 30, [](camsim::Options& o) { o.plainVideo = true; });
    ASSERT_TRUE(unit);
    FILE* p = popen("timeout 30 ffprobe -v error -f h264 -show_entries stream=codec_name,width,height -of csv=p=0 "
                    "tcp://127.0.23.1:9012 2>&1",
                    "r");
    ASSERT_TRUE(p);
    char line[256] = "";
    std::string out;
    while (fgets(line, sizeof line, p)) out += line;
    pclose(p);
    EXPECT_EQ(out, "h264,320,240\n");
}

// Every picture on the plain port is followed by an access-unit delimiter,
// so a reader knows it is complete without waiting for the next picture:
// the stream's delimiters and its pictures (first slices) alternate.
TEST(SimVideo, PlainPortEndsEveryPictureWithADelimiter) {
    auto unit = StartUnit("127.0.23.7", 320, 240, 30, [](camsim::Options& o) { o.plainVideo = true; });
    ASSERT_TRUE(unit);
    RawVideo raw("127.0.23.7", 9012);
    ASSERT_TRUE(raw.Connected());
    std::vector<uint8_t> bytes;
    std::string order;  // 'D' delimiter, 'P' a picture's first slice
    uint8_t chunk[4096];
    while (std::count(order.begin(), order.end(), 'D') < 20) {
        ASSERT_TRUE(raw.Read(chunk, 1)) << "the stream ended after " << order;
        bytes.push_back(chunk[0]);
        const size_t n = bytes.size();
        // A NAL header byte after a 3-byte start code (the 4-byte form ends the same way).
        if (n < 5 || bytes[n - 5] != 0 || bytes[n - 4] != 0 || bytes[n - 3] != 1) continue;
        const int type = bytes[n - 2] & 0x1F;
        if (type == 9) order += 'D';
        // Slices (1 and 5) whose first_mb_in_slice is 0: the first bit after the header is 1.
        if ((type == 1 || type == 5) && (bytes[n - 1] & 0x80) != 0) order += 'P';
    }
    ASSERT_GE(order.size(), 39u) << order;
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i % 2 == 0 ? 'P' : 'D') << order;
}

TEST(SimVideo, DropOptionMarksFragments) {
    auto unit = StartUnit("127.0.23.5", 320, 240, 30, [](camsim::Options& o) { o.videoDropFragmentEvery = 2; });
    ASSERT_TRUE(unit);
    RawVideo raw("127.0.23.5", 8012);
    ASSERT_TRUE(raw.Connected());
    std::vector<uint8_t> au, flags;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(raw.Unit(&au, &flags));
        EXPECT_EQ(au[0], 0);  // a whole unit: starts with its start code
        EXPECT_EQ(au[1], 0);
    }
    EXPECT_GE(std::count(flags.begin(), flags.end(), 0x20), 5);
}

// New settings reach the encoder while a consumer is connected.
TEST(SimVideo, SizeChangeReachesLiveConsumer) {
    auto unit = StartUnit("127.0.23.6", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.23.6:8012", AV::Stream::Options::LiveCamera()));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return stream.Process() >= 0 && stream.PopFrame() != nullptr; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    unit->SetParamValue(0, 117, 256);
    unit->SetParamValue(0, 118, 144);
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            stream.Process();
            auto f = stream.PopFrame();
            return f && f->Width() == 256 && f->Height() == 144;
        },
        std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    EXPECT_EQ(stream.Width(), 256);
}

// Replay: the pictures encoded once come round again in order.
TEST(SimVideo, ReplayRepeatsItsPictures) {
    auto unit = StartUnit("127.0.23.7", 320, 240, 10, [](camsim::Options& o) { o.replayS = 0.5; });
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.23.7:8012", AV::Stream::Options::LiveCamera()));
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            if (stream.Process() < 0) return true;
            if (auto f = stream.PopFrame()) {
                uint32_t n = 0;
                if (camsim::ReadFrameNumber(f->Plane(0), f->Stride(0), f->Width(), f->Height(), &n))
                    numbers.push_back(n);
            }
            return numbers.size() >= 8;
        },
        std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    ASSERT_GE(numbers.size(), 8u);
    for (size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], (numbers[i - 1] + 1) % 5);
}

// The program's --video-pause-s A:B: a connection made inside the window gets
// nothing until it ends; a window that ends before it starts is refused.
TEST(SimVideo, PauseOptionOfTheProgram) {
    const std::string program = std::string(ORVEX_BUILD_DIR) + "/orvex-camsim";
    TempFolder folder;
    {
        testsupport::ChildProcess refused({program, "--address", "127.0.23.8", "--video-pause-s", "3:1"}, {},
                                          folder.File("refused.out"));
        const int code = refused.Wait(std::chrono::seconds(30));
        EXPECT_TRUE(code > 0 && code < 128) << code;
    }
    testsupport::ChildProcess sim({program, "--address", "127.0.23.8", "--video-pause-s", "0:3.5"}, {},
                                  folder.File("sim.out"));
    ASSERT_TRUE(sim.Started());
    bool silent = false, resumed = false;
    for (int attempt = 0; attempt < 40 && !silent; ++attempt) {
        RawVideo raw("127.0.23.8", 8012, 1);
        if (!raw.Connected()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        uint8_t byte = 0;
        silent = !raw.Read(&byte, 1);      // nothing during the pause
        if (!silent) break;
        std::vector<uint8_t> au;
        RawVideo after("127.0.23.8", 8012, 8);
        resumed = after.Unit(&au);  // pictures once it has ended
    }
    EXPECT_EQ(sim.Terminate(std::chrono::seconds(10)), 0) << testfiles::ReadText(folder.File("sim.out"));
    EXPECT_TRUE(silent);
    EXPECT_TRUE(resumed);
}

}  // namespace
