// A process-wide hook run whenever a stream queues a decoded picture, so
// that the UI thread can present it at once instead of at its next timer
// tick. The App layer installs it at start-up (before any video thread
// starts) and removes it at shut-down (after they have ended); the video
// layer knows nothing of what it does.
//
// Threads: NotifyPictureQueued runs on the video thread that queued the
// picture (a slot's thread, the player's), with that stream's frame lock
// held (its queue lock released): the hook must be quick and must not block;
// of the stream it may only use what takes the queue lock alone
// (PopFrame, QueuedFrames), which comes after the frame lock.
#pragma once

namespace AV {

using PictureQueuedHook = void (*)(void* user);

// Installs `hook` (nullptr removes it).
void SetPictureQueuedHook(PictureQueuedHook hook, void* user);
// Runs the hook, if one is installed.
void NotifyPictureQueued();

}  // namespace AV
