// AppState: the one application-state record. The UI thread owns every field
// that names no lock; worker threads touch only the fields with a lock, under
// that lock. Core code: no SDL, GL or ImGui types (the graphics context is
// held through its abstract interface).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "App/InputState.h"
#include "App/WindowMode.h"
#include "Base/Path.h"
#include "Base/SessionClock.h"
#include "Base/Settings.h"
#include "Video/AV/CameraSlot.h"

namespace GL {
class GC;
}

inline constexpr int kCameraSlots = 8;

// PanelFlags bits.
enum PanelFlagBits : uint32_t {
    PanelSettings = 0x01,
    PanelLight = 0x02,
    PanelFileList = 0x08,
    PanelDiagnostics = 0x10,
};

struct AppState {
    Settings settings;
    Path dataFolder;

    // window
    void* window = nullptr;  // the SDL window (opaque here)
    int32_t ClientWidth = 0, ClientHeight = 0;
    int32_t WindowModeRequest = WindowModeNone;
    bool windowMinimized = false;

    // scale
    int32_t RequestedDpi = 144;
    int32_t UiDpi = 144;
    int32_t WindowDpi = 96;
    float UiScale = 96.0f / 144.0f;

    // graphics
    GL::GC* gc = nullptr;
    std::mutex deviceLock;  // every use of the GL context and texture uploads

    // clocks
    int64_t sessionElapsed_us = 0;  // session clock: elapsed, advanced by the main loop (sessionClock)
    SessionClockState sessionClock;  // follows the monotonic clock, leaves out stalls
    int64_t sessionBase_us = 0;     // session clock: base of the current session
    double RunSeconds = 0;

    // video
    AV::CameraSlot slots[kCameraSlots];
    std::vector<AV::CameraSlot*> activeSlots;  // slots whose channel was ready this frame, in binding order
    int boundSlotCount = 0;                    // slots handed out this frame (active or not), from slot 0

    // input
    input::InputState input;

    // UI mode and panels
    bool PlayerMode = false;
    uint32_t PanelFlags = 0;
    int32_t settingsPage = -1;
    int32_t settingsSlot = 0;
    bool guidesEditing = false;  // the Guides page was drawn this frame
    bool viewOverlaysHidden = false;
    bool playerOverlay = true;  // the player draws its overlay (guides) over played media

    // shut-down request (SIGINT/SIGTERM or window close); set from the signal thread
    std::atomic<bool> quitRequested{false};
};

AppState& App();

