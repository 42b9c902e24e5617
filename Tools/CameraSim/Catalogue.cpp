// The simulated unit's parameter catalogue. Placeholder until the full
// catalogue lands: only the service version and the channel count.
#include "CameraSim/Unit.h"

namespace camsim {

void Unit::FillCatalogue_locked() {
    for (int g = 0; g < 2; ++g) {
        ParamWords version{};
        version[0] = version[1] = version[2] = version[3] = static_cast<int32_t>(options_.serviceVersion);
        version[4] = version[5] = 1;
        params_[static_cast<size_t>(g * 256 + 0)] = version;
    }
    ParamWords channels{};
    channels[0] = channels[1] = options_.channels;
    channels[2] = 1;
    channels[3] = 2;
    channels[4] = channels[5] = 1;
    params_[4] = channels;
}

}  // namespace camsim
