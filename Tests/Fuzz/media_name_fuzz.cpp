// Media file names found in the storage folder
// ("%s-%02d.%02d.%02d.%03d-%s-%u-%d.%s"). A name that parses must be one the
// program could have written: naming the parsed entry gives a name that
// parses to the same session and entry.
#include <string>

#include "Fuzz/FuzzSupport.h"
#include "Session/MediaName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    std::string session;
    MediaEntry entry;
    if (!ParseMediaFileName(name, &session, &entry)) return 0;
    // Names read from a folder never hold a separator or NUL; the namer
    // replaces those on purpose, so such a session cannot come back as it was.
    if (session.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) return 0;
    const std::string written = MediaFileName(session, entry);
    std::string session2;
    MediaEntry entry2;
    FUZZ_CHECK(ParseMediaFileName(written, &session2, &entry2));
    FUZZ_CHECK(entry2 == entry);
    FUZZ_CHECK(session2 == session);
    return 0;
}
