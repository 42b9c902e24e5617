// Pure rules of the main window, its bars, the camera views and the shared
// popups: tables of cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "App/AppState.h"
#include "UI/CameraView.h"
#include "UI/CameraViewLayout.h"
#include "UI/ConfirmDialog.h"
#include "UI/FileCopyPopup.h"
#include "UI/Guides.h"
#include "UI/LayoutMath.h"
#include "UI/MainWindow.h"
#include "UI/TitleBar.h"

namespace {

// ---- title bar ---------------------------------------------------------------------------

// Every byte is 10 pixels wide, so the fit is easy to see.
float TenPerByte(const std::string& text) { return 10.0f * float(text.size()); }

TEST(TitleBar, SessionLabelShortensFromItsEnd) {
    struct Case {
        const char* text;
        float region, padding;
        const char* shown;
    } cases[] = {
        {"Pipe 7", 100, 32, "Pipe 7"},           // 60 + 32 fits in 100
        {"Pipe 7", 92, 32, "Pipe 7"},            // exactly fits
        {"Pipe 7", 91, 32, "Pipe "},             // one character off
        {"Culvert north 2024", 120, 32, "Culvert "},
        {"Anything", 31, 32, ""},                // never fits: empty
        {"", 10, 32, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::ShortenLabel(c.text, c.region, c.padding, TenPerByte), c.shown) << c.text << " in " << c.region;
    }
    // A character of several bytes goes as a whole: "Straße" loses "e", then "ß" (2 bytes).
    EXPECT_EQ(ui::ShortenLabel("Stra\xC3\x9F" "e", 60 + 32, 32, TenPerByte), "Stra\xC3\x9F");
    EXPECT_EQ(ui::ShortenLabel("Stra\xC3\x9F" "e", 50 + 32 - 1, 32, TenPerByte), "Stra");
}

TEST(TitleBar, CrawlerReadoutTexts) {
    struct Case {
        bool reports;
        int64_t x, dx, y, dy;
        int32_t units;
        bool shown;
        const char* label;
        const char* value;
    } cases[] = {
        {true, 12345, 100, 0, 0, 2, true, "Crawler", "123.45 mm"},
        {true, 12345, 100, 0, 0, 3, true, "Crawler", "123.45 in"},
        {true, 0, 0, -250, 100, 2, true, "Raster", "-2.50 mm"},
        {true, 65536 * 3 / 2, 65536, 65536 * 5, 65536, 2, true, "Crawler", "[ 1.50, 5.00 ] mm"},
        // Half a hundredth rounds away from zero in both directions.
        {true, 1125, 1000, 0, 0, 2, true, "Crawler", "1.13 mm"},
        {true, -1125, 1000, 0, 0, 2, true, "Crawler", "-1.13 mm"},
        {true, 0, 0, 0, 0, 2, false, "", ""},       // no divisor on either axis
        {false, 12345, 100, 0, 0, 2, false, "", ""},  // the crawler reports no axis
    };
    for (const Case& c : cases) {
        const ui::CrawlerReadout r = ui::MakeCrawlerReadout(c.reports, c.x, c.dx, c.y, c.dy, c.units);
        EXPECT_EQ(r.shown, c.shown) << c.value;
        EXPECT_EQ(r.label, c.label);
        EXPECT_EQ(r.value, c.value);
    }
}

TEST(TitleBar, ScaleChoicesAndCloseTexts) {
    const int dpi[4] = {96, 128, 144, 192};
    const char* labels[4] = {"100%", "75%", "66%", "50%"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ui::kScaleChoices[i].dpi, dpi[i]);
        EXPECT_STREQ(ui::kScaleChoices[i].label, labels[i]);
    }
    EXPECT_STREQ(ui::kCloseTitle, "Close ORVEX Studio");
    EXPECT_STREQ(ui::kCloseMessage, "Recording in progress, are you sure you want to close?");
}

// ---- main window geometry ------------------------------------------------------------------

