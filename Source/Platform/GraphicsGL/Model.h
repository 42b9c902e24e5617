// The 3-D camera model shown turning on the searching screen: four coloured
// parts read from OBJ files in the resource folder, and the orientation
// record the scene turns it with.
//
// Threading: UI thread only (the model is loaded at start-up and drawn by
// the main window).
#pragma once

#include <memory>
#include <vector>

#include "Base/Path.h"
#include "Platform/GraphicsGL/ModelPart.h"

namespace GL {

class TextureGL;

// A 3 x 3 rotation (rows) and a translation: 12 floats.
struct Orientation {
    float m[3][3];
    float t[3];
};

// Identity rotation, no translation.
void ResetOrientation(Orientation& o);
// Turns every row r about the unit axis k by theta:
// r' = r cos(theta) + (r x k) sin(theta) + k (k . r)(1 - cos(theta)).
// A zero axis leaves the orientation unchanged.
void RotateOrientation(Orientation& o, const float axis[3], float theta);
// The 4 x 4 row-major matrix: the three rows with 0 appended, then the
// translation with 1.
void OrientationMatrix(const Orientation& o, float out[16]);

// One file of the model with its vertex colour and material.
struct CameraPartStyle {
    const char* file;
    float colour[4];
    float material[4];
};
inline constexpr int kCameraPartCount = 4;
// The parts in drawing order: body, LED ring, front cap, screws.
extern const CameraPartStyle kCameraParts[kCameraPartCount];

// Loads the four files from `folder` into `parts` (replacing what it held),
// each part carrying `reflectionMap` in texture slot 0, every vertex coloured
// and the material set. A missing or malformed file leaves its part empty or
// partial (it is still in the list and draws what it has).
void LoadCameraModel(const std::shared_ptr<TextureGL>& reflectionMap, const Path& folder,
                     std::vector<ModelPart>* parts);

// The program's camera model (UI thread).
std::vector<ModelPart>& CameraModel();
// Loads CameraModel() from the resource folder with the built-in reflection
// map (BuiltInImages.h); call after LoadBuiltInImages.
void LoadCameraModel();
// Drops the model's parts and their texture references (before the graphics
// context goes away).
void ReleaseCameraModel();

}  // namespace GL
