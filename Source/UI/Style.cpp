#include "UI/Style.h"

#include <imgui.h>
#include <imgui_freetype.h>
#include <sys/stat.h>

#include <cmath>

#include "Base/Log.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"

namespace ui {

namespace {

FontSet g_fonts;  // UI thread
constexpr float kMenuMarkScale = 0.666f;

float Trunc(float v) { return float(int(v)); }

bool FileExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

ImFont* AddFont(ImFontAtlas* atlas, const char* file, float size) {
    const Path path = ResourcePath(file);
    if (FileExists(path.CStr())) {
        ImFont* font = atlas->AddFontFromFileTTF(path.CStr(), size);
        if (font != nullptr) return font;
    }
    LOGF(LOG_WARN, LOG_SRC_UI, "BuildStyleAndFonts | could not open font file %s, using the built-in font",
         path.CStr());
    ImFontConfig config;
    config.SizePixels = size;
    return atlas->AddFontDefault(&config);
}

void* FontAlloc(size_t size, void*) { return IM_ALLOC(size); }
void FontFree(void* p, void*) { IM_FREE(p); }

}  // namespace

int FontPixelSize(float uiScale) {
    const int size = int(std::ceil(26.0f * uiScale));
    return size < 14 ? 14 : size;
}

float MenuMarkScale() { return kMenuMarkScale; }

void ApplyStyle(ImGuiStyle* style, float s) {
    *style = ImGuiStyle();
    const ImGuiStyle defaults;
    style->WindowPadding = ImVec2(Trunc(10 * s), Trunc(12 * s));
    style->WindowRounding = Trunc(8 * s);
    style->WindowBorderSize = 0;
    style->WindowMinSize = ImVec2(Trunc(16 * s), Trunc(16 * s));
    style->ChildRounding = Trunc(8 * s);
    style->ChildBorderSize = 1;
    style->PopupRounding = Trunc(8 * s);
    style->PopupBorderSize = 1;
    style->FramePadding = ImVec2(Trunc(8 * s), Trunc(6 * s));
    style->FrameRounding = Trunc(8 * s);
    style->FrameBorderSize = 1;
    style->ItemSpacing = ImVec2(Trunc(10 * s), Trunc(18 * s));
    style->ItemInnerSpacing = ImVec2(Trunc(defaults.ItemInnerSpacing.x * s), Trunc(defaults.ItemInnerSpacing.y * s));
    style->TouchExtraPadding = ImVec2(Trunc(9 * s), Trunc(9 * s));
    style->IndentSpacing = Trunc(defaults.IndentSpacing * s);
    style->ScrollbarSize = Trunc(defaults.ScrollbarSize * s);
    style->ScrollbarRounding = Trunc(8 * s);
    style->GrabMinSize = Trunc(10 * s);
    style->GrabRounding = Trunc(4 * s);

    ImVec4* c = style->Colors;
    c[ImGuiCol_Text] = ImVec4(1.00f, 1.00f, 1.00f, 1.00f);
    c[ImGuiCol_TextDisabled] = ImVec4(0.44f, 0.44f, 0.44f, 1.00f);
    c[ImGuiCol_WindowBg] = ImVec4(0.21f, 0.22f, 0.24f, 1.00f);
    c[ImGuiCol_ChildBg] = ImVec4(0.15f, 0.16f, 0.16f, 1.00f);
    c[ImGuiCol_PopupBg] = ImVec4(0.25f, 0.26f, 0.26f, 1.00f);
    c[ImGuiCol_Border] = ImVec4(0.00f, 0.00f, 0.00f, 1.00f);
    c[ImGuiCol_BorderShadow] = ImVec4(0.19f, 0.19f, 0.19f, 1.00f);
    c[ImGuiCol_FrameBg] = ImVec4(0.08f, 0.08f, 0.08f, 1.00f);
    c[ImGuiCol_FrameBgHovered] = ImVec4(0.21f, 0.21f, 0.21f, 1.00f);
    c[ImGuiCol_FrameBgActive] = ImVec4(0.31f, 0.31f, 0.31f, 0.83f);
    c[ImGuiCol_TitleBg] = ImVec4(0.33f, 0.34f, 0.37f, 1.00f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.33f, 0.34f, 0.37f, 1.00f);
    c[ImGuiCol_TitleBgCollapsed] = ImVec4(0.24f, 0.24f, 0.24f, 1.00f);
    c[ImGuiCol_MenuBarBg] = ImVec4(0.09f, 0.09f, 0.09f, 1.00f);
    c[ImGuiCol_ScrollbarBg] = ImVec4(0.13f, 0.13f, 0.13f, 1.00f);
    c[ImGuiCol_ScrollbarGrab] = ImVec4(0.48f, 0.48f, 0.48f, 1.00f);
    c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.78f, 0.78f, 0.78f, 1.00f);
    c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.93f, 0.93f, 0.93f, 1.00f);
    c[ImGuiCol_CheckMark] = ImVec4(0.67f, 0.71f, 0.76f, 1.00f);
    c[ImGuiCol_SliderGrab] = ImVec4(0.67f, 0.71f, 0.76f, 1.00f);
    c[ImGuiCol_SliderGrabActive] = ImVec4(0.54f, 0.54f, 0.54f, 1.00f);
    c[ImGuiCol_Button] = ImVec4(0.36f, 0.39f, 0.47f, 1.00f);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.47f, 0.49f, 0.56f, 1.00f);
    c[ImGuiCol_ButtonActive] = ImVec4(0.46f, 0.53f, 0.65f, 1.00f);
    c[ImGuiCol_Header] = ImVec4(0.32f, 0.35f, 0.40f, 1.00f);
    c[ImGuiCol_HeaderHovered] = ImVec4(0.44f, 0.45f, 0.48f, 1.00f);
    c[ImGuiCol_HeaderActive] = ImVec4(0.44f, 0.45f, 0.48f, 1.00f);
    c[ImGuiCol_Separator] = ImVec4(0.16f, 0.16f, 0.16f, 1.00f);
    c[ImGuiCol_SeparatorHovered] = ImVec4(0.20f, 0.20f, 0.20f, 1.00f);
    c[ImGuiCol_SeparatorActive] = ImVec4(0.72f, 0.72f, 0.72f, 1.00f);
    c[ImGuiCol_ResizeGrip] = ImVec4(0.75f, 0.75f, 0.75f, 0.73f);
    c[ImGuiCol_ResizeGripHovered] = ImVec4(0.45f, 0.45f, 0.45f, 0.60f);
    c[ImGuiCol_ResizeGripActive] = ImVec4(0.37f, 0.37f, 0.37f, 0.60f);
    c[ImGuiCol_Tab] = ImVec4(0.11f, 0.11f, 0.11f, 1.00f);
    c[ImGuiCol_TabHovered] = ImVec4(0.22f, 0.23f, 0.26f, 1.00f);
    c[ImGuiCol_TabActive] = ImVec4(0.29f, 0.32f, 0.36f, 1.00f);
    c[ImGuiCol_TabUnfocused] = ImVec4(0.28f, 0.28f, 0.57f, 1.00f);
    c[ImGuiCol_TabUnfocusedActive] = ImVec4(0.35f, 0.35f, 0.65f, 1.00f);
    c[ImGuiCol_PlotLines] = ImVec4(0.91f, 0.13f, 0.18f, 1.00f);
    c[ImGuiCol_PlotLinesHovered] = ImVec4(1.00f, 0.97f, 0.86f, 1.00f);
    c[ImGuiCol_PlotHistogram] = ImVec4(0.91f, 0.13f, 0.18f, 1.00f);
    c[ImGuiCol_PlotHistogramHovered] = ImVec4(1.00f, 0.97f, 0.86f, 1.00f);
    c[ImGuiCol_TextSelectedBg] = ImVec4(0.15f, 0.47f, 1.00f, 1.00f);
    c[ImGuiCol_DragDropTarget] = ImVec4(1.00f, 0.77f, 0.11f, 1.00f);
    c[ImGuiCol_NavHighlight] = ImVec4(0.45f, 0.45f, 0.90f, 0.80f);
    c[ImGuiCol_NavWindowingHighlight] = ImVec4(1.00f, 1.00f, 1.00f, 0.70f);
    c[ImGuiCol_NavWindowingDimBg] = ImVec4(0.80f, 0.80f, 0.80f, 0.20f);
    c[ImGuiCol_ModalWindowDimBg] = ImVec4(0.00f, 0.00f, 0.00f, 0.38f);
}