TEST(MainWindow, BandsAndDockedPanels) {
    EXPECT_FLOAT_EQ(ui::ControlBarHeight(1.0f, false, false), 88);
    EXPECT_FLOAT_EQ(ui::ControlBarHeight(1.0f, true, false), 88);
    EXPECT_FLOAT_EQ(ui::ControlBarHeight(1.0f, true, true), 108);
    EXPECT_FLOAT_EQ(ui::ControlBarHeight(1.0f, false, true), 88);  // the band only in player mode
    EXPECT_FLOAT_EQ(ui::ControlBarHeight(96.0f / 144.0f, true, true), 13 + 58);

    struct Case {
        float W, s;
        uint32_t flags;
        bool player, connected;
        float settingsX, settingsW, diagX, fileX, lightX, lightY, body;
    } cases[] = {
        // Settings and diagnostics together at W = 1600: settings 1020..1600, diagnostics from R = 1020 - 1200 -> 0.
        {1600, 1, PanelSettings | PanelDiagnostics, false, true, 1020, 580, 0, 0, 0, 0, 0},
        {1280, 1, PanelSettings, false, true, 700, 580, 0, 0, 0, 0, 700},
        {1280, 1, PanelLight, false, true, 0, 0, 0, 0, 1078, 48 + 664 - 600, 1280},
        {1280, 1, PanelFileList, true, true, 0, 0, 0, 840, 0, 0, 840},
        {1280, 1, PanelFileList, false, true, 0, 0, 0, 0, 0, 0, 1280},  // the file list only in player mode
        {1280, 1, PanelDiagnostics, false, false, 0, 0, 0, 0, 0, 0, 1280},  // no camera: no diagnostics
        {1920, 0.5f, PanelSettings, false, true, 1630, 290, 0, 0, 0, 0, 1630},
    };
    for (const Case& c : cases) {
        const ui::DockedPlaces p = ui::PlaceDockedPanels(c.W, 48, 664, c.s, c.flags, c.player, c.connected);
        EXPECT_FLOAT_EQ(p.settings.x, c.settingsX) << c.W << " " << c.flags;
        EXPECT_FLOAT_EQ(p.settings.w, c.settingsW);
        if (c.flags & PanelDiagnostics && c.connected) {
            EXPECT_FLOAT_EQ(p.diagnostics.x, c.diagX);
            EXPECT_FLOAT_EQ(p.diagnostics.w, 1200 * c.s);
        } else {
            EXPECT_FLOAT_EQ(p.diagnostics.w, 0);
        }
        EXPECT_FLOAT_EQ(p.fileList.x, c.fileX);
        EXPECT_FLOAT_EQ(p.light.x, c.lightX);
        EXPECT_FLOAT_EQ(p.light.y, c.lightY);
        EXPECT_FLOAT_EQ(p.bodyWidth, c.body);
    }
}

TEST(MainWindow, InsetResizeClamps) {
    const float a = 16.0f / 9.0f, w0 = 1200, h0 = 675;
    struct Case {
        float width, dx, dy, scale;
    } cases[] = {
        {480, 5000, 3000, 0.8f},     // far up-left: 0.8
        {480, -5000, -3000, 0.2f},   // far down-right: 0.2
        {480, 120, 0, 0.5f},         // 120 pixels wider
        {480, 0, 67.5f, 0.5f},       // 67.5 taller (dominant axis y): width follows by the aspect
        {480, 120, 60, 0.5f},        // x dominates: only x counts
        {960, 300, 0, 0.8f},         // already at the top
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ui::OverlapResize(c.width, c.width / a, w0, h0, a, c.dx, c.dy), c.scale, 1e-4)
            << c.width << " " << c.dx << " " << c.dy;
    }
}

