// The installed program as a new user gets it, under Xvfb: `cmake --install`
// into a scratch root (what `make install DESTDIR=...` does) and the Debian
// package unpacked into a scratch root give a tree with the programs, the
// resource folder, the desktop entry, the icons, the metainfo and the manual
// pages; the Studio started the way its desktop entry says, from that tree
// alone, shows the live video of the simulator from the same tree. The
// package names its run-time libraries by their Debian package names.
// Suspend while recording: the sleep waits until the recordings are closed.
//
// Each test runs in a network namespace of its own with only loopback, so
// the Studio's discovery never leaves the machine, and on an Xvfb display
// started inside that namespace.
#include <gtest/gtest.h>
#include <signal.h>
#include <stb_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Session/SessionFile.h"
#include "Support/FakeLogind.h"
#include "Support/LoopbackNetwork.h"
#include "Support/PrivateDisplay.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"
#include "Support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testfiles::ReadText;
using testsupport::WaitUntil;
using Child = testsupport::ChildProcess;

const std::string kBuild = ORVEX_BUILD_DIR;
const std::string kAppId = ORVEX_APP_ID;
const std::vector<int> kIconSizes = {16, 24, 32, 48, 64, 128, 256, 512};

// Runs a shell command; its output (standard output and error) in `output`.
int RunCommand(const std::string& command, std::string* output) {
    TempFolder scratch;
    const std::string file = scratch.File("out.txt");
    const int status = std::system((command + " > '" + file + "' 2>&1").c_str());
    *output = ReadText(file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// The key=value lines of the [Desktop Entry] group.
std::map<std::string, std::string> DesktopEntry(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadText(file));
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') inGroup = line == "[Desktop Entry]";
        const size_t eq = line.find('=');
        if (inGroup && eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

bool LoadPng(const fs::path& file, Rgba* image) {
    int channels = 0;
    stbi_uc* data = stbi_load(file.c_str(), &image->width, &image->height, &channels, 4);
    if (data == nullptr) return false;
    image->pixels.assign(data, data + size_t(image->width) * size_t(image->height) * 4);
    stbi_image_free(data);
    return true;
}

// Share of the screen's central region with strong colour (the simulator's
// test bars in the live video).
double SaturatedShare(const testsupport::Shot& s) {
    int n = 0, saturated = 0;
    for (int y = s.height / 4; y < s.height * 3 / 4; y += 3) {
        for (int x = s.width / 4; x < s.width * 3 / 4; x += 3) {
            const uint8_t* p = s.At(x, y);
            saturated += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 120;
            ++n;
        }
    }
    return n ? double(saturated) / n : 0;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(testsupport::EnterLoopbackOnlyNetwork(&why)) << why;
        ASSERT_FALSE(root_.Dir().empty());
        root_path_ = root_.Dir();
        // A display inside this namespace: one started outside it would be
        // reached only through /tmp/.X11-unix, which any other server of the
        // same number can take over.
        display_ = std::make_unique<testsupport::PrivateDisplay>(root_path_);
        ASSERT_FALSE(display_->Display().empty()) << ReadText(root_path_ / "xvfb.out");
        fs::create_directories(fs::path(kBuild) / "screenshots");
    }
    void TearDown() override {
        studio_.reset();
        sim_.reset();
        display_.reset();
    }

    // `cmake --install` of this build tree into <root>/stage with prefix /usr;
    // returns the prefix folder inside the stage.
    fs::path InstallStaged() {
        const fs::path stage = root_path_ / "stage";
        std::string out;
        const int rc = RunCommand("DESTDIR='" + stage.string() + "' '" ORVEX_CMAKE_COMMAND "' --install '" + kBuild +
                               "' --prefix /usr",
                           &out);
        EXPECT_EQ(rc, 0) << out;
        return stage / "usr";
    }

    // Every file a desktop install needs, under `usr` (a /usr prefix).
    void ExpectInstalledTree(const fs::path& usr) {
        for (const char* program : {"orvex-studio", "orvex-camsim"}) {
            struct stat st {};
            ASSERT_EQ(stat((usr / "bin" / program).c_str(), &st), 0) << program;
            EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & S_IXOTH)) << program << " is not executable";
        }
        const fs::path resources = usr / "share" / "orvex-studio";
        for (const char* file : {"video.vert", "video.frag", "decal.vert", "decal.frag", "model.vert", "model.frag",
                                 "cam.obj", "cam-lights.obj", "cam-cap.obj", "cam-screws.obj", "Roboto-Regular.ttf",
                                 "Roboto-Bold.ttf", "MonoSpatial.ttf"}) {
            EXPECT_GT(fs::exists(resources / file) ? fs::file_size(resources / file) : 0u, 0u) << file;
        }
        EXPECT_FALSE(fs::exists(resources / ".stamp"));
        EXPECT_FALSE(fs::exists(resources / "art")) << "the art sources are built into the program";

        const fs::path desktop = usr / "share" / "applications" / (kAppId + ".desktop");
        auto entry = DesktopEntry(desktop);
        EXPECT_EQ(entry["Exec"], "orvex-studio");
        EXPECT_EQ(entry["Icon"], kAppId);
        EXPECT_EQ(entry["Name"], "ORVEX Studio");
        EXPECT_TRUE(fs::exists(usr / "share" / "metainfo" / (kAppId + ".metainfo.xml")));
        const std::string metainfo = ReadText(usr / "share" / "metainfo" / (kAppId + ".metainfo.xml"));
        EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"),
                  std::string::npos);
        EXPECT_NE(metainfo.find("<release version=\"1.0.13\""), std::string::npos) << "the project's version";

        // The icons: every size, the scalable one, all cut from the same
        // square of the icon atlas as the window icon.
        const fs::path hicolor = usr / "share" / "icons" / "hicolor";
        EXPECT_NE(ReadText(hicolor / "scalable" / "apps" / (kAppId + ".svg")).find("viewBox=\"384 384 128 128\""),
                  std::string::npos);
        std::vector<uint8_t> windowIcon;
        int w = 0, h = 0;
        ASSERT_TRUE(GL::AppIconPixels(GL::ProgramBlocks(), &windowIcon, &w, &h));
        for (const int size : kIconSizes) {
            const std::string name = std::to_string(size) + "x" + std::to_string(size);
            Rgba icon;
            ASSERT_TRUE(LoadPng(hicolor / name / "apps" / (kAppId + ".png"), &icon)) << name;
            EXPECT_EQ(icon.width, size);
            EXPECT_EQ(icon.height, size);
            // Red plate (#E9212D) left of the ring, white centre, clear corner.
            const auto at = [&](double fx, double fy) {
                return &icon.pixels[(size_t(fy * size) * size_t(size) + size_t(fx * size)) * 4];
            };
            const uint8_t* plate = at(0.14, 0.5);
            EXPECT_TRUE(plate[0] > 200 && plate[1] < 80 && plate[2] < 90 && plate[3] > 200) << name;
            const uint8_t* centre = at(0.5, 0.5);
            EXPECT_TRUE(centre[0] > 200 && centre[1] > 200 && centre[2] > 200) << name;
            EXPECT_LT(at(0.0, 0.0)[3], 40) << name << ": the rounded corner is transparent";
            if (size == w) {
                double difference = 0;
                for (size_t i = 0; i < windowIcon.size(); ++i)
                    difference += std::abs(int(windowIcon[i]) - int(icon.pixels[i]));
                EXPECT_LT(difference / double(windowIcon.size()), 3.0) << "the desktop icon differs from the window icon";
            }
        }

        for (const char* page : {"orvex-studio.1.gz", "orvex-camsim.1.gz"}) {
            std::string text;
            EXPECT_EQ(RunCommand("gzip -dc '" + (usr / "share" / "man" / "man1" / page).string() + "'", &text), 0) << page;
            EXPECT_EQ(text.rfind(".TH ORVEX-", 0), 0u) << page;
        }
    }

    // Starts the simulator and the Studio from `usr` the way the desktop
    // entry says (its Exec found through PATH, in the home folder), and
    // waits until the Studio shows the simulator's live video.
    void RunFromMenuEntry(const fs::path& usr, const std::string& address, const std::string& stem,
                          const std::vector<std::string>& extraEnv = {}) {
        auto entry = DesktopEntry(usr / "share" / "applications" / (kAppId + ".desktop"));
        ASSERT_FALSE(entry["Exec"].empty());
        ASSERT_EQ(entry["Exec"].find(' '), std::string::npos) << "no arguments expected";
        home_ = root_path_ / "home";
        fs::create_directories(home_);
        if (!settings_.empty()) {
            fs::create_directories(home_ / ".local/share/KAVOR Industries/ORVEX Studio");
            std::ofstream(home_ / ".local/share/KAVOR Industries/ORVEX Studio/settings.ini") << settings_;
        }
        sim_ = std::make_unique<Child>(
            std::vector<std::string>{(usr / "bin" / "orvex-camsim").string(), "--address", address, "--name", stem},
            std::vector<std::string>{}, root_path_ / "sim.log");
        ASSERT_TRUE(sim_->Started());
        std::vector<std::string> env = {"HOME=" + home_.string(), "XDG_DATA_HOME=", "XDG_CONFIG_HOME=",
                                        "PATH=" + (usr / "bin").string() + ":/usr/bin:/bin",
                                        "LIBGL_ALWAYS_SOFTWARE=1", "ORVEX_CAMERA_STEM=" + stem};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        // The desktop launches Exec by PATH lookup; so does the shell here.
        studio_ = std::make_unique<Child>(std::vector<std::string>{"/bin/sh", "-c", "exec " + entry["Exec"]}, env,
                                          root_path_ / "studio.log", home_);
        ASSERT_TRUE(studio_->Started());
        ASSERT_TRUE(WaitUntil([&] { return StudioLog().find("Found host ip (" + address + ")") != std::string::npos; },
                              60s))
            << StudioLog();
        testsupport::Shot shot;
        const bool live = WaitUntil(
            [&] {
                shot = testsupport::GrabScreen();
                return shot.ok && SaturatedShare(shot) > 0.2;
            },
            90s, 500ms);
        ASSERT_TRUE(live) << "no live video from the installed tree; log:\n" << StudioLog();
        testsupport::SaveShot(shot, fs::path(kBuild) / "screenshots" / (screenshot_ + ".png"));
        // The window's class is what the desktop entry names, so the desktop
        // puts the window under the menu entry's icon.
        std::string windows;
        EXPECT_EQ(RunCommand("xdotool search --class '" + entry["StartupWMClass"] + "'", &windows), 0)
            << "no window of class " << entry["StartupWMClass"];
    }

    void EndStudio() {
        ASSERT_TRUE(studio_);
        EXPECT_EQ(studio_->Terminate(30s), 0) << StudioLog();
        EXPECT_NE(StudioLog().find("INFO : End"), std::string::npos) << StudioLog();
        sim_->Terminate(10s);
    }

    std::string StudioLog() const { return ReadText(root_path_ / "studio.log"); }

    TempFolder root_;
    fs::path root_path_, home_;
    std::string settings_;
    std::string screenshot_ = "installed-live";
    std::unique_ptr<testsupport::PrivateDisplay> display_;
    std::unique_ptr<Child> sim_, studio_;
};

