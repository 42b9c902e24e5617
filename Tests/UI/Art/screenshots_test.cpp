// The real program under Xvfb with no camera unit: the splash (the maker's
// logo on white) and then the searching screen with the turning, lit camera
// model. Screenshots go to <build>/screenshots/ for people to look at; the
// checks here are what a user would see in them, not pixel comparisons.
//
// The Studio runs in a network namespace of its own when the system allows
// it (unshare -rn), so that no simulated unit of another test answering on
// loopback can end the searching screen early.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stb_image.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Support/TempFolder.h"

namespace {

constexpr int kScreenW = 1280, kScreenH = 800;

bool OnPath(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A child process started with fork/exec, stopped with SIGTERM (then SIGKILL).
class Child {
public:
    ~Child() { Stop(); }

    // `setup` runs in the child before exec (environment, folder, descriptors).
    bool Start(const std::vector<std::string>& args, const std::function<void()>& setup) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            if (setup) setup();
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return pid_ > 0;
    }

    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = status;
            return false;
        }
        return true;
    }

    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100 && Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &exitStatus_, 0);
            pid_ = -1;
        }
    }

    int ExitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int exitStatus_ = 0;
};

struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    int Lum(int x, int y) const {
        const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
        return (p[0] * 30 + p[1] * 59 + p[2] * 11) / 100;
    }
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
};

bool Load(const std::string& file, Shot* shot) {
    int comp = 0;
    stbi_uc* data = stbi_load(file.c_str(), &shot->w, &shot->h, &comp, 3);
    if (data == nullptr) return false;
    shot->rgb.assign(data, data + size_t(shot->w) * size_t(shot->h) * 3);
    stbi_image_free(data);
    return shot->w == kScreenW && shot->h == kScreenH;
}

// Counts the pixels of a rectangle that pass `test`.
int Count(const Shot& s, int x0, int y0, int x1, int y1, const std::function<bool(const uint8_t*)>& test) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) n += test(s.At(x, y)) ? 1 : 0;
    }
    return n;
}

bool White(const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }
bool Dark(const uint8_t* p) { return p[0] < 80 && p[1] < 80 && p[2] < 80; }
bool Red(const uint8_t* p) { return p[0] > 180 && p[1] < 90 && p[2] < 90; }

class StudioScreens : public ::testing::Test {
protected:
    void SetUp() override {
        studio_ = std::string(ORVEX_BUILD_DIR) + "/orvex-studio";
        if (access(studio_.c_str(), X_OK) != 0) GTEST_SKIP() << "orvex-studio is not built";
        if (!OnPath("Xvfb") || !OnPath("import")) GTEST_SKIP() << "Xvfb or ImageMagick missing";
        shots_ = std::string(ORVEX_BUILD_DIR) + "/screenshots";
        std::filesystem::create_directories(shots_);
        ASSERT_TRUE(StartXvfb());
    }

