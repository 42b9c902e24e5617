// The parameter catalogue: text tables, preset matching, shown values, and
// saved slot configurations round-tripped through a real settings file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "App/Settings.h"
#include "CameraTestUtil.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/SlotConfig.h"

namespace {

using namespace picam;

ParamRecord Record(int32_t value, int32_t minimum, int32_t maximum, int32_t defaultValue, int32_t num = 1,
                   int32_t den = 1) {
    ParamRecord r;
    InitParamRecord(&r);
    r.value = value;
    r.minimum = minimum;
    r.maximum = maximum;
    r.defaultValue = defaultValue;
    r.scaleNum = num;
    r.scaleDen = den;
    return r;
}

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

// ---- saved slot configurations --------------------------------------------------------
class SlotConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitParamGroup(table.get());
        table->params[Brightness] = Record(50, 0, 100, 50);
        table->params[Sharpness] = Record(30, -100, 100, 0);
        table->params[LightLevel] = Record(80, 0, 100, 0);
        table->params[ProcessorTemperature] = Record(452, -400, 1250, 0);  // read-only: never saved
        table->params[200] = Record(9, 0, 10, 1);                          // outside the exchange, settable
        ParamRecord iso = Record(400, 0, 0, 0);
        iso.optionCount = 2;
        iso.options[0] = 100;
        iso.options[1] = 400;
        table->params[Iso] = iso;
    }
    void TearDown() override { ConnectRecentConfigHook(nullptr); }

    std::unique_ptr<ParamGroup> table = std::make_unique<ParamGroup>();
    cameratest::TempFolder folder;
    cameratest::LogCapture log;
};

TEST_F(SlotConfigTest, SaveKeepsOnlyNonDefaultSettableValues) {
    Settings settings;
    SaveSlotConfig(*table, 0, false, true, &settings);
    ASSERT_EQ(settings.CameraConfigs.size(), 1u);
    const CameraConfig& c = settings.CameraConfigs[0];
    EXPECT_EQ(c.Name, "<recent-primary>");
    EXPECT_FALSE(c.EnableRecord);
    EXPECT_TRUE(c.EnableCapture);
    ASSERT_EQ(c.Params.size(), 4u);
    EXPECT_EQ(c.Params[0].index, LightLevel);
    EXPECT_EQ(c.Params[1].index, Sharpness);
    EXPECT_EQ(c.Params[2].index, Iso);
    EXPECT_EQ(c.Params[3].index, 200);
    EXPECT_TRUE(c.Messages.empty());

    // Back at its default, a value disappears at the next save; the record
    // is replaced, not added.
    table->params[Sharpness].value = 0;
    SaveSlotConfig(*table, 0, true, true, &settings);
    ASSERT_EQ(settings.CameraConfigs.size(), 1u);
    EXPECT_EQ(settings.CameraConfigs[0].Params.size(), 3u);
    SaveSlotConfig(*table, 1, true, true, &settings);
    ASSERT_EQ(settings.CameraConfigs.size(), 2u);
    EXPECT_EQ(settings.CameraConfigs[1].Name, "<recent-satellite>");
}

TEST_F(SlotConfigTest, RoundTripThroughTheSettingsFile) {
    // The hook sees a plain slot table: unit 0 channel 0 and 1, unit 1 ignored.
    ConnectRecentConfigHook([this] {
        return std::vector<SlotConfigSource>{{0, 0, table.get(), false, true},
                                             {1, 0, table.get(), true, false},
                                             {0, 1, table.get(), true, false}};
    });
    Settings settings;
    CameraConfig other;
    other.Name = "Inspection";
    other.Messages.push_back({2, "Left pipe"});
    settings.CameraConfigs.push_back(other);
    ASSERT_TRUE(SaveSettings(settings, Path(folder.Dir())));

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path(folder.Dir()).Append("settings.ini"), &bytes));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[Camera Config]\r\nName=<recent-primary>\r\nEnableRecord=false\r\nEnableCapture=true\r\n"
                        "Param_36=80\r\nParam_80=30\r\nParam_84=400\r\nParam_200=9\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Param_7="), std::string::npos);
    EXPECT_NE(text.find("Message_2=Left pipe"), std::string::npos);

    Settings loaded;
    ASSERT_TRUE(ReadSettings(Path(folder.Dir()), &loaded));
    // A fresh camera table at defaults, with a narrower Iso list: 400 refused.
    auto fresh = std::make_unique<ParamGroup>();
    InitParamGroup(fresh.get());
    fresh->params[Sharpness] = Record(0, -100, 100, 0);
    fresh->params[LightLevel] = Record(0, 0, 100, 0);
    ParamRecord iso = Record(0, 0, 0, 0);
    iso.optionCount = 1;
    iso.options[0] = 100;
    fresh->params[Iso] = iso;
    bool record = true, capture = false;
    ASSERT_TRUE(RestoreSlotConfig(loaded, 0, fresh.get(), &record, &capture));
    EXPECT_FALSE(record);
    EXPECT_TRUE(capture);
    EXPECT_EQ(fresh->params[Sharpness].value, 30);
    EXPECT_EQ(fresh->params[Iso].value, 0);         // refused by the option list
    EXPECT_EQ(fresh->params[LightLevel].value, 0);  // never restored
    EXPECT_EQ(fresh->params[200].value, 0);         // null record: refused

    ASSERT_TRUE(RestoreSlotConfig(loaded, 1, fresh.get(), &record, &capture));
    EXPECT_TRUE(record);
    EXPECT_FALSE(capture);
}

TEST_F(SlotConfigTest, RestoreSkipsPairsOutsideTheTableAndCopiesMessages) {
    Settings settings;
    CameraConfig c;
    c.Name = "<recent-satellite>";
    c.Params = {{-1, 5}, {256, 5}, {Brightness, 70}, {100000, 1}};
    c.Messages = {{16, "no"}, {-3, "no"}, {CameraName, std::string(300, 'n')}, {AxisLabel, "Y"}};
    settings.CameraConfigs.push_back(c);
    bool record = true, capture = true;
    EXPECT_FALSE(RestoreSlotConfig(settings, 0, table.get(), &record, &capture));  // no primary config
    ASSERT_TRUE(RestoreSlotConfig(settings, 1, table.get(), &record, &capture));
    EXPECT_EQ(table->params[Brightness].value, 70);
    EXPECT_EQ(strlen(table->messages[CameraName]), 255u);
    EXPECT_STREQ(table->messages[AxisLabel], "Y");
    EXPECT_EQ(table->messages[15][0], 0);
}

}  // namespace
