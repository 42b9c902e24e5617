// LoadObj over OBJ text and files: the face subset, the mirrored depth axis,
// vertex reuse, the error lines and what stays in the part after an error,
// the 16-bit vertex limit, and the camera model files in Data/.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Base/Log.h"
#include "Platform/GraphicsGL/ObjLoader.h"
#include "Support/TempFolder.h"

namespace {

const char* kTriangle =
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 0 1 0\n"
    "vn 0 0 1\n"
    "vn 0 0 2\n"
    "vn 1 0 0\n";

struct ObjCase {
    const char* name;
    std::string text;
    bool ok;
    size_t vertices;
    std::vector<uint16_t> indices;
    std::vector<std::string> logged;     // substrings expected on the log, in order
    std::vector<std::string> notLogged;  // substrings that must not appear
};

std::vector<ObjCase> Cases() {
    const std::string t = kTriangle;
    return {
        {"one triangle", t + "f 1//1 2//2 3//3\n", true, 3, {0, 1, 2}, {}, {"OBJ load failed"}},
        {"same position and normal reuses the vertex", t + "v 1 1 0\nf 1//1 2//2 3//3\nf 1//1 3//3 4//1\n", true, 4,
         {0, 1, 2, 0, 2, 3}, {}, {"OBJ load failed"}},
        {"same position, other normal makes a new vertex", t + "f 1//1 2//2 3//3\nf 1//2 2//2 3//3\n", true, 4,
         {0, 1, 2, 3, 1, 2}, {}, {}},
        {"texture coordinates are ignored", t + "vt 0.5 0.5\nvt 1 0\nf 1/1/1 2/2/2 3/1/3\n", true, 3, {0, 1, 2}, {}, {}},
        {"comments, groups and materials are ignored",
         "# a comment\nmtllib x.mtl\no body\ng part\nusemtl dark\ns 1\n" + t + "f 1//1 2//2 3//3\n", true, 3,
         {0, 1, 2}, {}, {}},
        {"carriage returns and tabs", "v\t0 0 0\rv 1\t0 0\r\nv 0 1 0\rvn 0 0 1\rf 1//1\t2//1 3//1\r", true, 3,
         {0, 1, 2}, {}, {}},
        {"quad without normals stops the load", t + "f 1 2 3 4\n", false, 0, {},
         {"OBJ load failed - invalid face index", "OBJ load failed - incorrect face indices"}, {}},
        {"quad with normals stops after the faces before it", t + "v 1 1 0\nf 1//1 2//2 3//3\nf 1//1 2//2 4//3 3//3\n",
         false, 3, {0, 1, 2}, {"OBJ load failed - incorrect face indices"}, {"invalid face index"}},
        {"index zero", t + "f 0//1 2//2 3//3\n", false, 0, {},
         {"OBJ load failed - invalid face index", "OBJ load failed - incorrect face indices"}, {}},
        {"position not read yet", "v 0 0 0\nv 1 0 0\nvn 0 0 1\nf 1//1 2//1 3//1\nv 0 1 0\n", false, 0, {},
         {"invalid face index", "incorrect face indices"}, {}},
        {"normal beyond the list", t + "f 1//1 2//2 3//4\n", false, 0, {}, {"invalid face index"}, {}},
        {"missing normal", t + "f 1/1 2/2 3/3\n", false, 0, {}, {"invalid face index"}, {}},
        {"negative (relative) index", t + "f -1//1 2//2 3//3\n", false, 0, {}, {"invalid face index"}, {}},
        {"two corners", t + "f 1//1 2//2\n", false, 0, {}, {"incorrect face indices"}, {"invalid face index"}},
        {"lines after a bad face are not read", t + "f 1//1 2//2\nf 1//1 2//2 3//3\n", false, 0, {},
         {"incorrect face indices"}, {}},
        {"bad number reads as zero", "v 0 0 0\nv 1 x 0\nv 0 1\nvn 0 0 1\nf 1//1 2//1 3//1\n", true, 3, {0, 1, 2},
         {"bad number on line 2"}, {"OBJ load failed"}},
        {"empty text", "", true, 0, {}, {}, {"OBJ load failed"}},
    };
}

class LoadObjTable : public ::testing::TestWithParam<ObjCase> {};

TEST_P(LoadObjTable, Case) {
    const ObjCase& c = GetParam();
    GL::ModelPart part;
    part.vertices.resize(7);  // stale contents must go
    part.indices.resize(5);
    testing::internal::CaptureStderr();
    const bool ok = GL::LoadObjFromText(c.text.data(), c.text.size(), "case.obj", part);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(part.vertices.size(), c.vertices);
    EXPECT_EQ(part.indices, c.indices);
    size_t from = 0;
    for (const std::string& s : c.logged) {
        const size_t at = log.find(s, from);
        EXPECT_NE(at, std::string::npos) << "missing log line \"" << s << "\" in:\n" << log;
        if (at != std::string::npos) from = at + s.size();
    }
    for (const std::string& s : c.notLogged) EXPECT_EQ(log.find(s), std::string::npos) << log;
    for (uint16_t i : part.indices) EXPECT_LT(i, part.vertices.size());
}

INSTANTIATE_TEST_SUITE_P(Faces, LoadObjTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ObjCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return n;
                         });