TEST(MainWindow, SplitterMinimumSizes) {
    struct Case {
        float length, cross, a1, a2, s;
        bool splitter;
        float minimum1, minimum2;
    } cases[] = {
        // Side by side 1600 x 664, two 16:9 pictures: 1600 - 664 x 16/9 = 419.5.
        {1600, 664, 16.0f / 9, 16.0f / 9, 1, true, 417, 419},
        // A 4:3 first and a 16:9 second.
        {1600, 664, 4.0f / 3, 16.0f / 9, 1, true, 417, 714},
        // At scale 0.5 the 2 s gap is 1 pixel.
        {1600, 664, 16.0f / 9, 16.0f / 9, 0.5f, true, 418, 419},
        // Long cross: the floor of twice the splitter icon (64).
        {1000, 900, 16.0f / 9, 16.0f / 9, 1, true, 64, 64},
        // Wide enough for both halves: no splitter.
        {1000, 200, 16.0f / 9, 16.0f / 9, 1, false, 0, 0},
    };
    for (const Case& c : cases) {
        const ui::SplitParts p = ui::SplitLayout(c.length, c.cross, c.a1, c.a2, 0.5f, c.s, 32);
        EXPECT_EQ(p.splitter, c.splitter) << c.length << "x" << c.cross;
        EXPECT_FLOAT_EQ(p.minimum1, c.minimum1) << c.length << "x" << c.cross << " a1 " << c.a1;
        EXPECT_FLOAT_EQ(p.minimum2, c.minimum2) << c.length << "x" << c.cross << " a1 " << c.a1;
    }
}

// ---- camera view --------------------------------------------------------------------------------

TEST(CameraView, RecordingTimeAndMark) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {{0, "00:00"}, {65, "01:05"}, {3599.9, "59:59"}, {3600, "01:00:00"}, {3725, "01:02:05"},
                 {-3, "00:00"}};
    for (const Case& c : cases) EXPECT_EQ(ui::RecordingTimeText(c.seconds), c.text) << c.seconds;
    // It pulses every 4/3 s: full at 0, half at 2/3 s.
    EXPECT_EQ(ui::RecordingMarkAlpha(0), 255);
    EXPECT_EQ(ui::RecordingMarkAlpha(2.0 / 3.0), 127);
    EXPECT_EQ(ui::RecordingMarkAlpha(4.0 / 3.0), 255);
}

TEST(CameraView, FlashAndHighlightMoveTowardsTheirTargets) {
    float a = 0;
    for (int i = 0; i < 60; ++i) a = ui::FlashStep(a, true, 1.0f / 60);
    EXPECT_NEAR(a, 0.85f, 1e-3);
    for (int i = 0; i < 120; ++i) a = ui::FlashStep(a, false, 1.0f / 60);
    EXPECT_FLOAT_EQ(a, 0.0f);  // never below 0
    EXPECT_NEAR(ui::FlashStep(0, true, 1.0f / 60), 0.85f * 0.5f, 1e-6);
    EXPECT_NEAR(ui::HighlightStep(0, true, 1.0f / 64), 0.25f, 1e-6);
    EXPECT_NEAR(ui::HighlightStep(1, false, 1.0f / 64), 0.75f, 1e-6);
    EXPECT_FLOAT_EQ(ui::HighlightStep(0.5f, true, 1.0f), 1.0f);  // a long frame does not overshoot
}

TEST(CameraView, RulerDragToParameterValue) {
    // Rectangle 100 .. 500 along the axis (middle 300, half 200).
    struct Case {
        float pointer, grab;
        int32_t num, den;
        float line;
        int32_t value;
    } cases[] = {
        {300, 0, 1, 1000, 300, 0},
        {400, 0, 1, 1000, 400, 500},        // half way to the edge: 0.5 x 1000
        {500, 0, 1, 1000, 500, 1000},
        {700, 0, 1, 1000, 500, 1000},       // limited to the rectangle
        {-50, 0, 1, 1000, 100, -1000},
        {410, 10, 1, 1000, 400, 500},       // the grab offset is kept
        {333, 0, 1, 100, 333, 16},          // 0.165 x 100 truncated
        {267, 0, 1, 100, 267, -16},         // truncated towards zero
        {400, 0, 2, 1000, 400, 250},        // scale 2/1000
    };
    for (const Case& c : cases) {
        const float line = ui::RulerPosition(c.pointer, c.grab, 100, 500);
        EXPECT_FLOAT_EQ(line, c.line) << c.pointer;
        EXPECT_EQ(ui::RulerParameterValue(line, 100, 500, c.num, c.den), c.value) << c.pointer;
    }
    EXPECT_EQ(ui::RulerParameterValue(300, 100, 100, 1, 1000), 0);  // empty rectangle
    EXPECT_EQ(ui::RulerParameterValue(300, 100, 500, 0, 1000), 0);  // no scale
}

