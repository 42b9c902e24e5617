// Session records shared by the store, the library scan, the player and the
// file list. Plain values; the session store (UI thread) owns the live ones.
#pragma once

#include <string>
#include <vector>

#include "Base/FileServices.h"
#include "Session/MediaName.h"

// One session found in the storage folder: its name and its media, sorted by
// session time (the data file, time 0, first).
struct Session {
    std::string name;
    std::vector<MediaEntry> media;
};

// What the program knows of one media file: the entry from its name, the file
// facts (filled lazily; lastWrite 0 = not yet known) and, for videos, the
// duration in seconds (0 = not yet measured, -1 = could not be measured).
struct MediaInfo {
    MediaEntry entry;
    platform::FileInfo file;
    double duration = 0;
};
