// GLStateBackup: the part of the GL pipeline state that the UI renderer
// relies on between its draw commands. Saved before a user draw callback and
// restored after it, so a callback's program, buffers, textures, samplers,
// blend, depth and scissor settings never leak into the UI's own drawing.
#pragma once

namespace GL {

struct GLStateBackup {
    void Save();
    void Restore() const;

    int program = 0, vertexArray = 0, arrayBuffer = 0, activeTexture = 0;
    int textures[3] = {0, 0, 0};
    int samplers[3] = {0, 0, 0};
    int blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0, blendDstAlpha = 0;
    int blendEquationRgb = 0, blendEquationAlpha = 0;
    int viewport[4] = {0, 0, 0, 0};
    int scissorBox[4] = {0, 0, 0, 0};
    bool blend = false, cullFace = false, depthTest = false, scissorTest = false;
    bool depthMask = true;
};

}  // namespace GL
