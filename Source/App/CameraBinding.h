// Camera binding: once per frame (UI thread) the camera channels found on
// the network are matched to the 8 camera slots, a slot's video thread is
// started when its camera has become ready and told to stop when it is gone,
// every active slot gets a free view position, and each camera is sent the
// caption it burns into its own video.
//
// Locks: the ServiceList lock (inside CountReadyServices / AcquireService),
// a service's tableLock and each slot lock are taken one at a time, never
// two together.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "Video/Camera/Service.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

// The per-slot copy of its channel's parameter group (the slot's parameter
// block): filled when the slot starts, message 3 holds the caption.
picam::ParamGroup& SlotParamBlock(const AppState& app, const AV::CameraSlot* slot);

// Frame step 4: rebuilds app.activeSlots.
void BindCameras(AppState& app);

// The crawler axis label lists: axis 0 offers "Scan" and "Crawler", axis 1
// "Index" and "Raster"; a non-empty custom label (AxisLabelX / AxisLabelY)
// is a third entry.
struct AxisLabels {
    std::vector<std::string> x;
    std::vector<std::string> y;
};
struct Settings;
AxisLabels RebuildAxisLabels(const Settings& settings);
// Binding step 4: with at least one axis reported by the crawler, clamps the
// selections to the lists and returns the labels the cameras overlay
// (message 4 of group 0 and 1). False when the crawler reports no axis.
bool SelectAxisLabels(Settings& settings, bool crawlerHasAxis, std::string* labelX, std::string* labelY);
// Frame step 5: every active slot keeps its view position when it is in
// range and free, else takes the lowest free one.
void AssignViewPositions(AppState& app);
// The rule on plain positions (list order), for tests and callers.
void AssignViewPositions(std::vector<int>* positions);

// The caption: the user's text, then date, time and session timer pieces,
// joined by two spaces, at most 255 characters.
std::string ComposeAnnotation(bool textOn, const char* caption, int dateFormat, int timeFormat, int timerFormat,
                              const std::tm& now, int64_t sessionTime_us);
// Composes the caption of channel ch for the slot and hands it to the
// service (sent only when it changed).
void AnnotationText(AppState& app, picam::Service* service, int ch, AV::CameraSlot* slot);

// Connects the settings' recent-configuration step to the active slots:
// every SaveSettings stores the slots of the first camera unit.
void ConnectRecentConfigs(AppState& app);

// Shut-down step 4: stops every slot that has a thread.
void StopAllSlots(AppState& app);
