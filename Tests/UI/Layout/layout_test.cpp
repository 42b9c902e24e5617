// Pure rules of the views, binding, caption, style, widgets, video mesh and
// frame pacing: tables of cases.
#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "App/CameraBinding.h"
#include "Base/Settings.h"
#include "App/Gui/Frame.h"
#include "Platform/GraphicsGL/GCGL.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"
#include "UI/AlertPopup.h"
#include "UI/CameraLayouts.h"
#include "UI/CameraView.h"
#include "UI/LayoutMath.h"
#include "UI/SearchingScreen.h"
#include "UI/Style.h"
#include "UI/Widgets.h"

namespace {

// ---- view geometry ------------------------------------------------------------------

TEST(LayoutMath, PictureFitsTheViewArea) {
    struct Case {
        const char* name;
        ui::ViewRect area;
        float aspect;
        ui::ViewRect expected;
    } cases[] = {
        {"16:9 in a wide area", {0, 48, 1600, 664}, 16.0f / 9.0f, {209, 48, 1181, 664}},
        {"16:9 in a tall area", {0, 0, 800, 1000}, 16.0f / 9.0f, {0, 275, 800, 450}},
        {"unknown aspect: the whole area", {10, 20, 300, 200}, 0.0f, {10, 20, 300, 200}},
        {"fractional area truncates", {0.5f, 0.5f, 100.7f, 100.7f}, 1.0f, {0, 0, 101, 101}},
    };
    for (const Case& c : cases) {
        const ui::ViewRect r = ui::FitPicture(c.area, c.aspect);
        EXPECT_FLOAT_EQ(r.x, c.expected.x) << c.name;
        EXPECT_FLOAT_EQ(r.y, c.expected.y) << c.name;
        EXPECT_FLOAT_EQ(r.w, c.expected.w) << c.name;
        EXPECT_FLOAT_EQ(r.h, c.expected.h) << c.name;
    }
}

TEST(LayoutMath, OverlapInsetAndGrab) {
    // 0.4 in a 1200 x 675 body with a 16:9 stream: 480 x 270 at (718, T + 403).
    const float T = 48;
    const ui::ViewRect r = ui::OverlapInset(1200, 675, T, 16.0f / 9.0f, 0.4f);
    EXPECT_NEAR(r.w, 480, 1e-3);
    EXPECT_NEAR(r.h, 270, 1e-3);
    EXPECT_NEAR(r.x, 718, 1e-3);
    EXPECT_NEAR(r.y, T + 403, 1e-3);
    const float a = 16.0f / 9.0f;
    float w0 = 0, h0 = 0;
    ui::OverlapFullSize(1200, 675, a, &w0, &h0);
    // Dragging far up-left (negated movement is positive) stops at 0.8, far down-right at 0.2.
    EXPECT_FLOAT_EQ(ui::OverlapResize(480, 270, w0, h0, a, 5000, 3000), 0.8f);
    EXPECT_FLOAT_EQ(ui::OverlapResize(480, 270, w0, h0, a, -5000, -3000), 0.2f);
    EXPECT_NEAR(ui::OverlapResize(480, 270, w0, h0, a, 120, 0), 0.5f, 1e-4);
    // No aspect known anywhere: the body's own aspect, never a division by zero.
    const ui::ViewRect fallback = ui::OverlapInset(1000, 500, 0, 0.0f, 0.5f);
    EXPECT_FLOAT_EQ(fallback.w, 500);
    EXPECT_FLOAT_EQ(fallback.h, 250);
}

TEST(LayoutMath, SplitBetweenTwoViews) {
    // Side by side in 1600 x 664: at half length a 16:9 picture is 450 high,
    // shorter than 664, so the views would be letterboxed: a splitter.
    ui::SplitParts p = ui::SplitLayout(1600, 664, 16.0f / 9.0f, 16.0f / 9.0f, 0.5f, 1.0f, 32);
    EXPECT_TRUE(p.splitter);
    EXPECT_FLOAT_EQ(p.size1, 800);
    EXPECT_FLOAT_EQ(p.size2, 800);
    EXPECT_FLOAT_EQ(p.minimum1, std::floor(1600 - 664 * 16.0f / 9.0f - 2));
    // Stacked 16:9 pictures in an 800 x 1000 body (aspects inverted): each half
    // is 800 x 500, wider than 16:9 would need, so no splitter.
    p = ui::SplitLayout(1000, 800, 9.0f / 16.0f, 9.0f / 16.0f, 0.3f, 1.0f, 32);
    EXPECT_FALSE(p.splitter);
    EXPECT_FLOAT_EQ(p.size1, 500);
    EXPECT_FLOAT_EQ(p.size2, 500);
    // Stacked in 1600 x 664 the halves would be pillarboxed: the splitter at 0.3.
    p = ui::SplitLayout(664, 1600, 9.0f / 16.0f, 9.0f / 16.0f, 0.3f, 1.0f, 32);
    EXPECT_TRUE(p.splitter);
    EXPECT_NEAR(p.size1, 199.2f, 1e-3);
    EXPECT_FLOAT_EQ(p.size2, 465);
    // Unknown aspects: even halves.
    p = ui::SplitLayout(1001, 500, 0, 0, 0.7f, 1.0f, 32);
    EXPECT_FALSE(p.splitter);
    EXPECT_FLOAT_EQ(p.size1, 500);
    EXPECT_FLOAT_EQ(ui::ViewAspect(0, 0, 1280, 720, 2.0f), 1280.0f / 720.0f);
    EXPECT_FLOAT_EQ(ui::ViewAspect(640, 480, 1280, 720, 2.0f), 640.0f / 480.0f);
    EXPECT_FLOAT_EQ(ui::ViewAspect(0, 0, 0, 0, 2.0f), 2.0f);
}

TEST(LayoutMath, OverlayFadeAndPlaceholders) {
    EXPECT_FLOAT_EQ(ui::OverlayFade(1.5f), 1.0f);
    EXPECT_FLOAT_EQ(ui::OverlayFade(0.0f), 0.0f);
    EXPECT_NEAR(ui::OverlayFade(0.75f), 1.0f - 0.0625f, 1e-6);
    EXPECT_STREQ(ui::PlaceholderText(10, 0, 2), "Connection Error!");
    EXPECT_STREQ(ui::PlaceholderText(0, 1, 2), "Connecting...");
    EXPECT_STREQ(ui::PlaceholderText(0, 1, 1), "No camera found");
}

TEST(SearchingScreen, DotsStayInsideTheirBox) {
    for (int step = 0; step < 200; ++step) {
        for (int k = 0; k < 5; ++k) {
            const ui::SearchDot d = ui::SearchingDot(step * 0.05, k);
            EXPECT_GE(d.xfrac, 0.0f);
            EXPECT_LE(d.xfrac, 1.0f);
            EXPECT_GE(d.alpha, 0.0f);
            EXPECT_LE(d.alpha, 1.0f);
            EXPECT_GE(d.width, 6.0f - 1e-4f);
            EXPECT_LE(d.width, 128.0f + 1e-4f);
        }
    }
    // At t = 0 dot 0 sits at the left edge, small and invisible.
    const ui::SearchDot d0 = ui::SearchingDot(0.0, 0);
    EXPECT_NEAR(d0.xfrac, 0.0f, 1e-6);
    EXPECT_NEAR(d0.alpha, 0.0f, 1e-6);
    EXPECT_NEAR(d0.width, 6.0f, 1e-4);
}

// ---- camera binding ------------------------------------------------------------------------

TEST(CameraBinding, ViewPositions) {
    struct Case {
        const char* name;
        std::vector<int> in, out;
    } cases[] = {
        {"both keep theirs", {0, 1}, {0, 1}},
        {"swapped keep theirs", {1, 0}, {1, 0}},
        {"same window: second moves on", {0, 0}, {0, 1}},
        {"same window 1", {1, 1}, {1, 0}},
        {"out of range", {5, -1}, {0, 1}},
        {"single slot at 1 goes to 0", {1}, {0}},
        {"three", {2, 2, 0}, {2, 0, 1}},
        {"none", {}, {}},
    };
    for (Case& c : cases) {
        std::vector<int> p = c.in;
        AssignViewPositions(&p);
        EXPECT_EQ(p, c.out) << c.name;
    }
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(CameraBinding, AnnotationText) {
    const std::tm afternoon = LocalTime(2024, 5, 6, 14, 3, 9);
    const int64_t session = (3600LL + 2 * 60 + 3) * 1000000LL + 400000;  // 1 h 2 min 3.4 s
    struct Case {
        const char* name;
        bool textOn;
        const char* caption;
        int date, time, timer;
        std::tm now;
        int64_t session_us;
        const char* expected;
    } cases[] = {
        {"described example", true, "LINE 3", 3, 2, 1, afternoon, session, "LINE 3  2024-05-06  14:03:09  1:02:03"},
        {"0:30 am", false, "x", 0, 3, 0, LocalTime(2024, 5, 6, 0, 30, 0), 0, "0:30 am"},
        {"12:30 pm", false, "", 0, 3, 0, LocalTime(2024, 5, 6, 12, 30, 0), 0, "12:30 pm"},
        {"13:05:07 pm", false, "", 0, 4, 0, LocalTime(2024, 5, 6, 13, 5, 7), 0, "1:05:07 pm"},
        {"text off hides the caption", false, "LINE 3", 1, 1, 0, afternoon, 0, "05/06/2024  14:03"},
        {"date formats 2", false, "", 2, 0, 0, afternoon, 0, "06-05-2024"},
        {"date formats 4", false, "", 4, 0, 0, afternoon, 0, "06.05.2024"},
        {"date formats 5", false, "", 5, 0, 0, afternoon, 0, "2024.05.06"},
        {"timer fraction", false, "", 0, 0, 2, afternoon, session, "1:02:03.4000"},
        {"nothing", true, "", 9, 9, 9, afternoon, session, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeAnnotation(c.textOn, c.caption, c.date, c.time, c.timer, c.now, c.session_us), c.expected)
            << c.name;
    }
    // The text never grows beyond 255 characters.
    const std::string longCaption(300, 'A');
    const std::string text = ComposeAnnotation(true, longCaption.c_str(), 3, 2, 1, afternoon, session);
    EXPECT_EQ(text.size(), 255u);
}

// ---- crawler axis labels -------------------------------------------------------------------

TEST(Binding, AxisLabelsFollowTheCustomNamesAndClampedSelections) {
    struct Case {
        const char* name;
        const char* customX;
        const char* customY;
        int selectX, selectY;
        bool crawler;
        bool overlay;
        const char* labelX;
        const char* labelY;
        int clampedX, clampedY;
    } cases[] = {
        {"defaults", "", "", 0, 0, true, true, "Scan", "Index", 0, 0},
        {"second entries", "", "", 1, 1, true, true, "Crawler", "Raster", 1, 1},
        {"custom third entry", "Pipe A", "Lateral", 2, 2, true, true, "Pipe A", "Lateral", 2, 2},
        {"cleared custom name clamps back", "", "", 2, 2, true, true, "Crawler", "Raster", 1, 1},
        {"negative selection", "", "", -4, -1, true, true, "Scan", "Index", 0, 0},
        {"no crawler leaves selections alone", "", "", 7, -3, false, false, "", "", 7, -3},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.AxisLabelX = c.customX;
        settings.AxisLabelY = c.customY;
        settings.AxisSelectX = c.selectX;
        settings.AxisSelectY = c.selectY;
        const AxisLabels lists = RebuildAxisLabels(settings);
        EXPECT_EQ(lists.x.size(), c.customX[0] ? 3u : 2u) << c.name;
        EXPECT_EQ(lists.y.size(), c.customY[0] ? 3u : 2u) << c.name;
        std::string x, y;
        EXPECT_EQ(SelectAxisLabels(settings, c.crawler, &x, &y), c.overlay) << c.name;
        EXPECT_EQ(x, c.labelX) << c.name;
        EXPECT_EQ(y, c.labelY) << c.name;
        EXPECT_EQ(settings.AxisSelectX, c.clampedX) << c.name;
        EXPECT_EQ(settings.AxisSelectY, c.clampedY) << c.name;
    }
}

// ---- style, fonts, widgets -------------------------------------------------------------------

TEST(Style, SizesAndFonts) {
    EXPECT_EQ(ui::FontPixelSize(0.5f), 14);
    EXPECT_EQ(ui::FontPixelSize(1.0f), 26);
    EXPECT_EQ(ui::FontPixelSize(1.5f), 39);
    struct Case {
        float s;
        ImVec2 windowPadding, itemSpacing, framePadding, touchPadding;
    } cases[] = {
        {1.0f, {10, 12}, {10, 18}, {8, 6}, {9, 9}},
        {0.66f, {6, 7}, {6, 11}, {5, 3}, {5, 5}},
    };
    for (const Case& c : cases) {
        ImGuiStyle style;
        ui::ApplyStyle(&style, c.s);
        EXPECT_FLOAT_EQ(style.WindowPadding.x, c.windowPadding.x) << c.s;
        EXPECT_FLOAT_EQ(style.WindowPadding.y, c.windowPadding.y) << c.s;
        EXPECT_FLOAT_EQ(style.ItemSpacing.x, c.itemSpacing.x) << c.s;
        EXPECT_FLOAT_EQ(style.ItemSpacing.y, c.itemSpacing.y) << c.s;
        EXPECT_FLOAT_EQ(style.FramePadding.x, c.framePadding.x) << c.s;
        EXPECT_FLOAT_EQ(style.FramePadding.y, c.framePadding.y) << c.s;
        EXPECT_FLOAT_EQ(style.TouchExtraPadding.x, c.touchPadding.x) << c.s;
        EXPECT_FLOAT_EQ(style.TouchExtraPadding.y, c.touchPadding.y) << c.s;
        EXPECT_FLOAT_EQ(style.WindowBorderSize, 0);
        EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_WindowBg].x, 0.21f);
        EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_ModalWindowDimBg].w, 0.38f);
    }
    EXPECT_FLOAT_EQ(ui::MenuMarkScale(), 0.666f);
}

