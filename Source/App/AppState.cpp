#include "App/AppState.h"

#include "App/FrameHooks.h"

AppState& App() {
    static AppState state;
    return state;
}

FrameHooks& Hooks() {
    static FrameHooks hooks;
    return hooks;
}

bool AnySlotRecording(const AppState& app) {
    for (AV::CameraSlot* slot : app.activeSlots) {
        if (slot->Flags() & AV::kSlotRecording) return true;
    }
    return false;
}
