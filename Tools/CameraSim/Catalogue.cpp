// The simulated unit's parameter catalogue: a plausible description (range,
// default, option list, display scale) for every index the program gives a
// meaning, the five messages of each group, and the status words computed
// from the unit's running time.
//
// Group 1 (the SATELLITE camera) is described only when the unit has two
// channels; a one-channel unit leaves it null, as a real single-camera unit
// does.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "CameraSim/Catalogue.h"
#include "CameraSim/Unit.h"

namespace camsim {

namespace {

ParamWords Range(int32_t minimum, int32_t maximum, int32_t defaultValue, int32_t scaleNum = 1,
                 int32_t scaleDen = 1) {
    ParamWords w{};
    w[0] = defaultValue;
    w[1] = defaultValue;
    w[2] = minimum;
    w[3] = maximum;
    w[4] = scaleNum;
    w[5] = scaleDen;
    return w;
}

ParamWords List(std::initializer_list<int32_t> options, int32_t defaultValue) {
    ParamWords w = Range(0, 0, defaultValue);
    int n = 0;
    for (int32_t o : options) {
        if (n >= 48) break;
        w[static_cast<size_t>(7 + n++)] = o;
    }
    w[6] = n;
    // Minimum and maximum still bound the list, for readers that show a range.
    w[2] = w[3] = defaultValue;
    for (int i = 0; i < n; ++i) {
        w[2] = std::min(w[2], w[static_cast<size_t>(7 + i)]);
        w[3] = std::max(w[3], w[static_cast<size_t>(7 + i)]);
    }
    return w;
}

// A read-only status word (range wide enough for any value it takes).
ParamWords Status(int32_t value, int32_t scaleNum = 1, int32_t scaleDen = 1) {
    return Range(INT32_MIN, INT32_MAX, value, scaleNum, scaleDen);
}

double Wave(double seconds, double periodS, double phase = 0) {
    return std::sin(2 * M_PI * seconds / periodS + phase);
}

}  // namespace

bool UnitReadOnlyParam(int index) {
    return (index >= 0 && index <= 10) || (index >= 17 && index <= 21) || index == 23 ||
           (index >= 32 && index <= 34) || (index >= 41 && index <= 61) || (index >= 74 && index <= 76);
}

void Unit::FillCatalogue_locked() {
    const int32_t version = static_cast<int32_t>(options_.serviceVersion);
    auto set = [this](int g, int i, const ParamWords& w) { params_[static_cast<size_t>(g * 256 + i)] = w; };

    // ---- unit identity and system status (group 0 only) ----
    set(0, 0, Range(0, INT32_MAX, version));
    set(0, 1, Status(static_cast<int32_t>(options_.cameraId)));
    set(0, 2, Status(5015092));   // OS 5.15.92
    set(0, 3, Status(0xA02082));  // board revision
    set(0, 4, Range(1, 2, options_.channels));
    set(0, 5, Status(0));
    set(0, 6, Status(1));                // SYS: ok
    set(0, 7, Status(452, 1, 10));       // processor temperature, tenths of a degree
    set(0, 8, Status(1500000000));       // CPU clock, Hz
    set(0, 9, Status(0));
    set(0, 10, Status(0));
    set(0, 17, Status(1));  // CAN: ok
    set(0, 18, Status(0));
    set(0, 19, Status(0));

    const int groups = options_.channels >= 2 ? 2 : 1;
    for (int g = 0; g < groups; ++g) {
        if (g == 1) set(1, 0, Range(0, INT32_MAX, version));
        set(g, 11, Range(0, 3, 0));  // command: 1 restart service, 2 and 3 maintenance
        set(g, 20, Status(0));
        set(g, 21, Status(0));
        set(g, 22, Range(0, 1, 0));  // crawler axis invert
        set(g, 23, Status(0));       // fast status counter
        set(g, 32, Status(1));       // PIC: ok
        set(g, 33, Status(static_cast<int32_t>(0x20240611u)));  // lighting firmware build
        set(g, 34, Status(0x010402));                           // lighting firmware 1.4.2
        set(g, 36, Range(0, 100, 60));                          // LED light level, %
        set(g, 37, Range(0, 1800, 1200, 1, 1000));              // LED drive current, mA shown in A
        set(g, 39, Range(40, 90, 70));                          // foldback, degrees C
        set(g, 40, Range(45, 100, 85));
        for (int i : {41, 46, 54, 59, 60, 61}) set(g, i, Status(0));
        set(g, 42, Status(0, 1, 1000));     // LED current, mA shown in A
        set(g, 43, Status(0));              // thermal state: normal
        set(g, 44, Status(0));              // ASL error bits
        set(g, 45, Status(0));              // NVM error bits
        set(g, 47, Status(12000, 1, 1000)); // Vin, mV shown in V
        set(g, 48, Status(0, 1, 1000));     // Vout
        for (int i = 49; i <= 53; ++i) set(g, i, Status(300, 1, 10));  // temperatures, tenths
        for (int i = 55; i <= 58; ++i) set(g, i, Status(0));
        set(g, 74, Status(1));  // CAM: ok
        set(g, 75, Status(0));
        set(g, 76, Status(0));

        // ---- picture ----
        set(g, 80, Range(-100, 100, 0));  // sharpness
        set(g, 81, Range(-100, 100, 0));  // contrast
        set(g, 82, Range(0, 100, 50));    // brightness
        set(g, 83, Range(-100, 100, 0));  // saturation
        set(g, 84, List({0, 100, 200, 320, 400, 500, 640, 800}, 0));        // ISO, 0 = auto
        set(g, 86, List({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1));   // exposure mode
        set(g, 87, List({0, 1, 2, 3}, 0));                                  // metering
        set(g, 88, Range(-10, 10, 0));                                      // exposure compensation
        set(g, 90, List({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1));           // AWB
        set(g, 91, Range(0, 800, 150, 1, 100));                             // red gain
        set(g, 92, Range(0, 800, 150, 1, 100));                             // blue gain
        set(g, 93, Range(0, 3, 2));                                         // rotation (2 shows as 0)
        set(g, 94, Range(0, 1, 0));
        set(g, 95, Range(0, 1, 0));
        set(g, 96, Range(0, 7500, 0, 1, 10000));       // zoom left, fraction
        set(g, 97, Range(0, 7500, 0, 1, 10000));       // zoom top
        set(g, 98, Range(2500, 10000, 10000, 1, 10000));  // zoom width
        set(g, 99, Range(2500, 10000, 10000, 1, 10000));  // zoom height

        // ---- video and stills ----
        set(g, 117, List({1920, 1640, 1280, 640}, 1920));
        set(g, 118, List({1080, 922, 720, 1232, 480}, 1080));
        set(g, 119, Range(1, 30, 30));
        set(g, 123, List({3280, 1640}, 3280));
        set(g, 124, List({2464, 1844, 1232, 922}, 2464));
        set(g, 125, Range(10, 100, 85));
        set(g, 126, Range(0, 3, 0));
        set(g, 133, List({0, 1, 2}, 2));
        set(g, 134, List({0, 1, 2}, 1));
        set(g, 141, Range(1000, 25000, 8000));  // kbit/s

        // ---- annotation ----
        set(g, 155, Range(0, 1, 1));
        set(g, 156, Range(0, 1, 0));
        set(g, 157, Range(6, 160, 32));
        set(g, 158, Range(0, 0xFFFFFF, 0xFFFFFF));
        set(g, 159, Range(0, 0xFFFFFF, 0));
        set(g, 160, Range(0, 5, 4));  // bottom left, clear of the frame counter
        set(g, 161, Range(0, 200, 0));
        set(g, 162, Range(0, 200, 0));
        set(g, 163, Range(0, 1, 1));
        set(g, 164, Range(0, 5, 3));
        set(g, 165, Range(0, 4, 2));
        set(g, 166, Range(0, 2, 1));  // session timer "h:mm:ss" in the caption
        set(g, 167, List({0, 1, 2}, 0));

        // ---- guides ----
        // Flags: every mode bit up to the numbers (0x400); positions in
        // half-sizes from the picture's centre (-1 .. 1 shown).
        set(g, 172, Range(0, 0x7FF, 0));
        set(g, 173, Range(0, 6, 2));
        set(g, 174, Range(0, 1000, 80, 1, 1000));
        set(g, 175, Range(1, 8, 2));
        set(g, 176, Range(0, 1000, 100, 1, 1000));
        set(g, 179, Range(-1640, 1640, 0, 1, 1640));
        set(g, 180, Range(-1232, 1232, 0, 1, 1232));
        set(g, 181, Range(INT32_MIN, INT32_MAX, static_cast<int32_t>(0xC000FF00u)));  // opacity 0xC0, green

        // ---- messages 0..4 ----
        messages_[static_cast<size_t>(g * 16 + 0)] = "ORVEX CU-2";
        messages_[static_cast<size_t>(g * 16 + 1)] = g == 0 ? "PRIMARY sensor IMX219" : "SATELLITE sensor IMX219";
        messages_[static_cast<size_t>(g * 16 + 2)] = "";  // camera name: empty shows the default
        messages_[static_cast<size_t>(g * 16 + 3)] = "";  // annotation text from the program
        messages_[static_cast<size_t>(g * 16 + 4)] = "";  // crawler axis label
    }
}

bool LiveStatusValue(const Unit& unit, int group, int index, int32_t* value) {
    const double t = unit.Uptime();
    const double light = unit.ParamValue(group, 36);  // 0..100 %
    const bool stress = t * 1000 < unit.ParamValue(0, kStressUntilParam);
    switch (index) {
        case 5:
            if (group != 0) return false;
            *value = static_cast<int32_t>(t);  // seconds up
            return true;
        case 7:
            if (group != 0) return false;
            *value = static_cast<int32_t>(452 + 60 * Wave(t, 90));
            return true;
        case 8:
            if (group != 0) return false;
            *value = Wave(t, 20) > 0 ? 1500000000 : 600000000;
            return true;
        case 23:
            *value = static_cast<int32_t>(static_cast<int64_t>(t * 20) & 0xFFFF);
            return true;
        case 42:
            *value = static_cast<int32_t>(light * 15 + 5 * Wave(t, 3, group));
            return true;
        case 47:
            *value = static_cast<int32_t>(12000 + 80 * Wave(t, 7, group));
            return true;
        case 48:
            *value = static_cast<int32_t>(light * 95);
            return true;
        case 49:
        case 50:
        case 51:
        case 52:
        case 53:
            *value = static_cast<int32_t>(300 + (index - 49) * 15 + light * 1.5 + 20 * Wave(t, 60, index + group) +
                                          (stress ? 150 : 0));
            return true;
        case 43:
            *value = stress ? 1 : 0;  // "LED Dimmed" while the stress test runs
            return true;
        default:
            return false;
    }
}

}  // namespace camsim