TEST_F(InstallTest, StagedInstallHoldsEverythingAndRunsFromItsMenuEntry) {
    const fs::path usr = InstallStaged();
    ASSERT_NO_FATAL_FAILURE(ExpectInstalledTree(usr));
    // Nothing of the build tree can be used: the resources come from the
    // staged share/orvex-studio beside the staged bin/.
    ASSERT_FALSE(fs::exists(usr / "bin" / "Data"));
    screenshot_ = "installed-live";
    ASSERT_NO_FATAL_FAILURE(RunFromMenuEntry(usr, "127.0.61.1", "orvexinst61"));
    EndStudio();
    // The first start in a fresh home: Documents/ORVEX Studio is the storage folder.
    EXPECT_TRUE(fs::is_directory(home_ / "Documents" / "ORVEX Studio"));
    EXPECT_NE(ReadText(home_ / ".local/share/KAVOR Industries/ORVEX Studio/settings.ini")
                  .find("SessionDirectory=" + (home_ / "Documents" / "ORVEX Studio").string()),
              std::string::npos);
}

TEST_F(InstallTest, CamsimManualPageDocumentsEveryOption) {
    const fs::path usr = InstallStaged();
    std::string help, page;
    ASSERT_EQ(RunCommand("'" + (usr / "bin" / "orvex-camsim").string() + "' --help", &help), 0) << help;
    ASSERT_EQ(RunCommand("gzip -dc '" + (usr / "share/man/man1/orvex-camsim.1.gz").string() + "'", &page), 0);
    // In roff a "-" in an option name is written "\-".
    page = std::regex_replace(page, std::regex("\\\\-"), "-");
    const std::regex option("^  (--[a-z0-9-]+)");
    std::istringstream in(help);
    std::string line;
    int options = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, option)) continue;
        ++options;
        EXPECT_TRUE(std::regex_search(page, std::regex("\\.(B|BI|BR) " + m[1].str() + "( |\\n)")))
            << m[1] << " is not in orvex-camsim(1)";
    }
    EXPECT_GT(options, 20);
}

