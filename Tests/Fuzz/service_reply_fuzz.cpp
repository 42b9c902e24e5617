// The camera service's reply frame body (records of index, group, kind,
// length and payload) applied to a unit's mirror.
#include <cstring>
#include <mutex>

#include "Base/Log.h"
#include "Fuzz/FuzzSupport.h"
#include "Video/Camera/Service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static picam::Service* service = [] {
        LogSetStderr(false);
        return new picam::Service();
    }();
    service->ResetTables();
    std::lock_guard<std::mutex> lock(service->tableLock);
    // The first byte chooses how much of the mirror was already described
    // (a reply often follows an earlier one on the same connection).
    FuzzInput in(data, size);
    if (in.Byte() & 1) service->ParseReply_locked(in.Here(), in.Left() / 2);
    service->ParseReply_locked(in.Here(), in.Left());
    for (int g = 0; g < picam::kGroupCount; ++g) {
        for (int m = 0; m < picam::kMessageCount; ++m)
            FUZZ_CHECK(strnlen(service->groups[g].messages[m], picam::kMessageSize) < size_t(picam::kMessageSize));
        for (int i = 0; i < picam::kParamCount; ++i) FUZZ_CHECK(service->pendingParam[g][i] >= 0);
    }
    FUZZ_CHECK(service->version.load() == uint32_t(service->groups[0].params[0].value));
    // What the mirror now asks for must fit the outgoing buffer.
    for (int g = 0; g < picam::kGroupCount; ++g)
        for (int i = 0; i < picam::kExchangedParams; ++i) service->paramDirty[g][i] = picam::kDirtyRead;
    service->PackChanges_locked();
    FUZZ_CHECK(service->outLength >= 0 && service->outLength <= picam::kOutBufferSize);
    service->outLength = 0;
    return 0;
}
