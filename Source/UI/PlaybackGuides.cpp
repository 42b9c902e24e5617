#include "UI/PlaybackGuides.h"

#include "Session/SessionData.h"
#include "UI/Guides.h"

namespace ui {

void DrawPlaybackGuides(const CameraHistory* history, int group, double timeS, bool showGuides, float x0, float y0,
                        float x1, float y1) {
    if (history == nullptr || group < 0 || group >= kHistoryGroups) return;
    // The camera's guide parameters as the session history holds them at the shown moment.
    picam::ParamGroup params;
    ValueAt(*history, timeS, group, &params);
    GuidesSettings guides = GuidesFromParameters(params);
    guides.enabled = guides.enabled && showGuides;
    DrawGuides(guides, x0, y0, x1, y1);
}

}  // namespace ui
