// The main window and the alert popup drawn by Dear ImGui without a display:
// band geometry, the searching screen without a camera, and alerts shown in
// turn until "Okay".
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <SDL.h>

#include "Base/Alerts.h"
#include "App/Gui/EventHandler.h"
#include "App/Gui/Input.h"
#include "App/AppState.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"
#include "UI/AlertPopup.h"
#include "UI/MainWindow.h"
#include "UI/Style.h"

namespace {

class UiFrames : public ::testing::Test {
protected:
    void SetUp() override {
        TakeAlerts();
        ImGui::CreateContext();
        SetResourceFolderForTests(ORVEX_BUILD_DIR "/Data");
        ui::BuildStyleAndFonts(1.0f);
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);  // the renderer's part
        ImGui::GetIO().DisplaySize = ImVec2(1280, 800);
        ImGui::GetIO().DeltaTime = 1.0f / 60.0f;
        app_.ClientWidth = 1280;
        app_.ClientHeight = 800;
        app_.UiScale = 1.0f;
    }
    void TearDown() override {
        ImGui::DestroyContext();
        SetResourceFolderForTests("");
        TakeAlerts();
    }
    void Frame(void (*draw)(AppState&)) {
        ImGui::NewFrame();
        draw(app_);
        ImGui::Render();
    }
    static ImGuiWindow* Window(const char* name) { return ImGui::FindWindowByName(name); }

    AppState app_;
};

TEST_F(UiFrames, BandsAndBodyAt1280x800) {
    Frame(ui::DrawMainWindow);
    ImGuiWindow* title = Window("TitleBar");
    ImGuiWindow* control = Window("ControlBar");
    ImGuiWindow* body = Window("Player");
    ASSERT_TRUE(title && control && body);
    EXPECT_FLOAT_EQ(title->Size.y, 48);
    EXPECT_FLOAT_EQ(control->Pos.y, 48 + 664);
    EXPECT_FLOAT_EQ(control->Size.y, 88);
    EXPECT_FLOAT_EQ(body->Pos.y, 48);
    EXPECT_FLOAT_EQ(body->Size.y, 664);
    EXPECT_FLOAT_EQ(body->Size.x, 1280);
    // The main window is drawn over every other window.
    ImGuiContext& g = *ImGui::GetCurrentContext();
    EXPECT_STREQ(g.Windows.back()->Name, "MainWindow");
    // No camera: the searching text is drawn in the body.
    bool found = false;
    for (const ImDrawCmd& cmd : body->DrawList->CmdBuffer) found |= cmd.ElemCount > 0;
    EXPECT_TRUE(found);
    EXPECT_EQ(ui::ControlBarHeight(app_), 88);
    app_.UiScale = 0.5f;
    EXPECT_EQ(ui::ControlBarHeight(app_), 44);
}

TEST_F(UiFrames, AlertsShowInTurnUntilOkay) {
    PostAlert("first alert");
    PostAlert("second alert");
    auto drawAlert = [](AppState& app) {
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::Begin("host");
        ui::DrawAlertPopup(float(app.ClientWidth), float(app.ClientHeight), app.UiScale);
        ImGui::End();
    };
    static auto draw = drawAlert;
    Frame([](AppState& a) { draw(a); });
    ImGuiWindow* popup = Window("AlertPopup");
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->Active);
    EXPECT_EQ(AlertCount(), 2u) << "the shown alert stays queued until Okay";
    // Press "Okay": centred, 64 pixels above the popup's bottom (placed once it has appeared).
    for (int i = 0; i < 2; ++i) Frame([](AppState& a) { draw(a); });
    EXPECT_FLOAT_EQ(popup->Pos.x, 480);
    EXPECT_FLOAT_EQ(popup->Size.x, 320);
    const ImVec2 okay(popup->Pos.x + popup->Size.x / 2, popup->Pos.y + popup->Size.y - 64 + 8);
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = okay;
    Frame([](AppState& a) { draw(a); });
    io.MouseDown[0] = true;
    Frame([](AppState& a) { draw(a); });
    io.MouseDown[0] = false;
    Frame([](AppState& a) { draw(a); });
    EXPECT_EQ(AlertCount(), 1u);
    // The next alert comes up in a following frame.
    Frame([](AppState& a) { draw(a); });
    Frame([](AppState& a) { draw(a); });
    popup = Window("AlertPopup");
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->Active);
}

