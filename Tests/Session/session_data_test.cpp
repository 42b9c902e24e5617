#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include <lz4.h>

#include "Base/Alerts.h"
#include "Base/FileServices.h"
#include "Session/MediaName.h"
#include "Session/SessionFile.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    platform::ReadWholeFile(Path(path), &bytes);
    return bytes;
}

uint32_t BigEndianAt(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::vector<uint8_t> Decompress(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> payload(BigEndianAt(file, 0));
    const int got = LZ4_decompress_safe(reinterpret_cast<const char*>(file.data() + 4),
                                        reinterpret_cast<char*>(payload.data()), static_cast<int>(file.size() - 4),
                                        static_cast<int>(payload.size()));
    EXPECT_EQ(got, static_cast<int>(payload.size()));
    return payload;
}

class SessionFileTest : public ::testing::Test {
protected:
    void SetUp() override { TakeAlerts(); }
    void TearDown() override { TakeAlerts(); }
    TempFolder dir;
};

TEST_F(SessionFileTest, EmptyHistoryIsThe29BytePayloadAndLoadsBackEmpty) {
    SessionData data;
    const std::vector<uint8_t> expected = {0x00, 0x0F, 0x42, 0x4D, 0x01, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0,
                                           0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(EncodeSessionPayload(data), expected);
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "Main St", data));
    const std::vector<uint8_t> file = ReadBytes(dir.File("Main St-00.00.00.000-D-0-0.qsd"));
    ASSERT_GT(file.size(), 4u);
    EXPECT_EQ(BigEndianAt(file, 0), 29u);
    EXPECT_EQ(Decompress(file), expected);

    SessionData loaded;
    loaded.cameras.push_back(std::make_unique<CameraHistory>());
    LoadSessionData(dir.AsPath(), "Main St", &loaded);
    EXPECT_TRUE(loaded.cameras.empty());
    EXPECT_TRUE(TakeAlerts().empty());
    // Only the data file is left: no backup, no temporary file.
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 3u);
}

// A history past the writer's first 4 MiB (400 000 changes, 12 bytes each)
// grows the buffer and saves and loads back whole.
TEST_F(SessionFileTest, HistoryBeyondTheFirstFourMegabytesRoundTrips) {
    SessionData data;
    data.cameras.push_back(std::make_unique<CameraHistory>());
    SampleSeries& series = data.cameras[0]->series[1][7];
    for (int i = 0; i < 400000; ++i) series.push_back({i % 2 == 0 ? i : -i, 0.01 * i});
    const std::vector<uint8_t> payload = EncodeSessionPayload(data);
    ASSERT_GT(payload.size(), size_t{4} << 20);
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "Long", data));
    SessionData loaded;
    LoadSessionData(dir.AsPath(), "Long", &loaded);
    EXPECT_TRUE(TakeAlerts().empty());
    ASSERT_EQ(loaded.cameras.size(), 1u);
    const SampleSeries& back = loaded.cameras[0]->series[1][7];
    ASSERT_EQ(back.size(), series.size());
    for (size_t i = 0; i < series.size(); i += 9973) {
        EXPECT_EQ(back[i].value, series[i].value) << i;
        EXPECT_EQ(back[i].time, series[i].time) << i;
    }
    EXPECT_EQ(back.back().value, series.back().value);
    EXPECT_EQ(EncodeSessionPayload(loaded), payload);
}

