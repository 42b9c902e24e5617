#include "Platform/GraphicsGL/Model.h"

#include <cmath>

#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/ObjLoader.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"

namespace GL {

const CameraPartStyle kCameraParts[kCameraPartCount] = {
    {"cam.obj", {16.0f / 255.0f, 17.0f / 255.0f, 20.0f / 255.0f, 1.0f}, {0.2f, 0.8f, 1.0f, 0.08f}},
    {"cam-lights.obj", {1.0f, 238.0f / 255.0f, 177.0f / 255.0f, 0.5f}, {0.2f, 0.6f, 0.4f, 0.1f}},
    {"cam-cap.obj", {22.0f / 255.0f, 23.0f / 255.0f, 24.0f / 255.0f, 1.0f}, {0.2f, 0.8f, 0.0f, 0.0f}},
    {"cam-screws.obj", {0.5f, 0.5f, 0.5f, 1.0f}, {0.1f, 0.9f, 1.0f, 0.1f}},
};

void ResetOrientation(Orientation& o) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) o.m[r][c] = r == c ? 1.0f : 0.0f;
        o.t[r] = 0.0f;
    }
}

void RotateOrientation(Orientation& o, const float axis[3], float theta) {
    const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (!(length > 0.0f)) return;
    const float k[3] = {axis[0] / length, axis[1] / length, axis[2] / length};
    const float c = std::cos(theta), s = std::sin(theta);
    for (auto& row : o.m) {
        const float r[3] = {row[0], row[1], row[2]};
        const float cross[3] = {r[1] * k[2] - r[2] * k[1], r[2] * k[0] - r[0] * k[2], r[0] * k[1] - r[1] * k[0]};
        const float dot = k[0] * r[0] + k[1] * r[1] + k[2] * r[2];
        for (int i = 0; i < 3; ++i) row[i] = r[i] * c + cross[i] * s + k[i] * dot * (1.0f - c);
    }
}

void OrientationMatrix(const Orientation& o, float out[16]) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) out[r * 4 + c] = o.m[r][c];
        out[r * 4 + 3] = 0.0f;
    }
    out[12] = o.t[0];
    out[13] = o.t[1];
    out[14] = o.t[2];
    out[15] = 1.0f;
}

void LoadCameraModel(const std::shared_ptr<TextureGL>& reflectionMap, const Path& folder,
                     std::vector<ModelPart>* parts) {
    // Loading again (a UI scale change reloads the images) replaces the list
    // rather than growing it.
    parts->clear();
    for (const CameraPartStyle& style : kCameraParts) {
        ModelPart part;
        part.textures.push_back(reflectionMap);
        LoadObj(Join(folder, style.file), part);
        for (ModelVertex& v : part.vertices) {
            v.r = style.colour[0];
            v.g = style.colour[1];
            v.b = style.colour[2];
            v.a = style.colour[3];
        }
        for (int i = 0; i < 4; ++i) part.material[i] = style.material[i];
        parts->push_back(std::move(part));
    }
}

std::vector<ModelPart>& CameraModel() {
    static std::vector<ModelPart> model;
    return model;
}

void LoadCameraModel() { LoadCameraModel(BuiltIns().reflectionMap, ResourceFolder(), &CameraModel()); }

void ReleaseCameraModel() {
    CameraModel().clear();
    CameraModel().shrink_to_fit();
}

}  // namespace GL