TEST(CameraViewLayout, ButtonsAndQuestions) {
    using ui::LayoutButton;
    struct Case {
        LayoutButton button;
        LayoutKind current;
        bool shownRecording, secondRecording;
        bool ask;
        int mode;
        bool swap, setLayout;
        LayoutKind layout;
    } cases[] = {
        {LayoutButton::Swap, LayoutKind::SingleCamera, true, false, true, ui::ViewSwitchSwap, false, false,
         LayoutKind::SingleCamera},
        {LayoutButton::Swap, LayoutKind::SingleCamera, false, false, false, 0, true, false, LayoutKind::SingleCamera},
        {LayoutButton::Swap, LayoutKind::SplitVertical, true, true, false, 0, true, false, LayoutKind::SingleCamera},
        {LayoutButton::Single, LayoutKind::SplitVertical, false, true, true, ui::ViewSwitchSingle, false, false,
         LayoutKind::SingleCamera},
        {LayoutButton::Single, LayoutKind::SplitVertical, true, false, false, 0, false, true, LayoutKind::SingleCamera},
        {LayoutButton::Single, LayoutKind::SingleCamera, false, true, false, 0, false, true, LayoutKind::SingleCamera},
        {LayoutButton::Overlap, LayoutKind::SingleCamera, true, false, false, 0, false, true, LayoutKind::SplitOverlap},
        {LayoutButton::Stacked, LayoutKind::SplitOverlap, false, false, false, 0, false, true,
         LayoutKind::SplitHorizontal},
        {LayoutButton::SideBySide, LayoutKind::SplitHorizontal, false, false, false, 0, false, true,
         LayoutKind::SplitVertical},
    };
    for (const Case& c : cases) {
        const ui::LayoutAction a = ui::LayoutButtonAction(c.button, c.current, c.shownRecording, c.secondRecording);
        EXPECT_EQ(a.ask, c.ask) << int(c.button) << " in " << int(c.current);
        if (c.ask) {
            EXPECT_EQ(a.mode, c.mode);
        }
        EXPECT_EQ(a.swap, c.swap);
        EXPECT_EQ(a.setLayout, c.setLayout);
        if (c.setLayout) {
            EXPECT_EQ(a.layout, c.layout);
        }
    }
}

// ---- guides -----------------------------------------------------------------------------------------

ui::GuideTextSize NoText(const std::string&) { return {0, 0}; }

TEST(Guides, DisabledDrawsNothing) {
    ui::GuidesSettings g;
    g.enabled = false;
    g.mode = 0x7FF & ~1u;
    EXPECT_TRUE(ui::LayOutGuides(g, 0, 0, 800, 600, NoText).bars.empty());
}

