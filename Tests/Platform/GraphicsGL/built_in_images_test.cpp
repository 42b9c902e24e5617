// LoadBuiltInImages and the icon records: the described atlas rectangles at
// UI scales 1 and 2, damaged or undecodable images, the artwork staying
// inside its rectangles, and the application icon.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <functional>
#include <string>
#include <vector>

#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/EmbeddedImage.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/GraphicsGL/FakeGC.h"

namespace {

using GL::BuiltInImages;
using GL::ImageQuad;

// The atlas layout as described (x, y, width, height), written out here
// independently of the program's table.
struct Described {
    const char* name;
    std::function<ImageQuad&(BuiltInImages&)> record;
    float x, y, w, h;
};

std::vector<Described> DescribedIcons() {
    return {
        {"record", [](BuiltInImages& b) -> ImageQuad& { return b.record; }, 0, 0, 96, 96},
        {"stop recording", [](BuiltInImages& b) -> ImageQuad& { return b.stopRecording; }, 96, 0, 96, 96},
        {"snapshot", [](BuiltInImages& b) -> ImageQuad& { return b.snapshot; }, 192, 0, 96, 96},
        {"media view", [](BuiltInImages& b) -> ImageQuad& { return b.mediaView; }, 288, 0, 96, 96},
        {"live view", [](BuiltInImages& b) -> ImageQuad& { return b.liveView; }, 384, 0, 96, 96},
        {"leave full screen", [](BuiltInImages& b) -> ImageQuad& { return b.leaveFullScreen; }, 32, 96, 32, 32},
        {"full screen", [](BuiltInImages& b) -> ImageQuad& { return b.fullScreen; }, 64, 96, 32, 32},
        {"restore", [](BuiltInImages& b) -> ImageQuad& { return b.restore; }, 96, 96, 32, 32},
        {"maximise", [](BuiltInImages& b) -> ImageQuad& { return b.maximise; }, 128, 96, 32, 32},
        {"minimise", [](BuiltInImages& b) -> ImageQuad& { return b.minimise; }, 160, 96, 32, 32},
        {"close", [](BuiltInImages& b) -> ImageQuad& { return b.close; }, 192, 96, 32, 32},
        {"folder", [](BuiltInImages& b) -> ImageQuad& { return b.folder; }, 224, 96, 32, 32},
        {"small trash", [](BuiltInImages& b) -> ImageQuad& { return b.smallTrash; }, 256, 96, 32, 32},
        {"chevron", [](BuiltInImages& b) -> ImageQuad& { return b.chevron; }, 288, 96, 32, 32},
        {"undo", [](BuiltInImages& b) -> ImageQuad& { return b.undo; }, 320, 96, 32, 32},
        {"video file", [](BuiltInImages& b) -> ImageQuad& { return b.videoFile; }, 352, 96, 32, 32},
        {"image file", [](BuiltInImages& b) -> ImageQuad& { return b.imageFile; }, 384, 96, 32, 32},
        {"swap views", [](BuiltInImages& b) -> ImageQuad& { return b.swapViews; }, 0, 128, 64, 64},
        {"picture in picture", [](BuiltInImages& b) -> ImageQuad& { return b.pictureInPicture; }, 64, 128, 64, 64},
        {"one above the other", [](BuiltInImages& b) -> ImageQuad& { return b.oneAboveOther; }, 128, 128, 64, 64},
        {"side by side", [](BuiltInImages& b) -> ImageQuad& { return b.sideBySide; }, 192, 128, 64, 64},
        {"single view", [](BuiltInImages& b) -> ImageQuad& { return b.singleView; }, 256, 128, 64, 64},
        {"settings", [](BuiltInImages& b) -> ImageQuad& { return b.settings[0]; }, 0, 192, 64, 64},
        {"settings active", [](BuiltInImages& b) -> ImageQuad& { return b.settings[1]; }, 0, 256, 64, 64},
        {"lights", [](BuiltInImages& b) -> ImageQuad& { return b.lights[0]; }, 64, 192, 64, 64},
        {"lights active", [](BuiltInImages& b) -> ImageQuad& { return b.lights[1]; }, 64, 256, 64, 64},
        {"file list", [](BuiltInImages& b) -> ImageQuad& { return b.fileList[0]; }, 128, 192, 64, 64},
        {"file list active", [](BuiltInImages& b) -> ImageQuad& { return b.fileList[1]; }, 128, 256, 64, 64},
        {"guides", [](BuiltInImages& b) -> ImageQuad& { return b.guides[0]; }, 192, 192, 64, 64},
        {"guides active", [](BuiltInImages& b) -> ImageQuad& { return b.guides[1]; }, 192, 256, 64, 64},
        {"layout", [](BuiltInImages& b) -> ImageQuad& { return b.layout[0]; }, 256, 192, 64, 64},
        {"layout active", [](BuiltInImages& b) -> ImageQuad& { return b.layout[1]; }, 256, 256, 64, 64},
        {"play", [](BuiltInImages& b) -> ImageQuad& { return b.play; }, 0, 320, 64, 64},
        {"pause", [](BuiltInImages& b) -> ImageQuad& { return b.pause; }, 64, 320, 64, 64},
        {"replay", [](BuiltInImages& b) -> ImageQuad& { return b.replay; }, 128, 320, 64, 64},
        {"previous", [](BuiltInImages& b) -> ImageQuad& { return b.previous; }, 192, 320, 64, 64},
        {"next", [](BuiltInImages& b) -> ImageQuad& { return b.next; }, 256, 320, 64, 64},
        {"trash", [](BuiltInImages& b) -> ImageQuad& { return b.trash; }, 0, 384, 48, 48},
        {"export", [](BuiltInImages& b) -> ImageQuad& { return b.exportFile; }, 48, 384, 48, 48},
        {"back", [](BuiltInImages& b) -> ImageQuad& { return b.back; }, 96, 384, 48, 48},
        {"product logo banner", [](BuiltInImages& b) -> ImageQuad& { return b.productLogo; }, 0, 432, 336, 48},
    };
}

class IconRecords : public ::testing::TestWithParam<float> {};

TEST_P(IconRecords, MatchTheDescribedAtlasLayout) {
    const float s = GetParam();
    FakeGC gc;
    BuiltInImages images;
    ASSERT_EQ(GL::LoadBuiltInImages(&gc, s, GL::ProgramBlocks(), &images), 3);
    ASSERT_TRUE(images.atlas);
    EXPECT_EQ(images.atlas->Width(), 512);
    EXPECT_EQ(images.atlas->Height(), 512);
    const std::vector<Described> described = DescribedIcons();
    EXPECT_EQ(GL::IconTable().size(), described.size());
    for (const Described& d : described) {
        SCOPED_TRACE(d.name);
        const ImageQuad& q = d.record(images);
        EXPECT_EQ(q.texture, images.atlas);
        EXPECT_FLOAT_EQ(q.u0, d.x / 512.0f);
        EXPECT_FLOAT_EQ(q.v0, d.y / 512.0f);
        EXPECT_FLOAT_EQ(q.u1, (d.x + d.w) / 512.0f);
        EXPECT_FLOAT_EQ(q.v1, (d.y + d.h) / 512.0f);
        EXPECT_FLOAT_EQ(q.width, d.w * s);
        EXPECT_FLOAT_EQ(q.height, d.h * s);
        EXPECT_EQ(q.r, 1.0f);
        EXPECT_EQ(q.g, 1.0f);
        EXPECT_EQ(q.b, 1.0f);
        EXPECT_EQ(q.a, 1.0f);
    }
    // The maker's logo: the whole image at 0.75 x its size.
    EXPECT_EQ(images.makerLogo.texture, images.makerLogoTexture);
    EXPECT_EQ(images.makerLogoTexture->Width(), 720);
    EXPECT_EQ(images.makerLogoTexture->Height(), 280);
    EXPECT_FLOAT_EQ(images.makerLogo.width, 540.0f * s);
    EXPECT_FLOAT_EQ(images.makerLogo.height, 210.0f * s);
    EXPECT_FLOAT_EQ(images.makerLogo.u1, 1.0f);
    EXPECT_FLOAT_EQ(images.makerLogo.v1, 1.0f);
    EXPECT_EQ(images.reflectionMap->Width(), 256);
    EXPECT_EQ(images.reflectionMap->Height(), 256);
}

INSTANTIATE_TEST_SUITE_P(UiScales, IconRecords, ::testing::Values(1.0f, 2.0f));

TEST(IconRecords, ScaleTwoSizes) {
    FakeGC gc;
    BuiltInImages images;
    GL::LoadBuiltInImages(&gc, 2.0f, GL::ProgramBlocks(), &images);
    EXPECT_EQ(images.record.width, 192.0f);
    EXPECT_EQ(images.record.height, 192.0f);
    EXPECT_EQ(images.makerLogo.width, 1080.0f);
    EXPECT_EQ(images.makerLogo.height, 420.0f);
    // Loading again at another scale resizes the same records.
    GL::LoadBuiltInImages(&gc, 0.5f, GL::ProgramBlocks(), &images);
    EXPECT_EQ(images.record.width, 48.0f);
    EXPECT_EQ(images.close.width, 16.0f);
}

// A scale change (any number of them) decodes and uploads nothing again:
// the same three textures stay, the records follow the scale.
TEST(IconRecords, ScaleChangesKeepTheTextures) {
    FakeGC gc;
    BuiltInImages images;
    ASSERT_EQ(GL::LoadBuiltInImages(&gc, 1.0f, GL::ProgramBlocks(), &images), 3);
    const int loads = gc.textureLoads;
    EXPECT_EQ(loads, 3);
    const std::shared_ptr<GL::TextureGL> atlas = images.atlas, logo = images.makerLogoTexture,
                                         reflection = images.reflectionMap;
    for (int i = 0; i < 100; ++i) {
        const float scale = i % 2 == 0 ? 1.5f : 1.0f;
        ASSERT_EQ(GL::LoadBuiltInImages(&gc, scale, GL::ProgramBlocks(), &images), 3);
        EXPECT_EQ(images.record.width, 96.0f * scale);
    }
    EXPECT_EQ(gc.textureLoads, loads);
    EXPECT_EQ(images.atlas, atlas);
    EXPECT_EQ(images.makerLogoTexture, logo);
    EXPECT_EQ(images.reflectionMap, reflection);
    EXPECT_EQ(images.close.texture, atlas);
    EXPECT_EQ(atlas.use_count(), 1 + long(GL::IconTable().size()) + 1) << "the records and images.atlas only";
}

TEST(LoadBuiltInImages, SkippedWithoutGraphicsContext) {
    BuiltInImages images;
    images.record.width = 5.0f;
    EXPECT_EQ(GL::LoadBuiltInImages(nullptr, 1.0f, GL::ProgramBlocks(), &images), 0);
    EXPECT_EQ(images.record.width, 5.0f);
    EXPECT_FALSE(images.atlas);
}

// A damaged block or an undecodable PNG leaves that image out and logs it;
// the other images still load and the icons keep their rectangles.
TEST(LoadBuiltInImages, BadImagesAreSkippedAndLogged) {
    const GL::EmbeddedBlocks program = GL::ProgramBlocks();
    std::vector<uint8_t> damaged(program.iconAtlas, program.iconAtlas + program.iconAtlasSize);
    damaged[3] ^= 0x01;  // the stored length no longer matches
    const uint8_t garbage[] = "this is not a PNG file, although it is long enough to be compressed";
    const std::vector<uint8_t> notPng = GL::EncodeEmbeddedImage(garbage, sizeof garbage);

    struct Case {
        const char* log;
        std::function<void(GL::EmbeddedBlocks&)> spoil;
        std::function<std::shared_ptr<GL::TextureGL>&(BuiltInImages&)> missing;
    };
    const Case cases[] = {
        {"LoadBuiltInImages | could not decompress the icon atlas image",
         [&](GL::EmbeddedBlocks& b) { b.iconAtlas = damaged.data(), b.iconAtlasSize = damaged.size(); },
         [](BuiltInImages& i) -> std::shared_ptr<GL::TextureGL>& { return i.atlas; }},
        {"LoadBuiltInImages | could not decode the reflection map image",
         [&](GL::EmbeddedBlocks& b) { b.reflectionMap = notPng.data(), b.reflectionMapSize = notPng.size(); },
         [](BuiltInImages& i) -> std::shared_ptr<GL::TextureGL>& { return i.reflectionMap; }},
        {"LoadBuiltInImages | could not decompress the logo image",
         [&](GL::EmbeddedBlocks& b) { b.makerLogoSize = 4; },
         [](BuiltInImages& i) -> std::shared_ptr<GL::TextureGL>& { return i.makerLogoTexture; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        GL::EmbeddedBlocks blocks = program;
        c.spoil(blocks);
        FakeGC gc;
        BuiltInImages images;
        testing::internal::CaptureStderr();
        EXPECT_EQ(GL::LoadBuiltInImages(&gc, 1.0f, blocks, &images), 2);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        EXPECT_FALSE(c.missing(images));
        // Every icon keeps its rectangle; its texture is the atlas, or none
        // when the atlas is the missing image (an empty rectangle).
        EXPECT_EQ(images.record.texture, images.atlas);
        EXPECT_EQ(images.productLogo.texture, images.atlas);
        EXPECT_EQ(images.makerLogo.texture, images.makerLogoTexture);
        EXPECT_EQ(images.record.width, 96.0f);
        EXPECT_EQ(images.makerLogo.width, 540.0f);
    }
}

// The artwork keeps to the layout: every icon rectangle holds a picture, its
// one-pixel rim is transparent (no bleeding into neighbours under linear
// filtering), and the atlas is transparent outside the rectangles and the
// application icon. The record disc is red; the other glyphs are light.
TEST(IconAtlasArtwork, StaysInsideItsRectangles) {
    const GL::EmbeddedBlocks blocks = GL::ProgramBlocks();
    std::vector<uint8_t> png;
    ASSERT_TRUE(GL::DecodeEmbeddedImage(blocks.iconAtlas, blocks.iconAtlasSize, &png));
    int w = 0, h = 0, comp = 0;
    stbi_uc* pixels = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &comp, 4);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(w, 512);
    auto alpha = [&](int x, int y) { return pixels[(y * 512 + x) * 4 + 3]; };
    auto rgb = [&](int x, int y, int c) { return pixels[(y * 512 + x) * 4 + c]; };
    std::vector<char> covered(512 * 512, 0);
    for (const GL::IconEntry& e : GL::IconTable()) {
        SCOPED_TRACE(e.name);
        int opaque = 0;
        for (int y = e.y; y < e.y + e.height; ++y) {
            for (int x = e.x; x < e.x + e.width; ++x) {
                covered[y * 512 + x] = 1;
                const bool rim = x == e.x || y == e.y || x == e.x + e.width - 1 || y == e.y + e.height - 1;
                if (rim) {
                    EXPECT_EQ(alpha(x, y), 0) << "at " << x << "," << y;
                }
                if (alpha(x, y) > 128) ++opaque;
            }
        }
        EXPECT_GT(opaque, e.width * e.height / 60) << "an almost empty icon";
    }
    for (int y = GL::kAppIconY; y < GL::kAppIconY + GL::kAppIconSize; ++y) {
        for (int x = GL::kAppIconX; x < GL::kAppIconX + GL::kAppIconSize; ++x) covered[y * 512 + x] = 1;
    }
    int stray = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            if (!covered[y * 512 + x] && alpha(x, y) != 0) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
    // Record: red disc centre. Play: light grey glyph.
    EXPECT_GT(rgb(48, 48, 0), 200);
    EXPECT_LT(rgb(48, 48, 1), 80);
    EXPECT_GT(rgb(30, 352, 0), 200);
    EXPECT_GT(rgb(30, 352, 1), 200);
    EXPECT_GT(rgb(30, 352, 2), 200);
    stbi_image_free(pixels);
}

TEST(AppIcon, CutFromTheAtlas) {
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    ASSERT_TRUE(GL::AppIconPixels(GL::ProgramBlocks(), &rgba, &w, &h));
    ASSERT_EQ(w, 128);
    ASSERT_EQ(h, 128);
    ASSERT_EQ(rgba.size(), 128u * 128u * 4u);
    auto px = [&](int x, int y, int c) { return rgba[size_t(y * 128 + x) * 4 + c]; };
    EXPECT_EQ(px(0, 0, 3), 0);                          // transparent corner
    EXPECT_GT(px(20, 64, 0), 200);                      // red square
    EXPECT_LT(px(20, 64, 1), 80);
    EXPECT_GT(px(64, 64, 1), 200);                      // white centre
    GL::EmbeddedBlocks broken = GL::ProgramBlocks();
    broken.iconAtlasSize = 10;
    EXPECT_FALSE(GL::AppIconPixels(broken, &rgba, &w, &h));
}

}  // namespace
