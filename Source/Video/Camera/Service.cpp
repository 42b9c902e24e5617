// picam::Service: table operations, wire encoding, the program-wide list and
// the connection thread ServiceProc.
//
// Section index
//   records        InitParamRecord, AcceptsValue, IsReadOnlyParam, version gate
//   Service        construction, SetParam_locked, SetMessageValue_locked, ApplyParams
//   wire           PackChanges_locked, ParseReply_locked
//   ServiceList    AcquireService, ServiceRef, counts
//   ServiceProc    the connection thread
#include "Video/Camera/Service.h"
#include "Base/Clock.h"

#include <cerrno>
#include <cstring>
#include <time.h>

#include "Base/Log.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Socket.h"

namespace picam {

// ---- records ------------------------------------------------------------------

void InitParamRecord(ParamRecord* record) {
    memset(record, 0, sizeof *record);
    record->scaleNum = 1;
    record->scaleDen = 1;
}

void InitParamGroup(ParamGroup* group) {
    for (ParamRecord& r : group->params) InitParamRecord(&r);
    memset(group->messages, 0, sizeof group->messages);
}

bool IsNullParam(const ParamRecord& record) {
    return record.minimum == 0 && record.maximum == 0 && record.optionCount == 0;
}

bool AcceptsValue(const ParamRecord& record, int32_t value) {
    if (value == record.defaultValue) return true;
    if (record.optionCount > 0) {
        const int count = record.optionCount < kMaxOptions ? record.optionCount : kMaxOptions;
        for (int i = 0; i < count; ++i)
            if (record.options[i] == value) return true;
        return false;
    }
    return record.minimum <= value && value <= record.maximum;
}

bool IsReadOnlyParam(int index) {
    return (index >= 0 && index <= 10) || (index >= 17 && index <= 21) || index == 23 ||
           (index >= 32 && index <= 34) || (index >= 41 && index <= 61) || (index >= 74 && index <= 76);
}

namespace {
std::atomic<uint32_t> versionGate{kDefaultVersionGate};
}

void SetVersionGate(uint32_t gate) { versionGate.store(gate); }
uint32_t VersionGate() { return versionGate.load(); }

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void WriteBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// ---- Service ------------------------------------------------------------------

Service::Service() {
    outBuffer = new uint8_t[kOutBufferSize];
    ResetTables_locked();
}

Service::~Service() {
    // The monitor joins both threads before destroying a service.
    delete[] outBuffer;
}

void Service::ResetTables() {
    {
        std::lock_guard<std::mutex> lock(tableLock);
        ResetTables_locked();
    }
    SetHost(std::string());
}

void Service::ResetTables_locked() {
    // Zeroed as a whole (scale words too): an emptied mirror is all null.
    memset(groups, 0, sizeof groups);
    memset(pendingParam, 0, sizeof pendingParam);
    memset(paramDirty, 0, sizeof paramDirty);
    memset(pendingMessage, 0, sizeof pendingMessage);
    memset(messageDirty, 0, sizeof messageDirty);
    outLength = 0;
    version.store(0);
    running.store(false);
    connected.store(false);
}

std::string Service::Host() {
    std::lock_guard<std::mutex> lock(hostLock);
    return host;
}

void Service::SetHost(const std::string& address) {
    std::lock_guard<std::mutex> lock(hostLock);
    host = address;
}

void Service::SetParam_locked(int group, int index, int32_t value) {
    if (group < 0 || group >= kGroupCount || index < 0 || index >= kParamCount) return;
    if (IsReadOnlyParam(index)) return;
    ParamRecord& record = groups[group].params[index];
    if (IsNullParam(record)) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "picam::Service::SetParam(%d,%d)  attempted to set null param",
                 group, index);
        return;
    }
    if (!AcceptsValue(record, value)) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "picam::Service::SetParam(%d,%d)  value %d out of range", group,
                 index, value);
        return;
    }
    if (record.value != value) {
        record.value = value;
        paramDirty[group][index] = kDirtyWrite;
    }
}

void Service::SetMessageValue_locked(int group, int index, const char* text) {
    if (group < 0 || group >= kGroupCount || index < 0 || index >= kMessageCount || !text) return;
    const size_t length = strnlen(text, kMessageSize);
    if (length >= static_cast<size_t>(kMessageSize)) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "picam::Service::SetMessageValue(%d,%d,%s)  message too long",
                 group, index, std::string(text, strnlen(text, 4096)).c_str());
        return;
    }
    char* slot = groups[group].messages[index];
    if (strncmp(slot, text, kMessageSize) == 0) return;
    memcpy(slot, text, length);
    slot[length] = 0;
    messageDirty[group][index] = 6;
}

