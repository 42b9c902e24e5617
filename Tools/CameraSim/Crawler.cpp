#include "CameraSim/Crawler.h"

#include <cmath>
#include <limits>

namespace camsim {

namespace {

struct Encoder {
    const char* name;
    double countsPerMm;     // main input
    double auxCountsPerMm;  // auxiliary input on the same travel
    double slip;            // travel factor against the driven distance
    bool raster;            // measures the raster sweep instead of the drive
};

constexpr Encoder kEncoders[Crawler::kItems] = {
    {"Drive Pod", 40.0, 10.0, 1.0, false},
    {"Wheel Pod", 25.6, 6.4, 0.98, false},
    {"Raster Pod", 50.0, 20.0, 1.0, true},
};

double Triangle(double distance, double span) {
    if (span <= 0) return 0;
    double phase = std::fmod(std::fabs(distance), 2 * span);
    return phase <= span ? phase : 2 * span - phase;
}

int32_t ToFixed(double value) {
    double v = std::trunc(value * 65536.0);
    if (std::isnan(v)) return 0;
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

double CrawlerTravelMm(double speedMmS, double t) { return Triangle(speedMmS * t, kCrawlerRunMm); }
double RasterTravelMm(double speedMmS, double t) { return Triangle(speedMmS * t, kRasterSweepMm); }

const char* Crawler::AxisName(int axis) { return axis == 0 ? "Crawler" : axis == 1 ? "Raster" : ""; }

const char* Crawler::ItemName(int id) { return (id >= 0 && id < kItems) ? kEncoders[id].name : ""; }

double Crawler::Counts_locked(int id, double t) const {
    if (!ValidItem(id)) return 0;
    const Encoder& e = kEncoders[id & 0x7F];
    const double travel = e.raster ? RasterTravelMm(speedMmS_, t) : CrawlerTravelMm(speedMmS_, t) * e.slip;
    return travel * ((id & 0x80) ? e.auxCountsPerMm : e.countsPerMm);
}

double Crawler::Scale_locked(int id, int units) const {
    if (!ValidItem(id)) return 0;
    if (userScale_[id & 0xFF] != 0) return userScale_[id & 0xFF] / 65536.0;
    const Encoder& e = kEncoders[id & 0x7F];
    const double perMm = (id & 0x80) ? e.auxCountsPerMm : e.countsPerMm;
    return units == 3 ? perMm * 25.4 : perMm;
}

double Crawler::Position_locked(int axis, double t) const {
    const int id = source_[axis];
    const double scale = Scale_locked(id, units_);
    return scale == 0 ? 0 : (Counts_locked(id, t) - zeroCounts_[axis]) / scale;
}

int32_t Crawler::Units() const {
    std::lock_guard<std::mutex> lock(lock_);
    return units_;
}

void Crawler::SetUnits(int units) {
    std::lock_guard<std::mutex> lock(lock_);
    if (units == 2 || units == 3) units_ = units;
}

int32_t Crawler::AxisPosition(int axis, double t) const {
    if (axis < 0 || axis >= kAxes) return 0;
    std::lock_guard<std::mutex> lock(lock_);
    return ToFixed(Position_locked(axis, t));
}

void Crawler::SetAxisPosition(int axis, int32_t fixed, double t) {
    if (axis < 0 || axis >= kAxes) return;
    std::lock_guard<std::mutex> lock(lock_);
    const int id = source_[axis];
    zeroCounts_[axis] = Counts_locked(id, t) - fixed / 65536.0 * Scale_locked(id, units_);
}

int32_t Crawler::ItemValue(int id, double t) const {
    std::lock_guard<std::mutex> lock(lock_);
    const double scale = Scale_locked(id, units_);
    return scale == 0 ? 0 : ToFixed(Counts_locked(id, t) / scale);
}

int32_t Crawler::ItemScale(int id, int units) const {
    std::lock_guard<std::mutex> lock(lock_);
    return ToFixed(Scale_locked(id, units == 3 ? 3 : 2));
}

void Crawler::SetItemScale(int id, int32_t fixed) {
    if (!ValidItem(id)) return;
    std::lock_guard<std::mutex> lock(lock_);
    userScale_[id & 0xFF] = fixed;
}

int Crawler::AxisSource(int axis) const {
    std::lock_guard<std::mutex> lock(lock_);
    return (axis >= 0 && axis < kAxes) ? source_[axis] : 0;
}

bool Crawler::SetAxisSource(int axis, int id, double t) {
    if (axis < 0 || axis >= kAxes || !ValidItem(id)) return false;
    std::lock_guard<std::mutex> lock(lock_);
    // Keep the shown position where it was when the feeding input changes.
    const double position = Position_locked(axis, t);
    source_[axis] = id;
    zeroCounts_[axis] = Counts_locked(id, t) - position * Scale_locked(id, units_);
    return true;
}

}  // namespace camsim
