#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cfloat>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "Base/Log.h"
#include "Base/Settings.h"
#include "Support/TempFolder.h"
#include "Support/FileText.h"

namespace {

using namespace testfiles;

// ---- reading rules, one table ------------------------------------------------

struct ReadCase {
    const char* name;
    std::string text;
    std::function<void(const Settings&)> check;
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadRules : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadRules, Apply) {
    Settings s;
    ParseSettingsText(GetParam().text, &s);
    GetParam().check(s);
}

const Settings kDefaults;

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadRules,
    ::testing::Values(
        ReadCase{"trimmed_key_lenient_value", "[Layout]\r\n  WindowWidth = 1200\r\n",
                 [](const Settings& s) { EXPECT_EQ(s.WindowWidth, 1200); }},
        ReadCase{"true_is_exact", "[Layout]\nWindowMaximized=True\nWindowFullscreen=true \n",
                 [](const Settings& s) {
                     EXPECT_FALSE(s.WindowMaximized);
                     EXPECT_FALSE(s.WindowFullscreen);
                 }},
        ReadCase{"true_sets", "[Layout]\nWindowMaximized=true\rTabletMode=true",
                 [](const Settings& s) {
                     EXPECT_TRUE(s.WindowMaximized);
                     EXPECT_TRUE(s.TabletMode);
                 }},
        ReadCase{"unknown_layout_word_keeps_layout",
                 "[Layout]\nLayoutStyle=SplitOverlap\nLayoutStyle=Split\nLayoutStyle=splitvertical\n",
                 [](const Settings& s) { EXPECT_EQ(s.LayoutStyle, LayoutKind::SplitOverlap); }},
        ReadCase{"layout_words", "[Layout]\nLayoutStyle=SplitHorizontal\n",
                 [](const Settings& s) { EXPECT_EQ(s.LayoutStyle, LayoutKind::SplitHorizontal); }},
        ReadCase{"two_names_two_configs_early_keys_ignored",
                 "[Camera Config]\nEnableRecord=false\nParam_1=1\nName=A\nEnableCapture=false\nName=B\nParam_7=3\n"
                 "Param_x=3\nMessage_2=hello = world \nMessage_=x\n",
                 [](const Settings& s) {
                     ASSERT_EQ(s.CameraConfigs.size(), 2u);
                     EXPECT_EQ(s.CameraConfigs[0].Name, "A");
                     EXPECT_TRUE(s.CameraConfigs[0].EnableRecord);
                     EXPECT_FALSE(s.CameraConfigs[0].EnableCapture);
                     EXPECT_TRUE(s.CameraConfigs[0].Params.empty());
                     EXPECT_EQ(s.CameraConfigs[1].Name, "B");
                     ASSERT_EQ(s.CameraConfigs[1].Params.size(), 1u);
                     EXPECT_EQ(s.CameraConfigs[1].Params[0].index, 7);
                     EXPECT_EQ(s.CameraConfigs[1].Params[0].value, 3);
                     ASSERT_EQ(s.CameraConfigs[1].Messages.size(), 1u);
                     EXPECT_EQ(s.CameraConfigs[1].Messages[0].index, 2);
                     EXPECT_EQ(s.CameraConfigs[1].Messages[0].text, "hello = world ");
                 }},
        ReadCase{"camera_entries_any_section_order",
                 "[Camera]\nIndex=5\nId=305419896\nIndex=1\nWindow=4294967295\nUri=rtsp://x\n[File]\n"
                 "RecentSession=s1\n[Camera]\nId=0\nConfig=c\n",
                 [](const Settings& s) {
                     ASSERT_EQ(s.CameraEntries.size(), 2u);
                     EXPECT_EQ(s.CameraEntries[0].Id, 305419896u);
                     EXPECT_EQ(s.CameraEntries[0].Index, 1);
                     EXPECT_EQ(s.CameraEntries[0].Window, -1);
                     EXPECT_EQ(s.CameraEntries[0].Uri, "rtsp://x");
                     EXPECT_EQ(s.CameraEntries[1].Id, 0u);
                     EXPECT_EQ(s.CameraEntries[1].Config, "c");
                     EXPECT_EQ(s.RecentSession, "s1");
                 }},
        ReadCase{"comments_sections_and_keys_exact",
                 "  # [Layout]\n;DPI=1\nDPI=100\n[layout]\nDPI=101\n[Layout ]\nDPI=102\n[Layout]junk\n dpi=103\n"
                 "\xE3\x80\x80 DPI\xC2\xA0=104\n",
                 [](const Settings& s) { EXPECT_EQ(s.DPI, 104); }},
        ReadCase{"empty_key_or_value_ignored", "[File]\n=x\nSessionDirectory=\nRecentExport\nRecentSession=  a b \n",
                 [](const Settings& s) {
                     EXPECT_EQ(s.SessionDirectory, "");
                     EXPECT_EQ(s.RecentExport, "");
                     EXPECT_EQ(s.RecentSession, "  a b ");
                 }},
        ReadCase{"value_keeps_everything_after_first_equals", "[File]\nSessionDirectory==/a=b\n",
                 [](const Settings& s) { EXPECT_EQ(s.SessionDirectory, "=/a=b"); }},
        ReadCase{"later_key_overrides", "[Layout]\nDPI=120\nDPI=x\n[Hardware]\nAxisSelectX=3\nAxisSelectX=-2z\n",
                 [](const Settings& s) {
                     EXPECT_EQ(s.DPI, 0);
                     EXPECT_EQ(s.AxisSelectX, -2);
                 }},
        ReadCase{"axis_label_cut_to_31", "[Hardware]\nAxisLabelX=" + std::string(40, 'L') + "\nAxisLabelY=y\n",
                 [](const Settings& s) {
                     EXPECT_EQ(s.AxisLabelX, std::string(31, 'L'));
                     EXPECT_EQ(s.AxisLabelY, "y");
                 }},
        ReadCase{"floats", "[Layout]\nSplit_Camera=0.333333\nSplit_Overlap=abc\nSplit_Session=1e400\n",
                 [](const Settings& s) {
                     EXPECT_FLOAT_EQ(s.Split_Camera, 0.333333f);
                     EXPECT_EQ(s.Split_Overlap, 0.0f);
                     EXPECT_EQ(s.Split_Session, FLT_MAX);
                 }},
        ReadCase{"numbers_far_out_of_range",
                 "[Layout]\nWindowWidth=99999999999999999999\nWindowPosX=-99999999999999999999\n[Camera]\n"
                 "Id=99999999999\n",
                 [](const Settings& s) {
                     EXPECT_EQ(s.WindowWidth, INT32_MAX);
                     EXPECT_EQ(s.WindowPosX, INT32_MIN);
                     ASSERT_EQ(s.CameraEntries.size(), 1u);
                     EXPECT_EQ(s.CameraEntries[0].Id, 0xFFFFFFFFu);
                 }},
        ReadCase{"missing_bracket_and_junk",
                 std::string("[Layout\nDPI=7\n\x01\xFF\xFE=\x80\n[") + std::string("\0\0=\0", 4) + "\n[Layout]\nDPI=8",
                 [](const Settings& s) { EXPECT_EQ(s.DPI, 8); }},
        ReadCase{"keys_before_any_section", "DPI=1\nSessionDirectory=x\n",
                 [](const Settings& s) {
                     EXPECT_EQ(s.DPI, kDefaults.DPI);
                     EXPECT_EQ(s.SessionDirectory, "");
                 }}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ReadRules, MegabyteLinesAndJunkAreReadBoundedly) {
    std::string text = "[File]\nSessionDirectory=" + std::string(3 << 20, 'd') + "\n";
    for (int i = 0; i < 1 << 16; ++i) text.push_back(static_cast<char>((i * 7919) & 0xFF));
    text += "\n[Layout]\nWindowHeight=77\n";
    Settings s;
    ParseSettingsText(text, &s);
    EXPECT_EQ(s.SessionDirectory.size(), size_t{3} << 20);
    EXPECT_EQ(s.WindowHeight, 77);
    // written back, the long value is cut so the line fits 255 bytes
    const std::string written = FormatSettingsText(s);
    const size_t at = written.find("SessionDirectory=");
    EXPECT_EQ(written.find("\r\n", at) - at, 253u);
}

// ---- written layout ------------------------------------------------------------

TEST(WriteLayout, GoldenText) {
    Settings s;
    s.DPI = 144;
    s.SessionDirectory = "/home/u/Documents/ORVEX";
    s.RecentSession = "Job 7";
    s.LayoutStyle = LayoutKind::SplitVertical;
    s.WindowWidth = 1200;
    s.WindowHeight = 800;
    s.WindowPosX = -10;
    s.WindowPosY = 20;
    s.WindowFullscreen = true;
    s.TabletMode = true;  // never written
    s.Split_Camera = 0.333333f;
    s.Split_Overlap = 2.0f;
    s.AxisLabelX = "Dist";
    s.AxisSelectY = 2;
    s.CameraEntries = {{305419896u, 1, 2, "", "tcp://127.0.0.1"}, {7u, 0, 0, "cfg", ""}, {0u, 0, 0, "", ""},
                       {9u, 0, 1, "", ""}};
    CameraConfig recent;
    recent.Name = RecentPrimaryConfigName;
    recent.EnableCapture = false;
    recent.Params = {{23, 5}, {94, -1}};
    recent.Messages = {{3, "Pipe A"}};
    s.CameraConfigs = {recent, CameraConfig{}};
    const char* golden =
        "[File]\r\n"
        "SessionDirectory=/home/u/Documents/ORVEX\r\n"
        "RecentSession=Job 7\r\n"
        "RecentExport=\r\n"
        "\r\n"
        "[Layout]\r\n"
        "LayoutStyle=SplitVertical\r\n"
        "WindowWidth=1200\r\n"
        "WindowHeight=800\r\n"
        "WindowPosX=-10\r\n"
        "WindowPosY=20\r\n"
        "WindowMaximized=false\r\n"
        "WindowFullscreen=true\r\n"
        "Split_Session=0.85\r\n"
        "Split_Camera=0.333333\r\n"
        "Split_Overlap=2\r\n"
        "DPI=144\r\n"
        "\r\n"
        "[Hardware]\r\n"
        "AxisLabelX=Dist\r\n"
        "AxisLabelY=\r\n"
        "AxisSelectX=0\r\n"
        "AxisSelectY=2\r\n"
        "\r\n"
        "[Camera]\r\n"
        "Id=305419896\r\n"
        "Index=1\r\n"
        "Window=2\r\n"
        "Uri=tcp://127.0.0.1\r\n"
        "\r\n"
        "[Camera]\r\n"
        "Id=7\r\n"
        "Index=0\r\n"
        "Window=0\r\n"
        "Config=cfg\r\n"
        "\r\n"
        "[Camera Config]\r\n"
        "Name=<recent-primary>\r\n"
        "EnableRecord=true\r\n"
        "EnableCapture=false\r\n"
        "Param_23=5\r\n"
        "Param_94=-1\r\n"
        "Message_3=Pipe A\r\n"
        "\r\n"
        "[Camera Config]\r\n"
        "Name=\r\n"
        "EnableRecord=true\r\n"
        "EnableCapture=true\r\n"
        "\r\n";
    EXPECT_EQ(FormatSettingsText(s), golden);
}

TEST(WriteLayout, RoundTripIsStable) {
    Settings s;
    s.Split_Session = 0.1f;
    s.CameraEntries = {{1u, -1, -2, "x", "y"}};
    CameraConfig c;
    c.Name = "n";
    c.Params = {{1, INT32_MIN}, {2, INT32_MAX}};
    c.Messages = {{-4, "\xC3\xA9 text"}};
    s.CameraConfigs = {c};
    const std::string first = FormatSettingsText(s);
    Settings back;
    ParseSettingsText(first, &back);
    EXPECT_EQ(back.CameraEntries[0].Index, -1);
    EXPECT_EQ(back.CameraEntries[0].Window, -2);
    EXPECT_EQ(FormatSettingsText(back), first);
}

TEST(WriteLayout, EveryLineFits255Bytes) {
    Settings s;
    s.RecentExport = std::string(600, 'e');
    CameraConfig c;
    c.Name = std::string(300, 'n');
    c.Messages = {{1, std::string(254, 'm')}};
    s.CameraConfigs = {c};
    const std::string text = FormatSettingsText(s);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end + 2 - start, 255u);
        start = end + 2;
    }
    EXPECT_NE(text.find("RecentExport=" + std::string(240, 'e') + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("Message_1=" + std::string(243, 'm') + "\r\n"), std::string::npos);
}

