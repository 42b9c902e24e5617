// The camera parameter history of one session: for every camera unit seen
// during the session, its two parameter groups as last sampled and, for each
// of parameters 0..191 of each group, the series of values it took with the
// session time of every change. The player uses it to show a recording with
// the settings in force when it was made.
//
// Threads: a SessionData is touched only by the UI thread (sampling, save,
// load, refresh). The cameras' groups are read from each picam::Service
// under its tableLock, one group per lock hold.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Video/Camera/Service.h"

constexpr int kHistoryParams = 192;  // parameters 0..191 take part in the history
constexpr int kHistoryGroups = 2;
constexpr int kSpareSeries = 4;

struct ParamSample {
    int32_t value = 0;
    double time = 0;  // seconds of session time
};
using SampleSeries = std::vector<ParamSample>;

struct CameraHistory {
    CameraHistory();  // every record fresh, messages empty, series empty, activity 0

    // Word 0 of parameter 1 of group 0: the camera's identity value.
    int32_t Id() const { return groups[0].params[1].value; }

    picam::ParamGroup groups[kHistoryGroups];
    SampleSeries series[kHistoryGroups][kHistoryParams];
    // In memory only (never stored): OR of the low bytes of parameters 44 and
    // 45 over every round, and whether parameter 32 was seen at 1 while connected.
    uint8_t flagsA[kHistoryGroups] = {0, 0};
    uint8_t flagsB[kHistoryGroups] = {0, 0};
    uint8_t active[kHistoryGroups] = {0, 0};
};

struct SessionData {
    SessionData();
    // Back to a fresh history: no cameras, spare records fresh, spare series empty.
    void Reset();

    // In the order the cameras were first sampled. Held by pointer so that a
    // reference to one history survives the addition of another.
    std::vector<std::unique_ptr<CameraHistory>> cameras;
    picam::ParamRecord spareRecords[kSpareSeries];
    SampleSeries spareSeries[kSpareSeries];
};

// The history of the service's camera, created (with copies of both groups)
// on first use.
CameraHistory& FindOrAddCamera(SessionData& data, picam::Service& service);
// One sampling round over every ready camera unit; `sessionTimeUs` is the
// session clock now.
void SampleCameras(SessionData& data, int64_t sessionTimeUs);
// One sampling round of one camera (SampleCameras calls it per unit).
void SampleCamera(SessionData& data, picam::Service& service, double timeS);
// Fills `out` with group `group` as it was at time `t` (seconds).
void ValueAt(const CameraHistory& history, double t, int group, picam::ParamGroup* out);
// Largest last-sample time of any camera series; 0 when there is none.
double LatestSampleTime(const SessionData& data);
// The samples a series keeps when written: the first, every change of value,
// and the last. Returns the indices kept, in order.
std::vector<size_t> CompactedIndices(const SampleSeries& series);