TEST_F(SessionFileTest, SeriesAreCompactedAndRecordsWrittenWithTheirOptionCount) {
    SessionData data;
    data.cameras.push_back(std::make_unique<CameraHistory>());
    CameraHistory& cam = *data.cameras.back();
    picam::ParamRecord& r = cam.groups[0].params[0];
    r.value = 2;
    r.defaultValue = 1;
    r.minimum = 0;
    r.maximum = 9;
    r.scaleNum = 3;
    r.scaleDen = 4;
    r.optionCount = 3;
    for (int i = 0; i < picam::kMaxOptions; ++i) r.options[i] = i < 3 ? 11 + i : 99;
    cam.groups[0].params[1].value = 77;  // the id
    const double times[] = {1, 2, 3, 4, 5};
    const int32_t values[] = {5, 5, 7, 7, 7};
    for (int i = 0; i < 5; ++i) cam.series[0][0].push_back({values[i], times[i]});
    cam.series[1][191].push_back({-4, 0.5});

    const std::vector<uint8_t> p = EncodeSessionPayload(data);
    EXPECT_EQ(BigEndianAt(p, 5), 1u);    // C
    EXPECT_EQ(BigEndianAt(p, 9), 77u);   // id
    EXPECT_EQ(BigEndianAt(p, 13), 2u);   // G
    EXPECT_EQ(BigEndianAt(p, 17), 192u); // R
    EXPECT_EQ(BigEndianAt(p, 21), 40u);  // L = 28 + 4 x 3
    const uint32_t words[] = {2, 1, 0, 9, 3, 4, 3, 11, 12, 13};
    for (int w = 0; w < 10; ++w) EXPECT_EQ(BigEndianAt(p, 25 + 4 * w), words[w]) << w;
    EXPECT_EQ(BigEndianAt(p, 65), 3u);  // M after compaction
    uint64_t bits;
    const double kept[] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        bits = (uint64_t{BigEndianAt(p, 69 + 8 * i)} << 32) | BigEndianAt(p, 73 + 8 * i);
        double t;
        std::memcpy(&t, &bits, 8);
        EXPECT_EQ(t, kept[i]);
    }
    EXPECT_EQ(BigEndianAt(p, 93), 5u);
    EXPECT_EQ(BigEndianAt(p, 97), 7u);
    EXPECT_EQ(BigEndianAt(p, 101), 7u);

    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "S", data));
    SessionData back;
    LoadSessionData(dir.AsPath(), "S", &back);
    EXPECT_TRUE(TakeAlerts().empty());
    ASSERT_EQ(back.cameras.size(), 1u);
    const CameraHistory& b = *back.cameras[0];
    EXPECT_EQ(b.Id(), 77);
    EXPECT_EQ(b.groups[0].params[0].options[2], 13);
    EXPECT_EQ(b.groups[0].params[0].options[3], 0);  // words 10..54 keep their fresh value
    EXPECT_EQ(b.groups[0].params[0].scaleDen, 4);
    ASSERT_EQ(b.series[0][0].size(), 3u);
    EXPECT_EQ(b.series[0][0][1].value, 7);
    EXPECT_EQ(b.series[0][0][1].time, 3);
    ASSERT_EQ(b.series[1][191].size(), 1u);
    EXPECT_EQ(b.series[1][191][0].value, -4);
    EXPECT_EQ(b.groups[1].params[5].scaleNum, 1);
    EXPECT_EQ(EncodeSessionPayload(back), p);
}

TEST(SessionData, CompactionKeepsFirstChangesAndLast) {
    const struct {
        std::vector<int32_t> values;
        std::vector<size_t> kept;
    } cases[] = {{{}, {}}, {{5}, {0}}, {{5, 5}, {0, 1}}, {{5, 5, 7, 7, 7}, {0, 2, 4}}, {{1, 2, 1, 1}, {0, 1, 2, 3}}};
    for (const auto& c : cases) {
        SampleSeries s;
        for (size_t i = 0; i < c.values.size(); ++i) s.push_back({c.values[i], static_cast<double>(i)});
        EXPECT_EQ(CompactedIndices(s), c.kept);
    }
}

TEST(SessionData, ValueAtBeforeBetweenAfterAndRefusedValues) {
    CameraHistory h;
    picam::ParamRecord& r = h.groups[0].params[10];
    r.value = 3;
    r.defaultValue = 0;
    r.minimum = 0;
    r.maximum = 100;
    h.series[0][10] = {{10, 1.0}, {20, 2.0}, {500, 3.0}, {30, 4.0}};
    picam::ParamRecord& opt = h.groups[1].params[4];
    opt.value = 8;
    opt.defaultValue = 1;
    opt.optionCount = 2;
    opt.options[0] = 4;
    opt.options[1] = 8;
    h.series[1][4] = {{4, 0.0}, {6, 5.0}};
    std::strcpy(h.groups[0].messages[3], "caption");

    const struct {
        int group, param;
        double t;
        int32_t expect;
    } cases[] = {
        {0, 10, 0.5, 10}, {0, 10, 1.0, 10}, {0, 10, 1.5, 10}, {0, 10, 2.0, 20},
        {0, 10, 3.5, 3},  // 500 is out of range: the copied value stays
        {0, 10, 9.0, 30}, {1, 4, 1.0, 4}, {1, 4, 6.0, 8},  // 6 is not an option
    };
    for (const auto& c : cases) {
        picam::ParamGroup out;
        ValueAt(h, c.t, c.group, &out);
        EXPECT_EQ(out.params[c.param].value, c.expect) << c.t;
        if (c.group == 0) {
            EXPECT_STREQ(out.messages[3], "caption");
        }
    }
}