// ---- the file: reading, writing, backup -------------------------------------------

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.Dir().empty());
        LogSetStderr(false);
        LogSetLevel(LOG_DEBUG);
        ASSERT_TRUE(LogOpenFile(logDir_.AsPath()));
    }
    void TearDown() override {
        LogCloseFile();
        LogSetStderr(true);
    }
    std::string LogText() { return ReadText(LogFilePath()); }
    std::string Ini() const { return dir_.File("settings.ini"); }
    std::string Backup() const { return dir_.File("settings.ini.bk"); }

    TempFolder dir_;
    TempFolder logDir_;
};

TEST_F(SettingsFile, MissingFileLeavesRecord) {
    Settings s;
    s.DPI = 144;
    EXPECT_FALSE(ReadSettings(dir_.AsPath(), &s));
    EXPECT_EQ(s.DPI, 144);
    EXPECT_EQ(LogText().find("ReadSettings"), std::string::npos) << "a missing file is the normal first start";
    // a folder named settings.ini is unreadable, not a crash, and the log says so
    ASSERT_EQ(mkdir(Ini().c_str(), 0700), 0);
    EXPECT_FALSE(ReadSettings(dir_.AsPath(), &s));
    EXPECT_NE(LogText().find("WARN : ReadSettings | could not read " + Ini() + ": "), std::string::npos) << LogText();
    // nor is an endless device behind a link of that name
    TempFolder other;
    ASSERT_EQ(symlink("/dev/zero", other.File("settings.ini").c_str()), 0);
    EXPECT_FALSE(ReadSettings(other.AsPath(), &s));
    EXPECT_EQ(s.DPI, 144);
}

