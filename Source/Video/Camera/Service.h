// picam::Service — the program's mirror of one camera unit's parameters and
// messages, kept in step with the unit over one TCP connection to port 8008
// by the thread ServiceProc. UI code edits the mirror (SetParam_locked,
// SetMessageValue_locked, PackChanges_locked) and never touches the socket.
//
// Locks: serviceListLock is taken before a service's hostLock. hostLock and
// tableLock of one service are never held together, and no socket call is
// made while tableLock is held.
//
// Section index
//   ParamRecord, ParamGroup   the 55-word record and one group's table
//   version gate              program-wide write gate (9000)
//   Service                   fields, table operations, wire helpers
//   ServiceList               program-wide list, AcquireService/ServiceRef, counts
//   ServiceProc               the connection thread
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Base/ThreadSafety.h"

namespace picam {

constexpr int kParamCount = 256;       // records per group
constexpr int kMessageCount = 16;      // message slots per group
constexpr int kMessageSize = 256;      // bytes per message slot, terminator included
constexpr int kExchangedParams = 192;  // indices 0..191 take part in the exchange
constexpr int kExchangedMessages = 5;  // messages 0..4 take part in the exchange
constexpr int kGroupCount = 2;
constexpr int kParamWords = 55;
constexpr int kMaxOptions = 48;
constexpr int kOutBufferSize = 0x40000;
constexpr int kServicePort = 8008;
constexpr uint32_t kDefaultVersionGate = 9000;
// Replies longer than this end the connection ("recv buffer" error line):
// far above the largest sensible reply (every record of both groups in full
// is about 115 KiB), so a hostile length cannot make us allocate freely.
constexpr uint32_t kMaxReplyLength = 4u << 20;

// Wire kinds of a record header.
enum RecordKind : uint8_t {
    kKindReadParam = 1,
    kKindWriteParam = 2,
    kKindReadMessage = 5,
    kKindWriteMessage = 6,
};

// paramDirty / messageDirty bit values.
constexpr uint8_t kDirtyRead = 1;
constexpr uint8_t kDirtyWrite = 2;

struct ParamRecord {
    int32_t value;
    int32_t defaultValue;
    int32_t minimum;
    int32_t maximum;
    int32_t scaleNum;
    int32_t scaleDen;
    int32_t optionCount;  // 0 or less: a plain range minimum..maximum
    int32_t options[kMaxOptions];
};
static_assert(sizeof(ParamRecord) == kParamWords * 4, "ParamRecord is 55 words on the wire");

struct ParamGroup {
    ParamRecord params[kParamCount];
    char messages[kMessageCount][kMessageSize];
};
static_assert(sizeof(ParamGroup) == 60416, "settings copies of a group rely on this size");

// All words 0 except scaleNum = scaleDen = 1.
void InitParamRecord(ParamRecord* record);
// Every record initial, every message empty.
void InitParamGroup(ParamGroup* group);
// The camera has not described this parameter (minimum, maximum and
// optionCount all 0).
bool IsNullParam(const ParamRecord& record);
bool AcceptsValue(const ParamRecord& record, int32_t value);
// Read-only indices: 0-10, 17-21, 23, 32-34, 41-61, 74-76.
bool IsReadOnlyParam(int index);

// ---- version gate -------------------------------------------------------------
// Written once at start-up before the monitor starts; read by every service.
void SetVersionGate(uint32_t gate);
uint32_t VersionGate();

// ---- Service ----------------------------------------------------------------------
class Service {
public:
    Service();
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Zeroes both groups, pending counts, dirty flags, outLength and version;
    // empties host; clears running and connected. The monitor calls it only
    // after both threads of the service have been joined.
    void ResetTables();