class FontAtlas : public ::testing::Test {
protected:
    void SetUp() override { ImGui::CreateContext(); }
    void TearDown() override {
        ImGui::DestroyContext();
        SetResourceFolderForTests("");
    }
};

TEST_F(FontAtlas, FourFontsAtTheScaledSize) {
    SetResourceFolderForTests(ORVEX_BUILD_DIR "/Data");
    ui::BuildStyleAndFonts(1.5f);
    const ui::FontSet& f = ui::Fonts();
    ASSERT_NE(f.regular, nullptr);
    ASSERT_NE(f.mono, nullptr);
    EXPECT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 4);
    EXPECT_FLOAT_EQ(f.regular->FontSize, 39);
    EXPECT_FLOAT_EQ(f.bold->FontSize, 39);
    EXPECT_FLOAT_EQ(f.large->FontSize, 78);
    EXPECT_TRUE(ImGui::GetIO().Fonts->IsBuilt());
    EXPECT_EQ(ImGui::GetIO().IniFilename, nullptr);
}

TEST_F(FontAtlas, MissingFontFilesGetTheBuiltInFont) {
    SetResourceFolderForTests("/nonexistent-orvex-fonts");
    ui::BuildStyleAndFonts(1.0f);
    const ui::FontSet& f = ui::Fonts();
    EXPECT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 4);
    ASSERT_NE(f.bold, nullptr);
    ASSERT_NE(f.large, nullptr);
    EXPECT_FLOAT_EQ(f.large->FontSize, 52);
}

