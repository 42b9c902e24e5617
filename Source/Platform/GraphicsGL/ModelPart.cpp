#include "Platform/GraphicsGL/ModelPart.h"

namespace GL {

void MultiplyMatrix4(const float a[16], const float b[16], float out[16]) {
    float r[16];
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + col];
            r[row * 4 + col] = sum;
        }
    }
    for (int i = 0; i < 16; ++i) out[i] = r[i];
}

}  // namespace GL
