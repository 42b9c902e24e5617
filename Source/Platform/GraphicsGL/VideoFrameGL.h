// GL::VideoFrameGL: a decoded picture held in plane textures (NV12: R8 luma +
// RG8 chroma; YUV420P: three R8 planes). The colour conversion happens in
// video.frag; nothing is converted on the CPU. Records are pooled by GCGL and
// refilled in place; UI thread only, under the device lock.
//
// Also here: the video mesh (a grid of 5 columns and `rows` lines over the
// draw rectangle), the draw record VideoDrawData and DrawVideoCallback, the
// UI draw-list callback that draws a record in the middle of the UI render.
#pragma once

#include <cstdint>
#include <memory>

struct AVFrame;
struct ImDrawList;
struct ImDrawCmd;

namespace GL {

class GC;

inline constexpr int kVideoMeshVertices = 8192;
inline constexpr int kVideoMeshIndices = 32768;
// 24 indices per row and 5 vertices per grid line: the arrays hold this many rows.
inline constexpr int kVideoMeshMaxRows = kVideoMeshIndices / 24;

struct VideoVertex {
    float x, y, u, v;
};
static_assert(sizeof(VideoVertex) == 16);

// Row count of the grid for a w x h rectangle: h / (w / 4), truncated, at
// least 1 (a wide, flat rectangle still gets one row) and at most
// kVideoMeshMaxRows; 0 (nothing to draw) for an empty or invalid rectangle.
int VideoMeshRows(float w, float h);
// Fills the grid; returns the number of indices (rows * 24), 0 for nothing.
int BuildVideoMesh(float x, float y, float w, float h, float umax, float vmax, VideoVertex* vertices,
                   uint32_t* indices, int* vertexCount);

enum class VideoPlanes { None, NV12, YUV420P };

class VideoFrameGL {
public:
    VideoFrameGL();
    ~VideoFrameGL();
    VideoFrameGL(const VideoFrameGL&) = delete;
    VideoFrameGL& operator=(const VideoFrameGL&) = delete;

    // Copies the decoded picture into the plane textures (remade when the
    // size or layout changed). False for a pixel format other than NV12 or
    // YUV420P, a bad size or a failed texture.
    bool Initialize(const AVFrame* frame);
    // Draws the picture into the rectangle (pixels) with the bound video shader set.
    void Draw(float x, float y, float w, float h);
    // Reads the planes back into an NV12 buffer of width * height * 2 bytes.
    bool ReadNV12(uint8_t* out, size_t outBytes) const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int TextureWidth() const { return textureWidth_; }
    int TextureHeight() const { return textureHeight_; }
    VideoPlanes Planes() const { return planes_; }
    bool HasTexture() const { return textures_[0] != 0; }

private:
    void ReleaseTextures();
    bool MakeTextures(VideoPlanes planes, int width, int height);

    int width_ = 0, height_ = 0;                 // picture
    int textureWidth_ = 0, textureHeight_ = 0;   // luma texture
    VideoPlanes planes_ = VideoPlanes::None;
    unsigned textures_[3] = {0, 0, 0};
    unsigned sampler_ = 0;
    unsigned vao_ = 0, vertexBuffer_ = 0, indexBuffer_ = 0;
    std::unique_ptr<VideoVertex[]> vertices_;    // kVideoMeshVertices, reused by every draw
    std::unique_ptr<uint32_t[]> indices_;        // kVideoMeshIndices
};

// The draw record a camera view (or the player) hands to DrawVideoCallback.
struct VideoDrawData {
    std::shared_ptr<VideoFrameGL> picture;
    float x = 0, y = 0, width = 0, height = 0;
};

// The context the callback draws with (set by GCGL::Initialize, cleared by its destructor).
void SetVideoDrawContext(GC* gc);
GC* VideoDrawContext();

// ImDrawCallback: user data is a VideoDrawData. Saves the GL state the UI
// renderer relies on, draws, and restores it, so nothing leaks into the UI.
void DrawVideoCallback(const ImDrawList* list, const ImDrawCmd* cmd);

}  // namespace GL
