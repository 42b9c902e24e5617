// The window after a UI scale change, in a real window on the test's display:
// it grows to the scaled minimum size and moves back inside the work area of
// the display it is on; full screen and maximised windows are not moved.
#include <gtest/gtest.h>

#include <SDL.h>

#include "App/AppState.h"
#include "Platform/Platform_Linux/Gui/Window.h"

namespace {

class WindowFit : public ::testing::Test {
protected:
    void SetUp() override {
        // Started once and kept: closing the display connection would unload
        // libraries whose process-lifetime allocations then read as leaks.
        static const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
        ASSERT_TRUE(started) << SDL_GetError();
        window_ = SDL_CreateWindow("fit", 100, 100, 500, 300, SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        ASSERT_EQ(SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(window_), &work_), 0);
    }
    void TearDown() override {
        if (window_) SDL_DestroyWindow(window_);
    }
    void Place(int x, int y, int w, int h) {
        SDL_SetWindowPosition(window_, x, y);
        SDL_SetWindowSize(window_, w, h);
        app_.settings.WindowPosX = x;
        app_.settings.WindowPosY = y;
        app_.settings.WindowWidth = w;
        app_.settings.WindowHeight = h;
    }

    SDL_Window* window_ = nullptr;
    SDL_Rect work_{};
    AppState app_;
};

TEST_F(WindowFit, GrowsToTheScaledMinimumInsideTheWorkArea) {
    struct Case {
        const char* name;
        float scale;
        bool fullscreen, maximized;
        int w, h;  // expected size
        bool movedIn;
    } cases[] = {
        {"scale 1 grows to 880 x 540 and moves in", 1.0f, false, false, 880, 540, true},
        {"scale 0.5 keeps a larger window", 0.5f, false, false, 500, 300, false},
        // Only the minimum size applies (the system grows the window in place).
        {"full screen is not moved", 1.0f, true, false, 880, 540, false},
        {"maximised is not moved", 1.0f, false, true, 880, 540, false},
    };
    for (const Case& c : cases) {
        // Near the work area's bottom-right corner, so growing would pass its edges.
        const int x = work_.x + work_.w - 520, y = work_.y + work_.h - 320;
        Place(x, y, 500, 300);
        app_.UiScale = c.scale;
        app_.settings.WindowFullscreen = c.fullscreen;
        app_.settings.WindowMaximized = c.maximized;
        FitWindowToScale(window_, app_.settings, app_.UiScale);
        int w = 0, h = 0, px = 0, py = 0;
        SDL_GetWindowSize(window_, &w, &h);
        SDL_GetWindowPosition(window_, &px, &py);
        EXPECT_EQ(w, c.w) << c.name;
        EXPECT_EQ(h, c.h) << c.name;
        if (c.movedIn) {
            EXPECT_EQ(px, work_.x + work_.w - c.w) << c.name;
            EXPECT_EQ(py, work_.y + work_.h - c.h) << c.name;
        } else {
            EXPECT_EQ(px, x) << c.name;
            EXPECT_EQ(py, y) << c.name;
        }
        int minW = 0, minH = 0;
        SDL_GetWindowMinimumSize(window_, &minW, &minH);
        EXPECT_EQ(minW, int(880 * c.scale)) << c.name;
        EXPECT_EQ(minH, int(540 * c.scale)) << c.name;
    }
}

}  // namespace