TEST(Guides, LinesAndCrosshairReach) {
    ui::GuidesSettings g;
    g.enabled = true;
    g.mode = 0x7;  // both lines, no ticks: a plus across the whole rectangle
    g.lineWeight = 2;
    ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 800, 600, NoText);
    ASSERT_EQ(s.bars.size(), 4u);
    EXPECT_FLOAT_EQ(s.bars[0].x0, 0);
    EXPECT_FLOAT_EQ(s.bars[1].x1, 800);
    EXPECT_FLOAT_EQ(s.bars[0].y0, 299);
    EXPECT_FLOAT_EQ(s.bars[0].y1, 301);
    EXPECT_FLOAT_EQ(s.bars[2].y0, 0);
    EXPECT_FLOAT_EQ(s.bars[3].y1, 600);
    // 0x187: the lines stop at the crosshair reach C = min(U, max(0.8 hx, 0.8 hy)).
    g.mode = 0x187;
    g.unit = 0.5f;  // U = 200, C = min(200, 320) = 200
    s = ui::LayOutGuides(g, 0, 0, 800, 600, NoText);
    EXPECT_FLOAT_EQ(s.bars[0].x0, 200);
    EXPECT_FLOAT_EQ(s.bars[1].x1, 600);
    EXPECT_FLOAT_EQ(s.bars[2].y0, 100);
    EXPECT_FLOAT_EQ(s.bars[3].y1, 500);
    // Centre x = 1 puts the vertical line on the right edge.
    g.mode = 0x5;
    g.centreX = 1;
    s = ui::LayOutGuides(g, 0, 0, 800, 600, NoText);
    EXPECT_FLOAT_EQ((s.bars[0].x0 + s.bars[0].x1) / 2, 800);
    // Colour packs red in the low byte.
    g.colour[0] = 1, g.colour[1] = 0.5f, g.colour[2] = 0, g.colour[3] = 1;
    EXPECT_EQ(ui::LayOutGuides(g, 0, 0, 800, 600, NoText).colour, 0xFF0080FFu);
}

TEST(Guides, SubdivisionLevels) {
    struct Case {
        uint32_t mode;
        int levels;
        float unit, weight;  // unit in half-widths of an 800-wide rectangle (hx 400)
        int L;
        float step, shrink;
        int numberStep;
    } cases[] = {
        // Levels 3 in base 10, unit 400 px, weight 2: 0.4 and 4 px are below 6, so L = 1 and 40 px;
        // numbers every 5 ticks (200 px apart).
        {0x19, 3, 1.0f, 2, 1, 40, 1, 5},
        // L = 2 in base 10: 4 px spacing with weight 1; shrink 0.5; 1, 5, 10, 50 -> 200 px.
        {0x19, 2, 1.0f, 1, 2, 4, 0.5f, 50},
        // Binary: 400 / 2^5 = 12.5 px at weight 1, L = 5, shrink 0.8; 1, 2, 4 -> 50 px.
        {0x219, 5, 1.0f, 1, 5, 12.5f, 0.8f, 4},
        // Binary, heavy line: 400 / 8 = 50 >= 30 at weight 10 keeps L = 3, shrink 2/3.
        {0x219, 3, 1.0f, 10, 3, 50, 2.0f / 3, 1},
        // Levels 0: one tick per unit.
        {0x19, 0, 0.25f, 1, 0, 100, 1, 1},
    };
    for (const Case& c : cases) {
        ui::GuidesSettings g;
        g.enabled = true;
        g.mode = c.mode;
        g.levels = c.levels;
        g.unit = c.unit;
        g.lineWeight = c.weight;
        const ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 800, 600, NoText);
        EXPECT_EQ(s.subdivision, c.L) << c.mode << " levels " << c.levels;
        EXPECT_FLOAT_EQ(s.step, c.step) << c.mode << " levels " << c.levels;
        EXPECT_FLOAT_EQ(s.shrink, c.shrink) << c.mode << " levels " << c.levels;
        EXPECT_EQ(s.numberStep, c.numberStep) << c.mode << " levels " << c.levels;
    }
    // The decimal number steps: 1, 5, 10, 50, 100, 500, ...; binary 1, 2, 4, ...
    struct Step {
        int base;
        float pixels;
        int n;
    } steps[] = {{10, 48, 1},  {10, 47.9f, 5}, {10, 9.6f, 5},  {10, 9.5f, 10}, {10, 4, 50},
                 {10, 0.5f, 100}, {10, 0.4f, 500}, {10, 0.048f, 1000}, {2, 48, 1}, {2, 3, 16},
                 {2, 1, 64},   {10, 0, 1}};
    for (const Step& c : steps) EXPECT_EQ(ui::GuideNumberStep(c.base, c.pixels), c.n) << c.base << " " << c.pixels;
}