TEST_F(SettingsFile, FirstSaveCreatesFileWithoutBackup) {
    Settings s;
    s.WindowWidth = 1200;
    EXPECT_TRUE(WriteSettings(s, dir_.AsPath()));
    EXPECT_EQ(ReadText(Ini()), FormatSettingsText(s));
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_FALSE(Exists(dir_.File("settings.ini.tmp")));
    // Nothing to back up on a fresh machine is not a failed copy.
    EXPECT_EQ(LogText().find("ERROR"), std::string::npos) << LogText();

    Settings back;
    EXPECT_TRUE(ReadSettings(dir_.AsPath(), &back));
    EXPECT_EQ(back.WindowWidth, 1200);
}

TEST_F(SettingsFile, SecondSaveReplacesAndRemovesBackupQuietly) {
    Settings s;
    ASSERT_TRUE(WriteSettings(s, dir_.AsPath()));
    LogCloseFile();
    ASSERT_TRUE(LogOpenFile(logDir_.AsPath(), 1));
    ASSERT_EQ(chmod(Ini().c_str(), 0600), 0);
    s.DPI = 128;
    EXPECT_TRUE(WriteSettings(s, dir_.AsPath()));
    struct stat st {};
    ASSERT_EQ(stat(Ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(ReadText(Ini()).find("\r\nDPI=128\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_EQ(LogText().find("ERROR"), std::string::npos);
}

TEST_F(SettingsFile, FailedWriteKeepsOldFile) {
    // The new text goes to settings.ini.tmp first; a folder of that name makes
    // the write fail for every user, root included.
    const std::string old = "[Layout]\r\nWindowWidth=640\r\n";
    WriteText(Ini(), old);
    ASSERT_EQ(mkdir(dir_.File("settings.ini.tmp").c_str(), 0700), 0);
    // The old file is never rewritten in place (a crash then could leave it
    // cut short): its modification time stays where it was.
    const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Ini().c_str(), longAgo, 0), 0);
    Settings s;
    s.WindowWidth = 1200;
    EXPECT_FALSE(WriteSettings(s, dir_.AsPath()));
    EXPECT_EQ(ReadText(Ini()), old);
    struct stat st {};
    ASSERT_EQ(stat(Ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(Exists(Backup()));
    // The failed save itself is logged; no copy or deletion failed.
    const std::string log = LogText();
    EXPECT_NE(log.find("ERROR: WriteSettings | could not write " + Ini() + "; the previous file is kept\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
}

TEST_F(SettingsFile, DataFolderThatIsAFileLogsTheFailedWrite) {
    // A file where the data folder should be: backup, write and restore fail.
    const std::string notAFolder = dir_.File("data");
    WriteText(notAFolder, "x");
    Settings s;
    EXPECT_FALSE(WriteSettings(s, Path(notAFolder)));
    const std::string log = LogText();
    const std::string ini = notAFolder + "/settings.ini";
    // There was no settings file to back up or restore: only the failed
    // write is logged.
    EXPECT_NE(log.find("ERROR: WriteSettings | could not write " + ini), std::string::npos) << log;
    EXPECT_EQ(log.find("Could not"), std::string::npos) << log;
    EXPECT_EQ(ReadText(notAFolder), "x");
}

TEST_F(SettingsFile, SettingsFileThatIsADeviceIsReplacedNotCopied) {
    // The backup copy of an endless device would never end; it is refused
    // (logged) and the new text takes the link's place.
    ASSERT_EQ(symlink("/dev/zero", Ini().c_str()), 0);
    Settings s;
    s.WindowWidth = 1200;
    EXPECT_TRUE(WriteSettings(s, dir_.AsPath()));
    EXPECT_EQ(ReadText(Ini()), FormatSettingsText(s));
    EXPECT_FALSE(Exists(Backup()));
    EXPECT_NE(LogText().find("ERROR: Platform_Linux - Could not copy from " + Ini() + " to " + Backup() + "\n"),
              std::string::npos);
}

TEST_F(SettingsFile, SaveRunsTheRecentConfigHookFirst) {
    int calls = 0;
    SetRecentConfigHook([&](Settings& s) {
        ++calls;
        CameraConfig c;
        c.Name = RecentSatelliteConfigName;
        c.Params = {{5, 6}};
        s.CameraConfigs.push_back(c);
    });
    Settings s;
    EXPECT_TRUE(SaveSettings(s, dir_.AsPath()));
    SetRecentConfigHook(nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_NE(ReadText(Ini()).find("[Camera Config]\r\nName=<recent-satellite>\r\nEnableRecord=true\r\n"
                                   "EnableCapture=true\r\nParam_5=6\r\n\r\n"),
              std::string::npos);
    EXPECT_TRUE(SaveSettings(s, dir_.AsPath()));
    EXPECT_EQ(calls, 1);
}

TEST_F(SettingsFile, SecondFileOverridesFirst) {
    TempFolder work;
    WriteText(work.File("settings.ini"), "[Layout]\nDPI=100\nWindowWidth=5\n[Camera Config]\nName=A\n");
    WriteText(Ini(), "[Layout]\nDPI=120\n[Camera Config]\nParam_1=1\nName=B\n");
    Settings s;
    ASSERT_TRUE(ReadSettings(work.AsPath(), &s));
    ASSERT_TRUE(ReadSettings(dir_.AsPath(), &s));
    EXPECT_EQ(s.DPI, 120);
    EXPECT_EQ(s.WindowWidth, 5);
    ASSERT_EQ(s.CameraConfigs.size(), 2u);
    // the Param_1 line came before the second file's first Name: ignored
    EXPECT_TRUE(s.CameraConfigs[0].Params.empty());
    EXPECT_EQ(s.CameraConfigs[1].Name, "B");
}

}  // namespace
