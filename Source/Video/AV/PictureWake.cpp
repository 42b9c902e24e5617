#include "Video/AV/PictureWake.h"

#include <atomic>

namespace AV {

namespace {
// Written by the UI thread while no video thread runs; read by every video
// thread (atomics, so a late reader sees either the old or the new pair).
std::atomic<PictureQueuedHook> g_hook{nullptr};
std::atomic<void*> g_user{nullptr};
}  // namespace

void SetPictureQueuedHook(PictureQueuedHook hook, void* user) {
    g_user.store(user);
    g_hook.store(hook);
}

void NotifyPictureQueued() {
    if (PictureQueuedHook hook = g_hook.load()) hook(g_user.load());
}

}  // namespace AV
