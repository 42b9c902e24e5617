// Saving snapshots: the UI thread drains the snapshot queue once per frame
// and writes each JPEG unchanged under its media name in the current session.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Session/MediaName.h"
#include "Session/SessionStore.h"
#include "Video/AV/SlotSnapshot.h"

// Writes one media file of the current session. The bytes go to a temporary
// name first and are renamed into place when complete, so a full disk never
// leaves a truncated picture under a media name. Failure posts "Error saving
// image to <path>" (Image) or "Error saving to <path>".
bool SaveMediaFile(SessionStore& store, const MediaEntry& entry, const uint8_t* bytes, size_t length);

// Under the snapshot-queue lock: saves every pending snapshot in order, then,
// when there were any, refreshes the sessions and empties the queue.
void SavePendingSnapshots(SnapshotSaveQueue& queue, SessionStore& store);

// The media entry a capture names.
MediaEntry SnapshotEntry(const CaptureRequest& request);