void Service::GetMessageValue(int group, int index, char* out) {
    if (group < 0 || group >= kGroupCount || index < 0 || index >= kMessageCount) {
        out[0] = 0;
        return;
    }
    std::lock_guard<std::mutex> lock(tableLock);
    memcpy(out, groups[group].messages[index], kMessageSize);
    out[kMessageSize - 1] = 0;
}

void Service::ApplyParams(int group, ParamGroup* table) {
    if (group < 0 || group >= kGroupCount) return;
    std::lock_guard<std::mutex> lock(tableLock);
    for (int i = 0; i < kExchangedParams; ++i) {
        if (IsNullParam(table->params[i])) continue;
        if (IsReadOnlyParam(i))
            table->params[i] = groups[group].params[i];
        else
            SetParam_locked(group, i, table->params[i].value);
    }
    for (int m = 0; m < kExchangedMessages; ++m) {
        table->messages[m][kMessageSize - 1] = 0;
        if (table->messages[m][0] != 0) SetMessageValue_locked(group, m, table->messages[m]);
    }
    PackChanges_locked();
}

// ---- wire ---------------------------------------------------------------------

void Service::AppendRecord_locked(int group, int index, uint8_t kind, const void* payload, int length) {
    const int freeBytes = outLength < kOutBufferSize ? kOutBufferSize - outLength : 0;
    if (freeBytes < length + 4) return;  // no room: the record is dropped
    uint8_t* p = outBuffer + outLength;
    p[0] = static_cast<uint8_t>(index);
    p[1] = static_cast<uint8_t>(group);
    p[2] = kind;
    p[3] = static_cast<uint8_t>(length);
    if (length > 0) memcpy(p + 4, payload, static_cast<size_t>(length));
    outLength += 4 + length;
}

void Service::PackChanges_locked() {
    const bool writable = version.load() >= VersionGate();
    for (int g = 0; g < kGroupCount; ++g) {
        for (int m = 0; m < kExchangedMessages; ++m) {
            const uint8_t flag = messageDirty[g][m];
            if (flag == 0) continue;
            messageDirty[g][m] = 0;
            ++pendingMessage[g][m];
            if ((flag & kDirtyWrite) && writable) {
                const char* text = groups[g].messages[m];
                const int length = static_cast<int>(strnlen(text, kMessageSize - 1) % 256);
                AppendRecord_locked(g, m, kKindWriteMessage, text, length);
            } else {
                AppendRecord_locked(g, m, kKindReadMessage, nullptr, 0);
            }
        }
        for (int i = 0; i < kExchangedParams; ++i) {
            const uint8_t flag = paramDirty[g][i];
            if (flag == 0) continue;
            paramDirty[g][i] = 0;
            ++pendingParam[g][i];
            if ((flag & kDirtyWrite) && writable) {
                uint8_t payload[4];
                WriteBigEndian32(payload, static_cast<uint32_t>(groups[g].params[i].value));
                AppendRecord_locked(g, i, kKindWriteParam, payload, 4);
            } else {
                AppendRecord_locked(g, i, kKindReadParam, nullptr, 0);
            }
        }
    }
}

// Records outside the tables are skipped one by one (the walk goes on with
// the next record): a group of 2 or more, a message index of 16 or more, a
// parameter payload longer than the 220 bytes of a record, and a message
// payload that runs past the end of the frame (that one ends the walk, as
// nothing follows it). A trailing fragment shorter than a header is ignored.
void Service::ParseReply_locked(const uint8_t* bytes, size_t length) {
    size_t pos = 0;
    while (length - pos >= 4) {
        const int index = bytes[pos];
        const int group = bytes[pos + 1];
        const uint8_t kind = bytes[pos + 2];
        size_t len = bytes[pos + 3];
        pos += 4;
        const size_t available = length - pos;
        if (group >= kGroupCount) {
            pos += len < available ? len : available;
            continue;
        }
        if (kind & 4) {
            if (len > available) break;
            if (index < kMessageCount) {
                char* slot = groups[group].messages[index];
                memcpy(slot, bytes + pos, len);  // len <= 255: always leaves room for the terminator
                slot[len] = 0;
                if (pendingMessage[group][index] > 0) --pendingMessage[group][index];
            }
            pos += len;
            continue;
        }
        if (len > available) len = available;
        if (len == 0) continue;
        if (len <= sizeof(ParamRecord)) {
            if (pendingParam[group][index] > 0) --pendingParam[group][index];
            auto* words = reinterpret_cast<int32_t*>(&groups[group].params[index]);
            for (size_t w = 0; w < len / 4; ++w)
                words[w] = static_cast<int32_t>(ReadBigEndian32(bytes + pos + w * 4));
        }
        pos += len;
    }

    version.store(static_cast<uint32_t>(groups[0].params[0].value));
    if (version.load() < VersionGate()) {
        for (int g = 0; g < kGroupCount; ++g) {
            for (int i = 5; i < kParamCount; ++i) InitParamRecord(&groups[g].params[i]);
            memset(groups[g].messages, 0, sizeof groups[g].messages);
        }
    }
}