TEST(LoadObj, MirrorsDepthAndNormalisesNormals) {
    const std::string text = "v 1 2 3\nv 4 5 6\nv 7 8 9\nvn 0 0 2\nvn 3 4 0\nf 1//1 2//2 3//1\n";
    GL::ModelPart part;
    ASSERT_TRUE(GL::LoadObjFromText(text.data(), text.size(), "m.obj", part));
    ASSERT_EQ(part.vertices.size(), 3u);
    const GL::ModelVertex& a = part.vertices[0];
    EXPECT_EQ(a.x, 1.0f);
    EXPECT_EQ(a.y, 2.0f);
    EXPECT_EQ(a.z, -3.0f);
    EXPECT_FLOAT_EQ(a.nz, -1.0f);
    EXPECT_EQ(a.u, 0.0f);
    EXPECT_EQ(a.v, 0.0f);
    EXPECT_EQ(a.r, 1.0f);
    EXPECT_EQ(a.a, 1.0f);
    const GL::ModelVertex& b = part.vertices[1];
    EXPECT_EQ(b.z, -6.0f);
    EXPECT_FLOAT_EQ(b.nx, 0.6f);
    EXPECT_FLOAT_EQ(b.ny, 0.8f);
    EXPECT_FLOAT_EQ(b.nz, 0.0f);
}

TEST(LoadObj, StopsAtTheSixteenBitVertexLimit) {
    // 65,538 distinct positions in triangles of fresh vertices: the face that
    // would need vertex 65,537 ends the load; whole triangles stay.
    std::string text;
    const int positions = 65538;
    text.reserve(size_t(positions) * 24);
    for (int i = 0; i < positions; ++i) text += "v " + std::to_string(i) + " 0 0\n";
    text += "vn 0 1 0\n";
    for (int i = 1; i + 2 <= positions; i += 3) {
        text += "f " + std::to_string(i) + "//1 " + std::to_string(i + 1) + "//1 " + std::to_string(i + 2) + "//1\n";
    }
    GL::ModelPart part;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GL::LoadObjFromText(text.data(), text.size(), "big.obj", part));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("OBJ load failed - big.obj has more than 65536 vertices"), std::string::npos) << log;
    EXPECT_EQ(part.vertices.size(), 65535u);  // 21,845 whole triangles
    EXPECT_EQ(part.indices.size(), 65535u);
    EXPECT_EQ(part.indices.back(), 65534);
}

TEST(LoadObj, MissingFileEmptiesThePart) {
    TempFolder dir;
    GL::ModelPart part;
    part.vertices.resize(3);
    part.indices = {0, 1, 2};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GL::LoadObj(Path(dir.Dir() + "/nothing.obj"), part));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(part.vertices.empty());
    EXPECT_TRUE(part.indices.empty());
    EXPECT_NE(log.find("OBJ load failed - could not read"), std::string::npos) << log;
}

// The committed model files read without a single error, stay within the
// draw buffers, and describe closed, outward-lit solids of sensible size.
TEST(LoadObj, CameraModelFilesInData) {
    for (const char* name : {"cam.obj", "cam-lights.obj", "cam-cap.obj", "cam-screws.obj"}) {
        SCOPED_TRACE(name);
        GL::ModelPart part;
        testing::internal::CaptureStderr();
        const bool ok = GL::LoadObj(Path(std::string(ORVEX_SOURCE_DIR) + "/Data/" + name), part);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ok) << log;
        EXPECT_TRUE(log.empty()) << log;
        EXPECT_GT(part.vertices.size(), 100u);
        EXPECT_LE(part.vertices.size(), GL::kObjMaxVertices);
        EXPECT_EQ(part.indices.size() % 3, 0u);
        float radius = 0.0f;
        for (const GL::ModelVertex& v : part.vertices) {
            radius = std::max(radius, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
            EXPECT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0f, 1e-3f);
        }
        EXPECT_LT(radius, 1.6f);  // fits the searching scene's view
        EXPECT_GT(radius, 0.5f);
    }
}

}  // namespace