TEST(Widgets, SplitterArithmetic) {
    float a = 3, b = 97;
    ui::SplitterEnforceMinimums(&a, &b, 10, 10);
    EXPECT_FLOAT_EQ(a, 10);
    EXPECT_FLOAT_EQ(b, 90);
    a = 50, b = 50;
    ui::SplitterMove(&a, &b, 10, 20, 1000);
    EXPECT_FLOAT_EQ(a, 80);
    EXPECT_FLOAT_EQ(b, 20);
    ui::SplitterMove(&a, &b, 10, 20, -1000);
    EXPECT_FLOAT_EQ(a, 10);
    EXPECT_FLOAT_EQ(b, 90);
    ui::SplitterMove(&a, &b, 10, 20, 5);
    EXPECT_FLOAT_EQ(a + b, 100);
}

TEST(Widgets, TextBoxAlignment) {
    const ImVec2 box(0, 0), size(200, 40), text(100, 20);
    struct Case {
        int flags;
        ImVec2 origin;
    } cases[] = {
        {18, {50, 10}},  // centred both ways
        {17, {0, 10}},   // left, centred
        {12, {100, 0}},  // right, top
        {74, {50, 0}},   // centred, top, wrapped
        {36, {100, 20}}, // right, bottom
    };
    for (const Case& c : cases) {
        const ImVec2 o = ui::TextBoxOrigin(c.flags, box, size, text);
        EXPECT_FLOAT_EQ(o.x, c.origin.x) << c.flags;
        EXPECT_FLOAT_EQ(o.y, c.origin.y) << c.flags;
    }
    float w = 0, h = 0;
    ui::AlertPopupSize(100, 26, 1.0f, &w, &h);
    EXPECT_FLOAT_EQ(w, 320);
    EXPECT_FLOAT_EQ(h, 166);
    ui::AlertPopupSize(600.2f, 52, 1.0f, &w, &h);
    EXPECT_FLOAT_EQ(w, 681);
}

