// The graphics context on a real OpenGL 3.3 core context (Mesa under Xvfb):
// shader sets from the resource folder, textures, video frames in plane
// textures and their read-back, drawing, and the state restore of the
// video draw callback.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/frame.h>
}

#include "Platform/GraphicsGL/GCGL.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"
#include "Support/GlWindow.h"

namespace {

namespace fs = std::filesystem;

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gl_ = std::make_unique<testsupport::GlWindow>(kWidth, kHeight);
        ASSERT_TRUE(gl_->Ok()) << gl_->Error();
        window_ = gl_->Window();
        SetResourceFolderForTests(ORVEX_BUILD_DIR "/Data");
        gc_ = std::make_unique<GL::GCGL>(window_);
    }
    void TearDown() override {
        gc_.reset();
        SetResourceFolderForTests("");
        gl_.reset();
    }

    // A YUV420P or NV12 frame: luma = (x + 2y) & 0xFF, chroma constant.
    static AVFrame* MakeFrame(AVPixelFormat format, int w, int h, uint8_t u, uint8_t v) {
        AVFrame* f = av_frame_alloc();
        f->format = format;
        f->width = w;
        f->height = h;
        if (av_frame_get_buffer(f, 32) < 0) {
            av_frame_free(&f);
            return nullptr;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) f->data[0][y * f->linesize[0] + x] = uint8_t((x + 2 * y) & 0xFF);
        }
        const int cw = (w + 1) / 2, ch = (h + 1) / 2;
        for (int y = 0; y < ch; ++y) {
            for (int x = 0; x < cw; ++x) {
                if (format == AV_PIX_FMT_NV12) {
                    f->data[1][y * f->linesize[1] + 2 * x] = u;
                    f->data[1][y * f->linesize[1] + 2 * x + 1] = v;
                } else {
                    f->data[1][y * f->linesize[1] + x] = u;
                    f->data[2][y * f->linesize[2] + x] = v;
                }
            }
        }
        return f;
    }

    // A 16 x 16 frame of one colour.
    static AVFrame* MakeSolidFrame(AVPixelFormat format, uint8_t luma, uint8_t u, uint8_t v) {
        AVFrame* f = MakeFrame(format, 16, 16, u, v);
        if (f == nullptr) return nullptr;
        for (int y = 0; y < 16; ++y) memset(f->data[0] + y * f->linesize[0], luma, 16);
        return f;
    }

    void ReadPixel(int x, int y, uint8_t rgba[4]) {
        glReadBuffer(GL_BACK);
        glReadPixels(x, kHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    }

    static constexpr int kWidth = 320, kHeight = 240;
    std::unique_ptr<testsupport::GlWindow> gl_;
    SDL_Window* window_ = nullptr;
    std::unique_ptr<GL::GCGL> gc_;
};

TEST_F(GraphicsTest, InitializesWithTheShaderSets) {
    ASSERT_TRUE(gc_->Initialize());
    EXPECT_GE(GL::CurrentGLVersion(), 33);
    EXPECT_EQ(GL::VideoDrawContext(), gc_.get());
}

TEST_F(GraphicsTest, MissingShaderFailsAndNamesTheFile) {
    char tmpl[] = "/tmp/orvex-window-shaders-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path folder(tmpl);
    for (const char* name : {"video.vert", "decal.vert", "decal.frag", "model.vert", "model.frag"}) {
        fs::copy_file(fs::path(ORVEX_BUILD_DIR "/Data") / name, folder / name);
    }
    SetResourceFolderForTests(folder.string());
    testing::internal::CaptureStderr();
    const bool ok = gc_->Initialize();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("could not open compiled pixel shader file"), std::string::npos) << log;
    EXPECT_NE(log.find("video.frag"), std::string::npos) << log;

    // A shader that does not compile fails too, with the compiler's words.
    std::ofstream(folder / "video.frag") << "#version 330 core\nthis is not glsl\n";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(gc_->Initialize());
    const std::string log2 = testing::internal::GetCapturedStderr();
    EXPECT_NE(log2.find("could not create pixel shader video.frag"), std::string::npos) << log2;
    fs::remove_all(folder);
}

