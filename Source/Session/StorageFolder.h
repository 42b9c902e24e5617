// The storage folder: where every session's media and data files live. It is
// chosen once at start-up and shown to the user by a friendly name.
// UI thread.
#pragma once

#include <string>

#include "Base/Path.h"
#include "Base/Settings.h"

// The tablet's fixed storage candidate.
inline constexpr const char* kTabletStorageFolder = "/srv/ORVEX Storage/SessionData";

// Keeps a SessionDirectory that names an existing folder; otherwise takes the
// first candidate that is or can be made a folder: (tablet mode) the tablet
// folder, Documents/ORVEX Studio, <data folder>/Sessions. When none works the
// setting keeps its old value. A configured folder that is missing stays in
// ConfiguredSessionDirectory (what the settings file keeps) and the fallback
// is used for this run only, with an alert and an ERROR line.
void ChooseStorageFolder(Settings& settings, const Path& dataFolder);

// "Documents/..." for a folder inside the Documents folder; otherwise
// "Label (mount point)/rest" for a folder on a mounted file system; else the
// path as it is.
std::string StorageDisplayName(const std::string& folder);
// The same with the Documents folder given (tests).
std::string StorageDisplayName(const std::string& folder, const std::string& documents);
