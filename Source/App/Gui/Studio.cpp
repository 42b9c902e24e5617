#include "App/Gui/Studio.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "App/AppState.h"
#include "App/FrameHooks.h"
#include "App/FramePacer.h"
#include "App/Gui/EventHandler.h"
#include "App/Gui/Frame.h"
#include "App/Gui/HitTest.h"
#include "App/Gui/Input.h"
#include "App/Gui/WindowPlacement.h"
#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/Version.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/GCGL.h"
#include "Platform/GraphicsGL/Model.h"
#include "Platform/Platform_Linux/Gui/DisplayWatch.h"
#include "Platform/Platform_Linux/Gui/Window.h"
#include "Base/Power.h"
#include "Base/SingleInstance.h"
#include "Base/StopSignals.h"
#include "App/AppSessions.h"
#include "UI/CameraView.h"
#include "UI/Panels.h"
#include "UI/Style.h"
#include "Video/AV/PictureWake.h"
#include "Video/Camera/Mdns.h"

namespace gui {

namespace {

GL::GCGL* g_gc = nullptr;  // owned; app.gc points at it

SDL_Window* Window(AppState& app) { return static_cast<SDL_Window*>(app.window); }

void OnResize(AppState& app, int /*width*/, int /*height*/) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(Window(app), &w, &h);
    app.ClientWidth = w;
    app.ClientHeight = h;
    std::lock_guard<std::mutex> guard(app.deviceLock);
    app.gc->CreateRenderTarget(w, h);
    app.gc->Clear(0, 0, 0, 0);
}

void OnDpiChange(AppState& app) {
    UpdateMinimumSize(Window(app), app.UiScale);
    RebuildForScale(app);
}

}  // namespace

bool TakeSingleInstance(SingleInstance& instance, const Path& dataFolder) {
    if (instance.Acquire(dataFolder)) return true;
    instance.HandOver(200);
    return false;
}

picam::MonitorOptions MonitorOptionsFromEnvironment() {
    picam::MonitorOptions options;
    const char* stem = getenv("ORVEX_CAMERA_STEM");
    if (stem != nullptr && stem[0] != 0 && strlen(stem) < 60) {
        options.stem = stem;
        LOGF(LOG_INFO, LOG_SRC_MAIN, "Camera host names from ORVEX_CAMERA_STEM: %s.local", stem);
    }
    if (MdnsLoopbackOnly())
        LOGF(LOG_INFO, LOG_SRC_MAIN, "Camera discovery on loopback only (ORVEX_MDNS_LOOPBACK_ONLY)");
    return options;
}

bool PlaceMainWindow(AppState& app) {
    if (!StartVideo()) return false;
    input::ScreenRect work, virt;
    DisplayAreas(&work, &virt);
    input::PlaceWindow(&app.settings, work, virt);
    app.RequestedDpi = app.settings.DPI;
    return true;
}

bool CreateWindowAndUi(AppState& app) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();  // 11
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Create window");  // 13
    app.WindowModeRequest = WindowModeApply;
    SDL_Window* window = CreateMainWindow(app.settings, AppName);
    if (window == nullptr) return false;
    app.window = window;
    InstallHitTest(
        window,
        [&app](int x, int y, int width, int height, bool maximized) {
            // Maximized: only the caption counts (no resize edges), as in full screen.
            return input::HitTest(x, y, input::IntRect{0, 0, width, height}, app.UiScale,
                                  app.input.captionExclusions, maximized ? false : app.settings.WindowFullscreen);
        },
        app.UiScale);
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Set touchscreen preferences");  // 16: SDL delivers touch as finger events
    return true;
}

bool InitializeGraphics(AppState& app) {
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Initialize OpenGL");
    g_gc = new GL::GCGL(Window(app));
    if (!g_gc->Initialize()) {
        delete g_gc;
        g_gc = nullptr;
        return false;
    }
    app.gc = g_gc;
    SDL_GL_GetDrawableSize(Window(app), &app.ClientWidth, &app.ClientHeight);
    g_gc->CreateRenderTarget(app.ClientWidth, app.ClientHeight);
    if (!ImGui_ImplOpenGL3_Init("#version 330 core")) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::Initialize : the UI renderer could not start");
        app.gc = nullptr;
        delete g_gc;
        g_gc = nullptr;
        return false;
    }
    return true;
}

