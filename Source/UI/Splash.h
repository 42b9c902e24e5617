// The splash screen of the first three seconds: the maker's logo rises into
// the centre of a white screen while it fades in (0.9 s), holds (1.8 s), then
// logo and background fade out together (0.3 s) while the main window is
// already drawn beneath. Runs once per process.
//
// Threading: UI thread only.
#pragma once

#include <imgui.h>

namespace GL {
struct ImageQuad;
}
struct AppState;

namespace ui {

enum SplashStateKind : int {
    SplashNotStarted = 0,
    SplashSlidingIn = 1,
    SplashFading = 2,
    SplashFinished = 3,
};

struct SplashState {
    int state = SplashNotStarted;
    double startSeconds = 0.0;  // RunSeconds of the first frame
    float progress = 0.0f;      // of the slide-in, 0..1
    float logoAlpha = 0.0f;
    float level = 1.0f;         // background grey level and alpha
    // While set, the fully faded-in logo stays up: the fade waits. Set by
    // the UI thread each frame before SplashStep.
    bool holdFullLogo = false;
};

// Advances the splash to time t (RunSeconds). Returns whether the splash
// should be drawn this frame at all (false once finished), and sets
// *takesFrame: true while the splash alone fills the frame.
bool SplashStep(SplashState& s, double t, bool* takesFrame);

// Top-left corner of the logo of size (w, h) in a client area of width x
// height: centred horizontally, its centre 80 x uiScale x 2^(-8 progress)
// below the vertical centre.
ImVec2 SplashLogoPosition(float progress, float clientWidth, float clientHeight, float logoWidth, float logoHeight,
                          float uiScale);

// Draws the splash for time t. True while it takes the whole frame.
bool DrawSplash(SplashState& s, double t, float clientWidth, float clientHeight, float uiScale,
                const GL::ImageQuad& logo);
// The program's splash: App()'s clock, client size and scale, the built-in
// maker's logo. ORVEX_SPLASH_HOLD=<file> (screenshot tests, which cannot be
// sure to catch a 2-second splash on a busy machine) keeps the full logo up
// while that file exists.
bool DrawSplash();

}  // namespace ui