TEST(SessionData, SamplingAppendsChangesAndKeepsActivityBytes) {
    picam::Service service;
    service.connected = true;
    {
        std::lock_guard<std::mutex> hold(service.tableLock);
        service.groups[0].params[1].value = 0x1234;
        service.groups[0].params[44].value = 0x101;
        service.groups[1].params[45].value = 0x2;
        service.groups[0].params[32].value = 1;
    }
    SessionData data;
    SampleCamera(data, service, 1.0);
    {
        std::lock_guard<std::mutex> hold(service.tableLock);
        service.groups[0].params[7].value = 9;
        service.groups[0].params[44].value = 0x4;
    }
    SampleCamera(data, service, 2.0);
    service.connected = false;
    SampleCamera(data, service, 3.0);
    ASSERT_EQ(data.cameras.size(), 1u);
    const CameraHistory& h = *data.cameras[0];
    EXPECT_EQ(h.Id(), 0x1234);
    ASSERT_EQ(h.series[0][7].size(), 2u);
    EXPECT_EQ(h.series[0][7][1].value, 9);
    EXPECT_EQ(h.series[0][7][1].time, 2.0);
    EXPECT_EQ(h.series[1][191].size(), 1u);  // every series gets its first sample
    EXPECT_EQ(h.flagsA[0], 0x05);
    EXPECT_EQ(h.flagsB[1], 0x02);
    EXPECT_EQ(h.active[0], 0);  // reset once the camera was found not connected
    EXPECT_EQ(LatestSampleTime(data), 2.0);
    SessionData empty;
    EXPECT_EQ(LatestSampleTime(empty), 0.0);
}

