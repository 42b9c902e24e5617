// What the simulated camera does to its picture: the settings of one channel
// that a viewer can see (rotation, flips, the zoom window, tone and colour,
// the LED level, the annotation overlay), read from the unit's table, and
// the renderer that applies them to the moving test scene.
//
// Geometry: the zoom window (96 to 99) is cut from the sensor picture, then
// flipped (94, 95), then turned clockwise by the rotation (93; raw value r
// turns by ((r + 2) mod 4) x 90 degrees, so the default raw 2 is upright).
// With a quarter turn the sensor's vertical becomes the picture's horizontal,
// which is why the program swaps 96 and 97 for rotations of 90 and 270.
//
// Threads: PictureSettings is a plain value; a PictureRenderer belongs to
// the one thread that encodes its channel (or makes one still).
//
// Section index
//   PictureSettings   the visible settings and where they come from
//   SourceMap         output point -> sensor point (an affine map)
//   ToneCurve         luma and chroma look-up tables
//   PictureRenderer   scene, geometry, tone, annotation, frame number
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

class Unit;

// ---- PictureSettings -------------------------------------------------------------------

struct PictureSettings {
    // Geometry.
    int rotation_deg = 0;  // 0, 90, 180 or 270, clockwise
    bool flipHorizontal = false;
    bool flipVertical = false;
    double zoomX = 0, zoomY = 0, zoomWidth = 1, zoomHeight = 1;  // sensor fractions

    // Tone and colour.
    int brightness = 50;    // 0..100, 50 neutral
    int contrast = 0;       // -100..100
    int saturation = 0;     // -100..100 (-100: grey)
    int exposureCompensation = 0;  // steps of a sixth of a stop
    int awbPosition = 1;    // position in the AWB option list; 0 = "Off" uses the gains
    double redGain = 1.5, blueGain = 1.5;  // shown values, used with AWB off
    double lightFraction = 0.6;  // LED level as a fraction of its maximum
    int ledThermalState = 0;     // 0 normal, 1 dimmed (half light), other: LED off

    // Annotation overlay (the text itself is message 3).
    bool annotate = true;
    bool background = false;
    int textSize = 32;                 // pixel height of the text box
    uint32_t textColor = 0xFFFFFF;     // packed RGB, red in the low byte
    uint32_t backColor = 0x000000;
    int location = 4;                  // 0 top centre, 1 top left, 2 top right, 3..5 bottom ones
    int offsetX = 0, offsetY = 0;      // pixels inward from the edge

    bool operator==(const PictureSettings&) const = default;
    bool GeometryIsIdentity() const;
};

// Rotation in degrees for a raw `Rotation` (93) value.
int RotationDegrees(int32_t raw);

// The settings of `group` as the unit's table holds them now (values that
// leave their range fall back to the neutral setting).
PictureSettings ReadPictureSettings(const Unit& unit, int group);

// ---- SourceMap --------------------------------------------------------------------------

// Maps a point of the output picture (u, v in 0..1, left to right, top to
// bottom) to the sensor point it shows: sx = ux*u + vx*v + cx, likewise sy.
struct SourceMap {
    double ux = 1, vx = 0, cx = 0;
    double uy = 0, vy = 1, cy = 0;
    void Apply(double u, double v, double* sx, double* sy) const {
        *sx = ux * u + vx * v + cx;
        *sy = uy * u + vy * v + cy;
    }
};
SourceMap MakeSourceMap(const PictureSettings& s);

// ---- ToneCurve --------------------------------------------------------------------------

struct ToneCurve {
    std::array<uint8_t, 256> luma{}, u{}, v{};
    bool identity = true;
};
ToneCurve MakeToneCurve(const PictureSettings& s);

// RGB (red in the low byte) to limited-range BT.601 Y, U, V.
void RgbToYuv(uint32_t rgb, uint8_t* y, uint8_t* u, uint8_t* v);

// ---- PictureRenderer -----------------------------------------------------------------------

// One 4:2:0 picture in memory (three planes with their strides).
struct YuvPlanes {
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    int strideY = 0, strideU = 0, strideV = 0;
    int width = 0, height = 0;
};

class PictureRenderer {
public:
    // Draws picture `frameNumber` of the moving scene at `out`'s size as the
    // settings show it, with `caption` overlaid and the frame number blocks
    // in the top-left corner (always upright: they are not part of the scene).
    void Render(const PictureSettings& settings, uint32_t frameNumber, const std::string& caption, const YuvPlanes& out);

private:
    void DrawScene(uint32_t frameNumber, const YuvPlanes& planes);
    void Remap(const YuvPlanes& out);
    void PrepareMaps(const PictureSettings& settings, int width, int height);

    // The scene before geometry (only used when the geometry is not identity).
    std::vector<uint8_t> sceneY_, sceneU_, sceneV_;
    // Output pixel -> scene offset, rebuilt when the geometry or size changes.
    std::vector<int32_t> mapY_, mapC_;
    PictureSettings mapSettings_;
    int mapWidth_ = 0, mapHeight_ = 0;
    // Sensor-like noise added to the luma, shifted every picture so that the
    // stream costs what a real camera's does (bits and decoding time).
    std::vector<uint8_t> noise_;
    int noiseStride_ = 0, noiseHeight_ = 0;
    PictureSettings toneSettings_;
    ToneCurve tone_;
    bool toneReady_ = false;
};

// Draws the annotation box for `caption` (colours, background, size,
// location and offsets of `s`) into all three planes. Nothing when the
// overlay is off or the caption is empty. Clipped at the picture's edges;
// top positions keep clear of the frame-number row.
void DrawAnnotation(const PictureSettings& s, const std::string& caption, const YuvPlanes& out);

// The rectangle DrawAnnotation covers (x, y, width, height); false when it
// draws nothing.
bool AnnotationBox(const PictureSettings& s, const std::string& caption, int width, int height, int* x, int* y,
                   int* w, int* h);

}  // namespace camsim
