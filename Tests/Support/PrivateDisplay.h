// An Xvfb display of the test's own, started from inside the test (after
// EnterLoopbackOnlyNetwork): X clients reach a server through its abstract
// socket first, and abstract sockets belong to the network namespace, so a
// display started inside the test's namespace is the one its programs and
// screenshots use, whatever other servers share /tmp/.X11-unix. Sets DISPLAY
// for this process (and so for the children it starts) while it exists.
// Header-only: every test folder builds its own program.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Support/ChildProcess.h"

namespace testsupport {

class PrivateDisplay {
public:
    // `folder`: where the server's output goes. Mesa's software rasteriser is
    // chosen for the children too (LIBGL_ALWAYS_SOFTWARE).
    explicit PrivateDisplay(const std::filesystem::path& folder, const std::string& screen = "1920x1080x24") {
        const char* previous = getenv("DISPLAY");
        if (previous != nullptr) previous_ = previous;
        int fds[2];
        if (pipe(fds) != 0) return;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);  // only the write end goes to the server
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"},
            std::vector<std::string>{}, folder / "xvfb.out");
        close(fds[1]);
        // The server writes its display number once it listens.
        std::string number;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (server_->Started() && std::chrono::steady_clock::now() < end) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return;
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    }
    ~PrivateDisplay() {
        if (server_) server_->Terminate(std::chrono::seconds(10));
        if (previous_.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", previous_.c_str(), 1);
        }
    }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& Display() const { return display_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string display_, previous_;
};

}  // namespace testsupport
