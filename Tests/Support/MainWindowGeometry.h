// Where the main window's bands and their buttons are on screen, for a
// window at (x0, y0) of w x h pixels at UI scale s, as the title bar and the
// control bar place them. Root-window pixels; one place for every process
// test that clicks the main window.
#pragma once

#include <algorithm>

namespace testsupport {

struct MainWindowGeometry {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    float s = 1;

    // ---- the bands ----
    int T() const { return int(48 * s); }  // title bar height
    int barTop() const { return y0 + h - int(88 * s); }
    int barMiddle() const { return barTop() + int(88 * s) / 2; }
    int titleY() const { return y0 + T() / 2; }

    // ---- control bar: the toggles right to left from the right edge, d apart ----
    int d() const { return int(16 * s) + int(64 * s); }
    int settingsToggleX() const { return x0 + w - d() + int(32 * s); }
    int lightsToggleX() const { return x0 + w - 2 * d() + int(32 * s); }
    // The layout toggle (two views or more) and the five buttons of the popup above it.
    int layoutToggleX() const { return x0 + w - 3 * d() + int(32 * s); }
    int layoutButtonX(int i) const {
        const int right = x0 + w - 3 * d() + int(64 * s);
        const int width = int(2 * 10 * s + 5 * 80 * s + 4 * 10 * s);
        return right - width + int(10 * s) + i * int(90 * s) + int(40 * s);
    }
    int layoutButtonY() const { return barTop() - int(52 * s); }
    int recordX() const { return x0 + 24 + int(48 * s); }

    // ---- title bar ----
    int closeX() const { return x0 + w - int(40 * s) + int(16 * s); }
    // The banner (336 wide) shows when the bar is wider than 1300 s; the
    // rest but the 220 s of window buttons is split into the session region
    // and the crawler region, max(400 s, rest / 2) wide, at the right.
    int bannerWidth() const { return w > int(1300 * s) ? int(336 * s) : 0; }
    int crawlerRegionWidth() const {
        const float rest = float(w) - 220 * s - float(bannerWidth());
        return int(std::max(400 * s, rest / 2));
    }
    int crawlerRegionLeft() const {
        const float rest = float(w) - 220 * s - float(bannerWidth());
        return x0 + bannerWidth() + int(rest - float(crawlerRegionWidth()));
    }
    // The middle of "##CrawlerButton" (label and value centred together).
    int crawlerButtonX() const { return crawlerRegionLeft() + crawlerRegionWidth() / 2; }
    // The middle of its label part, left of the 256-pixel value box: only the
    // label is excluded from the caption, a press on the value drags the window.
    int crawlerLabelX() const { return crawlerButtonX() - 128; }

    // ---- the confirmation dialog's buttons (right to left), its bottom row ----
    int dialogY() const { return y0 + h / 2 + int(88 * s); }
    int dialogX(int fromCentre) const { return x0 + w / 2 + int(float(fromCentre) * s); }
};

}  // namespace testsupport
