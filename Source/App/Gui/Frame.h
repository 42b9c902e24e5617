// One pass of the main loop's frame: clocks, camera binding, slot
// pictures, the UI frame, render and present, then the end-of-frame steps
// (touch latch, window mode, UI scale, sampler, storage check, window
// geometry, pointer park). UI thread only.
#pragma once

#include <cstdint>

struct AppState;
namespace AV {
struct CameraSlot;
}
namespace pacing {
struct FrameCost;
}

namespace gui {

// Frame time fed to the clocks: limited to 0 .. 33,332 microseconds.
int64_t ClampFrameTime_us(int64_t dt_us);

// Frame step 8 for one slot: the oldest decoded picture becomes the slot's
// current picture (a video-frame texture, under the device lock); the
// latency probe runs on it when on.
void UpdateSlotPicture(AppState& app, AV::CameraSlot* slot);

// Frame step 9: the oldest decoded picture of the media player's stream
// becomes the player's current picture (a video-frame texture, under the
// device lock); a still decoded by the image loader becomes its image texture.
void UpdatePlayerPicture(AppState& app);

// Draws one UI frame (RenderFrame): nothing while minimized.
void RenderFrame(AppState& app);

// Runs one whole frame now (the main loop's FramePacer decides when) and
// fills `cost` with the times of its steps.
void RunFrame(AppState& app, pacing::FrameCost* cost);

// Applies a changed UI scale: style, fonts, renderer font texture, images.
void RebuildForScale(AppState& app);

}  // namespace gui
