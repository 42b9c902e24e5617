// GL::ModelPart: one coloured part of the camera model, drawn by
// GC::DrawModel with the model shader set. The model loader fills the
// vertices and indices; the searching scene fills the matrices each frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace GL {

class TextureGL;

struct ModelVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
    float r, g, b, a;
};
static_assert(sizeof(ModelVertex) == 48);

struct ModelPart {
    std::vector<std::shared_ptr<TextureGL>> textures;  // texture unit i = list position i
    std::vector<ModelVertex> vertices;
    std::vector<uint16_t> indices;                     // triangle list
    float model[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};       // row-major, row vectors
    float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float material[4] = {0, 0, 0, 0};
    float light[3] = {0, 0, 0};
};

// Row-vector product a x b of two row-major 4x4 matrices.
void MultiplyMatrix4(const float a[16], const float b[16], float out[16]);

}  // namespace GL
