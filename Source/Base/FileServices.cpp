// File-system services over POSIX calls. Paths are UTF-8 text with '/'
// separators and are passed to the system unchanged.
//
// Sections: file times and information | folders | copying | single files |
// known folders | volume label | text conversion
#include "Base/FileServices.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <cctype>
#include <memory>
#include <pwd.h>

namespace platform {

// ---- file times and information ----------------------------------------------

namespace {
// Seconds between 1601-01-01 and 1970-01-01 (UTC).
constexpr int64_t kEpochDifference_s = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

}  // namespace

FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    return (seconds + kEpochDifference_s) * kTicksPerSecond + nanoseconds / 100;
}

int64_t UnixSecondsFromFileTime(FileTime t) {
    // Floor division so that times before 1970 round towards the past.
    int64_t seconds = t / kTicksPerSecond;
    if (t % kTicksPerSecond < 0) --seconds;
    return seconds - kEpochDifference_s;
}

bool GetFileInfo(const Path& path, FileInfo* info) {
    if (path.Empty()) return false;
    struct statx sx {};
    if (statx(AT_FDCWD, path.CStr(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
    FileInfo out;
    out.size = sx.stx_size;
    out.isDirectory = S_ISDIR(sx.stx_mode);
    out.lastWrite = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    // Birth time where the file system records it, else the status-change time.
    if (sx.stx_mask & STATX_BTIME)
        out.created = FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    else
        out.created = FileTimeFromUnix(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    if (info) *info = out;
    return true;
}

// ---- folders -------------------------------------------------------------------

std::vector<std::string> ListFolder(const Path& folder) {
    std::vector<std::string> names;
    if (folder.Empty()) return names;
    DIR* dir = opendir(folder.CStr());
    if (!dir) return names;
    while (struct dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
    return names;
}

bool CreateDirectories(const Path& folder) {
    const std::string& text = folder.Text();
    if (text.empty()) return false;
    // The root ("/" or a leading "//") is never created.
    size_t pos = 0;
    if (text.compare(0, 2, "//") == 0)
        pos = 2;
    else if (text[0] == '/')
        pos = 1;
    while (pos < text.size()) {
        size_t next = text.find('/', pos);
        next = (next == std::string::npos) ? text.size() : next + 1;
        const std::string prefix = text.substr(0, next);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
        pos = next;
    }
    // An existing file of the same name is not a folder: the chain does not exist.
    struct stat st {};
    return stat(text.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- copying -------------------------------------------------------------------

namespace {

constexpr size_t kCopyBlock_bytes = 4u << 20;
constexpr uint64_t kLargeFile_bytes = 0x40000000ULL;

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now and reports whether the close (the last chance to see a
    // delayed write error) succeeded.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int fd_;
};

}  // namespace

bool CopyFileWithProgress(const Path& source, const Path& destination, bool largeFile, const CopyProgressFn& progress) {
    if (source.Empty() || destination.Empty()) return false;
    // Regular files only: a device such as /dev/zero never ends and would
    // fill the destination's disk; O_NONBLOCK keeps the open of a FIFO from
    // waiting for a writer and is cleared once the source is known to be a
    // regular file.
    FileDescriptor in(open(source.CStr(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.Get() < 0) return false;
    struct stat srcStat {};
    if (fstat(in.Get(), &srcStat) != 0 || !S_ISREG(srcStat.st_mode)) return false;
    fcntl(in.Get(), F_SETFL, fcntl(in.Get(), F_GETFL) & ~O_NONBLOCK);

    // Copying a file onto itself would truncate it before reading.
    struct stat dstStat {};
    if (stat(destination.CStr(), &dstStat) == 0 && dstStat.st_dev == srcStat.st_dev &&
        dstStat.st_ino == srcStat.st_ino)
        return false;

    FileDescriptor out(open(destination.CStr(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.Get() < 0) return false;

    const uint64_t total = static_cast<uint64_t>(srcStat.st_size);
    const bool dropCache = largeFile || total >= kLargeFile_bytes;
    if (dropCache) posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    auto fail = [&]() {
        out.Close();
        unlink(destination.CStr());
        return false;
    };

    uint64_t copied = 0;
    if (progress && progress(total, copied) == CopyProgress::Stop) return fail();

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyBlock_bytes]);
    if (!buffer) return fail();
    for (;;) {
        size_t filled = 0;
        bool eof = false;
        while (filled < kCopyBlock_bytes) {
            const ssize_t n = read(in.Get(), buffer.get() + filled, kCopyBlock_bytes - filled);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail();
            }
            if (n == 0) {
                eof = true;
                break;
            }
            filled += static_cast<size_t>(n);
        }
        if (filled > 0) {
            if (!WriteAll(out.Get(), buffer.get(), filled)) return fail();
            if (dropCache) {
                // Start writing this block back now; wait for the previous one
                // (written back meanwhile) and drop its pages, so the copy
                // streams without filling the page cache.
                const auto offset = static_cast<off_t>(copied);
                sync_file_range(out.Get(), offset, static_cast<off_t>(filled), SYNC_FILE_RANGE_WRITE);
                if (copied >= kCopyBlock_bytes) {
                    const auto previous = offset - static_cast<off_t>(kCopyBlock_bytes);
                    sync_file_range(out.Get(), previous, static_cast<off_t>(kCopyBlock_bytes),
                                    SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
                    posix_fadvise(out.Get(), previous, static_cast<off_t>(kCopyBlock_bytes), POSIX_FADV_DONTNEED);
                }
                posix_fadvise(in.Get(), offset, static_cast<off_t>(filled), POSIX_FADV_DONTNEED);
            }
            copied += filled;
            if (progress && progress(total, copied) == CopyProgress::Stop) return fail();
        }
        if (eof) break;
    }
    if (!out.Close()) {
        unlink(destination.CStr());
        return false;
    }
    return true;
}

bool CopyFile(const Path& source, const Path& destination) {
    return CopyFileWithProgress(source, destination, false, CopyProgressFn());
}

// ---- single files ----------------------------------------------------------------

bool DeleteFile(const Path& path) { return !path.Empty() && unlink(path.CStr()) == 0; }

bool FileSize(const Path& path, uint64_t* size) {
    struct stat st {};
    if (path.Empty() || stat(path.CStr(), &st) != 0) return false;
    if (size) *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FreeSpace(const Path& path, uint64_t* bytes) {
    struct statvfs vfs {};
    if (path.Empty() || statvfs(path.CStr(), &vfs) != 0) return false;
    if (bytes) *bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return true;
}

bool ReadWholeFile(const Path& path, std::vector<uint8_t>* bytes) {
    if (path.Empty()) return false;
    // Regular files only: a FIFO would block the open, a device such as
    // /dev/zero would never end. O_NONBLOCK makes the open of a FIFO return.
    FileDescriptor fd(open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return false;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::vector<uint8_t> data;
    // The size is a hint only: files in /proc report 0, and a file may grow.
    data.reserve(st.st_size > 0 ? static_cast<size_t>(st.st_size) : 4096);
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        data.insert(data.end(), chunk, chunk + n);
    }
    if (bytes) *bytes = std::move(data);
    return true;
}

bool WriteWholeFile(const Path& path, const void* data, size_t length) {
    if (data == nullptr || length == 0 || path.Empty()) return false;
    FileDescriptor fd(open(path.CStr(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.Get() < 0) return false;
    if (!WriteAll(fd.Get(), static_cast<const uint8_t*>(data), length)) return false;
    return fd.Close();
}

bool WriteFileReplacing(const Path& path, const Path& temporary, const void* data, size_t length) {
    if (path.Empty() || temporary.Empty() || (data == nullptr && length > 0)) return false;
    FileDescriptor fd(open(temporary.CStr(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.Get() < 0) return false;
    struct stat old {};
    if (stat(path.CStr(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd.Get(), old.st_mode & 07777);
    bool ok = WriteAll(fd.Get(), static_cast<const uint8_t*>(data), length) && fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    if (ok) ok = rename(temporary.CStr(), path.CStr()) == 0;
    if (!ok) {
        unlink(temporary.CStr());
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already
    // written, so it is not a failed write.
    const std::string folder = path.NameStart() > 0 ? path.Text().substr(0, path.NameStart()) : ".";
    FileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) fsync(dir.Get());
    return true;
}

bool MoveAsideDamaged(const Path& path, Path* movedTo) {
    if (path.Empty()) return false;
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec);
    const std::string base = path.Text() + ".damaged-" + stamp;
    for (int n = 1; n < 100; ++n) {
        const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        struct stat st {};
        if (lstat(candidate.c_str(), &st) == 0) continue;  // never replace an earlier copy
        if (rename(path.CStr(), candidate.c_str()) != 0) return false;
        if (movedTo) *movedTo = Path(candidate);
        return true;
    }
    return false;
}

// ---- known folders -----------------------------------------------------------------

namespace {

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home && home[0] == '/') return home;
    struct passwd pw {};
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result && result->pw_dir &&
        result->pw_dir[0] == '/')
        return result->pw_dir;
    return std::string();
}

// Value of XDG_DOCUMENTS_DIR in a user-dirs.dirs text: a quoted path that is
// either absolute or starts with "$HOME". Empty when absent or malformed.
std::string DocumentsFromUserDirs(const std::string& text, const std::string& home) {
    std::string found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        static const char kKey[] = "XDG_DOCUMENTS_DIR=\"";
        if (line.compare(p, sizeof kKey - 1, kKey) != 0) continue;
        p += sizeof kKey - 1;
        std::string value;
        bool closed = false;
        for (size_t i = p; i < line.size(); ++i) {
            if (line[i] == '"') {
                closed = true;
                break;
            }
            if (line[i] == '\\' && i + 1 < line.size()) ++i;  // shell-style escapes
            value.push_back(line[i]);
        }
        if (!closed) continue;
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            // without the home's trailing '/', so that a home of "/" adds no "//"
            value = home.substr(0, home.find_last_not_of('/') + 1) + value.substr(5);
        } else if (value.empty() || value[0] != '/') {
            continue;
        }
        found = value;  // a later line overrides an earlier one, as in the shell
    }
    return found;
}

// An absolute folder joined with `rest`, joined as text: a Path cannot hold
// the root folder alone (its trailing separator is dropped, "/" becomes
// empty), so a home of "/" would otherwise give a relative path.
Path UnderFolder(std::string folder, const char* rest) {
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    return Path(folder + "/" + rest);
}

}  // namespace

Path LocalAppDataFolder() {
    // Relative values of XDG_DATA_HOME are invalid and ignored.
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return Path(xdg);
    const std::string home = HomeFolder();
    if (home.empty()) return Path();
    return UnderFolder(home, ".local/share");
}

Path DocumentsFolder() {
    const std::string home = HomeFolder();
    Path config;
    const char* xdgConfig = getenv("XDG_CONFIG_HOME");
    if (xdgConfig && xdgConfig[0] == '/')
        config = UnderFolder(xdgConfig, "user-dirs.dirs");
    else if (!home.empty())
        config = UnderFolder(home, ".config/user-dirs.dirs");
    if (!config.Empty()) {
        std::vector<uint8_t> bytes;
        if (ReadWholeFile(config, &bytes)) {
            const std::string documents =
                DocumentsFromUserDirs(std::string(bytes.begin(), bytes.end()), home);
            if (!documents.empty()) return Path(documents);
        }
    }
    if (home.empty()) return Path();
    return UnderFolder(home, "Documents");
}

// ---- volume label --------------------------------------------------------------------

namespace {

// Mount tables escape space, tab, newline and backslash as octal "\ooo".
std::string UnescapeOctal(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4 &&
            text[i + 1] >= '0' && text[i + 1] <= '3' && text[i + 2] >= '0' && text[i + 2] <= '7' &&
            text[i + 3] >= '0' && text[i + 3] <= '7') {
            out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// udev escapes unsafe characters of labels in /dev/disk/by-label as "\xHH".
std::string UnescapeHex(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4 && text[i + 1] == 'x' &&
            isxdigit(static_cast<unsigned char>(text[i + 2])) && isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out.push_back(static_cast<char>(strtol(text.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool IsPathPrefix(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::string RealPath(const char* path) {
    char* resolved = realpath(path, nullptr);
    if (!resolved) return std::string();
    std::string out(resolved);
    free(resolved);
    return out;
}

}  // namespace

bool VolumeLabel(const Path& path, std::string* label, std::string* mountPoint) {
    if (path.Empty()) return false;
    const std::string target = RealPath(path.CStr());
    if (target.empty()) return false;

    std::vector<uint8_t> table;
    if (!ReadWholeFile(Path("/proc/self/mountinfo"), &table)) return false;
    const std::string text(table.begin(), table.end());

    // Longest mount point holding the path; a later line (a mount on top of
    // an earlier one) wins over an equal one.
    std::string bestMount, bestSource;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        // id parent major:minor root mount-point options... - fstype source super-options
        std::vector<std::string> fields;
        size_t p = 0;
        while (p < line.size()) {
            size_t q = line.find(' ', p);
            if (q == std::string::npos) q = line.size();
            fields.push_back(line.substr(p, q - p));
            p = q + 1;
        }
        if (fields.size() < 5) continue;
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") ++dash;
        const std::string mount = UnescapeOctal(fields[4]);
        if (!IsPathPrefix(mount, target) || mount.size() < bestMount.size()) continue;
        bestMount = mount;
        bestSource = dash + 2 < fields.size() ? UnescapeOctal(fields[dash + 2]) : std::string();
    }
    if (bestMount.empty()) return false;

    std::string name;
    if (bestSource.compare(0, 5, "/dev/") == 0) {
        const std::string device = RealPath(bestSource.c_str());
        if (DIR* dir = opendir("/dev/disk/by-label")) {
            while (struct dirent* entry = readdir(dir)) {
                if (entry->d_name[0] == '.') continue;
                const std::string link = std::string("/dev/disk/by-label/") + entry->d_name;
                if (!device.empty() && RealPath(link.c_str()) == device) {
                    name = UnescapeHex(entry->d_name);
                    break;
                }
            }
            closedir(dir);
        }
    }
    if (name.size() > 260) name.resize(260);
    if (label) *label = name;
    if (mountPoint) *mountPoint = bestMount;
    return true;
}

// ---- text conversion -------------------------------------------------------------

std::string Utf16ToNarrow(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size()) return std::string();
            const uint32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF) return std::string();
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::string();
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace platform
