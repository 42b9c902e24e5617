#include <gtest/gtest.h>

#include <ostream>

#include "Base/Path.h"

namespace {

struct AppendCase {
    const char* base;
    const char* component;
    const char* text;
    const char* name;
    const char* extension;
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const AppendCase& c, std::ostream* os) { *os << c.base << " + " << c.component; }

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
        AppendCase{"", "/", "", "", ""},
        // the described Windows examples, written with '/'
        AppendCase{"C:/x", "a/b//c.txt", "C:/x/a/b/c.txt", "c.txt", "txt"},
        AppendCase{"C:\\x", "a\\b\\\\c.txt", "C:/x/a/b/c.txt", "c.txt", "txt"},
        // runs of separators, mixed kinds
        AppendCase{"/x", "a/\\/\\b", "/x/a/b", "b", ""},
        AppendCase{"/x", "//a", "/x/a", "a", ""},
        // leading double separator survives only at the very start
        AppendCase{"", "\\\\server\\share\\f.mkv", "//server/share/f.mkv", "f.mkv", "mkv"},
        // trailing separators are dropped
        AppendCase{"/x", "a//", "/x/a", "a", ""},
        AppendCase{"/x", "b.d/", "/x/b.d", "b.d", "d"},
        // extensions: none, hidden file, trailing dot, several dots
        AppendCase{"/x", "Makefile", "/x/Makefile", "Makefile", ""},
        AppendCase{"/x", ".hidden", "/x/.hidden", ".hidden", "hidden"},
        AppendCase{"/x", "name.", "/x/name.", "name.", ""},
        AppendCase{"/x", "log-1.0.13.216-20240506090307.txt", "/x/log-1.0.13.216-20240506090307.txt",
                   "log-1.0.13.216-20240506090307.txt", "txt"}));

TEST(Path, AppendKeepsAppendingComponents) {
    Path p;
    p.Append("/home/user/.local/share");
    p.Append("KAVOR Industries/ORVEX Studio");
    p.Append("Logs");
    EXPECT_EQ(p.Text(), "/home/user/.local/share/KAVOR Industries/ORVEX Studio/Logs");
    EXPECT_EQ(p.Name(), "Logs");
    EXPECT_EQ(p.Extension(), "");
    p.Append("settings.ini", 0);  // length 0: nothing changes
    EXPECT_EQ(p.Name(), "Logs");
    EXPECT_EQ(Join(p, "a.txt").Text(), p.Text() + "/a.txt");
}

TEST(Path, EmptyHasZeroPositions) {
    Path p;
    EXPECT_TRUE(p.Empty());
    EXPECT_EQ(p.NameStart(), 0u);
    EXPECT_EQ(p.ExtensionStart(), 0u);
    EXPECT_EQ(p.Name(), "");
}

}  // namespace
