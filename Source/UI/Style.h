// The program's Dear ImGui theme and font set. Rebuilt at start-up and after
// every UI scale change; UI thread only.
#pragma once

struct ImFont;
struct ImGuiStyle;

namespace ui {

struct FontSet {
    ImFont* regular = nullptr;  // atlas font 0, the default font
    ImFont* bold = nullptr;     // atlas font 1
    ImFont* large = nullptr;    // atlas font 2, twice the size
    ImFont* mono = nullptr;     // atlas font 3
};

// Font size in pixels for a UI scale: max(14, ceil(26 * scale)).
int FontPixelSize(float uiScale);
// The style table for a scale (sizes and the 48 colours) applied to `style`.
void ApplyStyle(ImGuiStyle* style, float uiScale);
// Size factor of menu check marks and sub-menu arrows (Dear ImGui's own is 0.866).
float MenuMarkScale();

// Sets the style and rebuilds the font atlas from the resource folder's font
// files. A missing font file is logged and replaced by Dear ImGui's built-in
// font so that the four atlas positions always hold usable fonts.
void BuildStyleAndFonts(float uiScale);
const FontSet& Fonts();

}  // namespace ui