// ---- ServiceList ----------------------------------------------------------------

std::vector<Service*> ServiceList;
std::mutex serviceListLock;
Service NullService;

ServiceRef::ServiceRef(Service* service) : service_(service) {
    if (!service_) return;
    std::lock_guard<std::mutex> lock(service_->hostLock);
    ++service_->holders;
}

ServiceRef::~ServiceRef() { Release(); }

ServiceRef::ServiceRef(ServiceRef&& other) noexcept : service_(other.service_) { other.service_ = nullptr; }

ServiceRef& ServiceRef::operator=(ServiceRef&& other) noexcept {
    if (this != &other) {
        Release();
        service_ = other.service_;
        other.service_ = nullptr;
    }
    return *this;
}

void ServiceRef::Release() {
    if (!service_) return;
    std::lock_guard<std::mutex> lock(service_->hostLock);
    --service_->holders;
    service_ = nullptr;
}

ServiceRef AcquireService(int index) {
    std::lock_guard<std::mutex> lock(serviceListLock);
    Service* chosen = &NullService;
    if (index >= 0 && index < static_cast<int>(ServiceList.size()) && ServiceList[index]->version.load() != 0)
        chosen = ServiceList[index];
    return ServiceRef(chosen);
}

int CountConnectedServices() {
    std::lock_guard<std::mutex> lock(serviceListLock);
    int count = 0;
    for (Service* s : ServiceList)
        if (s->connected.load()) ++count;
    return count;
}

int CountReadyServices() {
    std::lock_guard<std::mutex> lock(serviceListLock);
    int count = 0;
    for (Service* s : ServiceList)
        if (s->version.load() != 0) ++count;
    return count;
}

// ---- ServiceProc ------------------------------------------------------------------

