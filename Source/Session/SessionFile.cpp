// Section index: payload writer | payload reader | file save | file load
#include "Session/SessionFile.h"

#include <lz4.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Session/MediaName.h"

namespace {

constexpr size_t kInitialPayload_bytes = 4u << 20;
constexpr uint32_t kMaxPayload_bytes = 0x7E000000u;
// A data file larger than this is not one the program wrote (a one-hour
// history is a few megabytes); it is refused before it is read into memory.
constexpr uint64_t kMaxDataFile_bytes = 512ull << 20;
// LZ4 never expands a block's content by more than this ratio.
constexpr uint64_t kMaxLz4Ratio = 255;
constexpr uint8_t kMagic[4] = {0x00, 0x0F, 0x42, 0x4D};

// ---- payload writer -------------------------------------------------------------

// A big-endian writer. It takes 4 MiB of capacity up front and leaves growth
// beyond that to the vector, which doubles; only the bytes written are
// touched, so a small history costs little.
class PayloadWriter {
public:
    PayloadWriter() { bytes_.reserve(kInitialPayload_bytes); }

    void U8(uint8_t v) { bytes_.push_back(v); }
    void U32(uint32_t v) {
        const uint8_t word[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                                 static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
        bytes_.insert(bytes_.end(), word, word + 4);
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U64(uint64_t v) {
        U32(static_cast<uint32_t>(v >> 32));
        U32(static_cast<uint32_t>(v));
    }
    void F64(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        U64(bits);
    }

    void Series(const SampleSeries& series) {
        const std::vector<size_t> kept = CompactedIndices(series);
        U32(static_cast<uint32_t>(kept.size()));
        for (size_t i : kept) F64(series[i].time);
        for (size_t i : kept) I32(series[i].value);
    }

    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// L of a record: 28 + 4 x optionCount. A camera could send an optionCount
// outside 0..48; the stored count is clamped so the words written never run
// past the record (a negative count stores no options).
int32_t RecordByteLength(const picam::ParamRecord& r) {
    int32_t options = r.optionCount;
    if (options < 0) options = 0;
    if (options > picam::kMaxOptions) options = picam::kMaxOptions;
    return 28 + 4 * options;
}

// ---- payload reader ------------------------------------------------------------

// Bounds-checked big-endian reader: every read past the end fails.
class PayloadReader {
public:
    PayloadReader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    size_t Left() const { return n_ - at_; }
    bool U8(uint8_t* v) {
        if (Left() < 1) return false;
        *v = p_[at_++];
        return true;
    }
    bool U32(uint32_t* v) {
        if (Left() < 4) return false;
        const uint8_t* q = p_ + at_;
        *v = (uint32_t{q[0]} << 24) | (uint32_t{q[1]} << 16) | (uint32_t{q[2]} << 8) | q[3];
        at_ += 4;
        return true;
    }
    bool I32(int32_t* v) {
        uint32_t u;
        if (!U32(&u)) return false;
        *v = static_cast<int32_t>(u);
        return true;
    }
    bool Skip(size_t n) {
        if (Left() < n) return false;
        at_ += n;
        return true;
    }
    // Reads one series; M is checked against what is left before anything is allocated.
    bool Series(SampleSeries* series) {
        uint32_t m;
        if (!U32(&m)) return false;
        if (Left() / 12 < m) return false;
        series->resize(m);
        const uint8_t* times = p_ + at_;
        const uint8_t* values = times + 8 * static_cast<size_t>(m);
        for (uint32_t i = 0; i < m; ++i) {
            uint64_t bits = 0;
            for (int b = 0; b < 8; ++b) bits = (bits << 8) | times[8 * i + b];
            std::memcpy(&(*series)[i].time, &bits, sizeof bits);
            const uint8_t* v = values + 4 * i;
            (*series)[i].value =
                static_cast<int32_t>((uint32_t{v[0]} << 24) | (uint32_t{v[1]} << 16) | (uint32_t{v[2]} << 8) | v[3]);
        }
        at_ += 12 * static_cast<size_t>(m);
        return true;
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t at_ = 0;
};

// Smallest byte count of one camera block with at least one record: id, G,
// and per group R (R may be 0).
constexpr size_t kMinCameraBlock_bytes = 4 + 4 + 2 * 4;
// Every history costs two whole parameter groups (about 130 KB) however few
// records its block holds, and a 16-byte block compresses to almost nothing:
// without a limit a small hostile file could ask for terabytes. A session
// holds the few camera units connected during one job.
constexpr uint32_t kMaxCameras = 1024;

bool ReadCameras(PayloadReader& in, SessionData* data) {
    uint32_t cameraCount;
    if (!in.U32(&cameraCount) || cameraCount > kMaxCameras) return false;
    for (uint32_t c = 0; c < cameraCount; ++c) {
        // Checked before each history is allocated, so a huge count costs nothing.
        if (in.Left() < kMinCameraBlock_bytes) return false;
        auto camera = std::make_unique<CameraHistory>();
        int32_t id = 0;
        uint32_t groupCount = 0;
        if (!in.I32(&id) || !in.U32(&groupCount) || groupCount != kHistoryGroups) return false;
        camera->groups[0].params[1].value = id;
        for (int g = 0; g < kHistoryGroups; ++g) {
            uint32_t recordCount;
            if (!in.U32(&recordCount) || recordCount > kHistoryParams) return false;
            for (uint32_t r = 0; r < recordCount; ++r) {
                int32_t length;
                if (!in.I32(&length)) return false;
                if (length < 0 || length % 4 != 0 || length / 4 > picam::kParamWords) return false;
                if (in.Left() < static_cast<size_t>(length)) return false;
                int32_t words[picam::kParamWords] = {};
                for (int32_t w = 0; w < length / 4; ++w) in.I32(&words[w]);
                std::memcpy(&camera->groups[g].params[r], words, static_cast<size_t>(length));
                if (!in.Series(&camera->series[g][r])) return false;
            }
        }
        data->cameras.push_back(std::move(camera));
    }
    return true;
}

// ---- file save --------------------------------------------------------------------

void LogCopyFailure(const Path& from, const Path& to) {
    LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not copy from %s to %s", from.CStr(),
             to.CStr());
}

// Data files that could not be read and could not be moved aside either:
// nothing is written under their names while the program runs. UI thread.
std::set<std::string>& UntouchedFiles() {
    static std::set<std::string> paths;
    return paths;
}

bool KeptUntouched(const Path& path) { return UntouchedFiles().count(path.Text()) != 0; }

// A data file that failed to load is moved aside before the next save can
// replace it, so one damaged byte never costs the whole history.
void KeepDamagedFile(const Path& path) {
    Path movedTo;
    if (platform::MoveAsideDamaged(path, &movedTo)) {
        LOGF(LOG_ERROR, LOG_SRC_SESSION, "LoadSessionData | %s could not be loaded; kept as %s",
                 path.CStr(), movedTo.CStr());
        PostAlert("Session data could not be loaded (decompress error): " + path.Text() +
                      " (the damaged file was kept as " + movedTo.Text() + ")",
                  LOG_ERROR);
        return;
    }
    LOGF(LOG_ERROR, LOG_SRC_SESSION, "LoadSessionData | %s could not be loaded and could not be moved aside (%s); it is kept as it is",
             path.CStr(), std::strerror(errno));
    UntouchedFiles().insert(path.Text());
    PostAlert("Session data could not be loaded (decompress error): " + path.Text(), LOG_ERROR);
}

void DeleteOrLog(const Path& path) {
    if (!platform::DeleteFile(path))
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", path.CStr());
}

}  // namespace

std::vector<uint8_t> EncodeSessionPayload(const SessionData& data) {
    PayloadWriter out;
    for (uint8_t b : kMagic) out.U8(b);
    out.U8(1);
    out.U32(static_cast<uint32_t>(data.cameras.size()));
    for (const auto& camera : data.cameras) {
        out.I32(camera->Id());
        out.U32(kHistoryGroups);
        for (int g = 0; g < kHistoryGroups; ++g) {
            out.U32(kHistoryParams);
            for (int i = 0; i < kHistoryParams; ++i) {
                const picam::ParamRecord& r = camera->groups[g].params[i];
                const int32_t length = RecordByteLength(r);
                out.I32(length);
                const int32_t* words = &r.value;
                for (int32_t w = 0; w < length / 4; ++w) out.I32(words[w]);
                out.Series(camera->series[g][i]);
            }
        }
    }
    out.U32(kSpareSeries);
    for (const SampleSeries& s : data.spareSeries) out.Series(s);
    return out.Take();
}

PayloadResult DecodeSessionPayload(const uint8_t* payload, size_t length, SessionData* data) {
    data->Reset();
    PayloadReader in(payload, length);
    uint8_t version;
    if (!in.Skip(4) || !in.U8(&version)) return PayloadResult::Malformed;
    if (version != 1) return PayloadResult::OtherVersion;
    uint32_t spareCount = 0;
    bool ok = ReadCameras(in, data) && in.U32(&spareCount) && spareCount <= kSpareSeries;
    for (uint32_t i = 0; ok && i < spareCount; ++i) ok = in.Series(&data->spareSeries[i]);
    if (!ok) {
        data->Reset();
        return PayloadResult::Malformed;
    }
    return PayloadResult::Ok;
}

Path SessionDataPath(const Path& folder, const std::string& sessionName) {
    return Join(folder, SessionDataFileName(sessionName));
}

Path SessionDataTemporaryPath(const Path& dataPath) {
    // The trailing "-saving" makes the third-last token a digit, which no
    // type letter matches, so a leftover file is never listed.
    return Path(dataPath.Text() + "-saving");
}

bool SaveSessionData(const Path& folder, const std::string& sessionName, const SessionData& data) {
    const std::vector<uint8_t> payload = EncodeSessionPayload(data);
    const Path path = SessionDataPath(folder, sessionName);

    if (payload.size() > kMaxPayload_bytes) {
        PostAlert("Session data could not be saved (compression error): " + path.Text(), LOG_ERROR);
        return false;
    }
    const int u = static_cast<int>(payload.size());
    const int capacity = u + u / 255 + 16;
    std::vector<uint8_t> output(4 + static_cast<size_t>(capacity));
    output[0] = static_cast<uint8_t>(payload.size() >> 24);
    output[1] = static_cast<uint8_t>(payload.size() >> 16);
    output[2] = static_cast<uint8_t>(payload.size() >> 8);
    output[3] = static_cast<uint8_t>(payload.size());
    const int packed = LZ4_compress_default(reinterpret_cast<const char*>(payload.data()),
                                            reinterpret_cast<char*>(output.data() + 4), u, capacity);
    if (packed <= 0) {
        PostAlert("Session data could not be saved (compression error): " + path.Text(), LOG_ERROR);
        return false;
    }
    output.resize(4 + static_cast<size_t>(packed));

    if (KeptUntouched(path)) {
        LOGF(LOG_ERROR, LOG_SRC_SESSION, "SaveSessionData | %s could not be read and could not be moved aside; it is not overwritten",
                 path.CStr());
        PostAlert("Session data could not be saved (file error): " + path.Text(), LOG_ERROR);
        return false;
    }

    // Only a backup that exists is deleted or moved back later: a failed
    // copy must not be followed by a false "Could not delete" line.
    Path backup;
    if (platform::GetFileInfo(path, nullptr)) {
        const Path wanted(path.Text() + ".bk");
        if (platform::CopyFile(path, wanted))
            backup = wanted;
        else
            LogCopyFailure(path, wanted);
    }

    if (platform::WriteFileReplacing(path, SessionDataTemporaryPath(path), output.data(), output.size())) {
        if (!backup.Empty()) DeleteOrLog(backup);
        return true;
    }

    PostAlert("Session data could not be saved (file error): " + path.Text(), LOG_ERROR);
    if (!backup.Empty()) {
        // The new bytes went to a temporary file, so the old data file is
        // still whole: copying the backup over it could only damage it (a
        // copy that fails half-way removes its destination). The backup is
        // moved back only when the data file itself has gone.
        if (platform::GetFileInfo(path, nullptr)) {
            DeleteOrLog(backup);
        } else if (std::rename(backup.CStr(), path.CStr()) != 0) {
            LogCopyFailure(backup, path);
        }
    }
    return false;
}

bool DecodeSessionFile(const uint8_t* file, size_t size, SessionData* data) {
    data->Reset();
    if (size <= 3 || size > kMaxDataFile_bytes) return false;
    const uint32_t u = (uint32_t{file[0]} << 24) | (uint32_t{file[1]} << 16) | (uint32_t{file[2]} << 8) | file[3];
    const uint64_t packed = size - 4;
    // A length no LZ4 block of this size can produce is refused before allocating.
    if (u > kMaxPayload_bytes || u > packed * kMaxLz4Ratio + 16) return false;
    // Not zeroed: the block writes every byte that is read afterwards, and a
    // damaged file claiming a payload of hundreds of megabytes must not cost
    // their zeroing before the block turns out not to hold them.
    std::unique_ptr<uint8_t[]> payload(new (std::nothrow) uint8_t[u]);
    if (!payload) return false;
    const int got = LZ4_decompress_safe(reinterpret_cast<const char*>(file + 4), reinterpret_cast<char*>(payload.get()),
                                        static_cast<int>(packed), static_cast<int>(u));
    if (got < 0 || static_cast<uint32_t>(got) != u) return false;
    if (DecodeSessionPayload(payload.get(), u, data) == PayloadResult::Malformed) {
        data->Reset();
        return false;
    }
    return true;
}

void LoadSessionData(const Path& folder, const std::string& sessionName, SessionData* data) {
    data->Reset();
    const Path path = SessionDataPath(folder, sessionName);
    uint64_t size = 0;
    if (!platform::FileSize(path, &size)) return;  // missing: an empty history, silently
    std::vector<uint8_t> file;
    if (size > kMaxDataFile_bytes) {
        LOGF(LOG_ERROR, LOG_SRC_SESSION, "LoadSessionData | %s is %llu bytes, refused", path.CStr(),
                 static_cast<unsigned long long>(size));
    } else if (!platform::ReadWholeFile(path, &file)) {
        // There but unreadable: it must not be replaced by the next save either.
        LOGF(LOG_ERROR, LOG_SRC_SESSION, "LoadSessionData | could not read %s: %s", path.CStr(),
                 std::strerror(errno));
        KeepDamagedFile(path);
        return;
    }

    const bool ok = DecodeSessionFile(file.data(), file.size(), data);
    if (!ok) {
        data->Reset();
        KeepDamagedFile(path);
    }
}
