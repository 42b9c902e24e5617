// Crawler telemetry link (port 8010): the program-wide crawler state, the
// request builders the UI calls, and the thread body `ScanlinkProc` that the
// service monitor starts once per camera unit.
//
// One crawler per system, but one link per camera unit: every unit's
// ScanlinkProc has its own message buffer, outgoing queue and transmit
// sequence (ScanLinkPort, ScanLinkProtocol.h), since the unit counts each
// connection's messages from 0 and a shared count or queue would make two
// units refuse and starve each other's requests. The requests built below
// go to every unit's link (the crawler is wherever it is plugged in);
// `scanLinkState` shows the crawler of one open link, the first to open
// while none was shown. All of it is guarded by `scanLinkLock`. The UI reads
// the state under that lock and calls the builders below (the plain forms
// take the lock, the _locked forms expect it held). The receive side
// (accumulator, receive sequence) belongs to the running `ScanlinkProc`.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "Base/ThreadSafety.h"

namespace picam {
class Service;
}

inline constexpr int kScanLinkPort = 8010;
inline constexpr int kScanLinkAxes = 2;        // axis 0 "Crawler", axis 1 "Raster"
inline constexpr int kScanLinkItems = 256;     // item ids; bit value 0x80 = auxiliary input
inline constexpr int kScanLinkNamedItems = 8;  // names are kept for item ids 0 to 7
inline constexpr int kScanLinkTextBytes = 256;
inline constexpr int64_t kScanLinkDivisor = 65536;  // 16.16 fixed point
inline constexpr int32_t kScanLinkUnitsMm = 2;
inline constexpr int32_t kScanLinkUnitsInch = 3;

// A received fixed-point value; raw / divisor when divisor is not 0. A value
// that never arrived has both fields 0.
struct ScanLinkValue {
    int64_t raw;
    int64_t divisor;
};

struct ScanLinkAxisItems {
    int32_t first;
    int32_t count;
};

// Cleared to all zeros whenever a scan-link connection opens.
struct ScanLinkState {
    int32_t units;  // 2 = millimetres, 3 = inches
    int32_t info2;  // second device byte; kept, not used
    char axisName[kScanLinkAxes][kScanLinkTextBytes];
    ScanLinkValue axisPosition[kScanLinkAxes];
    ScanLinkValue itemValue[kScanLinkItems];
    ScanLinkAxisItems axisItems[kScanLinkAxes];
    uint8_t axisSource[kScanLinkAxes];
    int32_t itemScale[kScanLinkItems];  // counts per length unit, signed 16.16
    char itemName[kScanLinkNamedItems][kScanLinkTextBytes];
};

extern std::mutex scanLinkLock;
extern ScanLinkState scanLinkState GUARDED_BY(scanLinkLock);

// Shown value of a received fixed-point value (raw / divisor, or raw when the
// divisor is 0).
double ScanLinkValueOf(const ScanLinkValue& value);
// "mm" for units 2, "in" otherwise.
const char* ScanLinkUnitText(int32_t units);
// The shown value at two decimals: value x 100, plus 0.5 toward its sign,
// truncated, divided by 100 (so 1.125 shows 1.13 and -1.125 shows -1.13,
// where printing alone would round the exact half to even).
double ScanLinkRoundedValue(const ScanLinkValue& value);
// An axis position as the crawler panels print it: "%0.2f %s" of the rounded
// value with the unit text, or "-- %s" while nothing has arrived (raw and
// divisor both 0).
std::string ScanLinkPositionText(const ScanLinkValue& value, int32_t units);

// ---- request builders (any thread) ---------------------------------------------
// Each appends its records and finishes one message into the outgoing queue
// of every unit's link (dropped silently where the queue is full; a request
// made while a link is down waits in its queue for the next connection). The plain forms take
// scanLinkLock themselves; the _locked forms are for callers that already
// hold it (the UI reads the state and builds its requests under one hold).
void SetUnits(int units) EXCLUDES(scanLinkLock);
void SetUnits_locked(int units) REQUIRES(scanLinkLock);
// Sends [21 axis v] with v = trunc(position * the axis's divisor); the divisor
// of an axis whose position never arrived is taken as 65,536.
void SetAxisPosition(int axis, double position) EXCLUDES(scanLinkLock);
void SetAxisPosition_locked(int axis, double position) REQUIRES(scanLinkLock);
// Sends [B1 00 item v] with v = trunc(counts * 65,536); 0 means automatic.
void SetItemScale(int item, double counts) EXCLUDES(scanLinkLock);
void SetItemScale_locked(int item, double counts) REQUIRES(scanLinkLock);
void SetAxisSource(int axis, int item) EXCLUDES(scanLinkLock);
void SetAxisSource_locked(int axis, int item) REQUIRES(scanLinkLock);
// Device bytes, axis names, axis item ranges and axis sources.
void RequestRefresh() EXCLUDES(scanLinkLock);
void RequestRefresh_locked() REQUIRES(scanLinkLock);
// [20 00] [20 01]: positions of both axes (sent every 16 ms by ScanlinkProc).
void RequestPositions() EXCLUDES(scanLinkLock);

// Thread body, one per camera unit; follows `service->connected` and ends
// when `service->running` clears.
void ScanlinkProc(picam::Service* service);
