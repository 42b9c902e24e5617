// GL::ShaderGL: one shader set (program, vertex layout, uniform block, blend
// and depth state) made by GCGL::CreateShader. UI thread only.
#pragma once

#include <cstddef>

namespace GL {

// Blend equation of a set: colour src/dst factor, alpha src/dst factor (GL enums).
struct BlendDesc {
    bool enabled = true;
    unsigned srcColor = 0, dstColor = 0, srcAlpha = 0, dstAlpha = 0;
};

// One vertex attribute: location = position in the layout list.
struct VertexAttribute {
    int components;  // floats
    size_t offset;   // bytes
};

class ShaderGL {
public:
    ShaderGL() = default;
    ~ShaderGL();
    ShaderGL(const ShaderGL&) = delete;
    ShaderGL& operator=(const ShaderGL&) = delete;

    // Binds program, uniform block (binding point 0) and blend/depth state.
    void Apply() const;

    unsigned program = 0;
    unsigned vertexShader = 0;
    unsigned fragmentShader = 0;
    unsigned uniformBuffer = 0;   // the constant buffer: 64 bytes, 160 for the model set
    size_t uniformBytes = 0;
    BlendDesc blend;
    bool depthTest = false;       // model set: test "less" with writes
};

}  // namespace GL
