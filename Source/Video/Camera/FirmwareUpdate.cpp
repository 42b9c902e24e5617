#include "Video/Camera/FirmwareUpdate.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "Base/Log.h"
#include "Base/Path.h"
#include "Base/Text.h"
#include "Base/FileServices.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

namespace {

constexpr uint32_t kConnectTimeoutUs = 5000000;
constexpr uint32_t kVersionTimeoutUs = 1000000;
constexpr uint32_t kResultTimeoutUs = 3000000;

// Non-empty fields of `text` separated by any of `separators` (",," counts as
// one separator).
std::vector<std::string_view> Fields(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// Lenient decimal: leading white space and a sign, digits up to the first
// other character, 0 when there are none. Wraps like unsigned arithmetic
// instead of overflowing.
uint32_t LenientNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

bool ParseVersion(std::string_view key, uint32_t* version) {
    std::vector<std::string_view> parts = Fields(key, ".");
    if (parts.size() != 3) return false;
    uint32_t n[3];
    for (int i = 0; i < 3; ++i) n[i] = LenientNumber(TrimUnicodeSpace(parts[static_cast<size_t>(i)]));
    *version = n[0] * 1000000u + n[1] * 1000u + n[2];
    return true;
}

bool RestartField(std::string_view field) {
    const std::string trimmed = TrimUnicodeSpace(field);
    if (trimmed.empty()) return false;
    const size_t n = trimmed.size() < 7 ? trimmed.size() : 7;
    return strncmp(trimmed.c_str(), "restart", n) == 0;
}

void WriteBigEndian(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint32_t FileCrc32(const std::vector<uint8_t>& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t chunk = bytes.size() - at < (1u << 30) ? bytes.size() - at : (1u << 30);
        crc = crc32(crc, bytes.data() + at, static_cast<uInt>(chunk));
        at += chunk;
    }
    return static_cast<uint32_t>(crc);
}

void LogVerdict(int code, uint32_t newVersion) {
    // Texts of the camera's verdicts 2 to 7 (0 and 1 name the version).
    static const char* const kTexts[] = {
        "Firmware crc check failed",
        "Firmware decrypt failed",
        "Firmware authentication failed",
        "Firmware update already queued. Restart service",
        "Firmware update file could not be created",
        "Firmware update failed due to internal error",
    };
    if (code == kUpdateQueued) {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "Firmware updating to version %u on restart", newVersion);
    } else if (code == kUpdateNotNeeded) {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "Firmware version is greater than %u", newVersion);
    } else if (code >= kUpdateCrcFailed && code <= kUpdateInternalError) {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "%s", kTexts[code - kUpdateCrcFailed]);
    } else {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "Unknown error updating firmware");
    }
}

// Loads a package whole, refusing what the 32-bit size field (and memory)
// cannot take.
bool LoadPackage(const std::string& file, std::vector<uint8_t>* bytes) {
    Path path(file);
    uint64_t size = 0;
    if (!platform::FileSize(path, &size) || size > kMaxUpdatePackageBytes) return false;
    return platform::ReadWholeFile(path, bytes) && bytes->size() <= kMaxUpdatePackageBytes;
}

}  // namespace

bool ParseUpdateText(std::string_view text, std::vector<UpdateEntry>* entries) {
    entries->clear();
    for (std::string_view line : Fields(text, "\r\n")) {
        std::vector<std::string_view> halves = Fields(line, "=");
        if (halves.size() < 2) continue;  // key or value empty
        UpdateEntry entry;
        if (!ParseVersion(halves[0], &entry.version)) continue;
        std::vector<std::string_view> values = Fields(halves[1], ",");
        if (values.empty()) continue;
        entry.file = TrimUnicodeSpace(values[0]);
        if (entry.file.empty()) continue;
        if (entry.file.size() > kUpdateFileNameBytes) entry.file.resize(kUpdateFileNameBytes);
        entry.restartAfter = values.size() >= 2 && RestartField(values[1]);
        entries->push_back(std::move(entry));
    }
    return !entries->empty();
}

