// The parameter catalogue: text tables, preset matching and shown values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CameraTestUtil.h"
#include "Video/Camera/Catalogue.h"

namespace {

using namespace picam;
using cameratest::Record;

struct TableCase {
    const char* const* table;
    int count;
    int32_t index;
    const char* expected;  // nullptr: outside the table
};

TEST(Catalogue, TextTables) {
    const TableCase cases[] = {
        {kAwbNames, 11, 0, "Off"},
        {kAwbNames, 11, 10, "Greyworld"},
        {kAwbNames, 11, 11, nullptr},
        {kExposureModeNames, 13, 3, "Night 2"},
        {kExposureModeNames, 13, 12, "Fireworks"},
        {kMeteringNames, 4, 3, "Matrix"},
        {kDateFormatNames, 6, 1, "MM/DD/YYYY"},
        {kDateFormatNames, 6, 5, "YYYY.MM.DD"},
        {kTimeFormatNames, 5, 4, "12h:mm:ss"},
        {kEncoderDisplayNames, 3, 2, "Labels [x,y]"},
        {kStatusCodeNames, 11, 7, "no interface"},
        {kStatusCodeNames, 11, 10, "sensor error"},
        {kH264ProfileNames, 3, 2, "High"},
        {kH264LevelNames, 3, 0, "4.0"},
        {kMeteringNames, 4, -1, nullptr},
    };
    for (const TableCase& c : cases) {
        const char* got = TableText(c.table, c.count, c.index);
        if (!c.expected)
            EXPECT_EQ(got, nullptr) << c.index;
        else
            EXPECT_STREQ(got, c.expected) << c.index;
    }
    EXPECT_EQ(StatusCodeText(1), "ok");
    EXPECT_EQ(StatusCodeText(11), "code 11");
    EXPECT_STREQ(LedThermalText(0), "");
    EXPECT_STREQ(LedThermalText(1), "LED Dimmed");
    EXPECT_STREQ(LedThermalText(7), "LED Shutdown");
    EXPECT_STREQ(DefaultCameraName(0), "PRIMARY");
    EXPECT_STREQ(DefaultCameraName(1), "SATELLITE");
}

TEST(Catalogue, PresetMatching) {
    EXPECT_STREQ(kResolutionPresets[3].label, " 4:3   1640 x 1232");
    EXPECT_STREQ(kImageSizePresets[1].label, "16:9  3280 x 1844 (cropped)");
    struct {
        int32_t w, h, fps;
        int expected;
    } resolution[] = {{1920, 1080, 30, 0}, {1640, 922, 30, 1}, {1640, 1232, 30, 3},
                      {640, 480, 30, 4},   {1920, 1080, 25, -1}, {1280, 1080, 30, -1}};
    for (const auto& c : resolution) EXPECT_EQ(FindResolutionPreset(c.w, c.h, c.fps), c.expected) << c.w << "x" << c.h;
    EXPECT_EQ(FindImageSizePreset(3280, 2464), 0);
    EXPECT_EQ(FindImageSizePreset(3280, 1844), 1);
    EXPECT_EQ(FindImageSizePreset(1640, 1232), -1);
}

TEST(Catalogue, ShownValuesAndVersionTexts) {
    EXPECT_DOUBLE_EQ(ShownValue(Record(452, -400, 1250, 0, 1, 10)), 45.2);
    EXPECT_EQ(ShownValueInt(Record(1500000000, 0, 2000000000, 0)), 1500000000);
    EXPECT_EQ(ShownValueInt(Record(7, 0, 10, 0, 3, 0)), 7);  // zero denominator: raw
    EXPECT_EQ(RawFromShown(Record(0, 0, 10000, 0, 1, 10000), 0.25), 2500);
    EXPECT_DOUBLE_EQ(ZoomFactor(Record(2500, 2500, 10000, 10000, 1, 10000)), 4.0);

    EXPECT_EQ(VersionText(1002003), "1.2.3");
    EXPECT_EQ(VersionText(8999), "0.8.999");
    EXPECT_EQ(VersionText(4294967295u), "4294.967.295");
    EXPECT_EQ(LightingVersionText(0xAA010402), "1.4.2");
    EXPECT_EQ(LightingBuildText(0x20240611), "2024-0611");

    // Rotation raw 2 shows "0", raw 0 shows "180"; positions store back.
    EXPECT_STREQ(kRotationLabels[RotationPosition(2)], "0");
    EXPECT_STREQ(kRotationLabels[RotationPosition(0)], "180");
    for (int p = 0; p < 4; ++p) EXPECT_EQ(RotationPosition(RotationRaw(p)), p);

    // Bitrate 1000..25000 kbit/s gives a 1..25 Mbps slider; 8 stores 8000.
    int lo = 0, hi = 0;
    BitrateSliderRange(Record(8000, 1000, 25000, 8000), &lo, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 25);
    EXPECT_EQ(BitrateFromMbps(8), 8000);

    ParamRecord iso = Record(0, 0, 0, 0);
    iso.optionCount = 3;
    iso.options[0] = 0;
    iso.options[1] = 100;
    iso.options[2] = 800;
    EXPECT_EQ(IsoOptionText(iso, 0), "Auto");
    EXPECT_EQ(IsoOptionText(iso, 800), "800");
    EXPECT_EQ(OptionPosition(iso, 800), 2);
    EXPECT_EQ(OptionPosition(iso, 200), -1);
}

TEST(Catalogue, PollSetsHoldExactlyTheListedIndices) {
    const std::vector<int> group0(std::begin(kPollParamsGroup0), std::end(kPollParamsGroup0));
    EXPECT_EQ(group0, (std::vector<int>{5, 6, 7, 8, 10, 17, 18, 19}));
    const std::vector<int> both(std::begin(kPollParamsBothGroups), std::end(kPollParamsBothGroups));
    EXPECT_EQ(both, (std::vector<int>{20, 21, 22, 23, 32, 36, 41, 42, 43, 44, 47, 48, 49, 50,
                                      51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 74, 75, 76}));
    EXPECT_EQ(kFastPollParam, 23);
}

// Every entry of every label table, in order, exactly as the panels show it.
TEST(Catalogue, EveryTableEntryInOrder) {
    struct Table {
        const char* name;
        const char* const* table;
        int count;
        std::vector<std::string> expected;
    } tables[] = {
        {"AWB", kAwbNames, 11,
         {"Off", "Auto", "Sun", "Cloud", "Shade", "Tungsten", "Fluorescent", "Incandescent", "Flash", "Horizon",
          "Greyworld"}},
        {"exposure", kExposureModeNames, 13,
         {"Off", "Auto", "Night", "Night 2", "Backlight", "Spotlight", "Sports", "Snow", "Beach", "Very Long",
          "Fixed FPS", "Antishake", "Fireworks"}},
        {"metering", kMeteringNames, 4, {"Average", "Spot", "Backlit", "Matrix"}},
        {"date", kDateFormatNames, 6, {"No Date", "MM/DD/YYYY", "DD-MM-YYYY", "YYYY-MM-DD", "DD.MM.YYYY", "YYYY.MM.DD"}},
        {"time", kTimeFormatNames, 5, {"No Time", "24h:mm", "24h:mm:ss", "12h:mm", "12h:mm:ss"}},
        {"encoder", kEncoderDisplayNames, 3, {"No Encoder", "[x,y]", "Labels [x,y]"}},
        {"status", kStatusCodeNames, 11,
         {"unknown", "ok", "timeout", "not connected", "not found", "no interface", "no comms", "no interface",
          "no comms", "fatal", "sensor error"}},
        {"profile", kH264ProfileNames, 3, {"Baseline", "Main", "High"}},
        {"level", kH264LevelNames, 3, {"4.0", "4.1", "4.2"}},
        {"rotation", kRotationLabels, 4, {"0", "90", "180", "270"}},
    };
    for (const Table& t : tables) {
        ASSERT_EQ(static_cast<size_t>(t.count), t.expected.size()) << t.name;
        for (int i = 0; i < t.count; ++i) EXPECT_EQ(std::string(t.table[i]), t.expected[i]) << t.name << " " << i;
    }

    const struct {
        const char* label;
        int32_t width, height, frameRate;
    } resolutions[] = {{"16:9  1920 x 1080", 1920, 1080, 30},
                       {"16:9  1640 x 922", 1640, 922, 30},
                       {"16:9  1280 x 720", 1280, 720, 30},
                       {" 4:3   1640 x 1232", 1640, 1232, 30},
                       {" 4:3   640 x 480", 640, 480, 30}};
    ASSERT_EQ(std::size(kResolutionPresets), std::size(resolutions));
    for (size_t i = 0; i < std::size(resolutions); ++i) {
        EXPECT_STREQ(kResolutionPresets[i].label, resolutions[i].label) << i;
        EXPECT_EQ(kResolutionPresets[i].width, resolutions[i].width) << i;
        EXPECT_EQ(kResolutionPresets[i].height, resolutions[i].height) << i;
        EXPECT_EQ(kResolutionPresets[i].frameRate, resolutions[i].frameRate) << i;
    }
    const struct {
        const char* label;
        int32_t width, height;
    } images[] = {{" 4:3   3280 x 2464 (full)", 3280, 2464}, {"16:9  3280 x 1844 (cropped)", 3280, 1844}};
    ASSERT_EQ(std::size(kImageSizePresets), std::size(images));
    for (size_t i = 0; i < std::size(images); ++i) {
        EXPECT_STREQ(kImageSizePresets[i].label, images[i].label) << i;
        EXPECT_EQ(kImageSizePresets[i].width, images[i].width) << i;
        EXPECT_EQ(kImageSizePresets[i].height, images[i].height) << i;
    }
}

}  // namespace