TEST(Guides, TickPlacementDecimal) {
    // Ticks below the line only (0x10), no vertical line: the centre tick is drawn.
    // Rectangle 0..400 x 0..300, unit 0.5 (U = 100), levels 1 -> step 10, tick length 0.1 (T = 20).
    ui::GuidesSettings g;
    g.enabled = true;
    g.mode = 0x1 | 0x10;
    g.levels = 1;
    g.unit = 0.5f;
    g.tickLength = 0.1f;
    g.lineWeight = 1;
    const ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 400, 300, NoText);
    EXPECT_FLOAT_EQ(s.step, 10);
    // left = right = trunc((200 + 0.5) / 10 + 1) = 21: k = 0 at the centre, then 20 each side.
    ASSERT_EQ(s.bars.size(), 41u);
    EXPECT_FLOAT_EQ((s.bars[0].x0 + s.bars[0].x1) / 2, 200);
    EXPECT_FLOAT_EQ((s.bars[1].x0 + s.bars[1].x1) / 2, 190);
    EXPECT_FLOAT_EQ((s.bars[2].x0 + s.bars[2].x1) / 2, 210);
    EXPECT_FLOAT_EQ((s.bars[39].x0 + s.bars[39].x1) / 2, 0);
    EXPECT_FLOAT_EQ((s.bars[40].x0 + s.bars[40].x1) / 2, 400);
    // Hanging below the line at cy = 150: t = T / 2 = 10, from 150 to 170.
    EXPECT_FLOAT_EQ(s.bars[0].y0, 150);
    EXPECT_FLOAT_EQ(s.bars[0].y1, 170);
    // L = 1: every tick has the same length.
    for (const ui::GuideBar& b : s.bars) EXPECT_FLOAT_EQ(b.y1 - b.y0, 20);
}

TEST(Guides, TickPlacementDecimalTwoLevelsAcross) {
    // Horizontal line with ticks above and below (across), levels 2, U = 200 -> step 2 is below 3 x weight 1?
    // 200 / 100 = 2 < 3: L drops to 1 (step 20). Use U = 400 (unit 1): 400 / 100 = 4 >= 3 keeps L = 2.
    ui::GuidesSettings g;
    g.enabled = true;
    g.mode = 0x1 | 0x2 | 0x8 | 0x10;
    g.levels = 2;
    g.unit = 1.0f;
    g.tickLength = 0.05f;  // T = 20 across
    g.lineWeight = 1;
    const ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 800, 600, NoText);
    EXPECT_EQ(s.subdivision, 2);
    EXPECT_FLOAT_EQ(s.step, 4);
    // Bars 0 and 1 are the line; the centre tick is drawn (no vertical line or scale).
    const ui::GuideBar& centre = s.bars[2];
    EXPECT_FLOAT_EQ(centre.y1 - centre.y0, 40);  // across: cy - T .. cy + T
    // k = 1 (not a multiple of 10): half length; k = 10: full.
    const ui::GuideBar& k1 = s.bars[3];
    EXPECT_FLOAT_EQ((k1.x0 + k1.x1) / 2, 396);
    EXPECT_FLOAT_EQ(k1.y1 - k1.y0, 20);
    const ui::GuideBar& k10 = s.bars[2 + 2 * 10 - 1];
    EXPECT_FLOAT_EQ((k10.x0 + k10.x1) / 2, 360);
    EXPECT_FLOAT_EQ(k10.y1 - k10.y0, 40);
}