// ---- video mesh, projection, pacing -------------------------------------------------------------

TEST(VideoMesh, GridOverTheRectangle) {
    std::vector<GL::VideoVertex> v(GL::kVideoMeshVertices);
    std::vector<uint32_t> idx(GL::kVideoMeshIndices);
    int vertexCount = 0;
    // 800 x 450 gives rows = 2: 15 vertices, 48 indices.
    int n = GL::BuildVideoMesh(10, 20, 800, 450, 1.0f, 1080.0f / 1088.0f, v.data(), idx.data(), &vertexCount);
    EXPECT_EQ(n, 48);
    EXPECT_EQ(vertexCount, 15);
    EXPECT_FLOAT_EQ(v[14].x, 810);
    EXPECT_FLOAT_EQ(v[14].y, 470);
    EXPECT_FLOAT_EQ(v[14].v, 1080.0f / 1088.0f);
    const uint32_t firstRow[24] = {0, 1, 5, 1, 6, 5, 1, 2, 6, 2, 7, 6, 2, 3, 7, 3, 8, 7, 3, 4, 8, 4, 9, 8};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(idx[size_t(i)], firstRow[i]) << i;
    for (int i = 0; i < n; ++i) EXPECT_LT(idx[size_t(i)], uint32_t(vertexCount));
    // A zero width draws nothing; a flat rectangle still draws one row; a
    // very tall, narrow one stays inside the arrays.
    EXPECT_EQ(GL::BuildVideoMesh(0, 0, 0, 100, 1, 1, v.data(), idx.data(), &vertexCount), 0);
    EXPECT_EQ(GL::BuildVideoMesh(0, 0, 800, 100, 1, 1, v.data(), idx.data(), &vertexCount), 24);
    n = GL::BuildVideoMesh(0, 0, 1, 100000, 1, 1, v.data(), idx.data(), &vertexCount);
    EXPECT_EQ(n, GL::kVideoMeshMaxRows * 24);
    EXPECT_LE(vertexCount, GL::kVideoMeshVertices);
}

