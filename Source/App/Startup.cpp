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

namespace {

// The data folder's settings file is rewritten by the first save; one that
// is there but could not be read is renamed first, so the user's
// preferences can still be recovered by hand.
void KeepUnreadableSettingsAside(const Path& dataFolder) {
    Path path = dataFolder;
    path.Append("settings.ini");
    platform::FileInfo info;
    if (!platform::GetFileInfo(path, &info) || info.isDirectory) return;  // missing: the normal first start
    Path movedTo;
    if (platform::MoveAsideDamaged(path, &movedTo))
        LOGF(LOG_WARN, LOG_SRC_MAIN, "LoadSettings | %s could not be read; kept as %s", path.CStr(),
                 movedTo.CStr());
    else
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "LoadSettings | %s could not be read nor moved aside", path.CStr());
}

}  // namespace

void LoadStartupSettings(Settings* settings, const Path& dataFolder) {
    settings->DPI = 144;
    settings->OnScreenKeyboard = false;
    ReadSettings(Path(), settings);
    if (!ReadSettings(dataFolder, settings)) KeepUnreadableSettingsAside(dataFolder);
    ClampSettingsValues(settings);
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
