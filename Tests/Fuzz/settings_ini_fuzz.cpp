// settings.ini as read at start (working folder, then data folder): the text
// is applied to the record. What the program then writes back must read in
// as the same record: format, parse into a fresh record, format again.
#include <string>

#include "Base/Log.h"
#include "Base/Settings.h"
#include "Fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        LogSetStderr(false);
        return true;
    }();
    (void)quiet;
    Settings settings;
    ParseSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), &settings);
    const std::string written = FormatSettingsText(settings);
    Settings again;
    ParseSettingsText(written, &again);
    FUZZ_CHECK(FormatSettingsText(again) == written);
    return 0;
}