void BuildStyleAndFonts(float uiScale) {
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // no layout file of Dear ImGui's own
    ApplyStyle(&ImGui::GetStyle(), uiScale);

    ImFontAtlas* atlas = io.Fonts;
    atlas->Clear();
    const float size = float(FontPixelSize(uiScale));
    FontSet fonts;
    fonts.regular = AddFont(atlas, "Roboto-Regular.ttf", size);
    fonts.bold = AddFont(atlas, "Roboto-Bold.ttf", size);
    fonts.large = AddFont(atlas, "Roboto-Regular.ttf", size * 2);
    fonts.mono = AddFont(atlas, "MonoSpatial.ttf", size);

    ImGuiFreeType::SetAllocatorFunctions(FontAlloc, FontFree, nullptr);
    atlas->FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    atlas->FontBuilderFlags = ImGuiFreeTypeBuilderFlags_NoAutoHint;
    if (!atlas->Build()) {
        // FreeType could not run: Dear ImGui's own rasteriser builds it when
        // the renderer next asks for the font texture.
        LOGF(LOG_WARN, LOG_SRC_UI, "BuildStyleAndFonts | FreeType font build failed, using the stock rasteriser");
        atlas->FontBuilderIO = nullptr;
        for (ImFontConfig& config : atlas->ConfigData) config.GlyphOffset.y -= 1.0f;
    }
    g_fonts = fonts;
}

const FontSet& Fonts() { return g_fonts; }

}  // namespace ui