TEST_F(InstallTest, DebianPackageNamesItsLibrariesAndRunsFromItsMenuEntry) {
    const fs::path out = root_path_ / "package";
    std::string log;
    ASSERT_EQ(RunCommand("'" ORVEX_CPACK_COMMAND "' -G DEB --config '" + kBuild + "/CPackConfig.cmake' -B '" +
                      out.string() + "'",
                  &log),
              0)
        << log;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(out))
        if (std::regex_match(e.path().filename().string(), std::regex("orvex-studio_1\\.0\\.13_[a-z0-9]+\\.deb")))
            deb = e.path();
    ASSERT_FALSE(deb.empty()) << log;

    std::string depends;
    ASSERT_EQ(RunCommand("dpkg-deb -f '" + deb.string() + "' Depends", &depends), 0) << depends;
    // Every run-time library the programs link, by its Debian package name.
    std::set<std::string> named;
    const std::regex package("([a-z0-9][a-z0-9+.-]+)( \\([^)]*\\))?");
    for (auto it = std::sregex_iterator(depends.begin(), depends.end(), package); it != std::sregex_iterator(); ++it)
        named.insert((*it)[1]);
    for (const char* lib : {"libc6", "libstdc++6", "libsdl2-2.0-0", "libavcodec59", "libavformat59", "libavutil57",
                            "libswscale6", "liblz4-1", "libsystemd0", "libfreetype6", "zlib1g", "libgl1"})
        EXPECT_TRUE(named.count(lib)) << lib << " missing from Depends: " << depends;
    // ... and each is a package this Debian system knows (it is installed here).
    for (const std::string& name : named) {
        std::string status;
        EXPECT_EQ(RunCommand("dpkg-query -W -f='${Status}' '" + name + "'", &status), 0) << name << ": " << status;
    }
    std::string info;
    ASSERT_EQ(RunCommand("dpkg-deb -f '" + deb.string() + "' Package Version Section", &info), 0);
    EXPECT_EQ(info, "Package: orvex-studio\nVersion: 1.0.13\nSection: video\n");

    // Unpacked into a scratch root, the way dpkg lays it out.
    const fs::path unpacked = root_path_ / "root";
    ASSERT_EQ(RunCommand("dpkg-deb -x '" + deb.string() + "' '" + unpacked.string() + "'", &log), 0) << log;
    ASSERT_NO_FATAL_FAILURE(ExpectInstalledTree(unpacked / "usr"));
    // Stripped: no symbol table, no debugging sections.
    std::string sections;
    ASSERT_EQ(RunCommand("readelf -S -W '" + (unpacked / "usr/bin/orvex-studio").string() + "'", &sections), 0);
    EXPECT_EQ(sections.find(".symtab"), std::string::npos);
    EXPECT_EQ(sections.find(".debug_info"), std::string::npos);
    screenshot_ = "package-live";
    ASSERT_NO_FATAL_FAILURE(RunFromMenuEntry(unpacked / "usr", "127.0.61.2", "orvexinst62"));
    EndStudio();
}