    bool StartXvfb() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        xvfb_.Start({"Xvfb", "-displayfd", fd, "-screen", "0", std::to_string(kScreenW) + "x" +
                                                                   std::to_string(kScreenH) + "x24",
                     "-nolisten", "tcp"},
                    [&] {
                        close(fds[0]);
                        const int null = open("/dev/null", O_WRONLY);
                        dup2(null, 2);
                    });
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }

    void StartStudio() {
        const bool isolate = std::system("unshare -rn true >/dev/null 2>&1") == 0;
        std::vector<std::string> args;
        if (isolate) args = {"unshare", "-rn"};
        args.push_back(studio_);
        const std::string home = home_.Dir();
        const std::string log = home_.File("studio.out");
        studio_process_.Start(args, [&] {
            if (chdir(home.c_str()) != 0) _exit(126);
            setenv("DISPLAY", display_.c_str(), 1);
            setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
            setenv("HOME", home.c_str(), 1);
            setenv("XDG_DATA_HOME", home.c_str(), 1);
            setenv("XDG_CONFIG_HOME", home.c_str(), 1);
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
        });
    }

    // Takes screenshots until `wanted` accepts one (then saved under `name`),
    // the Studio ends, or the time runs out.
    bool WaitForScreen(const std::string& name, const std::function<bool(const Shot&)>& wanted, Shot* shot) {
        const std::string file = home_.File("shot.png");
        const std::string command = "import -display " + display_ + " -window root png24:'" + file + "' 2>/dev/null";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && studio_process_.Running()) {
            if (std::system(command.c_str()) == 0 && Load(file, shot) && wanted(*shot)) {
                std::filesystem::copy_file(file, shots_ + "/" + name, std::filesystem::copy_options::overwrite_existing);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string StudioOutput() {
        std::string text;
        if (FILE* f = fopen(home_.File("studio.out").c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            fclose(f);
        }
        return text;
    }

    std::string studio_, shots_, display_;
    TempFolder home_;
    Child xvfb_, studio_process_;
};

TEST_F(StudioScreens, SplashThenSearchingSceneWithTheTurningModel) {
    StartStudio();
    // The window is centred, 32 px narrower and 64 px lower than the screen.
    const int cx = kScreenW / 2, cy = kScreenH / 2;

    // Splash: white window, the maker's logo fully faded in at the centre
    // (its dark word mark and red lens).
    Shot splash;
    const bool sawSplash = WaitForScreen(
        "art-splash.png",
        [&](const Shot& s) {
            return Count(s, cx - 400, cy - 250, cx + 400, cy + 250, White) > 200000 &&
                   Count(s, cx - 270, cy - 105, cx + 270, cy + 105, Dark) > 4000 &&
                   Count(s, cx - 270, cy - 105, cx, cy + 105, Red) > 300 &&
                   // the version text, below the logo towards its right edge, dark
                   // once the logo has faded in
                   Count(s, cx, cy + 60, cx + 300, cy + 140, Dark) > 20;
        },
        &splash);
    ASSERT_TRUE(sawSplash) << StudioOutput();

    // Searching screen: black body, the text below the centre, and above it
    // the lit model: many pixels that are neither black nor white, with a
    // range of brightness from shadow to highlight.
    Shot searching;
    auto modelRegion = [&](const Shot& s, int* lit, int* lo, int* hi) {
        *lit = 0;
        *lo = 255;
        *hi = 0;
        for (int y = cy - 260; y < cy + 40; ++y) {
            for (int x = cx - 300; x < cx + 300; ++x) {
                const int l = s.Lum(x, y);
                if (l > 12) {
                    ++*lit;
                    *lo = std::min(*lo, l);
                    *hi = std::max(*hi, l);
                }
            }
        }
    };
    const bool sawSearching = WaitForScreen(
        "art-searching-scene.png",
        [&](const Shot& s) {
            int lit, lo, hi;
            modelRegion(s, &lit, &lo, &hi);
            // The splash has faded out completely once the body's corner is black
            // and the searching text (drawn over the scene, below the model)
            // is at full white.
            return Count(s, 60, 140, 200, 260, [](const uint8_t* p) { return p[0] + p[1] + p[2] > 30; }) == 0 &&
                   Count(s, cx - 200, int(kScreenH * 0.62), cx + 200, int(kScreenH * 0.72), White) > 100 &&
                   lit > 8000;
        },
        &searching);
    ASSERT_TRUE(sawSearching) << StudioOutput();
    int lit, lo, hi;
    modelRegion(searching, &lit, &lo, &hi);
    EXPECT_GT(hi - lo, 60) << "the model shows no shading";

    // A little later the model has turned: the picture changed.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Shot later;
    const bool sawLater = WaitForScreen("art-searching-scene-later.png", [](const Shot&) { return true; }, &later);
    ASSERT_TRUE(sawLater);
    int changed = 0;
    for (int y = cy - 260; y < cy + 40; ++y) {
        for (int x = cx - 300; x < cx + 300; ++x) changed += std::abs(later.Lum(x, y) - searching.Lum(x, y)) > 20;
    }
    EXPECT_GT(changed, 500) << "the model does not turn";

    studio_process_.Stop();
}

}  // namespace