TEST(Guides, TickPlacementBinaryWithNumbers) {
    // Vertical scale right of the line (0x40), binary, levels 2: U = 400 / 4 = 100 px per unit, step 25.
    ui::GuidesSettings g;
    g.enabled = true;
    g.mode = 0x1 | 0x4 | 0x40 | 0x200 | 0x400;
    g.levels = 2;
    g.unit = 1.0f;  // hx = 400 -> U = 400, step = 100
    g.tickLength = 0.1f;
    g.lineWeight = 1;
    const ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 800, 600, [](const std::string& t) {
        return ui::GuideTextSize{8.0f * float(t.size()), 12.0f};
    });
    EXPECT_EQ(s.subdivision, 2);
    EXPECT_FLOAT_EQ(s.step, 100);
    EXPECT_FLOAT_EQ(s.shrink, 0.5f);
    // 100 px between ticks: every tick may carry a number, but only whole units (multiples of 4) do,
    // and the 600-high rectangle holds ticks 0 .. 3 on each side: no number.
    EXPECT_EQ(s.numberStep, 1);
    EXPECT_TRUE(s.labels.empty());
    // Ticks: bars 0-1 the line; k = 0 is skipped (a vertical line alone does not remove it, 0x2/0x8/0x10 would).
    // up = down = trunc(300.5 / 100 + 1) = 4: k = 0 .. 3.
    const ui::GuideBar& centre = s.bars[2];
    EXPECT_FLOAT_EQ((centre.y0 + centre.y1) / 2, 300);
    EXPECT_FLOAT_EQ(centre.x0, 400);  // right of the line: from cx
    EXPECT_FLOAT_EQ(centre.x1, 440);  // t = T / 2 = 20 each side of cx + 20
    const ui::GuideBar& up1 = s.bars[3];
    EXPECT_FLOAT_EQ((up1.y0 + up1.y1) / 2, 200);
    EXPECT_FLOAT_EQ(up1.x1 - up1.x0, 20);  // k = 1 is not a multiple of 2: half length
    const ui::GuideBar& up2 = s.bars[5];
    EXPECT_FLOAT_EQ((up2.y0 + up2.y1) / 2, 100);
    EXPECT_FLOAT_EQ(up2.x1 - up2.x0, 40);
    EXPECT_EQ(s.bars.size(), 2u + 1 + 2 * 3);

}

TEST(Guides, NumbersAtWholeUnits) {
    // Decimal, levels 0 (a tick per unit), ticks below the line with numbers.
    ui::GuidesSettings g;
    g.enabled = true;
    g.mode = 0x1 | 0x10 | 0x400;
    g.levels = 0;
    g.unit = 0.125f;  // U = 50 px: every tick is numbered (50 >= 48)
    g.tickLength = 0.1f;  // T = 40, t = 20 below the line
    g.lineWeight = 1;
    const auto eightPerByte = [](const std::string& t) { return ui::GuideTextSize{8.0f * float(t.size()), 12.0f}; };
    const ui::GuidesShapes s = ui::LayOutGuides(g, 0, 0, 800, 600, eightPerByte);
    EXPECT_EQ(s.numberStep, 1);
    EXPECT_FLOAT_EQ(s.step, 50);
    // Ticks k = 0 .. 8 each side (trunc(400.5 / 50 + 1) = 9); k = 0 has no number: 16 labels.
    EXPECT_EQ(s.labels.size(), 16u);
    bool found = false;
    for (const ui::GuideLabel& l : s.labels) {
        if (l.text != "1" || std::fabs(l.x - (450 - 4)) > 1e-3) continue;
        found = true;
        EXPECT_FLOAT_EQ(l.y, 300 + 20 + 20 + 2);  // below the tick that hangs from 300 to 340
    }
    EXPECT_TRUE(found);
    // Ticks 5 px apart: numbered every 10 ticks ("10", "20", ...), centred on the tick.
    g.unit = 0.0125f;
    const ui::GuidesShapes dense = ui::LayOutGuides(g, 0, 0, 800, 600, eightPerByte);
    EXPECT_EQ(dense.numberStep, 10);
    found = false;
    for (const ui::GuideLabel& l : dense.labels) found |= l.text == "10" && std::fabs(l.x - (450 - 8)) < 1e-3;
    EXPECT_TRUE(found);
    for (const ui::GuideLabel& l : dense.labels) EXPECT_EQ(std::atoi(l.text.c_str()) % 10, 0) << l.text;
    // Alpha 0 hides the numbers; the ticks are still there.
    g.colour[3] = 0;
    const ui::GuidesShapes hidden = ui::LayOutGuides(g, 0, 0, 800, 600, eightPerByte);
    EXPECT_TRUE(hidden.labels.empty());
    EXPECT_FALSE(hidden.bars.empty());
}

