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