void PrepareUi(AppState& app) {
    if (app.settings.TabletMode) {  // 18
        app.UiDpi = app.WindowDpi = 96;
        app.UiScale = 1.0f;
    } else {
        app.WindowDpi = WindowDpi(Window(app));
        app.UiDpi = app.settings.DPI;
        app.UiScale = input::UiScaleFor(app.WindowDpi, app.UiDpi);
    }
    LOGF(LOG_INFO, LOG_SRC_MAIN, "UI scale %.4f (window DPI %d, design DPI %d)", app.UiScale, app.WindowDpi,
         app.UiDpi);
    UpdateMinimumSize(Window(app), app.UiScale);
    ui::BuildStyleAndFonts(app.UiScale);  // 19
    ui::RegisterPanels();
    Hooks().updatePlayerPicture = UpdatePlayerPicture;  // frame step 9
    UiPlatformInit(app);                  // 20
    SetEventHooks(OnResize, OnDpiChange);
    {  // 21
        std::lock_guard<std::mutex> guard(app.deviceLock);
        GL::LoadBuiltInImages(app.gc, app.UiScale);
        GL::LoadCameraModel();
    }
    GL::SetWindowIconFromBuiltIns(Window(app));
}

// While any slot records, neither the system (logind sleep:idle inhibitor)
// nor the display (screen saver) may go idle. The record controls and the
// once-a-second storage check report the state; only changes reach SDL.
static void HoldAwakeWhileRecording(Power& power, bool recording) {
    static bool screenSaverHeld = false;
    power.HoldAwake(recording);
    if (recording == screenSaverHeld) return;
    screenSaverHeld = recording;
    if (recording)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
}

bool WatchDisplay(AppState& app, void (*onLost)()) {
    if (WatchDisplayConnection(Window(app), onLost)) return true;
    LOGF(LOG_DEBUG, LOG_SRC_MAIN, "The window is not on an X11 display: a lost display is not watched");
    return false;
}

