#include "UI/SearchingScene.h"

#include <cmath>

#include "App/AppState.h"
#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/Model.h"

namespace ui {

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kNear = 0.1f;
constexpr float kFar = 1000.0f;

struct Vec3 {
    float x, y, z;
};

Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// A zero vector stays zero.
Vec3 Normalise(Vec3 v) {
    const float l = std::sqrt(Dot(v, v));
    return l > 0.0f ? Vec3{v.x / l, v.y / l, v.z / l} : v;
}

// Right-handed look-at, row vectors.
void LookAt(Vec3 eye, Vec3 target, Vec3 up, float out[16]) {
    const Vec3 z = Normalise({eye.x - target.x, eye.y - target.y, eye.z - target.z});
    const Vec3 x = Normalise(Cross(up, z));
    const Vec3 y = Normalise(Cross(z, x));
    const float m[16] = {x.x, y.x, z.x, 0.0f,  //
                         x.y, y.y, z.y, 0.0f,  //
                         x.z, y.z, z.z, 0.0f,  //
                         -Dot(x, eye), -Dot(y, eye), -Dot(z, eye), 1.0f};
    for (int i = 0; i < 16; ++i) out[i] = m[i];
}

}  // namespace

float AdvanceTurningAngle(float angle, float dtSeconds) {
    const float c = 0.5f - 0.5f * std::cos(angle);
    angle += kPi * dtSeconds * (0.3f * (1.0f - c) + 0.1f * c);
    return angle - 2.0f * kPi * std::trunc(angle / (2.0f * kPi));
}

SceneMatrices SearchingSceneMatrices(float angle, int width, int height) {
    SceneMatrices m{};
    // Model: stand the camera up (a quarter turn about x), then turn it about
    // the vertical axis.
    GL::Orientation o;
    GL::ResetOrientation(o);
    const float c = std::cos(kPi / 2), s = std::sin(kPi / 2);
    for (int i = 0; i < 3; ++i) {
        const float r1 = o.m[1][i], r2 = o.m[2][i];
        o.m[1][i] = c * r1 + s * r2;
        o.m[2][i] = c * r2 - s * r1;
    }
    const float up[3] = {0.0f, 1.0f, 0.0f};
    GL::RotateOrientation(o, up, -angle);
    GL::OrientationMatrix(o, m.model);

    LookAt({0.0f, 1.2f, 4.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, m.view);

    // Projection: the model sits a quarter of the screen above the centre
    // (the -0.25), leaving the lower part for the searching text.
    const float aspect = height > 0 ? float(width) / float(height) : 1.0f;
    m.projection[0] = 1.25f;
    m.projection[5] = 1.25f * aspect;
    m.projection[9] = -0.25f;
    m.projection[10] = -(kFar + kNear) / (kFar - kNear);
    m.projection[11] = -1.0f;
    m.projection[14] = -2.0f * kFar * kNear / (kFar - kNear);
    return m;
}

void DrawSearchingScene(GL::GC* gc, std::mutex& deviceLock, std::vector<GL::ModelPart>& parts, double runSeconds,
                        int width, int height, SearchingSceneState& state) {
    if (gc == nullptr || width <= 0 || height <= 0) return;
    const float dt = state.drawn ? float(runSeconds - state.lastSeconds) : 0.0f;
    state.drawn = true;
    state.lastSeconds = runSeconds;
    state.angle = AdvanceTurningAngle(state.angle, dt > 0.0f ? dt : 0.0f);
    const SceneMatrices m = SearchingSceneMatrices(state.angle, width, height);
    for (GL::ModelPart& part : parts) {
        for (int i = 0; i < 16; ++i) {
            part.model[i] = m.model[i];
            part.view[i] = m.view[i];
            part.projection[i] = m.projection[i];
        }
        for (int i = 0; i < 3; ++i) part.light[i] = kSearchingLight[i];
        std::lock_guard<std::mutex> lock(deviceLock);
        gc->DrawModel(part);
    }
}

void DrawSearchingScene(AppState& app) {
    static SearchingSceneState state;
    DrawSearchingScene(app.gc, app.deviceLock, GL::CameraModel(), app.RunSeconds, app.ClientWidth, app.ClientHeight,
                       state);
}

}  // namespace ui
