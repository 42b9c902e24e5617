#include <gtest/gtest.h>

#include "App/Path.h"

namespace {

struct AppendCase {
    const char* base;
    const char* component;
    const char* text;
    const char* name;
    const char* extension;
};

class PathAppend : public ::testing::TestWithParam<AppendCase> {};

TEST_P(PathAppend, NormalisesAndTracksNameAndExtension) {
    const AppendCase& c = GetParam();
    Path p;
    p.Append(c.base);
    p.Append(c.component);
    EXPECT_EQ(p.Text(), c.text);
    EXPECT_EQ(p.Name(), c.name);
    EXPECT_EQ(p.Extension(), c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PathAppend,
    ::testing::Values(
        AppendCase{"/x", "a/b//c.txt", "/x/a/b/c.txt", "c.txt", "txt"},
        AppendCase{"", "C:/ORVEX Storage/SessionData", "C:/ORVEX Storage/SessionData", "SessionData", ""},
        AppendCase{"", "C:\\x\\\\y", "C:/x/y", "y", ""},
        AppendCase{"", "//server/share", "//server/share", "share", ""},
        AppendCase{"", "///server", "//server", "server", ""},
        AppendCase{"/data", "folder/", "/data/folder", "folder", ""},
        AppendCase{"/data", "", "/data", "data", ""},
        AppendCase{"/a.b", "c", "/a.b/c", "c", ""},
        AppendCase{"/x", "archive.tar.gz", "/x/archive.tar.gz", "archive.tar.gz", "gz"},
        AppendCase{"", "/", "", "", ""}));

TEST(Path, EmptyHasZeroPositions) {
    Path p;
    EXPECT_TRUE(p.Empty());
    EXPECT_EQ(p.NameStart(), 0u);
    EXPECT_EQ(p.ExtensionStart(), 0u);
    EXPECT_EQ(p.Name(), "");
}

}  // namespace
