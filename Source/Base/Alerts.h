// The alert queue: one-line messages waiting for the alert popup.
// PostAlert may be called from any thread; the queue has its own mutex.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Base/Log.h"

// Every alert is also a log line ("Alert | <text>") at `level` (LOG_WARN or
// LOG_ERROR), written also when the same text is already waiting. A text
// that is already waiting (or shown) is not queued a second time.
void PostAlert(std::string_view text, int level = LOG_WARN);

// UI thread: the oldest waiting alert, without removing it.
bool PeekAlert(std::string* text);
// UI thread: removes the oldest alert (after the popup has been dismissed).
void PopAlert();
// Takes every waiting alert, oldest first (tests and tools).
std::vector<std::string> TakeAlerts();
size_t AlertCount();
