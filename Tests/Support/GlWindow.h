// A hidden SDL window with an OpenGL 3.3 core context made current (Mesa
// software GL under the test's Xvfb), for tests that draw or upload textures
// without starting the whole program. One per test; UI thread only.
#pragma once

#include <SDL.h>

#include <cstdlib>
#include <string>

namespace testsupport {

class GlWindow {
public:
    GlWindow(int width, int height) {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // SDL video starts once per process and stays: closing the display
        // would unload the GL driver with its process-lifetime allocations.
        static const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
        if (!started) {
            error_ = std::string("needs a display (run under Xvfb): ") + SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        window_ = SDL_CreateWindow("test window", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window_ == nullptr) {
            error_ = SDL_GetError();
            return;
        }
        context_ = SDL_GL_CreateContext(window_);
        if (context_ == nullptr) error_ = SDL_GetError();
    }
    ~GlWindow() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
    }
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    bool Ok() const { return context_ != nullptr; }
    const std::string& Error() const { return error_; }
    SDL_Window* Window() const { return window_; }

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::string error_;
};

}  // namespace testsupport
