// Sections: clocks; slot pictures and the latency probe; RenderFrame;
// end-of-frame steps; RunFrame.
#include "App/Gui/Frame.h"
#include "Base/Clock.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "App/FramePacer.h"
#include "App/CameraBinding.h"
#include "App/FrameHooks.h"
#include "App/Gui/EventHandler.h"
#include "App/Gui/Input.h"
#include "App/Gui/WindowPlacement.h"
#include "Base/Log.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/Image.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/Platform_Linux/Gui/Window.h"
#include "App/AppSessions.h"
#include "UI/MainWindow.h"
#include "UI/Splash.h"
#include "UI/Style.h"
#include "Video/AV/CameraSlot.h"
#include "Video/AV/LatencyProbe.h"
#include "Video/AV/MediaPlayer.h"

namespace gui {

namespace {

struct FrameClock {
    int64_t frameStart_us = 0;
    double samplerAccumulator = 0;  // seconds
};
FrameClock g_clock;  // UI thread

}  // namespace

// ---- clocks ------------------------------------------------------------------------

int64_t ClampFrameTime_us(int64_t dt) { return std::clamp<int64_t>(dt, 0, 33332); }

// ---- slot pictures --------------------------------------------------------------

void UpdateSlotPicture(AppState& app, AV::CameraSlot* slot) {
    std::shared_ptr<AV::Frame> frame = slot->stream.PopFrame();
    if (frame && app.gc != nullptr) {
        std::lock_guard<std::mutex> guard(app.deviceLock);
        slot->currentPicture = app.gc->UpdateVideoFrame(frame);
        if (slot->latencyProbeOn && slot->currentPicture) {
            GL::Image image;
            if (app.gc->ReadVideoFrame(slot->currentPicture, &image)) {
                const int observed = AV::ClassifyNV12Colour(image.pixels.get(), image.width, image.height);
                AV::LatencyProbeStep(&slot->latencyProbe, observed, MonotonicUs());
            }
        }
    }
    const uint32_t flags = slot->Flags();
    if ((flags & AV::kSlotStreaming) == 0) slot->currentPicture.reset();
    if ((flags & AV::kSlotRecording) == 0) {
        std::lock_guard<std::mutex> guard(slot->lock);
        slot->recordingPath.clear();
        slot->recordingStartTime = 0;
        slot->recordingSessionTime = 0;
    }
}

void UpdatePlayerPicture(AppState& app) {
    if (app.gc == nullptr) return;
    AV::MediaPlayer& player = Player();
    std::shared_ptr<AV::Frame> frame = player.stream.PopFrame();
    if (frame) {
        std::lock_guard<std::mutex> guard(app.deviceLock);
        player.currentPicture = app.gc->UpdateVideoFrame(frame);
    }
    std::shared_ptr<AV::DecodedImage> image;
    {
        std::lock_guard<std::mutex> hold(player.lock);
        image = std::move(player.image);
        player.image.reset();
    }
    if (image) {
        std::lock_guard<std::mutex> guard(app.deviceLock);
        player.imageTexture = app.gc->CreateTexture(image->rgba.data(), image->width, image->height, GL::PixelFormatRGBA);
        if (!player.imageTexture) {
            std::lock_guard<std::mutex> hold(player.lock);
            player.status = "Failed to load image";
        }
    }
}

// ---- RenderFrame ----------------------------------------------------------------

void RenderFrame(AppState& app) {
    if (app.windowMinimized) return;
    ImGui_ImplOpenGL3_NewFrame();  // makes the renderer's device objects on the first frame
    UiPlatformNewFrame(app);
    ImGui::NewFrame();
    if (!ui::DrawSplash()) ui::DrawMainWindow(app);
    ImGui::Render();
}

// ---- end-of-frame steps ------------------------------------------------------------

void RebuildForScale(AppState& app) {
    // Only the font texture depends on the scale. The renderer's shader and
    // buffers are kept: its DestroyDeviceObjects forgets the buffers but not
    // their remembered sizes, so the remade buffers would never get storage
    // again and every later UI draw would upload nothing (only the video
    // callbacks would still draw).
    const bool fontTextureMade = ImGui::GetIO().Fonts->TexID != nullptr;
    ui::BuildStyleAndFonts(app.UiScale);
    if (app.gc == nullptr) return;
    std::lock_guard<std::mutex> guard(app.deviceLock);
    if (fontTextureMade) {  // else the first frame's NewFrame makes it from the new atlas
        ImGui_ImplOpenGL3_DestroyFontsTexture();
        ImGui_ImplOpenGL3_CreateFontsTexture();
    }
    GL::LoadBuiltInImages(app.gc, app.UiScale);
}

namespace {

void ApplyScaleChange(AppState& app) {
    if (app.RequestedDpi == app.settings.DPI) return;
    app.settings.DPI = input::ClampDpi(app.RequestedDpi);
    app.RequestedDpi = app.settings.DPI;
    SaveSettings(app.settings, app.dataFolder);
    app.UiDpi = app.settings.DPI;
    app.UiScale = input::UiScaleFor(app.WindowDpi, app.UiDpi);
    RebuildForScale(app);
    FitWindowToScale(static_cast<SDL_Window*>(app.window), app.settings, app.UiScale);
}

// ORVEX_SCALE_CHANGES=N (the memory benchmark, orvex-bench-screen): N UI
// scale changes through the same path as the system menu's, one every 10
// frames once the first 240 frames are over, between the start-up design
// DPI and 128 (75 % at 96).
void ExerciseScale(AppState& app) {
    static int left = -1, frames = 0, done = 0;
    static int32_t startDpi = 0;
    if (left < 0) {
        const char* value = getenv("ORVEX_SCALE_CHANGES");
        left = value != nullptr ? std::clamp(atoi(value), 0, 100000) : 0;
        startDpi = app.settings.DPI;
        if (left > 0) LOGF(LOG_INFO, LOG_SRC_MAIN, "UI scale exercise | %d changes (ORVEX_SCALE_CHANGES)", left);
    }
    if (left == 0 || ++frames < 240 || frames % 10 != 0) return;
    const int32_t other = startDpi == 128 ? 96 : 128;
    app.RequestedDpi = app.settings.DPI == startDpi ? other : startDpi;
    --left;
    ++done;
    LOGF(LOG_INFO, LOG_SRC_MAIN, "UI scale exercise | change %d to DPI %d", done, int(app.RequestedDpi));
}

// The camera steps (binding, view positions, suspension, slot pictures)
// only pick up what worker threads published; a frame they hold up for long
// means the UI thread waited on a camera thread, which it must never do.
constexpr int64_t kSlowCameraSteps_us = 100000;

void WarnSlowCameraSteps(int64_t took_us) {
    if (took_us > kSlowCameraSteps_us)
        LOGF(LOG_WARN, LOG_SRC_MAIN, "RunFrame | camera steps took %lld ms",
             static_cast<long long>(took_us / 1000));
}

void StorageCheck(AppState& app) {
    // The watchdog (sessions) runs once a second of the monotonic clock,
    // holds the free-space lock while it stops the recordings, and keeps the
    // system and the display awake while anything records.
    if (Hooks().checkStorage) Hooks().checkStorage(app);
}

}  // namespace

// ---- RunFrame ------------------------------------------------------------------------

namespace {

// Steps 1-2: the clamped time since the previous frame. The main loop has
// already waited for this frame to be due (FramePacer).
int64_t PaceFrame() {
    const int64_t now = MonotonicUs();
    if (g_clock.frameStart_us == 0) g_clock.frameStart_us = now;
    const int64_t dt_us = ClampFrameTime_us(now - g_clock.frameStart_us);
    g_clock.frameStart_us = now;
    return dt_us;
}

// The run time (animations) advances by the clamped frame time, the
// session clock by the monotonic time that really passed (stalls left out):
// it stays in step with the recordings however slow the frames are. The
// frame time in seconds (through float, as the clocks keep it) is returned.
double AdvanceClocks(AppState& app, int64_t dt_us) {
    app.sessionElapsed_us += SessionClockStep(&app.sessionClock, MonotonicUs());
    app.RunSeconds += double(float(double(dt_us) / 1000000.0));
    return double(float(double(dt_us) / 1000000.0));
}

// Step 3.
void SaveQueuedSnapshots(AppState& app) {
    if (Hooks().saveQueuedSnapshots) Hooks().saveQueuedSnapshots(app);
}

// Step 6: one camera is always shown in the single layout.
void KeepSingleLayoutForOneCamera(AppState& app) {
    if (app.activeSlots.size() == 1 && app.settings.LayoutStyle != LayoutKind::SingleCamera) {
        app.settings.LayoutStyle = LayoutKind::SingleCamera;
        SaveSettings(app.settings, app.dataFolder);
    }
}

// Step 7.
void UpdateSuspension(AppState& app) {
    AV::UpdateSlotSuspension(app.activeSlots.data(), int(app.activeSlots.size()),
                             app.settings.LayoutStyle == LayoutKind::SingleCamera,
                             (app.PanelFlags & PanelSettings) != 0);
}

// Steps 8 and 9; true when a stream still has queued pictures afterwards
// (the pacer then runs the next frame as soon as a refresh allows).
bool UpdatePictures(AppState& app) {
    bool left = false;
    for (int i = 0; i < app.boundSlotCount; ++i) {
        UpdateSlotPicture(app, &app.slots[i]);
        left = left || app.slots[i].stream.QueuedFrames() > 0;
    }
    if (Hooks().updatePlayerPicture) Hooks().updatePlayerPicture(app);
    return left || Player().stream.QueuedFrames() > 0;
}

// Step 10.
void ClearRenderTarget(AppState& app) {
    if (app.gc == nullptr) return;
    std::lock_guard<std::mutex> guard(app.deviceLock);
    app.gc->Clear(0, 0, 0, 1);
}

// Step 11: the render target follows the drawable size (not while minimized).
void FollowDrawableSize(AppState& app, SDL_Window* window) {
    if (app.windowMinimized) return;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    if (w == app.ClientWidth && h == app.ClientHeight) return;
    app.ClientWidth = w;
    app.ClientHeight = h;
    if (app.gc != nullptr) {
        std::lock_guard<std::mutex> guard(app.deviceLock);
        app.gc->CreateRenderTarget(w, h);
    }
}

// Step 14: the UI's draw data, then present; the two times go to `cost`.
void PresentFrame(AppState& app, pacing::FrameCost* cost) {
    if (app.gc == nullptr) return;
    std::lock_guard<std::mutex> guard(app.deviceLock);
    const int64_t start_us = MonotonicUs();
    ImDrawData* data = ImGui::GetDrawData();
    if (data != nullptr && data->Valid && !app.windowMinimized) ImGui_ImplOpenGL3_RenderDrawData(data);
    const int64_t drawn_us = MonotonicUs();
    app.gc->Present();
    cost->draw_us = drawn_us - start_us;
    cost->swap_us = MonotonicUs() - drawn_us;
}

// Step 18: the parameter sampler runs every 33 ms of frame time.
void SampleParameters(AppState& app, double dtSeconds) {
    g_clock.samplerAccumulator += dtSeconds;
    if (g_clock.samplerAccumulator >= 0) {
        g_clock.samplerAccumulator -= 0.033;
        if (Hooks().sampleParameters) Hooks().sampleParameters(app);
    }
}

// Step 21: two frames after a finger left, the UI pointer is parked at (0, 0).
void ParkPointer(AppState& app) {
    if (input::PointerParkStep(app.input)) ImGui::GetIO().MousePos = ImVec2(0, 0);
}

}  // namespace

void RunFrame(AppState& app, pacing::FrameCost* cost) {
    SDL_Window* window = static_cast<SDL_Window*>(app.window);
    const int64_t frameStart_us = MonotonicUs();
    const int64_t dt_us = PaceFrame();
    const double dtSeconds = AdvanceClocks(app, dt_us);
    SaveQueuedSnapshots(app);
    const int64_t cameraStepsStart_us = MonotonicUs();
    BindCameras(app);
    AssignViewPositions(app);
    KeepSingleLayoutForOneCamera(app);
    UpdateSuspension(app);
    const int64_t picturesStart_us = MonotonicUs();
    cost->picturesLeft = UpdatePictures(app);
    const int64_t picturesEnd_us = MonotonicUs();
    cost->pictures_us = picturesEnd_us - picturesStart_us;
    WarnSlowCameraSteps(picturesEnd_us - cameraStepsStart_us);
    ClearRenderTarget(app);
    FollowDrawableSize(app, window);
    const int64_t buildStart_us = MonotonicUs();
    RenderFrame(app);
    cost->build_us = MonotonicUs() - buildStart_us;
    PresentFrame(app, cost);
    input::TouchLatch(app.input);
    ApplyWindowMode(window, app.settings, app.WindowModeRequest);
    ExerciseScale(app);
    ApplyScaleChange(app);
    SampleParameters(app, dtSeconds);
    StorageCheck(app);
    RecordWindowGeometry(window, app.settings);
    ParkPointer(app);
    cost->total_us = MonotonicUs() - frameStart_us;
}

}  // namespace gui
