// The title bar in the "TitleBar" band: the product banner, the session
// button (or in player mode the shown media's title), the crawler readout,
// the window buttons, the bar's own move area with the double-click restore
// from full screen, and the system menu ("SysPopup": UI scale, on-screen
// keyboard). Each button's rectangle goes into the caption-exclusion list so
// the hit test leaves it to the UI; the rest of the band drags the window.
// Closing during a recording asks first ("Close ORVEX Studio"). UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct AppState;

namespace ui {

void DrawTitleBar(AppState& app);

// The session label that fits `region` pixels: characters (whole UTF-8
// sequences) come off its end until text width + padding fits; a text that
// never fits ends empty.
std::string ShortenLabel(std::string text, float region, float padding,
                         const std::function<float(const std::string&)>& width);

// The crawler readout of the moment: per axis with a non-zero divisor the
// distance in hundredths (count / divisor x 100, rounded half away from
// zero); "mm" for unit code 2, else "in"; "Crawler" when X has a value, else
// "Raster"; "[ X, Y ] unit" with both, "V unit" with one.
struct CrawlerReadout {
    bool shown = false;  // at least one axis has a value
    std::string label;   // "Crawler" / "Raster"
    std::string value;
};
CrawlerReadout MakeCrawlerReadout(bool reportsAxis, int64_t countX, int64_t divisorX, int64_t countY, int64_t divisorY,
                                  int32_t units);

// The UI Scale items of the system menu: label and RequestedDpi value.
struct ScaleChoice {
    const char* label;
    int32_t dpi;
};
inline constexpr ScaleChoice kScaleChoices[4] = {{"100%", 96}, {"75%", 128}, {"66%", 144}, {"50%", 192}};

// The close confirmation's record texts, for tests and the title bar.
inline constexpr const char* kCloseTitle = "Close ORVEX Studio";
inline constexpr const char* kCloseMessage = "Recording in progress, are you sure you want to close?";

}  // namespace ui
