// The session data file (".qsd"): the length header and LZ4 block as read
// from disk, then the payload. A history that loads must save and load back
// to the same bytes.
#include <vector>

#include "Base/Log.h"
#include "Fuzz/FuzzSupport.h"
#include "Session/SessionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        LogSetStderr(false);
        return true;
    }();
    (void)quiet;
    static SessionData* loaded = new SessionData();
    static SessionData* again = new SessionData();
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    bool ok;
    if (mode & 1) {
        // The payload itself (what the LZ4 block held).
        ok = DecodeSessionPayload(in.Here(), in.Left(), loaded) == PayloadResult::Ok;
    } else {
        ok = DecodeSessionFile(in.Here(), in.Left(), loaded);
        if (!ok) FUZZ_CHECK(loaded->cameras.empty());
    }
    if (ok) {
        const std::vector<uint8_t> payload = EncodeSessionPayload(*loaded);
        FUZZ_CHECK(DecodeSessionPayload(payload.data(), payload.size(), again) == PayloadResult::Ok);
        FUZZ_CHECK(EncodeSessionPayload(*again) == payload);
    }
    return 0;
}
