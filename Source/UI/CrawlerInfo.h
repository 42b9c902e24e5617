// The crawler popups: "CrawlerInfo" lists both measuring axes with their
// positions and label choices, the length unit, and "Zero" and "Edit" per
// axis; the axis editor ("Edit %s Axis") sets an axis's custom name, its
// feedback pod, its position, its counts per unit and its inversion. Each
// closes itself on a frame with no connected camera unit.
//
// UI thread only; the crawler state is copied under scanLinkLock, requests
// go through the scan link's builders, inversion through SetParam under
// each unit's tableLock.
#pragma once

struct AppState;

namespace ui {

// Drawn every frame; opened through Popups().crawlerInfo (the title bar's
// crawler readout requests it).
void DrawCrawlerInfo(AppState& app);

}  // namespace ui
