// The in-program folder browser's rules on real folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Support/TempFolder.h"
#include "UI/FolderPicker.h"

namespace {

using namespace ui;

TEST(FolderBrowser, ListsSubfoldersSortedWithoutHiddenOrFiles) {
    TempFolder temp;
    for (const char* name : {"b-export", "A Jobs", ".hidden", "c"}) std::filesystem::create_directory(temp.File(name));
    std::ofstream(temp.File("file.txt")) << "x";
    EXPECT_EQ(SubfolderNames(temp.Dir()), (std::vector<std::string>{"A Jobs", "b-export", "c"}));
    EXPECT_TRUE(SubfolderNames(temp.File("missing")).empty());
}

TEST(FolderBrowser, ParentAndNearestExistingFolder) {
    EXPECT_EQ(ParentFolder("/srv/a/b"), "/srv/a");
    EXPECT_EQ(ParentFolder("/srv"), "/");
    EXPECT_EQ(ParentFolder("/"), "/");
    EXPECT_EQ(ChildFolder("/", "srv"), "/srv");
    EXPECT_EQ(ChildFolder("/srv", "a"), "/srv/a");
    TempFolder temp;
    std::filesystem::create_directory(temp.File("x"));
    EXPECT_EQ(NearestExistingFolder(temp.File("x/gone/deeper")), temp.File("x"));
    EXPECT_EQ(NearestExistingFolder(temp.File("x") + "/"), temp.File("x"));
    EXPECT_EQ(NearestExistingFolder(""), "/");
    EXPECT_EQ(NearestExistingFolder("relative/path"), "/");
    // A file is not a folder: its folder is taken.
    std::ofstream(temp.File("x/f")) << "x";
    EXPECT_EQ(NearestExistingFolder(temp.File("x/f")), temp.File("x"));
}

}  // namespace
