// One camera view: the slot's current picture through the video draw
// callback, the guides overlay with its ruler handles while the guides are
// edited, the recording mark with its time, the snapshot flash and the
// view's snapshot button; without a picture a placeholder telling the
// connection state. The slot's draw record (picture and rectangle) lives
// here until the UI is rendered, with the view's fades. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "UI/LayoutMath.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

// The placeholder text of a channel without a picture.
const char* PlaceholderText(int cameraState, int channel, int channelCount);

// "%02d:%02d" below one hour, "%02d:%02d:%02d" from one hour on.
std::string RecordingTimeText(double seconds);
// Alpha (0..255) of the recording mark after `seconds` of recording.
int RecordingMarkAlpha(double seconds);
// The snapshot flash's next alpha.
float FlashStep(float alpha, bool capturing, float dtSeconds);
// A ruler highlight's next value.
float HighlightStep(float value, bool lit, float dtSeconds);

// A dragged ruler: the line follows the pointer less the grab offset, kept
// within low .. high; its position in half-sizes from the middle (-1 .. 1)
// becomes the parameter value p x den / num (truncated).
float RulerPosition(float pointer, float grabOffset, float low, float high);
int32_t RulerParameterValue(float linePosition, float low, float high, int32_t scaleNum, int32_t scaleDen);

// Fills the slot's draw record for the view area and draws the view with its
// controls at `controlsFade` (0 hides them). Returns the rectangle the
// picture (or placeholder) takes.
ViewRect CameraView(AppState& app, AV::CameraSlot* slot, ViewRect area, float controlsFade);

// Shut-down: drops the pictures the draw records still hold, before the
// graphics context goes.
void ReleaseDrawRecords();

}  // namespace ui
