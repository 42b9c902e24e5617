// The Studio's window-side start-up and shut-down steps, each a named call
// that main() runs in order. UI thread only.
#pragma once

#include "Base/Path.h"
#include "Video/Camera/ServiceMonitor.h"

struct AppState;
class SingleInstance;
class Power;

namespace gui {

// Step 6: true when this is the only instance. Otherwise the running one
// has been asked to raise its window (or did not answer) and this process
// ends with exit code 0.
bool TakeSingleInstance(SingleInstance& instance, const Path& dataFolder);

// Step 9: the monitor's options. The host-name stem is the program's own
// ("orvexcam"); ORVEX_CAMERA_STEM replaces it so that tests and side-by-side
// development setups find only their own simulated units.
picam::MonitorOptions MonitorOptionsFromEnvironment();

// Step 10: display areas, DPI clamp, window geometry (SDL video starts here).
bool PlaceMainWindow(AppState& app);
// Steps 11-16: UI context, window (hidden until the first frame), touch preferences.
bool CreateWindowAndUi(AppState& app);
// Step 17: the graphics context and the UI renderer. False: start-up ends with exit code 1.
bool InitializeGraphics(AppState& app);
// Steps 18-21: UI scale, style and fonts, UI platform layer, built-in images and the camera model.
void PrepareUi(AppState& app);

// The display connection's loss runs `onLost` (see WatchDisplayConnection).
bool WatchDisplay(AppState& app, void (*onLost)());

// The main loop: one event per pass, else one frame when the FramePacer
// says one is due (a video thread's wake-up for a queued picture counts as
// an event, so the picture is presented at once); ends on window close,
// SDL_QUIT, SIGINT/SIGTERM (exit code 0) or SIGHUP (after the emergency
// stop; exit code kExitDisplayLost).
int MainLoop(AppState& app, SingleInstance& instance, Power& power);

// Shut-down steps 3 and 7-10: window, images, renderer, graphics context, UI context.
void DestroyWindow(AppState& app);
void ReleaseGraphics(AppState& app);

}  // namespace gui
