// The value rules of the settings, light, diagnostics, firmware and crawler
// panels, as tables: rotation positions, bitrate in Mbit/s, the zoom window
// with the rotation swap, the crosshair size, the light percentage, status
// names and colours, error-bit names, plot resampling and colour, the
// pending-change state, the firmware texts and the feedback pod list.
#include <gtest/gtest.h>

#include <cstring>

#include "UI/PanelValues.h"

namespace {

picam::ParamRecord Range(int32_t value, int32_t minimum, int32_t maximum, int32_t num = 1, int32_t den = 1) {
    picam::ParamRecord r;
    picam::InitParamRecord(&r);
    r.value = value;
    r.defaultValue = value;
    r.minimum = minimum;
    r.maximum = maximum;
    r.scaleNum = num;
    r.scaleDen = den;
    return r;
}

TEST(PanelValues, RotationPositionsAndLabels) {
    // Raw 2 shows "0", raw 0 "180"; a position p stores (p + 2) mod 4.
    const struct {
        int32_t raw;
        int position;
        const char* label;
    } cases[] = {{2, 0, "0"}, {3, 1, "90"}, {0, 2, "180"}, {1, 3, "270"}};
    for (const auto& c : cases) {
        EXPECT_EQ(picam::RotationPosition(c.raw), c.position) << c.raw;
        EXPECT_EQ(picam::RotationRaw(c.position), c.raw) << c.position;
        EXPECT_STREQ(picam::TableText(picam::kRotationLabels, 4, c.position), c.label);
    }
}

TEST(PanelValues, BitrateInWholeMbps) {
    const picam::ParamRecord r = Range(8000, 1000, 25000);
    int lo = 0, hi = 0;
    picam::BitrateSliderRange(r, &lo, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 25);
    EXPECT_EQ(picam::BitrateMbps(r), 8);
    EXPECT_EQ(picam::BitrateFromMbps(8), 8000);
    EXPECT_EQ(picam::BitrateFromMbps(25), 25000);
}

TEST(PanelValues, ZoomWindowTable) {
    int xi, yi;
    const int swaps[][3] = {{0, 96, 97}, {1, 97, 96}, {2, 96, 97}, {3, 97, 96}};
    for (const auto& s : swaps) {
        ui::ZoomIndices(s[0], &xi, &yi);
        EXPECT_EQ(xi, s[1]) << s[0];
        EXPECT_EQ(yi, s[2]) << s[0];
    }
    struct Case {
        ui::ZoomWindow in;
        double newSize;  // < 0: clamp only
        ui::ZoomWindow out;
    } cases[] = {
        {{0.5, 0.5, 0.5}, -1, {0.5, 0.5, 0.5}},
        {{0.9, 0.9, 0.5}, -1, {0.5, 0.5, 0.5}},      // kept inside the picture
        {{-0.2, 0.1, 0.5}, -1, {0.0, 0.1, 0.5}},
        {{0, 0, 0.1}, -1, {0, 0, 0.25}},             // at most 4x
        {{0, 0, 1.5}, -1, {0, 0, 1.0}},
        {{0, 0, 1.0}, 0.5, {0.25, 0.25, 0.5}},       // zooming keeps the centre
        {{0.5, 0.5, 0.5}, 0.25, {0.625, 0.625, 0.25}},
        {{0.5, 0.5, 0.5}, 1.0, {0, 0, 1.0}},
        {{0.75, 0.0, 0.25}, 0.5, {0.5, 0.0, 0.5}},   // centre near the edge: shifted inside
    };
    for (const Case& c : cases) {
        const ui::ZoomWindow w = c.newSize < 0 ? ui::ClampZoom(c.in) : ui::ResizeZoom(c.in, c.newSize);
        EXPECT_DOUBLE_EQ(w.x, c.out.x) << c.in.x << "," << c.in.y << " " << c.in.size << " -> " << c.newSize;
        EXPECT_DOUBLE_EQ(w.y, c.out.y) << c.in.x << "," << c.in.y << " " << c.in.size << " -> " << c.newSize;
        EXPECT_DOUBLE_EQ(w.size, c.out.size) << c.in.x << "," << c.in.y << " " << c.in.size << " -> " << c.newSize;
    }
    // Reading the window from a table: with rotation position 1 the x of the
    // picture is index 97.
    picam::ParamGroup* g = new picam::ParamGroup;
    picam::InitParamGroup(g);
    g->params[picam::ZoomX] = Range(1000, 0, 7500, 1, 10000);
    g->params[picam::ZoomY] = Range(3000, 0, 7500, 1, 10000);
    g->params[picam::ZoomWidth] = Range(5000, 2500, 10000, 1, 10000);
    g->params[picam::Rotation] = Range(2, 0, 3);
    EXPECT_DOUBLE_EQ(ui::ZoomWindowOf(*g).x, 0.1);
    g->params[picam::Rotation].value = 3;  // position 1, shown 90
    EXPECT_DOUBLE_EQ(ui::ZoomWindowOf(*g).x, 0.3);
    EXPECT_DOUBLE_EQ(ui::ZoomWindowOf(*g).y, 0.1);
    EXPECT_DOUBLE_EQ(ui::ZoomWindowOf(*g).size, 0.5);
    delete g;
}

TEST(PanelValues, CrosshairSize) {
    const picam::ParamRecord width = Range(3280, 1640, 3280);
    const picam::ParamRecord size = Range(100, 0, 1000, 1, 1000);  // 0.1 of half the width
    const int W = ui::CrosshairImageWidth(width);
    EXPECT_EQ(W, 3280);
    EXPECT_DOUBLE_EQ(ui::CrosshairSliderValue(size, W), 164.0);
    const struct {
        double slider;
        int32_t raw;
    } cases[] = {{164, 100}, {1640, 1000}, {16, 9}, {820, 500}};
    for (const auto& c : cases) EXPECT_EQ(ui::CrosshairRaw(size, c.slider, W), c.raw) << c.slider;
    // A scaled image width record: integer arithmetic of the shown maximum.
    EXPECT_EQ(ui::CrosshairImageWidth(Range(0, 0, 6561, 1, 2)), 3280);
}

TEST(PanelValues, LightPercentage) {
    const struct {
        int32_t maximum, value;
        int percent;
        int setPercent;
        int32_t raw;
    } cases[] = {{255, 255, 100, 50, 127}, {255, 0, 0, 100, 255}, {100, 60, 60, 33, 33}, {1000, 999, 99, 1, 10},
                 {0, 0, 0, 50, 0}};
    for (const auto& c : cases) {
        picam::ParamRecord r = Range(c.value, 0, c.maximum);
        EXPECT_EQ(ui::LightPercent(r), c.percent) << c.maximum << " " << c.value;
        EXPECT_EQ(ui::LightRawFromPercent(r, c.setPercent), c.raw) << c.maximum << " " << c.setPercent;
    }
}

TEST(PanelValues, StatusNamesAndColours) {
    const ui::Rgba orange{1, 0.5f, 0, 1}, red{1, 0, 0, 1}, green{0, 1, 0, 1}, violet{0.25f, 0, 1, 1};
    const struct {
        int64_t value;
        const char* name;
        ui::Rgba colour;
    } cases[] = {{0, "unknown", violet},       {1, "ok", green},         {2, "timeout", orange},
                 {3, "not connected", orange}, {4, "not found", orange}, {5, "no interface", orange},
                 {6, "no comms", orange},      {7, "no interface", orange}, {8, "no comms", orange},
                 {9, "fatal", red},            {10, "sensor error", red}};
    for (const auto& c : cases) {
        EXPECT_EQ(ui::StatusName(c.value), c.name) << c.value;
        EXPECT_EQ(ui::StatusColour(c.value), c.colour) << c.value;
    }
    EXPECT_EQ(ui::StatusName(42), "code 42");
    // Status row values: shown value, 0 for a null record, "not found" for a
    // CAM row of a group the unit does not have.
    picam::ParamRecord null;
    picam::InitParamRecord(&null);
    EXPECT_EQ(ui::StatusRowValue(null, false, 0, 2), 0);
    EXPECT_EQ(ui::StatusRowValue(Range(10, 0, 10), true, 0, 2), 10);
    EXPECT_EQ(ui::StatusRowValue(Range(1, 0, 10), true, 1, 1), 4);  // one-channel unit: CAM 2 not found
    EXPECT_EQ(ui::StatusRowValue(Range(1500000000, 0, 2000000000), false, 0, 1), 1500000000);
}

TEST(PanelValues, ErrorBitsAndRegisters) {
    const struct {
        uint8_t byte;
        const char* digits;
        const char* asl;
        const char* nvm;
    } cases[] = {
        {0x00, "00000000", "ok", "ok"},
        {0x41, "01000001", "SPI ERROR | TJ | ", "SPI ERROR | --- | "},
        {0x80, "10000000", "LIMP | ", "UNSET | "},
        {0xFF, "11111111", "SPI ERROR | VIN | VGG | BSUV | LV HEADROOM | LOW VOUT | TJ | LIMP | ",
         "SPI ERROR | READ FAIL | NOT READ | WRITE FAIL | NOT WRITTEN | --- | --- | UNSET | "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::BinaryDigits(c.byte), c.digits);
        EXPECT_EQ(ui::ErrorBitsText(c.byte, ui::kAslErrorNames), c.asl);
        EXPECT_EQ(ui::ErrorBitsText(c.byte, ui::kNvmErrorNames), c.nvm);
    }
    EXPECT_STREQ(ui::LedHeadingWord(0), "");
    EXPECT_STREQ(ui::LedHeadingWord(1), "Dimmed");
    EXPECT_STREQ(ui::LedHeadingWord(2), "Shutdown");
}

SampleSeries Samples(std::initializer_list<std::pair<int32_t, double>> list) {
    SampleSeries s;
    for (auto [v, t] : list) s.push_back(ParamSample{v, t});
    return s;
}

TEST(PanelValues, PlotResampling) {
    const picam::ParamRecord tenths = Range(0, INT32_MIN, INT32_MAX, 1, 10);
    // Fewer than two samples: nothing.
    EXPECT_TRUE(ui::ResamplePlot(Samples({}), tenths).empty());
    EXPECT_TRUE(ui::ResamplePlot(Samples({{300, 1}}), tenths).empty());
    // Four samples over 8 s: step 2 s, the value holding at 0, 2, 4, 6 s.
    EXPECT_EQ(ui::ResamplePlot(Samples({{300, 0}, {310, 3}, {320, 5}, {330, 8}}), tenths),
              (std::vector<float>{30.0f, 30.0f, 31.0f, 32.0f}));
    // Step of 10 s or more is raised to the next multiple of 10: 2 samples over 30 s give 15 -> 20.
    EXPECT_EQ(ui::ResamplePlot(Samples({{100, 0}, {200, 30}}), tenths), (std::vector<float>{10.0f, 10.0f}));
    // Step 7: points at 0, 7 and 14 s; the 21 s sample is never reached.
    EXPECT_EQ(ui::ResamplePlot(Samples({{100, 0}, {200, 5}, {300, 21}}), tenths), (std::vector<float>{10.0f, 20.0f, 20.0f}));
    // More than 60 samples: 60 points.
    SampleSeries many;
    for (int i = 0; i < 200; ++i) many.push_back(ParamSample{i, i * 0.1});
    EXPECT_EQ(ui::ResamplePlot(many, Range(0, 0, 1000)).size(), 60u);
    // Colour: cyan-ish at the minimum, red at the maximum.
    const ui::Rgba lo = ui::PlotColour(20, 20, 85), hi = ui::PlotColour(85, 20, 85), mid = ui::PlotColour(52.5, 20, 85);
    EXPECT_FLOAT_EQ(lo.r, 0);
    EXPECT_FLOAT_EQ(lo.g, 1);
    EXPECT_GT(lo.b, 0.8f);
    EXPECT_EQ(hi, (ui::Rgba{1, 0, 0, 1}));
    EXPECT_GT(mid.g, 0.9f);  // half way: yellow-green
    EXPECT_EQ(ui::PlotColour(200, 20, 85), hi);  // beyond the range: clamped
}

TEST(PanelValues, DriveSliders) {
    const ui::DriveSlider current = ui::DriveSliderOf(Range(1200, 0, 3000, 1, 1000), true);
    EXPECT_TRUE(current.floating);
    EXPECT_DOUBLE_EQ(current.maximum, 1.8);
    EXPECT_EQ(ui::DriveRawFromShown(Range(1200, 0, 3000, 1, 1000), 1.25), 1250);
    const ui::DriveSlider duty = ui::DriveSliderOf(Range(60, 0, 100), false);
    EXPECT_FALSE(duty.floating);
    EXPECT_DOUBLE_EQ(duty.maximum, 100);
}

TEST(PanelValues, PendingChangesDecideApplyAndUndo) {
    auto* slot = new picam::ParamGroup;
    auto* base = new picam::ParamGroup;
    auto* cam = new picam::ParamGroup;
    for (auto* g : {slot, base, cam}) {
        picam::InitParamGroup(g);
        g->params[picam::Bitrate] = Range(8000, 1000, 25000);
        g->params[picam::FlipHorizontal] = Range(0, 0, 1);
    }
    int32_t pending[picam::kParamCount] = {};
    EXPECT_FALSE(ui::PendingChangesOf(*slot, *base, *cam, pending).apply);
    slot->params[picam::Bitrate].value = 12000;  // edited, not sent
    auto r = ui::PendingChangesOf(*slot, *base, *cam, pending);
    EXPECT_TRUE(r.apply);
    EXPECT_FALSE(r.undo);
    pending[picam::Bitrate] = 1;  // a request in flight hides Apply
    EXPECT_FALSE(ui::PendingChangesOf(*slot, *base, *cam, pending).apply);
    pending[picam::Bitrate] = 0;
    cam->params[picam::Bitrate].value = 12000;  // the camera has it: undo
    r = ui::PendingChangesOf(*slot, *base, *cam, pending);
    EXPECT_FALSE(r.apply);
    EXPECT_TRUE(r.undo);
    // Read-only indices and those below 77 never count.
    slot->params[50].value = 1;
    slot->params[36].value = 9;
    EXPECT_FALSE(ui::PendingChangesOf(*slot, *base, *cam, pending).apply);
    delete slot;
    delete base;
    delete cam;
}

TEST(PanelValues, GuideWordColoursAndFilters) {
    EXPECT_EQ(ui::GuideWorkingCopy(0x1FF), 0x187);
    EXPECT_EQ(ui::GuideWithCrosshairs(0x1, true), 0x181);
    EXPECT_EQ(ui::GuideWithCrosshairs(0x187, false), 0x7);
    EXPECT_TRUE(ui::InvertColourChecked(0));
    EXPECT_FALSE(ui::InvertColourChecked(0xFFFFFF));
    EXPECT_EQ(ui::GuideColourWithOpacity(0xFF2D21E9u, 0x40), 0x402D21E9u);
    for (char c : std::string("\"*/:<>?\\|")) EXPECT_FALSE(ui::NameCharAllowed(static_cast<unsigned char>(c))) << c;
    for (char c : std::string("Pipe 7-A_b.(1)")) EXPECT_TRUE(ui::NameCharAllowed(static_cast<unsigned char>(c))) << c;
    for (char c : std::string("0123456789.-")) EXPECT_TRUE(ui::NumberCharAllowed(static_cast<unsigned char>(c)));
    for (char c : std::string("aZ +e,")) EXPECT_FALSE(ui::NumberCharAllowed(static_cast<unsigned char>(c))) << c;
    double v = 0;
    EXPECT_TRUE(ui::ParseNumberInput("-12.5", &v));
    EXPECT_DOUBLE_EQ(v, -12.5);
    EXPECT_FALSE(ui::ParseNumberInput("", &v));
    EXPECT_FALSE(ui::ParseNumberInput("-", &v));
    int lo, hi;
    ui::LineWeightRange(Range(2, 1, 20), &lo, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 8);
}

TEST(PanelValues, TabLabels) {
    EXPECT_EQ(ui::TabLabel("", 0), "PRIMARY");
    EXPECT_EQ(ui::TabLabel("", 1), "SATELLITE");
    EXPECT_EQ(ui::TabLabel("Left", 0), "Left");
    EXPECT_EQ(ui::TabLabel("Right", 1), "Right(SATELLITE)");
}

TEST(PanelValues, FirmwareTexts) {
    const struct {
        int result;
        const char* alert;
    } cases[] = {
        {1, "The firmware version is already up to date (id=1)"},
        {2, "The update files could not be validated (id=2)"},
        {4, "The update files could not be validated (id=4)"},
        {5, "There is an existing update pending on the camera\nPlease power-cycle the camera (id=5)"},
        {6, "There was an internal error.  Firmware update cancelled. (id=6)"},
        {7, "There was an internal error.  Firmware update cancelled. (id=7)"},
        {200, "There was an internal error.  Firmware update cancelled. (id=200)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::FirmwareResultAlert(c.result), c.alert);
    EXPECT_EQ(ui::FirmwareResultAlert(0), "");
    using ui::FirmwareWait;
    const struct {
        int64_t ms;
        bool found;
        uint32_t version;
        bool restart;
        FirmwareWait state;
    } waits[] = {
        {500, true, 2000000, false, FirmwareWait::Waiting},      // not looked for in the first second
        {8000, true, 2000000, true, FirmwareWait::SuccessRestart},
        {8000, true, 2000001, false, FirmwareWait::Success},
        {1500, true, 1000000, false, FirmwareWait::Problem},     // kept its connection: old version
        {15000, false, 0, false, FirmwareWait::Waiting},
        {20000, false, 0, false, FirmwareWait::Waiting},
        {20001, false, 0, false, FirmwareWait::NoResponse},
    };
    for (const auto& w : waits)
        EXPECT_EQ(ui::FirmwareWaitState(w.ms, w.found, w.version, 2000000, w.restart), w.state) << w.ms;
    EXPECT_NE(std::string(ui::FirmwareWaitText(FirmwareWait::NoResponse)).find("Camera has not responded."),
              std::string::npos);
}

TEST(PanelValues, FeedbackPodCandidates) {
    auto* state = new ScanLinkState;
    memset(state, 0, sizeof *state);
    state->axisItems[0] = {1, 2};
    strcpy(state->itemName[1], "Pod A");
    strcpy(state->itemName[2], "Pod B");
    // Item 1 main input only.
    state->itemScale[1] = 65536;
    state->itemValue[1] = {10, 65536};
    auto pods = ui::PodCandidates(*state, 0);
    ASSERT_EQ(pods.size(), 1u);  // one candidate: no "Feedback Pod:" row
    // Item 1's auxiliary input and item 2 arrive.
    state->itemScale[0x81] = 65536;
    state->itemValue[0x81] = {5, 65536};
    state->itemScale[2] = 65536;
    state->itemValue[2] = {7, 65536};
    state->itemScale[0x82] = 65536;  // no value yet: not offered
    pods = ui::PodCandidates(*state, 0);
    ASSERT_EQ(pods.size(), 3u);
    EXPECT_EQ(pods[0].item, 1);
    EXPECT_EQ(pods[0].name, "Pod A");
    EXPECT_EQ(pods[1].item, 0x81);
    EXPECT_EQ(pods[1].name, "Pod A AUX");
    EXPECT_EQ(pods[2].item, 2);
    EXPECT_TRUE(ui::PodCandidates(*state, 1).empty());
    delete state;
}

}  // namespace
