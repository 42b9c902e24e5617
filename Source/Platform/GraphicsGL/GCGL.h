// GL::GCGL: the graphics context over OpenGL 3.3 core, drawing into the SDL
// window whose GL context is current on the UI thread.
//
// Shader sets come from GLSL files in the resource folder (video.vert/.frag,
// decal.vert/.frag, model.vert/.frag). Every uniform block is bound at point 0.
// All calls: UI thread, under the device lock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/ShaderGL.h"

struct SDL_Window;
struct AVFrame;

namespace GL {

// OpenGL version of the current context as major * 10 + minor (33 for 3.3).
int CurrentGLVersion();
// A sampler with linear filtering, clamped edges and only the base level
// (every texture of the program is drawn at about its own size).
unsigned CreateLinearClampSampler();

// Row-major orthographic projection for a W x H target: pixel (0, 0) top-left.
void ProjectionMatrix(int width, int height, float out[16]);

class GCGL final : public GC {
public:
    // `window` may be null (tests that draw into an off-screen context; Present
    // then only ends the frame).
    explicit GCGL(SDL_Window* window);
    ~GCGL() override;

    bool Initialize() override;
    void CreateRenderTarget(int width, int height) override;
    std::shared_ptr<TextureGL> CreateTexture(const void* pixels, int width, int height, int format) override;
    std::shared_ptr<TextureGL> CreateTexture(const Image& image) override;
    std::shared_ptr<TextureGL> LoadTexture(const char* path) override;
    std::shared_ptr<TextureGL> LoadTextureFromMemory(const void* bytes, size_t length) override;
    std::shared_ptr<VideoFrameGL> UpdateVideoFrame(const std::shared_ptr<AV::Frame>& frame) override;
    bool ReadVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, Image* image) override;
    void DrawVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, float x, float y, float w, float h) override;
    void DrawImage(const ImageQuad& quad, float x, float y) override;
    void DrawTriangles(const std::shared_ptr<TextureGL>& texture, const DecalVertex* vertices, int vertexCount,
                       const uint32_t* indices, int indexCount) override;
    void DrawModel(const ModelPart& part) override;
    void Clear(float r, float g, float b, float a) override;
    void Present() override;

    // The pooled picture path for a decoded FFmpeg frame (UpdateVideoFrame's core).
    std::shared_ptr<VideoFrameGL> UpdateVideoFrameFrom(const AVFrame* frame);

    int TargetWidth() const { return targetWidth_; }
    int TargetHeight() const { return targetHeight_; }
    size_t VideoPoolSize() const { return videoPool_.size(); }
    size_t TextureCount() const { return textures_.size(); }
    int VideoDrawsThisFrame() const { return videoDraws_; }

private:
    // `fragmentDefines`: "#define" lines the fragment stage is compiled with.
    std::shared_ptr<ShaderGL> CreateShader(const char* vertexFile, const char* fragmentFile, size_t uniformBytes,
                                           const BlendDesc& blend, const char* fragmentDefines = nullptr);
    void ReleaseAll();
    void ApplyDecalSet(unsigned textureId);
    void WriteProjection(const ShaderGL& shader);

    SDL_Window* window_;
    int targetWidth_ = 0, targetHeight_ = 0;
    unsigned sampler_ = 0;
    // video.frag as two programs, NV12 and (THREE_PLANES) YUV420P pictures.
    std::shared_ptr<ShaderGL> videoShader_, planarVideoShader_, decalShader_, modelShader_;
    std::vector<std::shared_ptr<ShaderGL>> shaders_;
    std::vector<std::weak_ptr<TextureGL>> textures_;          // every texture made (not kept alive here)
    std::vector<std::shared_ptr<VideoFrameGL>> videoPool_;
    unsigned decalVao_ = 0, decalVertexBuffer_ = 0, decalIndexBuffer_ = 0;
    unsigned modelVao_ = 0, modelVertexBuffer_ = 0, modelIndexBuffer_ = 0;
    int decalDraws_ = 0, videoDraws_ = 0;
    bool videoProjectionWritten_[2] = {false, false};  // this frame: NV12, YUV420P program
};

}  // namespace GL