namespace {

// The wake-up a video thread sends when its stream queues a picture: one SDL
// user event at a time (the flag is set by the video thread that pushes it
// and cleared by the UI thread when it takes it), so that a UI thread busy
// for a while finds one wake-up, not a queue of them.
Uint32 g_pictureEvent = 0;  // written by the UI thread before the hook is installed
std::atomic<bool> g_pictureEventPending{false};

void OnPictureQueued(void*) {
    if (g_pictureEventPending.exchange(true)) return;
    SDL_Event event{};
    event.type = g_pictureEvent;
    if (SDL_PushEvent(&event) != 1) g_pictureEventPending = false;  // filtered or full: the idle frame shows it
}

int64_t ThreadCpu_us() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Waits for the next event until `wait_us` have passed (SDL counts in whole
// milliseconds: rounded up, so the frame is never started early); a wait of
// 0 only polls.
bool NextEvent(SDL_Event* event, int64_t wait_us) {
    if (wait_us <= 0) return SDL_PollEvent(event) == 1;
    return SDL_WaitEventTimeout(event, static_cast<int>((wait_us + 999) / 1000)) == 1;
}

constexpr int64_t kLongestInputHold_us = 1000000;

bool IsInputEvent(Uint32 type) {
    return (type >= SDL_KEYDOWN && type <= SDL_TEXTINPUT) || (type >= SDL_MOUSEMOTION && type <= SDL_MOUSEWHEEL) ||
           (type >= SDL_FINGERDOWN && type <= SDL_FINGERMOTION);
}

// While a quick press is still being shown to the UI
// (input::QuickPressInFlight), input waits in SDL's queue, and the events
// queued behind it with it, so that their order holds: true when the next
// event is such input. The frames it waits for are due within two display
// refreshes; a minimized window runs no UI frames, so nothing is held then
// (a restore event queued behind held input would never be reached).
bool InputHeldBack(const AppState& app) {
    if (app.windowMinimized || !input::QuickPressInFlight(app.input)) return false;
    SDL_PumpEvents();
    SDL_Event head;
    return SDL_PeepEvents(&head, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 && IsInputEvent(head.type);
}

}  // namespace

int MainLoop(AppState& app, SingleInstance& instance, Power& power) {
    instance.Listen();  // the window exists: a second instance may hand over now
    Recording().holdAwake = [&power](bool recording) { HoldAwakeWhileRecording(power, recording); };
    g_pictureEvent = SDL_RegisterEvents(1);
    if (g_pictureEvent != static_cast<Uint32>(-1)) AV::SetPictureQueuedHook(OnPictureQueued, nullptr);
    else LOGF(LOG_WARN, LOG_SRC_MAIN, "MainLoop | no SDL user event left: new pictures wait for the next frame");
    struct ReleaseHook {
        // `power` outlives the loop only. A video thread that has just read
        // the picture hook may still push one event; SDL outlives the slots.
        ~ReleaseHook() {
            Recording().holdAwake = nullptr;
            AV::SetPictureQueuedHook(nullptr, nullptr);
        }
    } releaseHook;
    pacing::FramePacer pacer;
    pacing::FrameStats stats;
    int64_t heldSince_us = 0;  // when input began to wait for a quick press's frames (0: none waits)
    for (;;) {
        if (StopSignalPending()) {
            if (LastStopSignal() == SIGHUP) {
                // The terminal or the desktop session has gone: the display
                // may follow at any moment, so the recordings are finished
                // and everything saved before the window is touched again.
                LOGF(LOG_WARN, LOG_SRC_MAIN, "Hang-up signal received: emergency stop");
                if (Hooks().emergencyStop) Hooks().emergencyStop(app);
                return kExitDisplayLost;
            }
            LOGF(LOG_INFO, LOG_SRC_MAIN, "Stop signal received");
            return 0;
        }
        if (app.quitRequested.exchange(false)) return 0;  // the title bar's close
        SDL_Event event;
        const int64_t now_us = MonotonicUs();
        if (!InputHeldBack(app)) heldSince_us = 0;
        else if (heldSince_us == 0) heldSince_us = now_us;
        // However slow the frames, input is never held for longer than kLongestInputHold_us.
        if (heldSince_us != 0 && now_us - heldSince_us < kLongestInputHold_us) {
            pacer.InputArrived(now_us);  // the frames that show the press are due now
            const int64_t wait_us = pacer.Wait_us(now_us);
            if (wait_us > 0) {
                SDL_Delay(static_cast<Uint32>((wait_us + 999) / 1000));
                continue;
            }
        } else if (NextEvent(&event, pacer.Wait_us(MonotonicUs()))) {
            if (event.type == g_pictureEvent) {
                g_pictureEventPending = false;  // before the frame pops: a later picture wakes again
                pacer.PictureQueued(MonotonicUs());
                continue;
            }
            pacer.InputArrived(MonotonicUs());
            if (!HandleEvent(app, event)) return 0;
            continue;  // one event per pass; no frame in this pass
        }
        if (pacer.Wait_us(MonotonicUs()) > 0) continue;  // the wait ended early
        if (instance.PollRaiseRequest()) RaiseMainWindow(Window(app));
        if (power.Poll()) {
            LOGF(LOG_WARN, LOG_SRC_MAIN, "EmergencyStop | low power shutdown");
            if (Hooks().emergencyStop) Hooks().emergencyStop(app);
            power.SleepHandled();
        }
        pacing::FrameCost cost;
        cost.woken = pacer.FrameStarted(MonotonicUs());
        const int64_t cpu0_us = ThreadCpu_us();
        RunFrame(app, &cost);
        cost.cpu_us = ThreadCpu_us() - cpu0_us;
        if (cost.picturesLeft) pacer.PicturesWaiting();
        const int64_t end_us = MonotonicUs();
        stats.Add(cost, end_us);
        std::string line;
        if (stats.TakeReport(end_us, &line)) LOGF(LOG_DEBUG, LOG_SRC_MAIN, "%s", line.c_str());
    }
}

void DestroyWindow(AppState& app) {
    // The GL context lives until the graphics objects are released; only the
    // window is hidden now.
    if (app.window != nullptr) SDL_HideWindow(Window(app));
}

void ReleaseGraphics(AppState& app) {
    ui::ReleaseDrawRecords();
    for (AV::CameraSlot& slot : app.slots) slot.currentPicture.reset();
    {
        std::lock_guard<std::mutex> guard(app.deviceLock);
        GL::ReleaseCameraModel();  // 7
        GL::ReleaseBuiltInImages();
    }
    if (ImGui::GetCurrentContext() != nullptr) {
        if (app.gc != nullptr) ImGui_ImplOpenGL3_Shutdown();  // 8
        UiPlatformShutdown();
    }
    app.gc = nullptr;  // 9
    delete g_gc;
    g_gc = nullptr;
    if (ImGui::GetCurrentContext() != nullptr) ImGui::DestroyContext();  // 10
    DestroyMainWindow(Window(app));
    app.window = nullptr;
    StopVideo();
}

}  // namespace gui
