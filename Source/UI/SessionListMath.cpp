#include "UI/SessionListMath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ui {

int SessionListRows(float displayHeight, float titleBarHeight, float s, int sessionCount) {
    int rows = int(std::ceil((displayHeight - 48 * s - titleBarHeight - 360 * s) / (40 * s)));
    if (rows < 3) rows = 3;
    if (sessionCount <= rows) rows = sessionCount < 3 ? 3 : sessionCount;
    return rows;
}

float SessionPopupHeight(int rows, float s) { return 344 * s + float(rows) * 40 * s + 16 * s; }

std::string FitStorageLine(const std::string& text, float available,
                           const std::function<float(const std::string&)>& width) {
    if (width(text) <= available) return text;
    const float limit = available - width("...");
    size_t start = 0;
    // Whole UTF-8 characters only: a continuation byte is never the first kept.
    auto nextStart = [&](size_t i) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        return i;
    };
    start = nextStart(0);
    if (start >= text.size()) return text;
    const size_t firstDrop = start;
    while (start < text.size() && width(text.substr(start)) >= limit) start = nextStart(start);
    if (start == firstDrop && width(text.substr(start)) < limit) return text;
    return "..." + text.substr(start);
}

AddOutcome ClassifyAdd(int index, size_t countBefore, size_t countAfter) {
    if (index < 0) return AddOutcome::Failed;
    if (countAfter > countBefore) return AddOutcome::Added;
    if (countAfter == countBefore) return AddOutcome::Duplicate;
    return AddOutcome::Failed;
}

const char* AddOutcomeAlert(AddOutcome outcome) {
    return outcome == AddOutcome::Duplicate ? "There is already a session with that name"
                                            : "There was a problem creating the session";
}

std::vector<std::string> DeleteSummaryLines(const std::vector<MediaEntry>& media) {
    int counts[kMediaTypeCount] = {0, 0, 0, 0, 0};
    for (const MediaEntry& e : media) {
        const int t = static_cast<int>(e.type);
        if (t >= 0 && t < kMediaTypeCount) ++counts[t];
    }
    std::vector<std::string> lines;
    for (int t = 0; t < kMediaTypeCount; ++t) {
        if (counts[t] == 0) continue;
        char line[96];
        std::snprintf(line, sizeof line, "- %d %s", counts[t], MediaTypeLabel(static_cast<MediaType>(t), counts[t] != 1));
        lines.push_back(line);
    }
    return lines;
}

std::string SessionHeaderLabel(const std::string& name, int fileCount) {
    return name + "   (" + std::to_string(fileCount) + (fileCount == 1 ? " file" : " files") + ")###" + name;
}

void ResizeTicks(TickMarks* ticks, const std::vector<size_t>& listLengths, bool selectMode) {
    ticks->resize(listLengths.size());
    for (size_t i = 0; i < listLengths.size(); ++i) {
        if (!selectMode) (*ticks)[i].clear();
        (*ticks)[i].resize(listLengths[i], 0);
    }
}

int CountTicked(const TickMarks& ticks) {
    int n = 0;
    for (const auto& list : ticks)
        for (int32_t mark : list) n += mark == 1;
    return n;
}

bool SessionBoxTicked(const std::vector<int32_t>& marks) {
    bool any = false;
    for (int32_t mark : marks) {
        if (mark == 0) return false;
        any = any || mark == 1;
    }
    return any;
}

void SetSessionBox(std::vector<int32_t>* marks, bool ticked) {
    for (int32_t& mark : *marks)
        if (mark != -1) mark = ticked ? 1 : 0;
}

void MakeNamesDistinct(std::vector<std::string>* names) {
    std::vector<std::string> taken;
    for (std::string& name : *names) {
        std::string candidate = name;
        const size_t dot = name.find_last_of('.');
        const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
        const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
        for (int n = 2; std::find(taken.begin(), taken.end(), candidate) != taken.end(); ++n)
            candidate = stem + " (" + std::to_string(n) + ")" + extension;
        taken.push_back(candidate);
        name = candidate;
    }
}

}  // namespace ui
