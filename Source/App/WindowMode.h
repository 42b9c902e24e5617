// Requests for the window's mode, made by the UI (title-bar buttons, keys)
// and applied by the window glue once per frame. UI thread only.
#pragma once

#include <cstdint>

// WindowModeRequest values.
enum WindowModeRequestKind : int32_t {
    WindowModeNone = 0,
    WindowModeApply = 1,
    WindowModeToggleFullscreen = 2,
    WindowModeMaximize = 3,
    WindowModeMinimize = 4,
    WindowModeRestore = 5,
};
