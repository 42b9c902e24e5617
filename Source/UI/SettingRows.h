// The setting rows of the camera settings panel and the diagnostics panel:
// the label on the left, the control filling the right part, then an
// optional reset icon. Every row pushes its label as its ID, so rows with
// the same control id ("##SettingSliderInt") stay apart. UI thread only.
#pragma once

#include <string>
#include <vector>

namespace ui {

// A caption line across the panel ("PICTURE", "EXPOSURE").
void SectionHeader(const char* text);

// Drop-down of `labels`; `current` -1 shows none. True when an entry is picked.
bool RowCombo(const char* label, const std::vector<std::string>& labels, int* current);
bool RowCheckbox(const char* label, bool* value);

// A slider reports every frame it moves and, apart from that, the frame it
// is let go (the settings file is saved only then).
struct SliderChange {
    bool moved = false;
    bool released = false;
};
SliderChange RowSliderInt(const char* label, int* value, int minimum, int maximum, const char* format,
                          const char* id = "##SettingSliderInt");
SliderChange RowSliderFloat(const char* label, float* value, float minimum, float maximum, const char* format,
                            const char* id = "##SettingSliderFloat");

// Which characters a text input takes.
enum class InputChars { Name, Number };
// True when Enter is pressed; the whole text is selected on activation.
// `editing` tells whether the field has the keyboard focus.
bool RowTextInput(const char* label, char* buffer, size_t size, InputChars chars, bool* editing,
                  const char* id = "##SettingInput");
// A full-width button.
bool RowButton(const char* text, const char* id = "##SettingButton");
// A row of two texts (System sub-panel, diagnostics).
void RowText(const char* label, const char* value);

// The reset icon after the last row (or group of rows): drawn when `show`,
// true when pressed. `id` keeps several icons of one panel apart.
bool RowReset(bool show, const char* id);

// Width of the label column and where the controls end (before the icon).
float RowLabelWidth();
float RowControlWidth();

}  // namespace ui
