#include <imgui.h>

#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/GLState.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"

namespace GL {

void DrawVideoCallback(const ImDrawList* /*list*/, const ImDrawCmd* cmd) {
    const auto* data = static_cast<const VideoDrawData*>(cmd->UserCallbackData);
    GC* gc = VideoDrawContext();
    if (data == nullptr || !data->picture || gc == nullptr) return;
    GLStateBackup state;
    state.Save();
    gc->DrawVideoFrame(data->picture, data->x, data->y, data->width, data->height);
    state.Restore();
}

}  // namespace GL