TEST_F(GraphicsTest, VideoFramesRoundTripThroughPlaneTextures) {
    ASSERT_TRUE(gc_->Initialize());
    struct Case {
        AVPixelFormat format;
        int w, h;
    } cases[] = {{AV_PIX_FMT_YUV420P, 64, 36}, {AV_PIX_FMT_NV12, 64, 36}, {AV_PIX_FMT_YUV420P, 33, 17}};
    for (const Case& c : cases) {
        AVFrame* frame = MakeFrame(c.format, c.w, c.h, 90, 240);
        ASSERT_NE(frame, nullptr);
        auto picture = gc_->UpdateVideoFrameFrom(frame);
        ASSERT_TRUE(picture) << c.format;
        EXPECT_EQ(picture->Width(), c.w);
        EXPECT_EQ(picture->Height(), c.h);
        GL::Image image;
        ASSERT_TRUE(gc_->ReadVideoFrame(picture, &image));
        EXPECT_EQ(image.format, GL::PixelFormatNV12);
        int wrong = 0;
        for (int y = 0; y < c.h; ++y) {
            for (int x = 0; x < c.w; ++x) wrong += image.pixels[size_t(y * c.w + x)] != uint8_t((x + 2 * y) & 0xFF);
        }
        EXPECT_EQ(wrong, 0) << "luma of format " << c.format;
        const uint8_t* uv = image.pixels.get() + c.w * c.h;
        EXPECT_EQ(uv[0], 90);
        EXPECT_EQ(uv[1], 240);
        EXPECT_EQ(uv[(c.h / 2 - 1) * c.w + 1], 240);
        av_frame_free(&frame);
    }
    // A pixel format the shader cannot take gives no picture.
    AVFrame* rgb = av_frame_alloc();
    rgb->format = AV_PIX_FMT_RGB24;
    rgb->width = 16;
    rgb->height = 16;
    ASSERT_GE(av_frame_get_buffer(rgb, 32), 0);
    EXPECT_FALSE(gc_->UpdateVideoFrameFrom(rgb));
    av_frame_free(&rgb);
}

TEST_F(GraphicsTest, PoolGrowsToThePicturesHeldAndFollowsResolution) {
    ASSERT_TRUE(gc_->Initialize());
    AVFrame* small = MakeFrame(AV_PIX_FMT_YUV420P, 32, 32, 128, 128);
    AVFrame* large = MakeFrame(AV_PIX_FMT_YUV420P, 64, 48, 128, 128);
    auto a = gc_->UpdateVideoFrameFrom(small);
    auto b = gc_->UpdateVideoFrameFrom(small);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get()) << "a held picture is never refilled";
    EXPECT_EQ(gc_->VideoPoolSize(), 2u);
    GL::VideoFrameGL* first = a.get();
    a.reset();
    auto c = gc_->UpdateVideoFrameFrom(large);
    ASSERT_TRUE(c);
    EXPECT_EQ(c.get(), first) << "the free record is reused";
    EXPECT_EQ(c->TextureWidth(), 64);
    EXPECT_EQ(c->TextureHeight(), 48);
    EXPECT_EQ(gc_->VideoPoolSize(), 2u);
    av_frame_free(&small);
    av_frame_free(&large);
}

