#include "Session/StorageFolder.h"

#include "Base/Alerts.h"
#include "Base/FileServices.h"
#include "Base/Log.h"

namespace {

// A folder that exists, or one that does not exist yet and could be created.
bool UsableFolder(const Path& candidate) {
    if (candidate.Empty()) return false;
    platform::FileInfo info;
    if (platform::GetFileInfo(candidate, &info)) return info.isDirectory;
    return platform::CreateDirectories(candidate);
}

}  // namespace

void ChooseStorageFolder(Settings& settings, const Path& dataFolder) {
    settings.ConfiguredSessionDirectory.clear();
    const std::string configured = settings.SessionDirectory;
    if (!configured.empty()) {
        platform::FileInfo info;
        if (platform::GetFileInfo(Path(configured), &info) && info.isDirectory) return;
    }
    LOGF(LOG_DEBUG, LOG_SRC_MAIN, "Invalid session directory ... create new directory");
    std::vector<Path> candidates;
    if (settings.TabletMode) candidates.emplace_back(kTabletStorageFolder);
    const Path documents = platform::DocumentsFolder();
    if (!documents.Empty()) candidates.push_back(Join(documents, "ORVEX Studio"));
    if (!dataFolder.Empty()) candidates.push_back(Join(dataFolder, "Sessions"));
    for (const Path& candidate : candidates) {
        if (!UsableFolder(candidate)) continue;
        settings.SessionDirectory = candidate.Text();
        if (!configured.empty() && configured != candidate.Text()) {
            // A configured folder that is missing (an unplugged disk) is
            // used again at the next start where it exists: this run falls
            // back without changing the setting.
            settings.ConfiguredSessionDirectory = configured;
            LOGF(LOG_ERROR, LOG_SRC_MAIN, "ChooseStorageFolder | the storage folder %s is missing; %s is used for this run, the setting is kept",
                     configured.c_str(), candidate.CStr());
            PostAlert("The storage folder " + configured + " is not available. Media are saved in " + candidate.Text() +
                          " until the program is started again with the folder present.",
                      LOG_ERROR);
        }
        return;
    }
    if (!configured.empty())
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "ChooseStorageFolder | the storage folder %s is missing and no other folder could be used",
                 configured.c_str());
}

std::string StorageDisplayName(const std::string& folder, const std::string& documents) {
    // Only a character after the whole Documents path starts the short form,
    // so the Documents folder itself keeps its full name.
    if (!documents.empty() && folder.size() > documents.size() && folder.compare(0, documents.size(), documents) == 0 &&
        folder[documents.size()] == '/') {
        return "Documents" + folder.substr(documents.size());
    }
    std::string label, mountPoint;
    if (!platform::VolumeLabel(Path(folder), &label, &mountPoint)) return folder;
    if (mountPoint.empty() || folder.compare(0, mountPoint.size(), mountPoint) != 0) return folder;
    std::string rest = folder.substr(mountPoint.size());
    if (!rest.empty() && rest[0] != '/') return folder;  // "/mnt/a" is not inside "/mnt/ab"
    return label + " (" + mountPoint + ")" + rest;
}

std::string StorageDisplayName(const std::string& folder) {
    return StorageDisplayName(folder, platform::DocumentsFolder().Text());
}
