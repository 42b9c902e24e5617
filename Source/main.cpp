// ORVEX Studio entry point: start-up, the wait for the end, shut-down, in the
// fixed order of named steps (each step is a function of its module).
#include "App/Settings.h"
#include "App/Startup.h"
#include "Platform/Platform_Linux/StopSignals.h"

int main() {
    // SIGINT/SIGTERM are blocked before any thread exists so that they
    // always reach the orderly shut-down below.
    BlockStopSignals();

    // ---- start-up ----
    InstallLogging();                            // 1
    const Path dataFolder = PrepareDataFolder();  // 2
    BeginLog(dataFolder);                        // 3, 4
    Settings settings;
    LoadStartupSettings(&settings, dataFolder);  // 5

    // ---- running ----
    WaitForStopSignal();

    // ---- shut-down ----
    SaveSettingsAtExit(settings, dataFolder);  // 1
    EndLog();                                  // 12
    return 0;                                  // 13
}
