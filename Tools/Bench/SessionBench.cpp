// orvex-bench-session: costs of the session subsystem's hot paths.
//   sample  one SampleCameras round over two ready units (two groups each)
//   save    SaveSessionData of a one-hour history (two units, 30 rounds a
//           second, a few parameters changing every round)
//   load    LoadSessionData of that file
//   scan    ScanLibrary over a storage folder of 20,000 media files
// Targets: sample < 50 us, save and load < 250 ms each, file < 5 MB, scan < 150 ms.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Session/Library.h"
#include "Session/SessionFile.h"
#include "Video/Camera/Service.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A unit as the service thread leaves it: every record described, a camera id.
void FillUnit(picam::Service* s, int32_t id) {
    s->version = 1002003;
    s->connected = true;
    std::lock_guard<std::mutex> hold(s->tableLock);
    for (int g = 0; g < 2; ++g) {
        for (int i = 0; i < picam::kParamCount; ++i) {
            picam::ParamRecord& r = s->groups[g].params[i];
            r.value = i * 3 + g;
            r.defaultValue = r.value;
            r.minimum = 0;
            r.maximum = 100000;
            r.scaleNum = r.scaleDen = 1;
            r.optionCount = (i % 7 == 0) ? 4 : 0;
            for (int o = 0; o < r.optionCount; ++o) r.options[o] = o;
        }
    }
    s->groups[0].params[1].value = id;
}

// A few parameters move every round: per unit an encoder position (group 0)
// and a status counter (group 1); the temperatures of both groups drift every
// five seconds. Every kept sample costs about 8.4 bytes in the file (its
// 8-byte time hardly compresses), so an hour holds at most about five changes
// per round under 5 MB.
void ChangeUnit(picam::Service* s, int round) {
    std::lock_guard<std::mutex> hold(s->tableLock);
    s->groups[0].params[60].value = round * 7;
    s->groups[1].params[5].value = round & 0xFF;
    for (int g = 0; g < 2; ++g) {
        s->groups[g].params[41].value = 400 + (round / 150) % 50;
        s->groups[g].params[42].value = 380 + (round / 150) % 40;
    }
}

}  // namespace

int main() {
    LogSetStderr(false);
    char pattern[] = "/tmp/orvex-bench-session-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;

    picam::Service units[2];
    FillUnit(&units[0], 0x4F525831);
    FillUnit(&units[1], 0x4F525832);
    {
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        picam::ServiceList = {&units[0], &units[1]};
    }

    // ---- one hour of history through the real sampler ----------------------------
    constexpr int kRounds = 30 * 3600;
    SessionData data;
    int64_t sessionUs = 0;
    std::vector<double> sampleUs;
    Clock::time_point batch = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        ChangeUnit(&units[0], round);
        ChangeUnit(&units[1], round + 11);
        SampleCameras(data, sessionUs);
        sessionUs += 33333;
        if (round % 1000 == 999) {
            sampleUs.push_back(MsSince(batch));  // milliseconds per 1000 rounds = microseconds per round
            batch = Clock::now();
        }
    }
    const double sample = Median(sampleUs);

    // ---- save and load -----------------------------------------------------------------
    std::vector<double> saves, loads;
    SessionData loaded;
    for (int i = 0; i < 5; ++i) {
        Clock::time_point t = Clock::now();
        SaveSessionData(Path(dir), "Bench", data);
        saves.push_back(MsSince(t));
        t = Clock::now();
        LoadSessionData(Path(dir), "Bench", &loaded);
        loads.push_back(MsSince(t));
    }
    uint64_t fileBytes = 0;
    platform::FileSize(SessionDataPath(Path(dir), "Bench"), &fileBytes);
    size_t samples = 0, loadedSamples = 0;
    for (const auto& c : data.cameras)
        for (const auto& g : c->series)
            for (const auto& s : g) samples += s.size();
    for (const auto& c : loaded.cameras)
        for (const auto& g : c->series)
            for (const auto& s : g) loadedSamples += s.size();
    const std::vector<std::string> alerts = TakeAlerts();

    // ---- scan of 20,000 media files ------------------------------------------------------
    const std::string library = dir + "/library";
    mkdir(library.c_str(), 0700);
    for (int i = 0; i < 20000; ++i) {
        MediaEntry e;
        e.type = (i % 3 == 0) ? MediaType::Video : MediaType::Image;
        e.time = static_cast<int64_t>((i * 7919) % 20000) * 1000000;
        e.cameraId = 0x4F525831;
        e.cameraSlot = i & 1;
        const std::string name = MediaFileName("Job " + std::to_string(i % 40), e);
        FILE* f = std::fopen((library + "/" + name).c_str(), "w");
        if (f) std::fclose(f);
    }
    std::vector<double> scans;
    size_t found = 0;
    for (int i = 0; i < 7; ++i) {
        const Clock::time_point t = Clock::now();
        const std::vector<Session> s = ScanLibrary(Path(library));
        scans.push_back(MsSince(t));
        found = 0;
        for (const Session& x : s) found += x.media.size();
    }

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    {
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        picam::ServiceList.clear();
    }

    const double saveMs = Median(saves), loadMs = Median(loads), scanMs = Median(scans);
    const double fileMb = static_cast<double>(fileBytes) / 1e6;
    std::printf("history: %d rounds, %zu samples held, %zu loaded back, %zu alerts\n", kRounds, samples, loadedSamples,
                alerts.size());
    std::printf("scan: %zu media files found\n", found);
    std::printf("sample %.1f us (target < 50), save %.1f ms and load %.1f ms (target < 250), file %.2f MB (target < 5), "
                "scan %.1f ms (target < 150)\n",
                sample, saveMs, loadMs, fileMb, scanMs);
    const bool ok = sample < 50 && saveMs < 250 && loadMs < 250 && fileMb < 5 && scanMs < 150 && alerts.empty() &&
                    found == 20000;
    std::printf("%s\n", ok ? "all targets met" : "TARGET MISSED");
    std::printf("session-bench sample_us=%.1f save_ms=%.1f load_ms=%.1f file_mb=%.2f scan_ms=%.1f\n", sample, saveMs,
                loadMs, fileMb, scanMs);
    return ok ? 0 : 1;
}
