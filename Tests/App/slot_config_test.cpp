// Saved slot configurations round-tripped through a real settings file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "App/SlotConfig.h"
#include "Base/Settings.h"
#include "Video/Camera/CameraTestUtil.h"
#include "Video/Camera/Catalogue.h"

namespace {

using namespace picam;
using cameratest::Record;

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
