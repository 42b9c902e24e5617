#include "Session/Library.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <unordered_map>

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

struct Fnv1aHash {
    size_t operator()(const std::string& s) const { return Fnv1a32(s); }
};

const char* MonthName(int month) { return (month >= 1 && month <= 12) ? kMonthNames[month - 1] : "?"; }

bool SameDay(const LocalTime& a, const LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

}  // namespace

uint32_t Fnv1a32(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::vector<Session> ScanNames(const std::vector<std::string>& names) {
    std::vector<Session> sessions;
    // Name index for this scan only.
    std::unordered_map<std::string, size_t, Fnv1aHash> index;
    std::string sessionName;
    MediaEntry entry;
    for (const std::string& name : names) {
        // Refuses, among others, a name with nothing but spaces and dashes
        // before its time: it belongs to no session.
        if (!ParseMediaFileName(name, &sessionName, &entry)) continue;
        auto found = index.find(sessionName);
        size_t i;
        if (found == index.end()) {
            i = sessions.size();
            index.emplace(sessionName, i);
            sessions.push_back(Session{sessionName, {}});
        } else {
            i = found->second;
        }
        sessions[i].media.push_back(entry);
    }
    for (Session& s : sessions) {
        std::sort(s.media.begin(), s.media.end(),
                  [](const MediaEntry& a, const MediaEntry& b) { return a.time < b.time; });
    }
    return sessions;
}

std::vector<Session> ScanLibrary(const Path& folder) {
    // The folder's names in the platform's order, without sub-folders (a
    // folder whose name happens to parse is not a media file). The entry type
    // comes with the listing; only file systems that do not report it cost
    // one status call per name.
    std::vector<std::string> names;
    DIR* dir = folder.Empty() ? nullptr : opendir(folder.CStr());
    if (dir == nullptr) return {};
    const int fd = dirfd(dir);
    while (const struct dirent* e = readdir(dir)) {
        bool isDirectory = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            isDirectory = fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDirectory) names.emplace_back(e->d_name);
    }
    closedir(dir);
    return ScanNames(names);
}

std::string DayHeading(const LocalTime& date, const LocalTime& today) {
    if (SameDay(date, today)) return "Today";
    char buffer[64];
    if (date.year == today.year) {
        std::snprintf(buffer, sizeof buffer, "%s %d", MonthName(date.month), date.day);
    } else {
        std::snprintf(buffer, sizeof buffer, "%s %d, %d", MonthName(date.month), date.day, date.year);
    }
    return buffer;
}

FileRowText FileRowLabel(const MediaEntry& entry, const MediaInfo& info, bool recording, const LocalTime& shown) {
    FileRowText row;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", shown.hour, shown.minute, shown.second);
    row.label = buffer;
    if (entry.cameraSlot > 0) row.label += " Satellite";
    if (entry.type == MediaType::Video) {
        if (info.duration > 0) {
            const SessionTimeParts t = SplitSessionTime(static_cast<int64_t>(info.duration * 1000000.0));
            if (t.hours >= 1) {
                std::snprintf(buffer, sizeof buffer, "  (%" PRId64 "h %dm %ds)", t.hours, t.minutes, t.seconds);
            } else if (t.minutes >= 1) {
                std::snprintf(buffer, sizeof buffer, "  (%dm %ds)", t.minutes, t.seconds);
            } else {
                std::snprintf(buffer, sizeof buffer, "  (%ds)", t.seconds);
            }
            row.label += buffer;
        } else if (recording) {
            row.label += " (recording...)";
            row.selectable = false;
        } else if (info.duration < 0) {
            // Empty, damaged beyond reading, or not a video at all.
            row.label += info.file.lastWrite != 0 && info.file.size == 0 ? "  (empty file)" : "  (unreadable)";
        }
    }
    return row;
}

FileRowText FileRowLabel(const MediaEntry& entry, const MediaInfo& info, bool recording) {
    LocalTime shown;
    LocalTimeOf(info.file.lastWrite, &shown);
    return FileRowLabel(entry, info, recording, shown);
}

std::vector<DayGroupRow> GroupByDay(const std::vector<platform::FileTime>& lastWrites, const LocalTime& today) {
    std::vector<DayGroupRow> rows;
    rows.reserve(lastWrites.size());
    LocalTime previous;
    bool havePrevious = false;
    for (const platform::FileTime t : lastWrites) {
        DayGroupRow row;
        LocalTime lt;
        if (LocalTimeOf(t, &lt)) {
            row.shown = lt;
            row.heading = !havePrevious || !SameDay(lt, previous);
            if (row.heading) row.headingText = DayHeading(lt, today);
            previous = lt;
        } else if (havePrevious) {
            // Keeps the previous file's date and time: never starts a group by itself.
            row.shown = previous;
        } else {
            // The first file of a list with no convertible time has no one to copy
            // from: it gets a group of its own and shows a zero time.
            row.heading = true;
            row.headingText = "Unknown date";
        }
        havePrevious = true;
        rows.push_back(std::move(row));
    }
    return rows;
}

LocalTime LocalNow() {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    const platform::FileTime now =
        static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100 + 116444736000000000LL;
    LocalTime lt;
    LocalTimeOf(now, &lt);
    return lt;
}
