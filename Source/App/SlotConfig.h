// Saved camera configurations of camera slots: a slot's parameter block to a
// named CameraConfig of the settings record and back. The recent
// configuration of channel 0 of the first camera unit is "<recent-primary>",
// of channel 1 "<recent-satellite>".
//
// UI thread only, like the settings record.
#pragma once

#include <functional>
#include <vector>

#include "Base/Settings.h"
#include "Video/Camera/Service.h"

namespace picam {

// The configuration name kept for a channel (group).
const char* RecentConfigName(int group);

// Stores the table's non-default values of described, settable parameters
// (0..255) with the two flags and an empty message list under the channel's
// recent name, replacing a configuration of that name or appending one.
void SaveSlotConfig(const ParamGroup& table, int group, bool enableRecord, bool enableCapture, Settings* settings);

// Applies the channel's recent configuration to a table whose values are at
// their defaults: pairs the record accepts (AcceptsValue), message texts,
// then LightLevel back to its default. Pairs outside the table are skipped.
// False (nothing changed) when there is no such configuration.
bool RestoreSlotConfig(const Settings& settings, int group, ParamGroup* table, bool* enableRecord,
                       bool* enableCapture);

// One active slot as the settings save sees it.
struct SlotConfigSource {
    int cameraIndex = 0;  // unit index in ServiceList; only unit 0 is saved
    int group = 0;        // channel
    const ParamGroup* table = nullptr;
    bool enableRecord = true;
    bool enableCapture = true;
    // False for a unit below the version gate: its mirror holds only records
    // 0 to 4, so the table cannot carry the saved values and saving it would
    // replace the saved configuration with an empty one.
    bool restorable = true;
};

// Connects SaveSettings' recent-configuration step: before every save,
// `activeSlots` lists the active slots and SaveSlotConfig runs for each of
// camera unit 0 that is restorable (the others leave the saved configuration
// as it was). An empty function disconnects it.
void ConnectRecentConfigHook(std::function<std::vector<SlotConfigSource>()> activeSlots);

}  // namespace picam
