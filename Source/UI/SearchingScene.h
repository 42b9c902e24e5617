// The turning camera model of the searching screen (drawn while no camera is
// connected): the angle law, the scene's matrices and the light, and the
// drawing of the model parts straight into the back buffer, which the main
// loop has cleared before the UI frame; the UI is rendered over it.
//
// Threading: UI thread only; the draws take the device lock.
#pragma once

#include <mutex>
#include <vector>

#include "Platform/GraphicsGL/ModelPart.h"

namespace GL {
class GC;
}
struct AppState;

namespace ui {

// Advances the turning angle (radians) by dt seconds: quickest (0.3 pi rad/s)
// while the camera faces the viewer, slowest (0.1 pi rad/s) while it faces
// away; the result stays within one turn (the sign of a negative angle kept).
float AdvanceTurningAngle(float angle, float dtSeconds);

// Model, view and projection matrices (row-major, row vectors) of the scene
// at turning angle `angle` for a client area of width x height pixels.
struct SceneMatrices {
    float model[16];
    float view[16];
    float projection[16];
};
SceneMatrices SearchingSceneMatrices(float angle, int width, int height);

inline constexpr float kSearchingLight[3] = {-0.5f, 0.25f, -2.0f};

// The scene's state between frames.
struct SearchingSceneState {
    float angle = 0.0f;
    bool drawn = false;        // drawn at least once
    double lastSeconds = 0.0;  // RunSeconds of the previous drawing
};

// Advances the angle by the RunSeconds difference to the previous drawing (0
// the first time), stores the matrices and the light in every part and draws
// the parts in order under the device lock. Nothing happens for an empty
// client area or without a graphics context.
void DrawSearchingScene(GL::GC* gc, std::mutex& deviceLock, std::vector<GL::ModelPart>& parts, double runSeconds,
                        int width, int height, SearchingSceneState& state);
// The same for the program: App()'s context, clock and client size, the
// camera model of Model.h and the scene state kept here.
void DrawSearchingScene(AppState& app);

}  // namespace ui
