// One camera view: the slot's current picture through the video draw
// callback, or a placeholder telling the connection state. The slot's draw
// record (picture and rectangle) lives here until the UI is rendered.
// UI thread only.
#pragma once

#include "UI/LayoutMath.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

// The placeholder text of a channel without a picture.
const char* PlaceholderText(int cameraState, int channel, int channelCount);

// Fills the slot's draw record for the view area and draws the view.
// Returns the rectangle the picture (or placeholder) takes.
ViewRect CameraView(AppState& app, AV::CameraSlot* slot, ViewRect area);

// Shut-down: drops the pictures the draw records still hold, before the
// graphics context goes.
void ReleaseDrawRecords();

}  // namespace ui
