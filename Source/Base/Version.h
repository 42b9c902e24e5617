// Program identity constants.
#pragma once

inline constexpr const char* AppName = "ORVEX Studio";
inline constexpr const char* AppVersion = "1.0.13";
inline constexpr int AppBuild = 216;
inline constexpr const char* AppVersionFormat = "%s (%d)";  // AppVersion, AppBuild
inline constexpr const char* AppInstanceMutex = "KAVOR Industries ORVEX Studio Instance Mutex";
inline constexpr const char* AppWindowClass = "ORVEXWinClass";
inline constexpr const char* AppDataSubfolder = "KAVOR Industries/ORVEX Studio";

#include <string>
std::string AppVersionText();  // "1.0.13 (216)"
