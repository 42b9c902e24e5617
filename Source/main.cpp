// ORVEX Studio entry point: start-up, the main loop, shut-down, in the fixed
// order of named steps (each step is a function of its module). The numbers
// are the steps of the start-up and shut-down sequences.
#include <unistd.h>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "App/FrameHooks.h"
#include "App/Gui/Studio.h"
#include "Base/Log.h"
#include "Base/Settings.h"
#include "App/Startup.h"
#include "App/AppSessions.h"
#include "Base/Power.h"
#include "Base/SingleInstance.h"
#include "Base/StopSignals.h"
#include "App/AppSessions.h"
#include "Platform/Platform_Linux/Gui/DisplayWatch.h"
#include "Session/RecordControls.h"
#include "UI/FirmwarePopup.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ServiceMonitor.h"

namespace {

// main's own objects, for the display-lost path below. Set before the main
// loop; UI thread only.
SingleInstance* g_instance = nullptr;
Power* g_power = nullptr;

// The display connection has gone (the X server ended, the desktop session
// closed). Runs on the UI thread inside the Xlib call that saw it: the
// window and everything drawn are lost, so every shut-down step that does
// not need them runs here, in the order of the normal shut-down, and the
// process ends with kExitDisplayLost through _exit (exit() would run static
// destructors while threads still run). Every step is safe when the normal
// shut-down has already done it.
[[noreturn]] void ShutDownWithoutDisplay() {
    static bool started = false;
    if (started) _exit(kExitDisplayLost);  // a failure inside this very path
    started = true;
    AppState& app = App();
    LOGF(LOG_ERROR, LOG_SRC_MAIN, "The display connection was lost: shutting down without the window");
    Recording().holdAwake = nullptr;  // the screen saver lives on the display that has gone
    if (Hooks().emergencyStop) Hooks().emergencyStop(app);  // recordings finished, session data and settings saved
    SaveSettingsAtExit(app.settings, app.dataFolder);       // 1
    StopSessions(app);                                      // 2
    if (g_instance != nullptr) g_instance->Release();       // 3 (no window to destroy)
    StopAllSlots(app);                                      // 4
    StopMediaPlayer();                                      // 5
    picam::StopServiceMonitor();                            // 6
    if (g_power != nullptr) g_power->Stop();
    EndLog();                                               // 12
    _exit(kExitDisplayLost);
}

}  // namespace

int main() {
    // SIGINT/SIGTERM/SIGHUP are blocked before any thread exists so that
    // they always reach the orderly shut-down below.
    BlockStopSignals();
    AppState& app = App();

    // ---- start-up ----
    InstallLogging();                                       // 1
    app.dataFolder = PrepareDataFolder();                   // 2
    BeginLog(app.dataFolder);                               // 3, 4
    LoadStartupSettings(&app.settings, app.dataFolder);     // 5
    SingleInstance instance;
    if (!gui::TakeSingleInstance(instance, app.dataFolder)) return 0;  // 6 (handed over)
    // 7: POSIX sockets need no start-up.
    ChooseStorageFolderAtStartup(app);                      // 8
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Start service monitor");  // 9
    picam::SetVersionGate(9000);
    picam::StartServiceMonitor(gui::MonitorOptionsFromEnvironment());
    ConnectRecentConfigs(app);
    Power power;
    power.Start();  // suspend notifications (logind); carries on without a system bus
    if (!gui::PlaceMainWindow(app) ||                       // 10
        !gui::CreateWindowAndUi(app) ||                     // 11-16
        !gui::InitializeGraphics(app)) {                    // 17
        picam::StopServiceMonitor();
        gui::ReleaseGraphics(app);
        EndLog();
        return 1;
    }
    gui::PrepareUi(app);                                    // 18-21
    ReadSessionData(app);                                   // 22
    // 23: the window shows with the first frame's window mode.
    StartStorageMonitor(app);                               // 24
    g_instance = &instance;
    g_power = &power;
    gui::WatchDisplay(app, ShutDownWithoutDisplay);

    const int exitCode = gui::MainLoop(app, instance, power);  // 25

    // ---- shut-down ----
    SaveSettingsAtExit(app.settings, app.dataFolder);       // 1
    StopSessions(app);                                      // 2 (and the history sampled since the last refresh)
    gui::DestroyWindow(app);                                // 3
    instance.Release();
    StopAllSlots(app);                                      // 4
    StopMediaPlayer();                                      // 5
    ui::FinishFirmwareTransfer();                           // a transfer still running ends first (at most ~8 s)
    picam::StopServiceMonitor();                            // 6
    gui::ReleaseGraphics(app);                              // 7-10
    power.Stop();
    EndLog();                                               // 12
    g_instance = nullptr;
    g_power = nullptr;
    return exitCode;                                        // 13 (0, or kExitDisplayLost after SIGHUP)
}
