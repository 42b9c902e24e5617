// The seven sub-panels of the settings panel (Video, Photo, Annotation,
// Zoom, Picture, Guides, System) and what they share: the page context with
// the three delivery modes. Used only by SettingsPanel.cpp. UI thread.
#pragma once

#include "Video/Camera/Service.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

struct PageContext {
    AppState& app;
    AV::CameraSlot& slot;
    picam::Service& service;
    picam::ParamGroup& table;  // the slot table
    int group;

    picam::ParamRecord& Record(int index) { return table.params[index]; }
    // Stores into the slot table only when the record accepts the value.
    bool Store(int index, int32_t value);
    // Immediate: store, then SetParam and PackChanges under tableLock;
    // `save` writes the settings file afterwards.
    void Immediate(int index, int32_t value, bool save);
    // Table push: ApplyParams of the whole slot table, then save.
    void Push();
    void Save();
    // Every record of the list is described and at its default.
    bool AtDefaults(std::initializer_list<int> indices);
    void ResetToDefaults(std::initializer_list<int> indices);
};

void DrawVideoPage(PageContext& c);
void DrawPhotoPage(PageContext& c);
void DrawAnnotationPage(PageContext& c);
void DrawZoomPage(PageContext& c);
void DrawPicturePage(PageContext& c);
void DrawGuidesPage(PageContext& c);
void DrawSystemPage(PageContext& c);

}  // namespace ui
