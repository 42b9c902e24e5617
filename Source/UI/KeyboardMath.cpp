// Sections: key table and layouts; labels; places; attach and open;
// one frame of presses; colour.
#include "UI/KeyboardMath.h"

#include <algorithm>
#include <cstring>

namespace ui {

using input::FloatRect;
using input::KeyboardState;
using input::kContacts;
using input::kKeyboardKeys;

namespace {

// ---- key table and layouts ---------------------------------------------------------

// Full layout rows, then the numeric layout's blank key. Both Shift keys are
// records of their own so that each is held on its own.
const KeyRecord kKeys[kKeyboardKeys] = {
    // row 0: indexes 0..11
    {"1", "!", KeyCharacter, 0}, {"2", "@", KeyCharacter, 0}, {"3", "#", KeyCharacter, 0},
    {"4", "$", KeyCharacter, 0}, {"5", "%", KeyCharacter, 0}, {"6", "^", KeyCharacter, 0},
    {"7", "&", KeyCharacter, 0}, {"8", "*", KeyCharacter, 0}, {"9", "(", KeyCharacter, 0},
    {"0", ")", KeyCharacter, 0}, {"-", "_", KeyCharacter, 0}, {"Back", "Back", KeyBack, 1},
    // row 1: 12..23
    {"q", "Q", KeyCharacter, 0}, {"w", "W", KeyCharacter, 0}, {"e", "E", KeyCharacter, 0},
    {"r", "R", KeyCharacter, 0}, {"t", "T", KeyCharacter, 0}, {"y", "Y", KeyCharacter, 0},
    {"u", "U", KeyCharacter, 0}, {"i", "I", KeyCharacter, 0}, {"o", "O", KeyCharacter, 0},
    {"p", "P", KeyCharacter, 0}, {"[", "{", KeyCharacter, 0}, {"]", "}", KeyCharacter, 0},
    // row 2: 24..35
    {"Cap", "CAP", KeyCap, 0}, {"a", "A", KeyCharacter, 0}, {"s", "S", KeyCharacter, 0},
    {"d", "D", KeyCharacter, 0}, {"f", "F", KeyCharacter, 0}, {"g", "G", KeyCharacter, 0},
    {"h", "H", KeyCharacter, 0}, {"j", "J", KeyCharacter, 0}, {"k", "K", KeyCharacter, 0},
    {"l", "L", KeyCharacter, 0}, {";", ";", KeyCharacter, 0}, {"Enter", "Enter", KeyEnter, 1},
    // row 3: 36..47
    {"Shift", "SHIFT", KeyShift, 1}, {"z", "Z", KeyCharacter, 0}, {"x", "X", KeyCharacter, 0},
    {"c", "C", KeyCharacter, 0}, {"v", "V", KeyCharacter, 0}, {"b", "B", KeyCharacter, 0},
    {"n", "N", KeyCharacter, 0}, {"m", "M", KeyCharacter, 0}, {",", ",", KeyCharacter, 0},
    {".", ".", KeyCharacter, 0}, {"?", "?", KeyCharacter, 0}, {"Shift", "SHIFT", KeyShift, 1},
    // row 4: 48
    {" ", " ", KeyCharacter, 1},
    // numeric blank: 49
    {"", "", KeyCharacter, 0},
};

constexpr int kBlank = 49;
constexpr int kPoint = 45;
constexpr int kMinus = 10;
constexpr int kBackKey = 11;
constexpr int kEnterKey = 35;

bool IsSpace(const KeyRecord& key) { return key.virtualKey == KeyCharacter && std::strcmp(key.normal, " ") == 0; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

int UiKeyOf(int32_t virtualKey) {
    switch (virtualKey) {
        case KeyBack: return input::KeyboardUiBack;
        case KeyEnter: return input::KeyboardUiEnter;
        case KeyCap: return input::KeyboardUiCap;
        default: return -1;
    }
}

}  // namespace

const KeyRecord* KeyTable() { return kKeys; }

const KeyboardRows& FullLayout() {
    static const KeyboardRows rows = [] {
        KeyboardRows r(5);
        for (int k = 0; k <= 11; ++k) r[0].push_back(k);
        for (int k = 12; k <= 23; ++k) r[1].push_back(k);
        for (int k = 24; k <= 35; ++k) r[2].push_back(k);
        for (int k = 36; k <= 47; ++k) r[3].push_back(k);
        r[4].push_back(48);
        return r;
    }();
    return rows;
}

const KeyboardRows& NumericLayout() {
    // The digit records of the full layout's first row: "1" is 0 .. "9" is 8, "0" is 9.
    static const KeyboardRows rows = {
        {6, 7, 8, kBackKey},
        {3, 4, 5, kMinus},
        {0, 1, 2, kBlank},
        {9, kPoint, kBlank, kEnterKey},
    };
    return rows;
}

// ---- labels -------------------------------------------------------------------------

bool IsLetterKey(const KeyRecord& key) {
    return std::strlen(key.normal) == 1 && key.shifted[0] == AsciiUpper(key.normal[0]);
}

const char* ShownLabel(const KeyRecord& key, bool shift, bool caps) {
    const bool isCap = key.virtualKey == KeyCap;
    const bool shifted = (shift && !isCap) || (caps && (IsLetterKey(key) || isCap));
    return shifted ? key.shifted : key.normal;
}

const char* HintLabel(const KeyRecord& key, bool shift, bool caps, bool numeric) {
    if (numeric || std::strlen(key.normal) != 1 || std::strcmp(key.normal, key.shifted) == 0 || IsLetterKey(key))
        return "";
    return ShownLabel(key, shift, caps) == key.shifted ? key.normal : key.shifted;
}

// ---- places ---------------------------------------------------------------------------

KeyboardPlaces PlaceKeyboard(bool numeric, float W, float H, float s, float padX, float padY, float slideIn) {
    KeyboardPlaces p;
    const float R = std::max(108 * s, W / 20);
    const int columns = numeric ? 4 : 13;
    float left = padX, w = W - 2 * padX;
    if (numeric) {
        w = std::max(512 * s, W / 3.75f);
        left = W - w - padX;  // right-aligned
    }
    const float top = H - (5 * R - padY) * slideIn;
    p.rowHeight = R;
    p.left = left;
    p.width = w;
    p.top = top;
    p.keyboard = FloatRect{left - padX, top - padY, left - padX + w + 2 * padX, top - padY + 5 * R + 2 * padY};
    const float gap = float(int(w / float(columns) * 0.08f));
    const float widened = w + gap;
    const float u = widened / float(columns);
    p.gap = gap;
    p.unit = u;
    const KeyboardRows& rows = numeric ? NumericLayout() : FullLayout();
    for (size_t m = 0; m < rows.size(); ++m) {
        const std::vector<int>& row = rows[m];
        const int n = int(row.size());
        int stretchKeys = 0;
        for (int key : row) stretchKeys += kKeys[key].stretch;
        std::vector<float> widths(row.size(), u);
        if (stretchKeys > 0 && widened > float(n) * u) {
            const float stretched = std::min(1.5f * u, (widened - float(n - stretchKeys) * u) / float(stretchKeys));
            for (size_t i = 0; i < row.size(); ++i) {
                const KeyRecord& key = kKeys[row[i]];
                if (key.stretch) widths[i] = IsSpace(key) ? 8 * u : stretched;
            }
        }
        float total = 0;
        for (float kw : widths) total += kw;
        float x = left + (widened - total) / 2;
        const float y = top + float(m) * R, h = R - gap;
        for (size_t i = 0; i < row.size(); ++i) {
            const float kw = widths[i] - gap;
            p.keys.push_back(KeyPlace{row[i], FloatRect{x, y, x + kw, y + h}});
            x += widths[i];
        }
    }
    return p;
}

// ---- attach and open ----------------------------------------------------------------------

void OpenKeyboard(KeyboardState& st, bool numeric) {
    const float slideIn = st.slideIn;
    bool uiKeyDown[input::KeyboardUiKeys];
    std::copy(std::begin(st.uiKeyDown), std::end(st.uiKeyDown), uiKeyDown);
    st = KeyboardState();  // no key held (-1), nothing lit, both rectangles empty
    // The flags still down in the UI stay known, so that the next frame lets them go.
    std::copy(std::begin(uiKeyDown), std::end(uiKeyDown), st.uiKeyDown);
    st.slideIn = slideIn;  // another field while open: the keyboard does not slide again
    st.open = true;
    st.shift = !numeric;  // the first letter of a name is a capital
    st.numeric = numeric;
}

bool AttachStep(KeyboardState& st, bool switchOn, bool numeric, bool activated, bool active, const FloatRect& field) {
    if (!switchOn) return false;
    if (activated) OpenKeyboard(st, numeric);
    if (!active) return false;
    if (!st.open) return true;
    st.fieldRect = field;
    return false;
}

// ---- one frame of presses -------------------------------------------------------------------

namespace {

struct ContactResult {
    bool held = false;
    bool newPress = false;
};

// A contact that went down since the last frame presses the key it landed
// on; a contact already holding the key keeps it while it stays on it, and
// a finger sliding onto a key presses nothing. Every down record counts,
// whichever its index, so a finger holding a key keeps it when an earlier
// finger leaves.
ContactResult TestContacts(int32_t& heldBy, const FloatRect& rect, bool pressable,
                           const input::TouchContact contacts[kContacts]) {
    const bool wasHeld = heldBy >= 0;
    heldBy = -1;
    ContactResult r;
    if (!pressable) return r;
    for (int i = 0; i < kContacts; ++i) {
        const input::TouchContact& c = contacts[i];
        if (!c.down || !rect.Contains(c.x, c.y)) continue;
        if (!c.previous) {
            heldBy = i;
            r.newPress = true;
        } else if (wasHeld) {
            heldBy = i;
        }
    }
    r.held = heldBy >= 0;
    return r;
}

void LetGoOfUiKeys(KeyboardState& st, KeyboardFrame& f) {
    for (int k = 0; k < input::KeyboardUiKeys; ++k) {
        f.uiKeyChanged[k] = st.uiKeyDown[k];
        st.uiKeyDown[k] = false;
        f.uiKeyDown[k] = false;
    }
}

void ActOnPress(KeyboardState& st, const KeyRecord& key, const char* label, KeyboardFrame& f) {
    switch (key.virtualKey) {
        case KeyCharacter:
            f.typed += label[0];
            if (IsLetterKey(key)) st.shift = false;
            break;
        case KeyShift: st.shift = !st.shift; break;
        case KeyCap: st.caps = !st.caps; break;
        case KeyEnter: st.open = false; break;
        default: break;  // Back: its held flag does the work
    }
}

}  // namespace

KeyboardFrame KeyboardStep(KeyboardState& st, const input::TouchContact contacts[kContacts], float W, float H,
                           float s, float padX, float padY, float dt) {
    KeyboardFrame f;
    if (!st.open) {
        st.slideIn = 0;
        LetGoOfUiKeys(st, f);
        return f;
    }
    st.slideIn = std::clamp(st.slideIn + (1 - st.slideIn) * 16 * dt, 0.0f, 1.0f);
    f.drawn = true;
    f.places = PlaceKeyboard(st.numeric, W, H, s, padX, padY, st.slideIn);
    st.keyboardRect = f.places.keyboard;
    bool uiKeyDown[input::KeyboardUiKeys] = {false, false, false};
    for (const KeyPlace& place : f.places.keys) {
        const int index = place.key;
        const KeyRecord& key = kKeys[index];
        KeyView view;
        view.key = index;
        view.rect = place.rect;
        view.label = ShownLabel(key, st.shift, st.caps);
        view.hint = HintLabel(key, st.shift, st.caps, st.numeric);
        if ((key.virtualKey == KeyShift && st.shift) || (key.virtualKey == KeyCap && st.caps)) st.highlight[index] = 1;
        view.highlight = st.highlight[index];
        f.keys.push_back(view);

        const ContactResult c = TestContacts(st.heldBy[index], place.rect, view.label[0] != '\0', contacts);
        const float h = st.highlight[index];
        st.highlight[index] = c.held ? 1.0f : std::clamp(h + (-0.05f - h) * 12 * dt, 0.0f, 1.0f);
        const int uiKey = UiKeyOf(key.virtualKey);
        if (uiKey >= 0) uiKeyDown[uiKey] = uiKeyDown[uiKey] || c.held;
        if (c.newPress) ActOnPress(st, key, view.label, f);
    }
    for (int k = 0; k < input::KeyboardUiKeys; ++k) {
        f.uiKeyChanged[k] = st.uiKeyDown[k] != uiKeyDown[k];
        st.uiKeyDown[k] = uiKeyDown[k];
        f.uiKeyDown[k] = uiKeyDown[k];
    }
    return f;
}

// ---- colour ------------------------------------------------------------------------------

uint32_t KeyFillColour(float h) {
    const float base[3] = {56, 54, 52}, accent[3] = {233, 33, 45};
    uint32_t packed = 0xFF000000u;
    for (int ch = 0; ch < 3; ++ch) {
        const float mixed = std::clamp(h * accent[ch] / 255.0f + (1 - h) * base[ch] / 255.0f, 0.0f, 1.0f);
        packed |= uint32_t(mixed * 255.0f + 0.5f) << (8 * ch);
    }
    return packed;
}

}  // namespace ui
