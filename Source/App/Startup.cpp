#include "App/Startup.h"

#include "Base/Log.h"
#include "Base/Version.h"
#include "Base/FileServices.h"

void InstallLogging() {
    LogUseProcessMutex();
    LogSetLevel(LOG_DEBUG);
}

Path PrepareDataFolder() {
    Path folder = platform::LocalAppDataFolder();
    folder.Append(AppDataSubfolder);
    platform::CreateDirectories(folder);
    return folder;
}

void BeginLog(const Path& dataFolder) {
    LogOpenFile(dataFolder);
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Begin");
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Load settings");
}

void LoadStartupSettings(Settings* settings, const Path& dataFolder) {
    settings->DPI = 144;
    settings->OnScreenKeyboard = false;
    ReadSettings(Path(), settings);
    ReadSettings(dataFolder, settings);
    if (settings->TabletMode) {
        settings->OnScreenKeyboard = true;
        settings->DPI = 96;
    }
}

void SaveSettingsAtExit(Settings& settings, const Path& dataFolder) {
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Exiting app...");
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Saving settings");
    SaveSettings(settings, dataFolder);
}

void EndLog() {
    LOGF(LOG_INFO, LOG_SRC_MAIN, "End");
    LogCloseFile();
}