TEST(Projection, PixelZeroIsTheTopLeftCorner) {
    float m[16];
    GL::ProjectionMatrix(1280, 800, m);
    // Row vector (x, y, 0, 1) times the matrix.
    auto apply = [&](float x, float y, float* ox, float* oy) {
        *ox = x * m[0] + y * m[4] + m[12];
        *oy = x * m[1] + y * m[5] + m[13];
    };
    float x, y;
    apply(0, 0, &x, &y);
    EXPECT_FLOAT_EQ(x, -1);
    EXPECT_FLOAT_EQ(y, 1);
    apply(1280, 800, &x, &y);
    EXPECT_FLOAT_EQ(x, 1);
    EXPECT_FLOAT_EQ(y, -1);
    EXPECT_FLOAT_EQ(m[10], 0.5f);
    EXPECT_FLOAT_EQ(m[14], 0.5f);
    EXPECT_FLOAT_EQ(m[15], 1.0f);
}

TEST(FramePacing, ClockClamp) {
    EXPECT_EQ(gui::ClampFrameTime_us(2000000), 33332) << "a 2 s stall advances the clocks by 33,332 us";
    EXPECT_EQ(gui::ClampFrameTime_us(-3), 0);
    EXPECT_EQ(gui::ClampFrameTime_us(16000), 16000);
}

}  // namespace
