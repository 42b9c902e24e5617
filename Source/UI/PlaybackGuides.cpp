#include "UI/PlaybackGuides.h"

#include "Session/SessionData.h"

namespace ui {

void DrawPlaybackGuides(const CameraHistory* history, int group, double timeS, bool showGuides, float x0, float y0,
                        float x1, float y1) {
    if (history == nullptr || !showGuides || group < 0 || group >= kHistoryGroups) return;
    picam::ParamGroup params;
    ValueAt(*history, timeS, group, &params);
    (void)x0;
    (void)y0;
    (void)x1;
    (void)y1;
}

}  // namespace ui
