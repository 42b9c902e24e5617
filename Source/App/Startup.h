// The start-up and shut-down steps that need no window, in the order the
// entry point runs them. UI thread only; InstallLogging runs before any other
// thread exists.
#pragma once

#include "Base/Path.h"
#include "Base/Settings.h"

// Step 1: the log lock (a process mutex around every line) and level DEBUG.
void InstallLogging();

// Step 2: the local application data folder joined with
// "KAVOR Industries/ORVEX Studio", created with any missing parents. A folder
// that cannot be created shows up later as failures to write the log and
// the settings.
Path PrepareDataFolder();

// Steps 3 and 4: opens the log file in the data folder (standard error only
// when it cannot be opened), then "Begin" and "Load settings".
void BeginLog(const Path& dataFolder);

// Step 5: DPI 144 and the on-screen keyboard off, "settings.ini" of the
// working folder, then that of the data folder (its keys override); tablet
// mode turns the keyboard on and sets DPI 96.
void LoadStartupSettings(Settings* settings, const Path& dataFolder);

// Shut-down step 1: "Exiting app...", "Saving settings", SaveSettings.
void SaveSettingsAtExit(Settings& settings, const Path& dataFolder);

// Shut-down step 12: "End", then the log file is closed.
void EndLog();