    // Caller holds tableLock. Read-only indices are ignored silently; null
    // records and refused values are logged and not stored. A changed value
    // is marked for writing.
    void SetParam_locked(int group, int index, int32_t value) REQUIRES(tableLock);
    // Caller holds tableLock. Texts of 256 bytes or more are refused (logged).
    // A changed text is marked for writing.
    void SetMessageValue_locked(int group, int index, const char* text) REQUIRES(tableLock);
    // Takes tableLock itself. Copies into a 256-byte buffer, always terminated.
    void GetMessageValue(int group, int index, char* out) EXCLUDES(tableLock);
    // Takes tableLock itself. Pushes a whole settings copy of one group:
    // read-only records of `table` are refreshed from the mirror, the others
    // go through SetParam_locked; non-empty messages 0..4 through SetMessageValue_locked.
    void ApplyParams(int group, ParamGroup* table) EXCLUDES(tableLock);
    // Caller holds tableLock. Turns dirty flags into records in outBuffer.
    void PackChanges_locked() REQUIRES(tableLock);
    // Caller holds tableLock. Applies one reply frame body to the mirror.
    void ParseReply_locked(const uint8_t* bytes, size_t length) REQUIRES(tableLock);

    // Guarded by hostLock.
    int32_t holders GUARDED_BY(hostLock) = 0;
    // Written under tableLock by ParseReply_locked, read without a lock.
    std::atomic<uint32_t> version{0};
    // Everything from here to messageDirty is guarded by tableLock.
    ParamGroup groups[kGroupCount] GUARDED_BY(tableLock);
    int32_t outLength GUARDED_BY(tableLock) = 0;
    uint8_t* outBuffer PT_GUARDED_BY(tableLock) = nullptr;  // kOutBufferSize bytes, allocated once
    int32_t pendingParam[kGroupCount][kParamCount] GUARDED_BY(tableLock);
    uint8_t paramDirty[kGroupCount][kParamCount] GUARDED_BY(tableLock);
    int32_t pendingMessage[kGroupCount][kParamCount] GUARDED_BY(tableLock);
    uint8_t messageDirty[kGroupCount][kMessageCount] GUARDED_BY(tableLock);
    // Guarded by hostLock: dotted IPv4 address of the unit.
    std::string host GUARDED_BY(hostLock);
    // Started, joined and restarted only by the service monitor.
    std::thread serviceThread;
    std::thread scanlinkThread;
    std::mutex hostLock;
    std::mutex tableLock;
    std::atomic<bool> running{false};
    std::atomic<bool> connected{false};
    // Connections ServiceProc has opened, counted up by it at each connect and
    // never reset (ResetTables keeps it): a slot started for an earlier
    // connection is told apart from one of this connection however short the
    // gap between them was.
    std::atomic<uint32_t> connectionNumber{0};

    // Copy of host under hostLock.
    std::string Host() EXCLUDES(hostLock);
    void SetHost(const std::string& address) EXCLUDES(hostLock);

private:
    void ResetTables_locked() REQUIRES(tableLock);
    void AppendRecord_locked(int group, int index, uint8_t kind, const void* payload, int length)
        REQUIRES(tableLock);
};

// ---- ServiceList ----------------------------------------------------------------
// One entry per camera unit in the order found; index = unit index. Written
// only by the service monitor; guarded by serviceListLock.
extern std::vector<Service*> ServiceList;
extern std::mutex serviceListLock;
// Stands in for any absent camera: never connected, version 0, every record null.
extern Service NullService;

// A scoped hold on a service (or NullService). Counts in the service's
// holders under its hostLock.
class ServiceRef {
public:
    ServiceRef() = default;
    explicit ServiceRef(Service* service);
    ~ServiceRef();
    ServiceRef(ServiceRef&& other) noexcept;
    ServiceRef& operator=(ServiceRef&& other) noexcept;
    ServiceRef(const ServiceRef&) = delete;
    ServiceRef& operator=(const ServiceRef&) = delete;

    Service* operator->() const { return service_; }
    Service& operator*() const { return *service_; }
    Service* Get() const { return service_; }
    bool IsNull() const { return service_ == &NullService; }

private:
    void Release();
    Service* service_ = nullptr;
};

// The service of unit `index` once its first reply has arrived, else NullService.
ServiceRef AcquireService(int index);
// Under serviceListLock: services with a live connection.
int CountConnectedServices();
// Under serviceListLock: services whose version is not 0.
int CountReadyServices();

// ---- ServiceProc ------------------------------------------------------------------
// Thread body: runs one connection to the unit's port 8008 (see Service.cpp).
void ServiceProc(Service* service);

// Byte-level helpers of the wire format (shared with tests and the simulator).
uint32_t ReadBigEndian32(const uint8_t* p);
void WriteBigEndian32(uint8_t* p, uint32_t v);

}  // namespace picam
