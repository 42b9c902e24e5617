// Multicast-DNS packets: answers the program's query reads (compressed
// names, answer and additional sections) and queries the simulator's
// responder reads.
#include <string>
#include <vector>

#include "Fuzz/FuzzSupport.h"
#include "Video/Camera/Mdns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint16_t id = size >= 2 ? uint16_t(data[0] << 8 | data[1]) : 0;
    uint32_t address = 0;
    MdnsParseAnswer(data, size, id, "orvexcam.local", &address);
    MdnsParseAnswer(data, size, id, "orvexcam-2.local.", &address);

    uint16_t queryId = 0;
    std::vector<std::string> names;
    if (MdnsParseQuestions(data, size, &queryId, &names))
        for (const std::string& name : names) FUZZ_CHECK(name.size() <= 255);

    // Every name offset in the packet: a name that reads stays inside it.
    for (size_t start = 0; start < size && start < 64; ++start) {
        size_t offset = start;
        std::string name;
        if (DnsReadName(data, size, &offset, &name)) {
            FUZZ_CHECK(offset > start && offset <= size);
            FUZZ_CHECK(name.size() <= 255);
        }
    }
    return 0;
}