TEST_F(SessionFileTest, DamagedFilesGiveTheDecompressAlertAndAnEmptyHistory) {
    // A valid payload with one camera, then every truncation and corrupted count.
    SessionData data;
    data.cameras.push_back(std::make_unique<CameraHistory>());
    data.cameras[0]->series[0][0] = {{1, 1.0}, {2, 2.0}};
    const std::vector<uint8_t> good = EncodeSessionPayload(data);
    auto writeFile = [&](const std::vector<uint8_t>& payload, uint32_t claimed) {
        std::vector<uint8_t> file(4 + LZ4_compressBound(static_cast<int>(payload.size())));
        const int n = LZ4_compress_default(reinterpret_cast<const char*>(payload.data()),
                                           reinterpret_cast<char*>(file.data() + 4), static_cast<int>(payload.size()),
                                           static_cast<int>(file.size() - 4));
        file.resize(4 + static_cast<size_t>(n));
        for (int i = 0; i < 4; ++i) file[i] = static_cast<uint8_t>(claimed >> (24 - 8 * i));
        std::ofstream(dir.File("J-00.00.00.000-D-0-0.qsd"), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    };
    auto patched = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> p = good;
        for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
        return p;
    };
    std::vector<std::vector<uint8_t>> bad = {
        patched(5, 0xFFFFFFFF),  // C
        patched(13, 3),          // G
        patched(17, 193),        // R
        patched(21, 30),         // L not a multiple of 4
        patched(21, 224),        // L / 4 above 55
        patched(21, 0x80000000), // L negative
        patched(53, 0x7FFFFFFF), // M of record 0 (L = 28)
        patched(good.size() - 20, 5),  // spare-series count
    };
    for (size_t cut : {size_t{0}, size_t{3}, size_t{5}, size_t{20}, size_t{64}, good.size() / 2, good.size() - 1})
        bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    for (size_t i = 0; i < bad.size(); ++i) {
        writeFile(bad[i], static_cast<uint32_t>(bad[i].size()));
        SessionData out;
        LoadSessionData(dir.AsPath(), "J", &out);
        EXPECT_TRUE(out.cameras.empty()) << i;
        const std::vector<std::string> alerts = TakeAlerts();
        ASSERT_EQ(alerts.size(), 1u) << i;
        EXPECT_EQ(alerts[0].rfind("Session data could not be loaded (decompress error): " +
                                      dir.File("J-00.00.00.000-D-0-0.qsd") + " (the damaged file was kept as ",
                                  0),
                  0u)
            << alerts[0];
    }
    // A claimed length no block of this size can produce, a 0-byte file, and junk.
    writeFile(good, 0x7E000000);
    std::vector<std::vector<uint8_t>> raw = {{}, {0, 0, 0, 29}, {0, 0, 0, 29, 0xFF, 0xFF, 0xFF}};
    for (const auto& r : raw) {
        std::ofstream(dir.File("K-00.00.00.000-D-0-0.qsd"), std::ios::binary)
            .write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
        SessionData out;
        LoadSessionData(dir.AsPath(), "K", &out);
        EXPECT_EQ(TakeAlerts().size(), 1u);
    }
    SessionData out;
    LoadSessionData(dir.AsPath(), "J", &out);
    EXPECT_EQ(TakeAlerts().size(), 1u);
    // A length the block could produce but does not: longer or shorter than it holds.
    for (const size_t claimed : {good.size() + 64, good.size() - 1}) {
        writeFile(good, static_cast<uint32_t>(claimed));
        LoadSessionData(dir.AsPath(), "J", &out);
        EXPECT_TRUE(out.cameras.empty()) << claimed;
        EXPECT_EQ(TakeAlerts().size(), 1u) << claimed;
    }
    // Camera blocks with no records cost 16 bytes each but a whole history in
    // memory: a count past any real session is refused before allocating.
    for (const uint32_t cameras : {1024u, 1025u}) {
        std::vector<uint8_t> many = {0x00, 0x0F, 0x42, 0x4D, 0x01};
        auto put = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) many.push_back(static_cast<uint8_t>(v >> (24 - 8 * i)));
        };
        put(cameras);
        for (uint32_t c = 0; c < cameras; ++c) {
            put(c);
            put(2);
            put(0);
            put(0);
        }
        put(4);
        for (int i = 0; i < 4; ++i) put(0);
        writeFile(many, static_cast<uint32_t>(many.size()));
        LoadSessionData(dir.AsPath(), "J", &out);
        if (cameras == 1024u) {
            EXPECT_EQ(out.cameras.size(), 1024u);
            EXPECT_TRUE(TakeAlerts().empty());
        } else {
            EXPECT_TRUE(out.cameras.empty());
            EXPECT_EQ(TakeAlerts().size(), 1u);
        }
    }
    out.Reset();
    // Another version byte: empty, silent.
    std::vector<uint8_t> v2 = good;
    v2[4] = 2;
    writeFile(v2, static_cast<uint32_t>(v2.size()));
    LoadSessionData(dir.AsPath(), "J", &out);
    EXPECT_TRUE(out.cameras.empty());
    EXPECT_TRUE(TakeAlerts().empty());
    // A missing file: empty, silent.
    LoadSessionData(dir.AsPath(), "Nobody", &out);
    EXPECT_TRUE(TakeAlerts().empty());
}

