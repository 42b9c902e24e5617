#include "App/SlotConfig.h"

#include <cstring>

#include "Video/Camera/Catalogue.h"

namespace picam {

const char* RecentConfigName(int group) { return group == 0 ? RecentPrimaryConfigName : RecentSatelliteConfigName; }

void SaveSlotConfig(const ParamGroup& table, int group, bool enableRecord, bool enableCapture, Settings* settings) {
    CameraConfig config;
    config.Name = RecentConfigName(group);
    config.EnableRecord = enableRecord;
    config.EnableCapture = enableCapture;
    for (int i = 0; i < kParamCount; ++i) {
        const ParamRecord& r = table.params[i];
        if (IsNullParam(r) || r.value == r.defaultValue || IsReadOnlyParam(i)) continue;
        config.Params.push_back({i, r.value});
    }
    for (CameraConfig& existing : settings->CameraConfigs) {
        if (existing.Name == config.Name) {
            existing = std::move(config);
            return;
        }
    }
    settings->CameraConfigs.push_back(std::move(config));
}

bool RestoreSlotConfig(const Settings& settings, int group, ParamGroup* table, bool* enableRecord,
                       bool* enableCapture) {
    const char* name = RecentConfigName(group);
    const CameraConfig* config = nullptr;
    for (const CameraConfig& c : settings.CameraConfigs) {
        if (c.Name == name) {
            config = &c;  // the same one SaveSlotConfig replaces
            break;
        }
    }
    if (!config) return false;
    for (const ConfigParam& p : config->Params) {
        if (p.index < 0 || p.index >= kParamCount) continue;
        ParamRecord& r = table->params[p.index];
        if (AcceptsValue(r, p.value)) r.value = p.value;
    }
    for (const ConfigMessage& m : config->Messages) {
        if (m.index < 0 || m.index >= kMessageCount) continue;
        char* slot = table->messages[m.index];
        const size_t length = m.text.size() < static_cast<size_t>(kMessageSize) ? m.text.size() : kMessageSize - 1;
        memcpy(slot, m.text.data(), length);
        slot[length] = 0;
    }
    *enableRecord = config->EnableRecord;
    *enableCapture = config->EnableCapture;
    table->params[LightLevel].value = table->params[LightLevel].defaultValue;
    return true;
}

void ConnectRecentConfigHook(std::function<std::vector<SlotConfigSource>()> activeSlots) {
    if (!activeSlots) {
        SetRecentConfigHook(nullptr);
        return;
    }
    SetRecentConfigHook([activeSlots](Settings& settings) {
        for (const SlotConfigSource& slot : activeSlots()) {
            if (slot.cameraIndex != 0 || !slot.table || !slot.restorable) continue;
            SaveSlotConfig(*slot.table, slot.group, slot.enableRecord, slot.enableCapture, &settings);
        }
    });
}

}  // namespace picam
