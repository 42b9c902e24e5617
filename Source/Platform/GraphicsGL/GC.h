// GL::GC: the one graphics context of the program, as an abstract interface.
// GL::GCGL (GCGL.h) implements it over OpenGL 3.3 core through an SDL window.
//
// Threading: every operation runs on the UI thread with the GL context
// current, under the device lock (AppState). Shared pointers to textures and
// video frames may be dropped on any thread; their GL objects are deleted on
// the UI thread at the next frame (see TextureGL.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Platform/GraphicsGL/Image.h"

namespace AV {
struct Frame;
}

namespace GL {

class TextureGL;
class ShaderGL;
class VideoFrameGL;
struct ModelPart;

// A textured, tinted rectangle (also the icon record of the built-in images).
struct ImageQuad {
    std::shared_ptr<TextureGL> texture;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;  // texture rectangle
    float width = 0.0f, height = 0.0f;                  // pixels on screen
    float r = 1.0f, g = 1.0f, b = 1.0f, a = 1.0f;       // tint
};

// Vertex of the decal shader set: 32 bytes.
struct DecalVertex {
    float x, y;        // pixels, (0, 0) top-left of the render target
    float u, v;
    float r, g, b, a;
};
static_assert(sizeof(DecalVertex) == 32);

class GC {
public:
    virtual ~GC() = default;

    // Creates shader sets, sampler and draw buffers; false when the context
    // cannot be used (the caller ends start-up).
    virtual bool Initialize() = 0;
    // Remembers the drawable size and sets the viewport; called at start and
    // whenever the window's client size changes.
    virtual void CreateRenderTarget(int width, int height) = 0;

    // Pixel rows are width * BytesPerPixel(format) bytes apart. Empty on failure.
    virtual std::shared_ptr<TextureGL> CreateTexture(const void* pixels, int width, int height, int format) = 0;
    virtual std::shared_ptr<TextureGL> CreateTexture(const Image& image) = 0;
    // Decoded with stb_image to RGBA; empty when the file cannot be read or decoded.
    // May be called from a worker thread (the GL upload then waits for the UI thread's first use).
    virtual std::shared_ptr<TextureGL> LoadTexture(const char* path) = 0;
    virtual std::shared_ptr<TextureGL> LoadTextureFromMemory(const void* bytes, size_t length) = 0;

    // A pooled video-frame texture now holding a copy of the decoded picture;
    // empty on failure (unsupported pixel format, no picture).
    virtual std::shared_ptr<VideoFrameGL> UpdateVideoFrame(const std::shared_ptr<AV::Frame>& frame) = 0;
    // Reads the picture back into an NV12 image; false on failure.
    virtual bool ReadVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, Image* image) = 0;
    virtual void DrawVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, float x, float y, float w, float h) = 0;

    virtual void DrawImage(const ImageQuad& quad, float x, float y) = 0;
    virtual void DrawTriangles(const std::shared_ptr<TextureGL>& texture, const DecalVertex* vertices, int vertexCount,
                               const uint32_t* indices, int indexCount) = 0;
    virtual void DrawModel(const ModelPart& part) = 0;

    virtual void Clear(float r, float g, float b, float a) = 0;
    // Swaps buffers with vertical sync and resets the per-frame draw counts.
    virtual void Present() = 0;
};

}  // namespace GL