// One damaged byte must not cost a job's whole history: the file that fails
// to load is renamed before the next save writes under its name.
TEST_F(SessionFileTest, DamagedFileIsMovedAsideBeforeAnythingIsWritten) {
    testsupport::LogCapture log;
    SessionData one;
    one.cameras.push_back(std::make_unique<CameraHistory>());
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "J", one));
    const std::string path = dir.File("J-00.00.00.000-D-0-0.qsd");
    std::vector<uint8_t> damaged = ReadBytes(path);
    damaged[damaged.size() / 2] ^= 0xFF;
    damaged.resize(damaged.size() - 3);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(damaged.data()), static_cast<std::streamsize>(damaged.size()));

    SessionData loaded;
    LoadSessionData(dir.AsPath(), "J", &loaded);
    EXPECT_TRUE(loaded.cameras.empty());
    EXPECT_FALSE(platform::GetFileInfo(Path(path), nullptr)) << "moved, not copied";
    std::vector<std::string> kept;
    for (const std::string& name : platform::ListFolder(dir.AsPath()))
        if (std::regex_match(name, std::regex("J-00\\.00\\.00\\.000-D-0-0\\.qsd\\.damaged-\\d{14}"))) kept.push_back(name);
    ASSERT_EQ(kept.size(), 1u);
    const std::string copy = dir.File(kept[0]);
    EXPECT_EQ(ReadBytes(copy), damaged);
    const std::vector<std::string> alerts = TakeAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Session data could not be loaded (decompress error): " + path +
                             " (the damaged file was kept as " + copy + ")");
    EXPECT_TRUE(log.Contains("ERROR: LoadSessionData | " + path + " could not be loaded; kept as " + copy)) << log.Text();
    EXPECT_TRUE(log.Contains("ERROR: Alert | Session data could not be loaded")) << log.Text();
    std::string session;
    MediaEntry e;
    EXPECT_FALSE(ParseMediaFileName(kept[0], &session, &e)) << "the kept copy is not listed as media";

    // The next save writes a fresh file; the kept copy stays as it was.
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "J", loaded));
    EXPECT_TRUE(platform::GetFileInfo(Path(path), nullptr));
    EXPECT_EQ(ReadBytes(copy), damaged);
}

TEST_F(SessionFileTest, FailedSaveWithoutABackupLogsNoFalseDeletion) {
    testsupport::LogCapture log;
    SessionData one;
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "J", one));
    const std::string path = dir.File("J-00.00.00.000-D-0-0.qsd");
    // Neither the backup copy nor the write can succeed (folders in the way, even for root).
    ASSERT_EQ(mkdir((path + ".bk").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((path + "-saving").c_str(), 0700), 0);
    EXPECT_FALSE(SaveSessionData(dir.AsPath(), "J", one));
    EXPECT_TRUE(log.Contains("ERROR: Platform_Linux - Could not copy from " + path + " to " + path + ".bk")) << log.Text();
    EXPECT_FALSE(log.Contains("Could not delete")) << log.Text();
    EXPECT_TRUE(log.Contains("ERROR: Alert | Session data could not be saved (file error): " + path)) << log.Text();
}

TEST_F(SessionFileTest, FailedSaveKeepsThePreviousFileAndRemovesTheBackup) {
    SessionData one;
    one.cameras.push_back(std::make_unique<CameraHistory>());
    ASSERT_TRUE(SaveSessionData(dir.AsPath(), "J", one));
    const std::string path = dir.File("J-00.00.00.000-D-0-0.qsd");
    const std::vector<uint8_t> before = ReadBytes(path);
    struct stat statBefore {};
    ASSERT_EQ(stat(path.c_str(), &statBefore), 0);
    // A folder where the temporary file would go makes the write fail, even for root.
    ASSERT_EQ(mkdir((path + "-saving").c_str(), 0700), 0);
    SessionData empty;
    EXPECT_FALSE(SaveSessionData(dir.AsPath(), "J", empty));
    const std::vector<std::string> alerts = TakeAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Session data could not be saved (file error): " + path);
    EXPECT_EQ(ReadBytes(path), before);
    // The old file was never rewritten: the backup is not copied back over it.
    struct stat statAfter {};
    ASSERT_EQ(stat(path.c_str(), &statAfter), 0);
    EXPECT_EQ(statAfter.st_ino, statBefore.st_ino);
    EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
    EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
    EXPECT_FALSE(platform::GetFileInfo(Path(path + ".bk"), nullptr));
    SessionData back;
    LoadSessionData(dir.AsPath(), "J", &back);
    EXPECT_EQ(back.cameras.size(), 1u);
    // The temporary name is never taken for a media file.
    std::string session;
    MediaEntry e;
    EXPECT_FALSE(ParseMediaFileName(SessionDataTemporaryPath(Path(path)).Name(), &session, &e));
}

}  // namespace
