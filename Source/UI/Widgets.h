// Small widgets every panel uses: fixed panels, aligned text boxes, text rows
// beside framed widgets, icon buttons and the splitter. UI thread only.
#pragma once

#include <imgui.h>

namespace GL {
struct ImageQuad;
}

namespace ui {

// TextInBox alignment flags.
enum TextBoxFlags : int {
    TextLeft = 1,
    TextRight = 4,
    TextTop = 8,
    TextBottom = 32,
    TextWrap = 64,
    TextCentred = 18,  // centred both ways
};

// Places the next window at `pos` with `size`, opens it without padding,
// rounding or borders and with `background`. The caller ends the window.
bool BeginPanel(const char* name, ImVec2 pos, ImVec2 size, ImVec4 background, ImGuiWindowFlags flags);

// Formats the text (at most 3,072 characters) and draws it aligned in a box of
// `size` that starts at the cursor; the box occupies the layout as one item.
void TextInBox(int flags, ImVec2 size, const char* format, ...) IM_FMTARGS(3);
// Where TextInBox puts a text of `textSize` in a box at `boxPos`: the text's top-left.
ImVec2 TextBoxOrigin(int flags, ImVec2 boxPos, ImVec2 boxSize, ImVec2 textSize);

// A text line moved down by the vertical frame padding, to line up with
// framed widgets on the same row.
void TextRow(const char* format, ...) IM_FMTARGS(1);

// An image button without frame; identity = the icon record's address.
// A record without texture draws an outlined placeholder rectangle.
// Returns true only when pressed and enabled.
bool IconButton(const GL::ImageQuad& icon, bool enabled, float padding);

// Splitter arithmetic (the widget below uses them; kept apart for tests).
// Raises a length below its minimum while keeping the sum.
void SplitterEnforceMinimums(float* size1, float* size2, float minimum1, float minimum2);
// Moves the boundary by `movement`, stopping at either minimum.
void SplitterMove(float* size1, float* size2, float minimum1, float minimum2, float movement);

// A bar between two regions of lengths size1 and size2 (updated while
// dragged). `stacked`: regions one above the other. The cursor is left where
// it was; the caller lays out the regions.
bool Splitter(bool stacked, float thickness, float* size1, float* size2, float minimum1, float minimum2);

}  // namespace ui