bool ParseUpdate(std::vector<UpdateEntry>* entries) {
    entries->clear();
    Path path(kUpdateListName);
    uint64_t size = 0;
    if (!platform::FileSize(path, &size)) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ParseUpdate | no update.ini file found");
        return false;
    }
    std::vector<uint8_t> bytes;
    if (size > kMaxUpdateListBytes || !platform::ReadWholeFile(path, &bytes) || bytes.size() > kMaxUpdateListBytes) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ParseUpdate | update.ini could not be read");
        return false;
    }
    return ParseUpdateText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), entries);
}

uint32_t ChooseUpdateTarget(const std::vector<UpdateEntry>& entries, uint32_t current, size_t* index) {
    uint32_t best = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint32_t v = entries[i].version;
        if (v > current && best <= current) {
            best = v;
            *index = i;
        } else if (v == current && best < current) {
            best = current;
        }
    }
    return best;
}

bool CheckForUpdate(picam::Service* service, UpdateEntry* out) {
    std::vector<UpdateEntry> entries;
    if (!ParseUpdate(&entries)) return false;
    uint32_t current;
    {
        std::lock_guard<std::mutex> lock(service->tableLock);
        current = static_cast<uint32_t>(service->groups[0].params[0].value);
    }
    for (const UpdateEntry& entry : entries) {
        if (entry.version > current) {
            *out = entry;
            return true;
        }
    }
    return false;
}

int UpdateService(picam::Service* service) {
    std::vector<UpdateEntry> entries;
    if (!ParseUpdate(&entries)) return kUpdateInternalError;

    const std::string host = service->Host();
    TcpSocket socket(ConnectTcp(host, kUpdatePort, kConnectTimeoutUs));
    if (!socket.IsOpen()) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "UpdateService | failed to connect to server");
        return kUpdateInternalError;
    }

    uint8_t word[4];
    if (socket.ReceiveAll(word, 4, kVersionTimeoutUs) != 4) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "UpdateService | failed to receive current version");
        return kUpdateInternalError;  // the socket closes with its holder
    }
    const uint32_t current = picam::ReadBigEndian32(word);

    size_t chosen = 0;
    const uint32_t best = ChooseUpdateTarget(entries, current, &chosen);
    if (best == 0) {
        LOGF(LOG_INFO, LOG_SRC_CAMERA, "UpdateService | firmware version exceeds client version (%u)",
                 current);
        return kUpdateNotNeeded;
    }
    if (best == current) {
        LOGF(LOG_WARN, LOG_SRC_CAMERA, "UpdateService | version already up to date (%u)", current);
        return kUpdateNotNeeded;
    }
    const UpdateEntry& entry = entries[chosen];

    std::vector<uint8_t> package;
    if (!LoadPackage(entry.file, &package)) {
        LOGF(LOG_WARN, LOG_SRC_CAMERA, "UpdateService | failed to load update file '%s'",
                 entry.file.c_str());
        return kUpdateInternalError;
    }
    const uint32_t size = static_cast<uint32_t>(package.size());
    const uint32_t crc = FileCrc32(package);
    LOGF(LOG_TRACE, LOG_SRC_CAMERA, "UpdateFirmware | version=%u, size=%u, crc=%u", entry.version, size,
             crc);

    struct Header {
        uint32_t value;
        const char* failure;
    };
    const Header header[] = {
        {entry.version, "UpdateService | failed to send new version"},
        {static_cast<uint32_t>(time(nullptr)), "UpdateService | failed to send timestamp"},
        {size, "UpdateService | failed to send file size"},
        {crc, "UpdateService | failed to send crc"},
    };
    for (const Header& h : header) {
        WriteBigEndian(word, h.value);
        if (socket.SendAll(word, 4) != 4) {
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "%s", h.failure);
            return kUpdateInternalError;
        }
    }
    if (size > 0 && socket.SendAll(package.data(), static_cast<int>(size)) != static_cast<int>(size)) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "UpdateService | failed to send file data");
        return kUpdateInternalError;
    }

    uint8_t verdict = 0;
    if (socket.ReceiveAll(&verdict, 1, kResultTimeoutUs) != 1) return kUpdateInternalError;
    LogVerdict(verdict, entry.version);
    return verdict;
}