namespace {

constexpr uint32_t kConnectTimeoutUs = 2000000;
constexpr uint32_t kReceiveTimeoutUs = 1000000;
constexpr int64_t kPollTickMs = 250;
constexpr int64_t kFastTickMs = 50;

// Marks every record for the first exchange of a connection: null records
// and empty messages are read, described ones written back (subject to the
// version gate). Caller holds tableLock.
void MarkAll_locked(Service* s) REQUIRES(s->tableLock) {
    for (int g = 0; g < kGroupCount; ++g) {
        for (int i = 0; i < kExchangedParams; ++i)
            s->paramDirty[g][i] = IsNullParam(s->groups[g].params[i]) ? kDirtyRead : kDirtyWrite;
        for (int m = 0; m < kExchangedMessages; ++m)
            s->messageDirty[g][m] = s->groups[g].messages[m][0] ? kDirtyWrite : kDirtyRead;
    }
    s->PackChanges_locked();
}

// One connected session: returns when the socket has closed or running was
// cleared. `frame` is the thread's reusable request/reply buffer.
void RunConnection(Service* s, TcpSocket& socket, std::vector<uint8_t>& frame) {
    int64_t elapsedMs = 0, lastPollTick = 0, lastFastTick = 0, lastAnsweredTick = 0;
    int64_t previous = MonotonicNs();
    do {
        if (!socket.IsOpen()) break;
        s->connected.store(true);
        const int64_t now = MonotonicNs();
        int64_t step = (now - previous) / 1000000;
        step = step < 0 ? 0 : (step > kPollTickMs ? kPollTickMs : step);
        previous = now;
        elapsedMs += step;

        const int64_t tick = elapsedMs / kPollTickMs;
        if (tick - lastAnsweredTick > 2) {
            LOGF(LOG_WARN, LOG_SRC_CAMERA, "ServiceProc | connection timed out");
            socket.Close();
            break;
        }
        if (tick > lastPollTick) {
            lastPollTick = tick;
            std::lock_guard<std::mutex> lock(s->tableLock);
            for (int i : kPollParamsGroup0) s->paramDirty[0][i] |= kDirtyRead;
            for (int g = 0; g < kGroupCount; ++g)
                for (int i : kPollParamsBothGroups) s->paramDirty[g][i] |= kDirtyRead;
            s->PackChanges_locked();
        }
        const int64_t fastTick = elapsedMs / kFastTickMs;
        if (fastTick > lastFastTick) {
            lastFastTick = fastTick;
            std::lock_guard<std::mutex> lock(s->tableLock);
            for (int g = 0; g < kGroupCount; ++g) s->paramDirty[g][kFastPollParam] |= kDirtyRead;
            s->PackChanges_locked();
        }

        size_t frameSize = 0;
        {
            std::lock_guard<std::mutex> lock(s->tableLock);
            if (s->outLength != 0) {
                frameSize = 4 + static_cast<size_t>(s->outLength);
                if (frame.size() < frameSize) frame.resize(frameSize);
                WriteBigEndian32(frame.data(), static_cast<uint32_t>(s->outLength));
                memcpy(frame.data() + 4, s->outBuffer, static_cast<size_t>(s->outLength));
                s->outLength = 0;
            }
        }
        if (frameSize == 0) {
            timespec pause{0, 1000000};
            nanosleep(&pause, nullptr);
            continue;
        }

        if (socket.SendAll(frame.data(), static_cast<int>(frameSize)) != static_cast<int>(frameSize)) {
            const int error = LastSocketError();
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | send error (size) : %d  \"%s\"", error,
                     SocketErrorText(error).c_str());
            socket.Close();
            continue;
        }

        uint8_t sizeBytes[4];
        const int got = socket.ReceiveAll(sizeBytes, 4, kReceiveTimeoutUs);
        if (got != 4) {
            if (got == 0)
                LOGF(LOG_INFO, LOG_SRC_CAMERA, "ServiceProc | recv size, server disconnected");
            else
                LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | recv size error: %s",
                         SocketErrorText(LastSocketError()).c_str());
            socket.Close();
            continue;
        }
        const uint32_t replyLength = ReadBigEndian32(sizeBytes);
        if (replyLength == 0) {
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | recv buffer size is zero");
            socket.Close();
            continue;
        }
        if (replyLength > kMaxReplyLength) {
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | recv buffer error: %s", strerror(EMSGSIZE));
            socket.Close();
            continue;
        }
        if (frame.size() < replyLength) frame.resize(replyLength);
        if (socket.ReceiveAll(frame.data(), static_cast<int>(replyLength), kReceiveTimeoutUs) !=
            static_cast<int>(replyLength)) {
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | recv buffer error: %s", strerror(errno));
            socket.Close();
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(s->tableLock);
            s->ParseReply_locked(frame.data(), replyLength);
        }
        lastAnsweredTick = lastPollTick;
    } while (s->running.load());
}

}  // namespace

void ServiceProc(Service* s) {
    TcpSocket socket;
    std::vector<uint8_t> frame;
    while (s->running.load()) {
        s->connected.store(false);
        const std::string host = s->Host();
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ServiceProc | connecting to %s:%d", host.c_str(),
                 kServicePort);
        socket.Close();
        socket.handle = ConnectTcp(host, kServicePort, kConnectTimeoutUs);
        if (socket.handle == -1) {
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ServiceProc | connection failed: %s",
                     SocketErrorText(LastSocketError()).c_str());
        } else {
            LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ServiceProc | connected");
            s->connectionNumber.fetch_add(1);
            {
                std::lock_guard<std::mutex> lock(s->hostLock);
                ++s->holders;
            }
            {
                std::lock_guard<std::mutex> lock(s->tableLock);
                MarkAll_locked(s);
            }
            {
                std::lock_guard<std::mutex> lock(s->hostLock);
                --s->holders;
            }
            RunConnection(s, socket, frame);
        }
        {
            std::lock_guard<std::mutex> lock(s->tableLock);
            s->outLength = 0;  // unsent changes are discarded
        }
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ServiceProc | not connected");
        s->connected.store(false);
        s->running.store(false);
        // Set again meanwhile (by the monitor): connect anew.
        if (!s->running.load()) break;
    }
    socket.Close();
    LOGF(LOG_INFO, LOG_SRC_CAMERA, "ServiceProc | thread stopped");
}

}  // namespace picam
