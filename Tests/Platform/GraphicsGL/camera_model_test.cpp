// LoadCameraModel: four parts in drawing order with the described colours and
// materials, the reflection map in slot 0, and missing files as empty parts.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Platform/GraphicsGL/Model.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Support/TempFolder.h"

namespace {

class CameraModelTest : public ::testing::Test {
protected:
    void Write(const char* name, const std::string& text) { std::ofstream(dir_.File(name)) << text; }

    TempFolder dir_;
};

const char* kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n";

TEST_F(CameraModelTest, PartsColoursAndMaterials) {
    // Body and cap present; the lights file is missing and the screws file
    // has a quad after one good triangle.
    Write("cam.obj", kTriangle);
    Write("cam-cap.obj", std::string(kTriangle) + "v 1 1 0\nf 1//1 2//1 3//1\n");
    Write("cam-screws.obj", std::string(kTriangle) + "v 1 1 0\nf 1//1 2//1 4//1 3//1\n");
    const uint8_t pixel[4] = {1, 2, 3, 4};
    auto reflection = std::make_shared<GL::TextureGL>(pixel, 1, 1, 0);
    std::vector<GL::ModelPart> parts;
    testing::internal::CaptureStderr();
    GL::LoadCameraModel(reflection, dir_.AsPath(), &parts);
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_EQ(parts.size(), 4u);

    const struct {
        size_t vertices;
        size_t indices;
        float colour[4];
        float material[4];
    } expected[4] = {
        {3, 3, {16 / 255.0f, 17 / 255.0f, 20 / 255.0f, 1.0f}, {0.2f, 0.8f, 1.0f, 0.08f}},
        {0, 0, {1.0f, 238 / 255.0f, 177 / 255.0f, 0.5f}, {0.2f, 0.6f, 0.4f, 0.1f}},
        {3, 6, {22 / 255.0f, 23 / 255.0f, 24 / 255.0f, 1.0f}, {0.2f, 0.8f, 0.0f, 0.0f}},
        {3, 3, {0.5f, 0.5f, 0.5f, 1.0f}, {0.1f, 0.9f, 1.0f, 0.1f}},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const GL::ModelPart& p = parts[size_t(i)];
        ASSERT_EQ(p.textures.size(), 1u);
        EXPECT_EQ(p.textures[0], reflection);
        EXPECT_EQ(p.vertices.size(), expected[i].vertices);
        EXPECT_EQ(p.indices.size(), expected[i].indices);
        for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.material[k], expected[i].material[k]);
        for (const GL::ModelVertex& v : p.vertices) {
            EXPECT_FLOAT_EQ(v.r, expected[i].colour[0]);
            EXPECT_FLOAT_EQ(v.g, expected[i].colour[1]);
            EXPECT_FLOAT_EQ(v.b, expected[i].colour[2]);
            EXPECT_FLOAT_EQ(v.a, expected[i].colour[3]);
        }
    }
    EXPECT_NE(log.find("OBJ load failed - could not read " + dir_.Dir() + "/cam-lights.obj"), std::string::npos) << log;
    EXPECT_NE(log.find("OBJ load failed - incorrect face indices"), std::string::npos) << log;

    // Loading again (after a UI scale change) replaces the parts.
    GL::LoadCameraModel(reflection, dir_.AsPath(), &parts);
    EXPECT_EQ(parts.size(), 4u);
}

TEST(Orientation, RotateAboutAxis) {
    GL::Orientation o;
    GL::ResetOrientation(o);
    const float z[3] = {0.0f, 0.0f, 2.0f};  // any length: the axis is normalised
    GL::RotateOrientation(o, z, 3.14159265f / 2);
    // r' = r cos + (r x k) sin + k (k.r)(1 - cos): (1,0,0) -> (0,-1,0), (0,1,0) -> (1,0,0).
    EXPECT_NEAR(o.m[0][0], 0.0f, 1e-6f);
    EXPECT_NEAR(o.m[0][1], -1.0f, 1e-6f);
    EXPECT_NEAR(o.m[1][0], 1.0f, 1e-6f);
    EXPECT_NEAR(o.m[1][1], 0.0f, 1e-6f);
    EXPECT_NEAR(o.m[2][2], 1.0f, 1e-6f);
    const float none[3] = {0.0f, 0.0f, 0.0f};
    GL::RotateOrientation(o, none, 1.0f);
    EXPECT_NEAR(o.m[0][1], -1.0f, 1e-6f);
    float m[16];
    o.t[0] = 5.0f;
    GL::OrientationMatrix(o, m);
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[12], 5.0f);
    EXPECT_EQ(m[15], 1.0f);
}

}  // namespace
