// The main window and the alert popup drawn by Dear ImGui without a display:
// band geometry, the searching screen without a camera, and alerts shown in
// turn until "Okay".
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "App/Alerts.h"
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

}  // namespace
