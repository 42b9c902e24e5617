#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Base/FileServices.h"
#include "Support/TempFolder.h"
#include "Support/FileText.h"

using namespace platform;

namespace {

using namespace testfiles;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class FileServices : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.Dir().empty()); }
    Path At(const std::string& relative) const { return Join(dir_.AsPath(), relative); }
    TempFolder dir_;
};

TEST_F(FileServices, CreateDirectories) {
    EXPECT_TRUE(CreateDirectories(At("a/b/c")));
    EXPECT_TRUE(Exists(dir_.File("a/b/c")));
    EXPECT_TRUE(CreateDirectories(At("a/b/c")));  // all exist
    EXPECT_TRUE(CreateDirectories(At("a")));
    EXPECT_FALSE(CreateDirectories(Path()));
    WriteText(dir_.File("file"), "x");
    EXPECT_FALSE(CreateDirectories(At("file")));        // a file is not a folder
    EXPECT_FALSE(CreateDirectories(At("file/below")));  // nor can it hold one
    EXPECT_TRUE(CreateDirectories(Path("/tmp")));
}

TEST_F(FileServices, GetFileInfoAndSize) {
    FileInfo info;
    ASSERT_TRUE(GetFileInfo(dir_.AsPath(), &info));
    EXPECT_TRUE(info.isDirectory);

    const time_t before = time(nullptr);
    WriteText(dir_.File("f.bin"), std::string(1234, 'x'));
    ASSERT_TRUE(GetFileInfo(At("f.bin"), &info));
    EXPECT_FALSE(info.isDirectory);
    EXPECT_EQ(info.size, 1234u);
    EXPECT_NE(info.lastWrite, 0);
    EXPECT_NEAR(static_cast<double>(UnixSecondsFromFileTime(info.lastWrite)), static_cast<double>(before), 5.0);
    EXPECT_NEAR(static_cast<double>(UnixSecondsFromFileTime(info.created)), static_cast<double>(before), 5.0);
    uint64_t size = 0;
    EXPECT_TRUE(FileSize(At("f.bin"), &size));
    EXPECT_EQ(size, 1234u);

    EXPECT_FALSE(GetFileInfo(At("missing"), &info));
    EXPECT_FALSE(FileSize(At("missing"), &size));
}

TEST(FileTimes, EpochConversions) {
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000LL);
    EXPECT_EQ(FileTimeFromUnix(1, 500), 116444736010000005LL);
    EXPECT_EQ(UnixSecondsFromFileTime(116444736010000005LL), 1);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeFromUnix(-2, 1)), -2);
    EXPECT_EQ(UnixSecondsFromFileTime(0), -11644473600LL);
}

TEST_F(FileServices, ListFolderNamesEveryEntry) {
    WriteText(dir_.File("b.txt"), "1");
    ASSERT_TRUE(CreateDirectories(At("sub")));
    std::vector<std::string> names = ListFolder(dir_.AsPath());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "b.txt", "sub"}));
    EXPECT_TRUE(ListFolder(At("missing")).empty());
    EXPECT_TRUE(ListFolder(At("b.txt")).empty());
}

TEST_F(FileServices, WholeFiles) {
    const std::string bytes("a\0b\r\n", 5);
    EXPECT_TRUE(WriteWholeFile(At("w.bin"), bytes.data(), bytes.size()));
    std::vector<uint8_t> read;
    ASSERT_TRUE(ReadWholeFile(At("w.bin"), &read));
    EXPECT_EQ(std::string(read.begin(), read.end()), bytes);
    // replacing truncates
    EXPECT_TRUE(WriteWholeFile(At("w.bin"), "z", 1));
    EXPECT_EQ(ReadText(dir_.File("w.bin")), "z");

    EXPECT_FALSE(WriteWholeFile(At("empty.bin"), "z", 0));
    EXPECT_FALSE(Exists(dir_.File("empty.bin")));
    EXPECT_FALSE(WriteWholeFile(At("null.bin"), nullptr, 3));
    EXPECT_FALSE(Exists(dir_.File("null.bin")));
    EXPECT_FALSE(WriteWholeFile(At("no/such/folder.bin"), "z", 1));

    EXPECT_FALSE(ReadWholeFile(At("missing"), &read));
    EXPECT_FALSE(ReadWholeFile(dir_.AsPath(), &read));
    // not files: a FIFO (whose open would block) and an endless device
    ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(At("fifo"), &read));
    EXPECT_FALSE(ReadWholeFile(Path("/dev/zero"), &read));
    // a file whose size the system reports as 0
    ASSERT_TRUE(ReadWholeFile(Path("/proc/self/status"), &read));
    EXPECT_FALSE(read.empty());
}

