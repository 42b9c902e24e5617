// ORVEX Studio entry point: start-up, the main loop, shut-down, in the fixed
// order of named steps (each step is a function of its module). The numbers
// are the steps of the start-up and shut-down sequences.
#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "App/Gui/Studio.h"
#include "Base/Log.h"
#include "Base/Settings.h"
#include "App/Startup.h"
#include "Base/Power.h"
#include "Base/SingleInstance.h"
#include "Base/StopSignals.h"
#include "App/AppSessions.h"
#include "UI/FirmwarePopup.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ServiceMonitor.h"

int main() {
    // SIGINT/SIGTERM are blocked before any thread exists so that they
    // always reach the orderly shut-down below.
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

    gui::MainLoop(app, instance, power);                    // 25

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
    return 0;                                               // 13
}
