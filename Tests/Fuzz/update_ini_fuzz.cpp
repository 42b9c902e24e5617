// update.ini, the firmware package list: lines "version=file[,restart]".
#include <string_view>
#include <vector>

#include "Base/Log.h"
#include "Fuzz/FuzzSupport.h"
#include "Video/Camera/FirmwareUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        LogSetStderr(false);
        return true;
    }();
    (void)quiet;
    std::vector<UpdateEntry> entries;
    const bool any = ParseUpdateText(std::string_view(reinterpret_cast<const char*>(data), size), &entries);
    FUZZ_CHECK(any == !entries.empty());
    for (const UpdateEntry& e : entries) {
        FUZZ_CHECK(!e.file.empty() && e.file.size() <= kUpdateFileNameBytes);
    }
    for (uint32_t current : {0u, 1000000u, 9000u, 0xFFFFFFFFu}) {
        size_t index = 0;
        const uint32_t best = ChooseUpdateTarget(entries, current, &index);
        if (best > current) FUZZ_CHECK(index < entries.size() && entries[index].version == best);
    }
    return 0;
}