TEST_F(FileServices, WriteFileReplacingKeepsTheOldFileUntilTheNewOneIsWhole) {
    const Path target = At("data.bin");
    const Path temporary = At("data.bin-part");
    WriteText(dir_.File("data.bin"), "old");
    ASSERT_EQ(chmod(dir_.File("data.bin").c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(stat(dir_.File("data.bin").c_str(), &before), 0);

    EXPECT_TRUE(WriteFileReplacing(target, temporary, "new text", 8));
    EXPECT_EQ(ReadText(dir_.File("data.bin")), "new text");
    EXPECT_FALSE(Exists(dir_.File("data.bin-part")));
    struct stat after {};
    ASSERT_EQ(stat(dir_.File("data.bin").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced by a rename, not rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u) << "keeps the old file's permissions";

    // A temporary name that cannot be written (a folder, which also stops
    // root) fails and leaves the file as it was.
    ASSERT_EQ(mkdir(dir_.File("blocked").c_str(), 0700), 0);
    EXPECT_FALSE(WriteFileReplacing(target, At("blocked"), "lost", 4));
    EXPECT_EQ(ReadText(dir_.File("data.bin")), "new text");

    // New files, empty contents and bad arguments.
    EXPECT_TRUE(WriteFileReplacing(At("fresh.bin"), At("fresh.tmp"), "", 0));
    EXPECT_TRUE(Exists(dir_.File("fresh.bin")));
    EXPECT_EQ(ReadText(dir_.File("fresh.bin")), "");
    EXPECT_FALSE(WriteFileReplacing(At("n.bin"), At("n.tmp"), nullptr, 3));
    EXPECT_FALSE(WriteFileReplacing(Path(), At("n.tmp"), "x", 1));
    EXPECT_FALSE(WriteFileReplacing(At("no/such/folder.bin"), At("no/such/folder.tmp"), "x", 1));
    EXPECT_FALSE(Exists(dir_.File("n.bin")));
}

TEST_F(FileServices, DeleteFile) {
    WriteText(dir_.File("d"), "x");
    EXPECT_TRUE(DeleteFile(At("d")));
    EXPECT_FALSE(Exists(dir_.File("d")));
    EXPECT_FALSE(DeleteFile(At("d")));
    ASSERT_TRUE(CreateDirectories(At("folder")));
    EXPECT_FALSE(DeleteFile(At("folder")));  // folders are not files
}

TEST_F(FileServices, CopyFileReplacesDestination) {
    WriteText(dir_.File("src"), "new content");
    WriteText(dir_.File("dst"), "an older and longer content");
    EXPECT_TRUE(CopyFile(At("src"), At("dst")));
    EXPECT_EQ(ReadText(dir_.File("dst")), "new content");
    // an empty file copies to an empty file
    WriteText(dir_.File("empty"), "");
    EXPECT_TRUE(CopyFile(At("empty"), At("dst")));
    EXPECT_EQ(ReadText(dir_.File("dst")), "");
    EXPECT_FALSE(CopyFile(At("missing"), At("dst2")));
    EXPECT_FALSE(Exists(dir_.File("dst2")));
    EXPECT_FALSE(CopyFile(At("src"), At("no/such/folder")));
    // onto itself: refused, and the file keeps its content
    EXPECT_FALSE(CopyFile(At("src"), At("src")));
    EXPECT_EQ(ReadText(dir_.File("src")), "new content");
    ASSERT_EQ(link(dir_.File("src").c_str(), dir_.File("hard").c_str()), 0);
    EXPECT_FALSE(CopyFile(At("src"), At("hard")));
    EXPECT_EQ(ReadText(dir_.File("src")), "new content");
}

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    uint32_t x = 12345;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

struct CopyCase {
    const char* name;
    size_t size;
    bool largeFile;
    int stopAtCall;  // -1: never stop
    bool succeeds;
    std::vector<uint64_t> progress;  // copied bytes at each call
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class CopyWithProgress : public FileServices, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyWithProgress, ReportsEveryBlockAndHonoursStop) {
    const CopyCase& c = GetParam();
    const std::string data = Pattern(c.size);
    WriteText(dir_.File("src"), data);
    WriteText(dir_.File("dst"), "old");
    std::vector<uint64_t> seen;
    const bool ok = CopyFileWithProgress(At("src"), At("dst"), c.largeFile, [&](uint64_t total, uint64_t copied) {
        EXPECT_EQ(total, c.size);
        seen.push_back(copied);
        return static_cast<int>(seen.size()) - 1 == c.stopAtCall ? CopyProgress::Stop : CopyProgress::Continue;
    });
    EXPECT_EQ(ok, c.succeeds);
    EXPECT_EQ(seen, c.progress);
    if (c.succeeds)
        EXPECT_EQ(ReadText(dir_.File("dst")), data);
    else
        EXPECT_FALSE(Exists(dir_.File("dst")));  // no partial copy is left
    EXPECT_EQ(ReadText(dir_.File("src")), data);
}

constexpr uint64_t MiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyWithProgress,
    ::testing::Values(CopyCase{"blocks", 10 * MiB + 7, false, -1, true, {0, 4 * MiB, 8 * MiB, 10 * MiB + 7}},
                      CopyCase{"exact_block", 4 * MiB, true, -1, true, {0, 4 * MiB}},
                      CopyCase{"empty", 0, false, -1, true, {0}},
                      CopyCase{"stop_before_first", 10, false, 0, false, {0}},
                      CopyCase{"stop_after_first_block", 9 * MiB, true, 1, false, {0, 4 * MiB}}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST_F(FileServices, CopyTakesRegularFilesOnly) {
    // A device never ends (the copy would fill the disk) and a FIFO would
    // block its reader: neither is copied, and no destination is made.
    int calls = 0;
    const auto stopLate = [&](uint64_t, uint64_t copied) {
        ++calls;
        return copied >= 8 * MiB ? CopyProgress::Stop : CopyProgress::Continue;
    };
    EXPECT_FALSE(CopyFileWithProgress(Path("/dev/zero"), At("zero"), false, stopLate));
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(Exists(dir_.File("zero")));
    ASSERT_EQ(symlink("/dev/zero", dir_.File("link").c_str()), 0);
    EXPECT_FALSE(CopyFile(At("link"), At("fromlink")));
    EXPECT_FALSE(Exists(dir_.File("fromlink")));
    ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(CopyFile(At("fifo"), At("fromfifo")));
    EXPECT_FALSE(Exists(dir_.File("fromfifo")));
    // a link to a regular file still copies its content
    WriteText(dir_.File("real"), "content");
    ASSERT_EQ(symlink(dir_.File("real").c_str(), dir_.File("reallink").c_str()), 0);
    EXPECT_TRUE(CopyFile(At("reallink"), At("copy")));
    EXPECT_EQ(ReadText(dir_.File("copy")), "content");
}

TEST_F(FileServices, FreeSpaceMatchesStatvfs) {
    uint64_t bytes = 0;
    ASSERT_TRUE(FreeSpace(dir_.AsPath(), &bytes));
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(dir_.Dir().c_str(), &vfs), 0);
    const uint64_t total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    EXPECT_LE(bytes, total);
    EXPECT_GT(bytes, 0u);
    EXPECT_FALSE(FreeSpace(At("missing"), &bytes));
}

TEST(KnownFolders, LocalAppData) {
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/xdg data");
        EXPECT_EQ(LocalAppDataFolder().Text(), "/srv/xdg data");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/tester/");
        EXPECT_EQ(LocalAppDataFolder().Text(), "/home/tester/.local/share");
    }
    {
        // a relative XDG_DATA_HOME is invalid and ignored
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
        ScopedEnv home("HOME", "/home/tester");
        EXPECT_EQ(LocalAppDataFolder().Text(), "/home/tester/.local/share");
    }
    {
        // a home of "/" (service accounts) still gives absolute folders
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "/");
        EXPECT_EQ(LocalAppDataFolder().Text(), "/.local/share");
        EXPECT_EQ(DocumentsFolder().Text(), "/Documents");
        TempFolder dirs;
        WriteText(dirs.File("user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
        ScopedEnv xdgConfig("XDG_CONFIG_HOME", dirs.Dir().c_str());
        EXPECT_EQ(DocumentsFolder().Text(), "/Docs");
    }
}

TEST(KnownFolders, Documents) {
    TempFolder config;
    ScopedEnv home("HOME", "/home/tester");
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Dir().c_str());
    EXPECT_EQ(DocumentsFolder().Text(), "/home/tester/Documents");  // no user-dirs file
    const struct {
        const char* file;
        const char* documents;
    } cases[] = {
        {"# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/tester/Dokumente"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_DOCUMENTS_DIR=\"/data/My Docs\"\n", "/data/My Docs"},
        {"XDG_DOCUMENTS_DIR=\"relative\"\n", "/home/tester/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOMEX/a\"\n", "/home/tester/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/unterminated\n", "/home/tester/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/a \\\"q\\\"\"\n", "/home/tester/a \"q\""},
    };
    for (const auto& c : cases) {
        WriteText(config.File("user-dirs.dirs"), c.file);
        EXPECT_EQ(DocumentsFolder().Text(), c.documents) << c.file;
    }
}

TEST_F(FileServices, VolumeLabelOfMountedFileSystems) {
    std::string label = "unset", mount;
    ASSERT_TRUE(VolumeLabel(Path("/usr/bin"), &label, &mount));
    EXPECT_EQ(std::string("/usr/bin").compare(0, mount.size(), mount), 0) << mount;
    EXPECT_LE(label.size(), 260u);
    // the temp folder lies on some mount whose point is a prefix of it
    ASSERT_TRUE(VolumeLabel(dir_.AsPath(), &label, &mount));
    EXPECT_EQ(dir_.Dir().compare(0, mount.size(), mount), 0) << mount;
    // /proc is its own file system, without a label
    ASSERT_TRUE(VolumeLabel(Path("/proc/self"), &label, &mount));
    EXPECT_EQ(mount, "/proc");
    EXPECT_EQ(label, "");
    EXPECT_FALSE(VolumeLabel(At("missing"), &label, &mount));
}

TEST(TextConversion, Utf16ToNarrow) {
    EXPECT_EQ(Utf16ToNarrow(u"Documents"), "Documents");
    EXPECT_EQ(Utf16ToNarrow(u"D\u00e9j\u00e0 \u3000"), "D\xC3\xA9j\xC3\xA0 \xE3\x80\x80");
    EXPECT_EQ(Utf16ToNarrow(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToNarrow(std::u16string(1, static_cast<char16_t>(0xD800))), "");
    EXPECT_EQ(Utf16ToNarrow(std::u16string(1, static_cast<char16_t>(0xDC00)) + u"a"), "");
    EXPECT_EQ(Utf16ToNarrow(u""), "");
}

}  // namespace
