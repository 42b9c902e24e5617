#include "Session/SessionData.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kFlagsAParam = 44;
constexpr int kFlagsBParam = 45;
constexpr int kActiveParam = 32;

void FreshGroup(picam::ParamGroup* group) { picam::InitParamGroup(group); }

}  // namespace

CameraHistory::CameraHistory() {
    for (auto& g : groups) FreshGroup(&g);
}

SessionData::SessionData() { Reset(); }

void SessionData::Reset() {
    cameras.clear();
    for (auto& r : spareRecords) picam::InitParamRecord(&r);
    for (auto& s : spareSeries) s.clear();
}

CameraHistory& FindOrAddCamera(SessionData& data, picam::Service& service) {
    int32_t id;
    {
        std::lock_guard<std::mutex> hold(service.tableLock);
        id = service.groups[0].params[1].value;
    }
    for (auto& camera : data.cameras) {
        if (camera->Id() == id) return *camera;
    }
    auto camera = std::make_unique<CameraHistory>();
    for (int g = 0; g < kHistoryGroups; ++g) {
        std::lock_guard<std::mutex> hold(service.tableLock);
        camera->groups[g] = service.groups[g];
    }
    data.cameras.push_back(std::move(camera));
    return *data.cameras.back();
}

void SampleCamera(SessionData& data, picam::Service& service, double timeS) {
    CameraHistory& history = FindOrAddCamera(data, service);
    for (int g = 0; g < kHistoryGroups; ++g) {
        // Only word 0 of the history's records is compared, so only it is kept.
        int32_t previous[kHistoryParams];
        for (int i = 0; i < kHistoryParams; ++i) previous[i] = history.groups[g].params[i].value;
        int32_t flagA, flagB, activeValue;
        {
            std::lock_guard<std::mutex> hold(service.tableLock);
            history.groups[g] = service.groups[g];
            flagA = service.groups[g].params[kFlagsAParam].value;
            flagB = service.groups[g].params[kFlagsBParam].value;
            activeValue = service.groups[g].params[kActiveParam].value;
        }
        for (int i = 0; i < kHistoryParams; ++i) {
            const int32_t value = history.groups[g].params[i].value;
            SampleSeries& series = history.series[g][i];
            if (value != previous[i] || series.empty()) series.push_back(ParamSample{value, timeS});
        }
        history.flagsA[g] |= static_cast<uint8_t>(flagA & 0xFF);
        history.flagsB[g] |= static_cast<uint8_t>(flagB & 0xFF);
        if (!service.connected.load()) {
            history.active[g] = 0;
        } else if (activeValue == 1) {
            history.active[g] = 1;
        }
    }
}

void SampleCameras(SessionData& data, int64_t sessionTimeUs) {
    const double timeS = static_cast<double>(sessionTimeUs) / 1000000.0;
    const int count = picam::CountReadyServices();
    for (int i = 0; i < count; ++i) {
        picam::ServiceRef service = picam::AcquireService(i);
        if (service.IsNull()) continue;  // the list changed since it was counted
        SampleCamera(data, *service, timeS);
    }
}

void ValueAt(const CameraHistory& history, double t, int group, picam::ParamGroup* out) {
    if (group < 0 || group >= kHistoryGroups) return;
    *out = history.groups[group];
    for (int i = 0; i < kHistoryParams; ++i) {
        const SampleSeries& series = history.series[group][i];
        if (series.empty()) continue;
        // The sample just before the first later sample (from the second on)
        // whose time is past t; the last sample when there is none.
        auto later = std::upper_bound(series.begin() + 1, series.end(), t,
                                      [](double value, const ParamSample& s) { return value < s.time; });
        const ParamSample& chosen = *(later - 1);
        if (picam::AcceptsValue(out->params[i], chosen.value)) out->params[i].value = chosen.value;
    }
}

double LatestSampleTime(const SessionData& data) {
    double latest = 0;
    bool any = false;
    for (const auto& camera : data.cameras) {
        for (const auto& group : camera->series) {
            for (const SampleSeries& series : group) {
                if (series.empty()) continue;
                if (!any || series.back().time > latest) latest = series.back().time;
                any = true;
            }
        }
    }
    return any ? latest : 0;
}

std::vector<size_t> CompactedIndices(const SampleSeries& series) {
    std::vector<size_t> kept;
    if (series.empty()) return kept;
    kept.push_back(0);
    for (size_t i = 1; i < series.size(); ++i) {
        if (series[i].value != series[kept.back()].value || i + 1 == series.size()) kept.push_back(i);
    }
    return kept;
}