TEST_F(GraphicsTest, DrawsVideoAndImagesWhereAsked) {
    ASSERT_TRUE(gc_->Initialize());
    gc_->CreateRenderTarget(kWidth, kHeight);
    gc_->Clear(0, 0, 0, 1);
    // Pure red in limited-range BT.601: Y 81, U 90, V 240.
    AVFrame* red = MakeSolidFrame(AV_PIX_FMT_NV12, 81, 90, 240);
    auto picture = gc_->UpdateVideoFrameFrom(red);
    ASSERT_TRUE(picture);
    gc_->DrawVideoFrame(picture, 0, 0, 160, 120);
    EXPECT_EQ(gc_->VideoDrawsThisFrame(), 1);
    // Pure blue from three planes (Y 41, U 240, V 110), in the same frame:
    // each layout has its own program.
    AVFrame* blueFrame = MakeSolidFrame(AV_PIX_FMT_YUV420P, 41, 240, 110);
    auto planar = gc_->UpdateVideoFrameFrom(blueFrame);
    ASSERT_TRUE(planar);
    gc_->DrawVideoFrame(planar, 0, 120, 160, 120);
    EXPECT_EQ(gc_->VideoDrawsThisFrame(), 2);

    const uint8_t green[4] = {0, 255, 0, 255}, blue[4] = {0, 0, 255, 255};
    auto gTex = gc_->CreateTexture(green, 1, 1, GL::PixelFormatRGBA);
    auto bTex = gc_->CreateTexture(blue, 1, 1, GL::PixelFormatRGBA);
    ASSERT_TRUE(gTex && bTex);
    GL::ImageQuad q;
    q.texture = gTex;
    q.width = q.height = 40;
    gc_->DrawImage(q, 200, 20);
    q.texture = bTex;
    q.a = 0.5f;  // blended over the black clear colour
    gc_->DrawImage(q, 200, 150);
    glFinish();
    uint8_t p[4];
    ReadPixel(80, 60, p);
    EXPECT_GT(p[0], 230);
    EXPECT_LT(p[1], 25);
    EXPECT_LT(p[2], 25);
    ReadPixel(80, 180, p);
    EXPECT_LT(p[0], 25);
    EXPECT_LT(p[1], 25);
    EXPECT_GT(p[2], 230);
    ReadPixel(220, 40, p);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[0], 0);
    ReadPixel(220, 170, p);
    EXPECT_NEAR(p[2], 128, 2);
    ReadPixel(300, 230, p);
    EXPECT_EQ(p[0] + p[1] + p[2], 0) << "nothing drawn outside";
    av_frame_free(&red);
    av_frame_free(&blueFrame);
}

TEST_F(GraphicsTest, TexturesFromFilesAndMemory) {
    ASSERT_TRUE(gc_->Initialize());
    const size_t before = gc_->TextureCount();
    EXPECT_FALSE(gc_->LoadTexture("/nonexistent/orvex.png"));
    const uint8_t garbage[16] = {1, 2, 3};
    EXPECT_FALSE(gc_->LoadTextureFromMemory(garbage, sizeof(garbage)));
    EXPECT_FALSE(gc_->LoadTextureFromMemory(nullptr, 0));
    EXPECT_EQ(gc_->TextureCount(), before);
    EXPECT_FALSE(gc_->CreateTexture(garbage, 0, 4, GL::PixelFormatRGBA));
    EXPECT_FALSE(gc_->CreateTexture(garbage, 2, 2, GL::PixelFormatNV12));
    GL::Image empty;
    EXPECT_FALSE(gc_->CreateTexture(empty));
}

TEST_F(GraphicsTest, VideoCallbackRestoresTheUiRendererState) {
    ASSERT_TRUE(gc_->Initialize());
    gc_->CreateRenderTarget(kWidth, kHeight);
    AVFrame* frame = MakeFrame(AV_PIX_FMT_YUV420P, 16, 16, 128, 128);
    GL::VideoDrawData data;
    data.picture = gc_->UpdateVideoFrameFrom(frame);
    ASSERT_TRUE(data.picture);
    data.width = 100;
    data.height = 80;
    // A state like the UI renderer's: its own program, blending, scissor.
    const GLuint program = glCreateProgram();
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glUseProgram(0);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 2, 30, 40);
    glActiveTexture(GL_TEXTURE0);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    ImDrawCmd cmd;
    cmd.UserCallbackData = &data;
    GL::DrawVideoCallback(nullptr, &cmd);

    GLint value = -1, box[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &value);
    EXPECT_EQ(GLuint(value), vao);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(GLuint(value), texture);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[0], 1);
    EXPECT_EQ(box[3], 40);
    EXPECT_EQ(gc_->VideoDrawsThisFrame(), 1) << "the callback drew";
    gc_->Present();
    EXPECT_EQ(gc_->VideoDrawsThisFrame(), 0);
    glDeleteTextures(1, &texture);
    glDeleteVertexArrays(1, &vao);
    glDeleteProgram(program);
    av_frame_free(&frame);
}

}  // namespace
