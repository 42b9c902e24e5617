// A graphics context without GL for tests of code that only makes textures:
// LoadTextureFromMemory decodes with stb_image like the real context, and the
// texture keeps its pixels in memory (TextureGL uploads only on first use).
// Draw calls are counted, nothing is drawn.
#pragma once

#include <stb_image.h>

#include <memory>
#include <vector>

#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/ModelPart.h"
#include "Platform/GraphicsGL/TextureGL.h"

class FakeGC final : public GL::GC {
public:
    bool Initialize() override { return true; }
    void CreateRenderTarget(int, int) override {}
    std::shared_ptr<GL::TextureGL> CreateTexture(const void* pixels, int width, int height, int format) override {
        return std::make_shared<GL::TextureGL>(pixels, width, height, format);
    }
    std::shared_ptr<GL::TextureGL> CreateTexture(const GL::Image& image) override {
        return CreateTexture(image.pixels.get(), image.width, image.height, image.format);
    }
    std::shared_ptr<GL::TextureGL> LoadTexture(const char*) override { return nullptr; }
    std::shared_ptr<GL::TextureGL> LoadTextureFromMemory(const void* bytes, size_t length) override {
        ++textureLoads;
        int w = 0, h = 0, comp = 0;
        stbi_uc* pixels =
            stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), int(length), &w, &h, &comp, 4);
        if (pixels == nullptr) return nullptr;
        auto texture = CreateTexture(pixels, w, h, GL::PixelFormatRGBA);
        stbi_image_free(pixels);
        return texture;
    }
    std::shared_ptr<GL::VideoFrameGL> UpdateVideoFrame(const std::shared_ptr<AV::Frame>&) override { return nullptr; }
    bool ReadVideoFrame(const std::shared_ptr<GL::VideoFrameGL>&, GL::Image*) override { return false; }
    void DrawVideoFrame(const std::shared_ptr<GL::VideoFrameGL>&, float, float, float, float) override {}
    void DrawImage(const GL::ImageQuad&, float, float) override {}
    void DrawTriangles(const std::shared_ptr<GL::TextureGL>&, const GL::DecalVertex*, int, const uint32_t*,
                       int) override {}
    void DrawModel(const GL::ModelPart& part) override { drawnModels.push_back(part); }
    void Clear(float, float, float, float) override {}
    void Present() override {}

    int textureLoads = 0;
    std::vector<GL::ModelPart> drawnModels;  // copies, as they were at the draw
};
