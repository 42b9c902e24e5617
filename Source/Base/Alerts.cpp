#include "Base/Alerts.h"

#include <deque>
#include <mutex>

namespace {
std::mutex alertLock;
std::deque<std::string> alertQueue;  // guarded by alertLock
}  // namespace

void PostAlert(std::string_view text, int level) {
    // The log line goes out before the queue lock is taken: the log has its
    // own lock, and no code under the alert lock logs.
    std::string_view line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    LOGF(level < LOG_WARN ? LOG_WARN : level, LOG_SRC_MAIN, "Alert | %.*s", static_cast<int>(line.size()),
             line.data());
    std::lock_guard<std::mutex> lock(alertLock);
    // Alerts wait until the user dismisses them one by one, so a failure that
    // repeats (a save retried every refresh) must not pile up copies: a text
    // already waiting, or on screen, is not queued again.
    for (const std::string& waiting : alertQueue) {
        if (waiting == text) return;
    }
    alertQueue.emplace_back(text);
}

bool PeekAlert(std::string* text) {
    std::lock_guard<std::mutex> lock(alertLock);
    if (alertQueue.empty()) return false;
    *text = alertQueue.front();
    return true;
}

void PopAlert() {
    std::lock_guard<std::mutex> lock(alertLock);
    if (!alertQueue.empty()) alertQueue.pop_front();
}

std::vector<std::string> TakeAlerts() {
    std::lock_guard<std::mutex> lock(alertLock);
    std::vector<std::string> out(alertQueue.begin(), alertQueue.end());
    alertQueue.clear();
    return out;
}

size_t AlertCount() {
    std::lock_guard<std::mutex> lock(alertLock);
    return alertQueue.size();
}