// ---- shared popups -------------------------------------------------------------------------------------

TEST(Popups, ConfirmationButtonsRightToLeft) {
    ui::PopupRecord r;
    r.first = "Cancel";
    r.last = "Save and Switch";
    ui::ConfirmButton b[3];
    ASSERT_EQ(ui::ConfirmButtons(r, b), 2);  // an empty middle label: exactly two buttons
    EXPECT_STREQ(b[0].label, "Cancel");
    EXPECT_EQ(b[0].answer, 0);
    EXPECT_STREQ(b[1].label, "Save and Switch");
    EXPECT_EQ(b[1].answer, 1);
    r.middle = "Add View";
    ASSERT_EQ(ui::ConfirmButtons(r, b), 3);
    EXPECT_STREQ(b[1].label, "Add View");
    EXPECT_EQ(b[1].answer, 2);
    EXPECT_EQ(b[2].answer, 1);
}

TEST(Popups, RequestAndAnswer) {
    ui::PopupRecord r;
    r.result = 3;
    ui::RequestPopup(r, 10, 20);
    EXPECT_EQ(r.openState, ui::PopupRequested);
    EXPECT_EQ(r.result, -1);
    EXPECT_FLOAT_EQ(r.x, 10);
    EXPECT_TRUE(ui::PopupShowing(r));
    r.x = 0;
    ui::RequestPopup(r, 30, 40);  // already asked: unchanged
    EXPECT_FLOAT_EQ(r.x, 0);
    // The answer is taken once, only from the record being asked, once it is closed.
    ui::PopupRecord asked;
    ui::AskConfirmation(asked);
    EXPECT_EQ(ui::ActiveConfirmation(), &asked);
    int answer = -1;
    EXPECT_FALSE(ui::TakeConfirmationAnswer(asked, &answer));  // still open (requested)
    asked.openState = ui::PopupClosed;
    asked.result = 1;
    EXPECT_FALSE(ui::TakeConfirmationAnswer(r, &answer));
    EXPECT_TRUE(ui::TakeConfirmationAnswer(asked, &answer));
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(asked.result, -1);
    EXPECT_EQ(ui::ActiveConfirmation(), nullptr);
    EXPECT_FALSE(ui::TakeConfirmationAnswer(asked, &answer));
}

TEST(Popups, ExportProgressEases) {
    EXPECT_FLOAT_EQ(ui::ExportFraction(0, 0), 0);
    EXPECT_FLOAT_EQ(ui::ExportFraction(200, 50), 0.25f);
    EXPECT_FLOAT_EQ(ui::EaseProgress(0.7f, 1.0f, 1.0f / 60, true), 0);  // restarts on the frame it opens
    EXPECT_NEAR(ui::EaseProgress(0.0f, 1.0f, 0.1f, false), 1.005f * 0.6f, 1e-6);
    EXPECT_FLOAT_EQ(ui::EaseProgress(0.9f, 0.5f, 0.1f, false), 0.5f);  // never past the true value
    // A finished copy: the bar runs up to the end within a second at 60 frames per second.
    float shown = 0;
    int frames = 0;
    while (shown < 0.99f && frames < 600) {
        shown = ui::EaseProgress(shown, 1.0f, 1.0f / 60, false);
        ++frames;
    }
    EXPECT_LT(frames, 60);
    EXPECT_FLOAT_EQ(ui::EaseProgress(shown, 0.0f, 1.0f / 60, false), 0.0f);  // total 0: an empty bar
}

}  // namespace
