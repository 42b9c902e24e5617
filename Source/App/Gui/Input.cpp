#include "App/Gui/Input.h"

namespace input {

bool UiPointer::AnyDown() const {
    for (bool d : down) {
        if (d) return true;
    }
    return false;
}

void PointerButton(InputState& state, UiPointer& pointer, int b, bool down) {
    if (b < 0 || b >= kButtons) return;
    KeyboardState& keyboard = state.keyboard;
    const bool inKeyboard = keyboard.keyboardRect.Contains(pointer.x, pointer.y);
    const bool inField = keyboard.fieldRect.Contains(pointer.x, pointer.y);
    if (keyboard.open && inKeyboard && !inField) return;  // the keyboard takes it through the contacts
    if (keyboard.open && !inKeyboard && !inField) keyboard.open = !down;
    if (down) {
        pointer.down[b] = true;
        state.releaseState[b] = 1;
    } else if (state.releaseState[b] == 1) {
        state.releaseState[b] = 2;  // let one frame see the press first
    } else {
        pointer.down[b] = false;
    }
}

void ButtonReleaseStep(InputState& state, UiPointer& pointer) {
    for (int b = 0; b < kButtons; ++b) {
        switch (state.releaseState[b]) {
            case 2: state.releaseState[b] = 3; break;
            case 3:
                state.releaseState[b] = 0;
                pointer.down[b] = false;
                break;
            default: state.releaseState[b] = 0; break;
        }
    }
}

bool QuickPressInFlight(const InputState& state) {
    for (int step : state.releaseState) {
        if (step == 2 || step == 3) return true;
    }
    for (uint8_t step : state.keyReleaseState) {
        if (step == 2 || step == 3) return true;
    }
    return false;
}

void KeyEvent(InputState& state, bool* keysDown, int code, bool down) {
    if (code < 0 || code >= kKeys) return;
    uint8_t& step = state.keyReleaseState[code];
    if (down) {
        keysDown[code] = true;
        step = 1;
    } else if (step == 1) {
        step = 2;  // pressed since the last frame: the release waits for one
    } else {
        keysDown[code] = false;
        step = 0;
    }
}

void KeyReleaseStep(InputState& state, bool* keysDown) {
    for (int code = 0; code < kKeys; ++code) {
        uint8_t& step = state.keyReleaseState[code];
        switch (step) {
            case 0: break;
            case 2: step = 3; break;
            case 3:
                keysDown[code] = false;
                step = 0;
                break;
            default: step = 0; break;
        }
    }
}

namespace {

void ShiftOrderDown(InputState& state, int k) {
    for (int i = k; i + 1 < kContacts; ++i) state.contactOrder[i] = state.contactOrder[i + 1];
}

void ContactDown(InputState& state, int index, float x, float y) {
    state.contacts[index].previous = false;
    state.contacts[index].down = true;
    state.contacts[index].x = x;
    state.contacts[index].y = y;
}

void ContactUp(InputState& state, int k, float x, float y) {
    int c = state.contactOrder[k];
    if (c < 0 || c >= kContacts) c = k;
    state.contacts[c].previous = true;
    state.contacts[c].down = false;
    state.contacts[c].x = x;
    state.contacts[c].y = y;
    if (k < kContacts - 1) ShiftOrderDown(state, k);
}

// The contact record for a new touch input k: record k unless a finger
// still down drives it (an earlier finger left and the later ones moved
// down one input), then the lowest record no live finger uses, so a new
// finger never takes over the record of a finger that holds a key.
int FreeContactFor(const InputState& state, int k) {
    bool used[kContacts] = {false, false, false, false, false};
    for (int i = 0; i < k; ++i) {
        const int c = state.contactOrder[i];
        if (c >= 0 && c < kContacts) used[c] = true;
    }
    if (!used[k]) return k;
    for (int c = 0; c < kContacts; ++c) {
        if (!used[c]) return c;
    }
    return k;
}

int FingerIndex(const InputState& state, int64_t fingerId) {
    for (int k = 0; k < state.fingerCount; ++k) {
        if (state.fingers[k] == fingerId) return k;
    }
    return -1;
}

}  // namespace

void MouseMove(InputState& state, UiPointer& pointer, float x, float y) {
    pointer.x = x;
    pointer.y = y;
    state.contacts[0].x = x;
    state.contacts[0].y = y;
}

void MouseButtonDown(InputState& state, UiPointer& pointer, int b, float x, float y) {
    if (b < 0 || b >= kButtons) return;
    pointer.x = x;
    pointer.y = y;
    PointerButton(state, pointer, b, true);
    state.contactOrder[b] = b;
    ContactDown(state, b, x, y);
}

void MouseButtonUp(InputState& state, UiPointer& pointer, int b, float x, float y) {
    if (b < 0 || b >= kButtons) return;
    pointer.x = x;
    pointer.y = y;
    PointerButton(state, pointer, b, false);
    ContactUp(state, b, x, y);
}

bool TouchDown(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y) {
    if (FingerIndex(state, fingerId) >= 0 || state.fingerCount >= kContacts) return false;
    const int k = state.fingerCount++;
    state.fingers[k] = fingerId;
    state.contactOrder[k] = FreeContactFor(state, k);
    ContactDown(state, state.contactOrder[k], x, y);
    if (k == 0) {
        pointer.x = x;
        pointer.y = y;
        PointerButton(state, pointer, 0, true);
    }
    return true;
}

bool TouchUp(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y) {
    const int k = FingerIndex(state, fingerId);
    if (k < 0) return false;
    ContactUp(state, k, x, y);
    for (int i = k; i + 1 < state.fingerCount; ++i) state.fingers[i] = state.fingers[i + 1];
    --state.fingerCount;
    if (k == 0) {
        state.pointerPark = 1;
        pointer.x = x;
        pointer.y = y;
        PointerButton(state, pointer, 0, false);
    }
    return true;
}

bool TouchMove(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y) {
    const int k = FingerIndex(state, fingerId);
    if (k < 0) return false;
    int c = state.contactOrder[k];
    if (c < 0 || c >= kContacts) c = k;
    state.contacts[c].x = x;
    state.contacts[c].y = y;
    if (k == 0) {
        pointer.x = x;
        pointer.y = y;
    }
    return true;
}

void TouchLatch(InputState& state) {
    for (TouchContact& c : state.contacts) c.previous = c.down;
}

bool PointerParkStep(InputState& state) {
    if (state.pointerPark <= 0) return false;
    if (state.pointerPark == 2) {
        state.pointerPark = 0;
        return true;
    }
    ++state.pointerPark;
    return false;
}

}  // namespace input
