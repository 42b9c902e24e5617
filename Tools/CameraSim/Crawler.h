// camsim::Crawler — the simulated crawler behind the scan link: two axes
// ("Crawler" and "Raster") fed by three encoder items, each with an
// auxiliary input (item id + 0x80), counts per millimetre, names, a length
// unit (2 = mm, 3 = inches), zero offsets and user scales.
//
// Motion is a pure function of the unit's uptime (CrawlerTravelMm,
// RasterTravelMm), so tests can predict it. All members take `lock_`; any
// thread may call them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace camsim {

// Distance the crawler has driven after `t` seconds: forward at `speedMmS`
// up to kCrawlerRunMm, then back, and so on (keeps 16.16 values in range).
double CrawlerTravelMm(double speedMmS, double t);
// The raster head sweeps 0 .. kRasterSweepMm and back at the same speed.
double RasterTravelMm(double speedMmS, double t);

inline constexpr double kCrawlerRunMm = 20000.0;
inline constexpr double kRasterSweepMm = 150.0;

class Crawler {
public:
    static constexpr int kAxes = 2;
    static constexpr int kItems = 3;

    explicit Crawler(double speedMmS) : speedMmS_(speedMmS) {}

    int32_t Units() const;
    void SetUnits(int units);  // 2 or 3; anything else is ignored

    // 16.16 fixed point in the current unit at uptime `t`.
    int32_t AxisPosition(int axis, double t) const;
    void SetAxisPosition(int axis, int32_t fixed, double t);
    // Item value (id with bit value 0x80 for the auxiliary input), 16.16 in
    // the current unit; 0 for ids without an item.
    int32_t ItemValue(int id, double t) const;
    // Counts per `units`, 16.16: the user's scale, or the encoder's own
    // (automatic) when none was set.
    int32_t ItemScale(int id, int units) const;
    void SetItemScale(int id, int32_t fixed);  // 0: automatic
    int AxisSource(int axis) const;
    // False when `id` names no item input.
    bool SetAxisSource(int axis, int id, double t);

    static bool ValidItem(int id) { return (id & 0x7F) < kItems; }
    static const char* AxisName(int axis);
    static const char* ItemName(int id);  // "" beyond the items
    static int AxisFirstItem(int /*axis*/) { return 0; }
    static int AxisItemCount(int /*axis*/) { return kItems; }

private:
    // Encoder counts of an input at uptime t (before any zeroing).
    double Counts_locked(int id, double t) const;
    double Scale_locked(int id, int units) const;  // counts per unit
    double Position_locked(int axis, double t) const;

    mutable std::mutex lock_;
    const double speedMmS_;
    int32_t units_ = 2;
    int source_[kAxes] = {0, 2};
    double zeroCounts_[kAxes] = {0, 0};
    int32_t userScale_[256] = {};  // 16.16 counts per unit; 0 = automatic
};

}  // namespace camsim