TEST_F(UiFrames, CaptionPressClosesMenusButNotModalPopups) {
    struct Case {
        const char* name;
        bool modal;
        int closedAfter;  // open popups left after the caption press
    } cases[] = {{"menu", false, 0}, {"modal popup", true, 1}};
    for (const Case& c : cases) {
        static bool modal = false;
        static bool open = false;
        modal = c.modal;
        open = true;
        auto draw = [](AppState&) {
            ImGui::SetNextWindowPos(ImVec2(0, 0));
            ImGui::Begin("host");
            if (open) ImGui::OpenPopup("popup");
            open = false;
            if (modal ? ImGui::BeginPopupModal("popup") : ImGui::BeginPopup("popup")) {
                ImGui::TextUnformatted("item");
                ImGui::EndPopup();
            }
            ImGui::End();
        };
        Frame(draw);
        Frame(draw);
        ImGuiContext& g = *ImGui::GetCurrentContext();
        ASSERT_EQ(g.OpenPopupStack.Size, 1) << c.name;
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_HIT_TEST;  // a left press that moves or sizes the window
        EXPECT_TRUE(gui::HandleEvent(app_, e));
        EXPECT_EQ(g.OpenPopupStack.Size, c.closedAfter) << c.name;
        ImGui::ClosePopupsExceptModals();
        if (g.OpenPopupStack.Size > 0) ImGui::ClosePopupToLevel(0, false);
        Frame(draw);
    }
}

TEST_F(UiFrames, EventsFeedTheUiAndTouchSynthesisedMouseIsIgnored) {
    ImGuiIO& io = ImGui::GetIO();
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.which = SDL_TOUCH_MOUSEID;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 300;
    e.button.y = 300;
    EXPECT_TRUE(gui::HandleEvent(app_, e));
    EXPECT_FALSE(io.MouseDown[0]) << "a click made from a touch is not counted twice";
    e.button.which = 0;
    gui::HandleEvent(app_, e);
    EXPECT_TRUE(io.MouseDown[0]);
    EXPECT_FLOAT_EQ(io.MousePos.x, 300);
    EXPECT_TRUE(app_.input.contacts[0].down);
    e.type = SDL_MOUSEBUTTONUP;
    gui::HandleEvent(app_, e);
    EXPECT_TRUE(io.MouseDown[0]) << "released only after a frame saw the press";

    SDL_Event finger{};
    finger.type = SDL_FINGERDOWN;
    finger.tfinger.fingerId = 9;
    finger.tfinger.x = 0.5f;
    finger.tfinger.y = 0.25f;
    gui::HandleEvent(app_, finger);
    EXPECT_FLOAT_EQ(app_.input.contacts[0].x, 640);
    EXPECT_FLOAT_EQ(app_.input.contacts[0].y, 200);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_A;
    gui::HandleEvent(app_, key);
    EXPECT_TRUE(io.KeysDown[SDL_SCANCODE_A]);
    key.type = SDL_KEYUP;
    gui::HandleEvent(app_, key);
    EXPECT_TRUE(io.KeysDown[SDL_SCANCODE_A]) << "released only after a frame saw the press";
    input::KeyReleaseStep(app_.input, io.KeysDown);  // the frame that sees it
    EXPECT_TRUE(io.KeysDown[SDL_SCANCODE_A]);
    input::KeyReleaseStep(app_.input, io.KeysDown);  // the next one
    EXPECT_FALSE(io.KeysDown[SDL_SCANCODE_A]);

    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 2;
    gui::HandleEvent(app_, wheel);
    EXPECT_FLOAT_EQ(io.MouseWheel, 2);

    // A file or text dropped on the window is released, drop after drop.
    const int allocations = SDL_GetNumAllocations();
    for (const Uint32 type : {Uint32(SDL_DROPFILE), Uint32(SDL_DROPTEXT)}) {
        SDL_Event drop{};
        drop.type = type;
        drop.drop.file = SDL_strdup("/tmp/dropped file.mp4");
        EXPECT_TRUE(gui::HandleEvent(app_, drop));
    }
    EXPECT_EQ(SDL_GetNumAllocations(), allocations) << "dropped names are freed";

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_FALSE(gui::HandleEvent(app_, quit)) << "the program ends";
}

}  // namespace