// The installed Studio with a login manager on the system bus: recording
// holds a sleep:idle block lock; a suspend while recording stops the
// recordings, and only then is the delay lock let go so the machine sleeps;
// on waking the delay lock is taken again.
TEST_F(InstallTest, SuspendWhileRecordingClosesTheFilesBeforeTheSleep) {
    const fs::path usr = InstallStaged();
    ASSERT_TRUE(fs::exists(usr / "bin" / "orvex-studio"));
    fs::create_directories(root_path_ / "bus");
    // A generous delay: the test means "released by the program", not "timed out".
    testsupport::FakeLogind logind(root_path_ / "bus", 60.0);
    ASSERT_TRUE(logind.Ready()) << logind.Diagnostics();
    const fs::path storage = root_path_ / "storage";
    fs::create_directories(storage);
    // Recording needs a session: one that exists only through its data file.
    SessionData empty;
    ASSERT_TRUE(SaveSessionData(Path(storage.string()), "Pipe 9", empty));
    settings_ = "[File]\nSessionDirectory=" + storage.string() +
                "\n[Layout]\nLayoutStyle=SplitVertical\nWindowPosX=100\nWindowPosY=100\n"
                "WindowWidth=1200\nWindowHeight=700\nDPI=96\n";
    screenshot_ = "installed-suspend-live";
    ASSERT_NO_FATAL_FAILURE(RunFromMenuEntry(usr, "127.0.61.3", "orvexinst63", {logind.BusEnv()}));
    ASSERT_TRUE(logind.WaitForEvent("inhibit sleep delay ORVEX Studio", 10s)) << logind.Events();
    EXPECT_EQ(logind.Count("inhibit sleep:idle block ORVEX Studio"), 0) << "not recording yet";

    float s = 1;
    const std::string log = StudioLog();
    const size_t at = log.find("UI scale ");
    ASSERT_NE(at, std::string::npos) << log;
    s = std::stof(log.substr(at + 9));
    // The control bar: the bottom int(88 s) pixels of the client area; Record
    // at x = 24, vertically centred; enabled it is a bright red dot.
    const int icon = int(96 * s);
    const int y = 100 + 700 - int(88 * s) + int(88 * s) / 2;
    const int recordX = 100 + 24 + icon / 2;
    auto recordEnabled = [&] {
        const testsupport::Shot shot = testsupport::GrabScreen();
        if (!shot.ok || recordX >= shot.width || y >= shot.height) return false;
        const uint8_t* p = shot.At(recordX, y);
        return p[0] > 180 && p[1] < 100;
    };
    ASSERT_TRUE(WaitUntil(recordEnabled, 60s, 200ms)) << StudioLog();
    ASSERT_TRUE(WaitUntil([&] { return testsupport::SplashFinished(StudioLog()); }, 60s, 200ms)) << StudioLog();
    std::string out;
    ASSERT_EQ(RunCommand("xdotool mousemove " + std::to_string(recordX) + " " + std::to_string(y) + " click 1", &out), 0)
        << out;
    ASSERT_TRUE(logind.WaitForEvent("inhibit sleep:idle block ORVEX Studio", 30s)) << logind.Events() << StudioLog();
    const std::regex video("Pipe 9-.*-V-\\d+-[01]\\.mkv");
    auto videos = [&] {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(storage))
            if (std::regex_match(e.path().filename().string(), video)) found.push_back(e.path());
        std::sort(found.begin(), found.end());
        return found;
    };
    ASSERT_TRUE(WaitUntil([&] { return videos().size() == 2; }, 30s)) << StudioLog();
    // Some seconds of video in the files (the recorder flushes every second).
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const fs::path& v : videos())
                if (fs::file_size(v) < 20000) return false;
            return true;
        },
        60s))
        << StudioLog();

    ASSERT_TRUE(logind.Suspend());
    ASSERT_TRUE(logind.WaitForEvent("PrepareForSleep true", 10s));
    ASSERT_TRUE(WaitUntil([&] { return logind.Count("sleep (delay released)") == 1; }, 50s))
        << logind.Events() << StudioLog();
    EXPECT_EQ(logind.Count("sleep (delay timed out)"), 0);
    // By the time the machine sleeps the recordings are over: the awake lock
    // is gone and the files are closed (no longer growing, and complete).
    EXPECT_TRUE(logind.WaitForEvent("release sleep:idle block ORVEX Studio", 10s)) << logind.Events();
    const std::string events = logind.Events();
    EXPECT_LT(events.find("release sleep:idle block ORVEX Studio"), events.find("sleep (delay released)"))
        << events;
    EXPECT_NE(StudioLog().find("EmergencyStop | low power shutdown"), std::string::npos) << StudioLog();
    // Each file is finished (its trailer written) before the sleep; what is
    // measured now must not grow while the checks below read the files.
    ASSERT_TRUE(WaitUntil(
        [&] { return testfiles::CountOf(StudioLog(), "Stream::StopRecording | ") >= int(videos().size()); }, 20s))
        << StudioLog();
    std::vector<uintmax_t> sizes;
    for (const fs::path& v : videos()) sizes.push_back(fs::file_size(v));
    for (const fs::path& v : videos()) {
        std::string probe;
        ASSERT_EQ(RunCommand("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                      "stream=codec_name,nb_read_packets -of csv=p=0 '" +
                          v.string() + "'",
                      &probe),
                  0)
            << v << probe;
        EXPECT_EQ(probe.rfind("h264,", 0), 0u) << probe;
        // Readable to the end with video in it; how much depends on the load.
        EXPECT_GT(std::atoi(probe.c_str() + 5), 0) << probe;
    }
    for (size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(fs::file_size(videos()[i]), sizes[i]) << videos()[i];
    // Awake again: the delay lock is back for the next sleep.
    EXPECT_TRUE(logind.WaitForEvent("inhibit sleep delay ORVEX Studio", 20s, 2)) << logind.Events();
    EndStudio();
    EXPECT_TRUE(logind.WaitForEvent("release sleep delay ORVEX Studio", 10s, 2)) << logind.Events();
}

}  // namespace
