// The camera service, port 8008.
//
// Exchange: the program sends a frame (4-byte big-endian length, then
// records of a little-endian header word index|group|kind|len and len payload
// bytes); the unit answers with exactly one frame:
//   kind 1 read parameter   -> the full 55-word description (220 bytes), or a
//                              4-byte value for an index the unit does not have
//   kind 2 write parameter  -> stored when the description accepts it (one
//                              console line per accepted write), answered
//                              with the stored value
//   kind 5 read message     -> the text
//   kind 6 write message    -> stored, answered with the stored text
// Other kinds and groups are stepped over. A frame that produced no record
// is answered with the service version, so no reply is ever empty.
//
// Fault options (Unit::Options): stallAfterS (unit time: frames are read and
// never answered), dropAfterS (connection age: the connection is closed),
// replyDelayMs (every reply waits). Command 11 = 1 restarts the service:
// the reply goes out, then every connection closes and new ones are refused
// for a second; command 11 = 2 (reboot after a firmware update) does the
// same, and 11 = 3 starts the LED stress test.
#include "CameraSim/ServiceServer.h"

#include <cstring>
#include <sys/socket.h>
#include <thread>

#include "CameraSim/Catalogue.h"
#include "CameraSim/TcpServer.h"

namespace camsim {

namespace {

constexpr int kServicePort = 8008;
// Bounds against a misbehaving client: requests above this close the
// connection, and replies stop growing (the program refuses replies above
// 4 MiB).
constexpr uint32_t kMaxRequestBytes = 1u << 20;
constexpr size_t kMaxReplyBytes = (4u << 20) - 256;

void Put32BigEndian(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v >> 24));
    out->push_back(static_cast<uint8_t>(v >> 16));
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

uint32_t Get32BigEndian(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void PutHeader(std::vector<uint8_t>* out, int index, int group, int kind, size_t length) {
    out->push_back(static_cast<uint8_t>(index));
    out->push_back(static_cast<uint8_t>(group));
    out->push_back(static_cast<uint8_t>(kind));
    out->push_back(static_cast<uint8_t>(length));
}

bool Described(const ParamWords& w) { return w[2] != 0 || w[3] != 0 || w[6] != 0; }

bool Accepts(const ParamWords& w, int32_t v) {
    if (v == w[1]) return true;
    if (w[6] > 0) {
        for (int i = 0; i < w[6] && i < 48; ++i)
            if (w[static_cast<size_t>(7 + i)] == v) return true;
        return false;
    }
    return w[2] <= v && v <= w[3];
}

void PutParam(Unit& unit, std::vector<uint8_t>* out, int group, int index) {
    ParamWords w = unit.Param(group, index);
    w[0] = unit.ReportedValue(group, index);
    if (!Described(w)) {
        PutHeader(out, index, group, 1, 4);
        Put32BigEndian(out, static_cast<uint32_t>(w[0]));
        return;
    }
    PutHeader(out, index, group, 1, w.size() * 4);
    for (int32_t word : w) Put32BigEndian(out, static_cast<uint32_t>(word));
}

void PutMessage(Unit& unit, std::vector<uint8_t>* out, int group, int index) {
    const std::string text = unit.Message(group, index);
    PutHeader(out, index, group, 5, text.size());
    out->insert(out->end(), text.begin(), text.end());
}

class ServiceServer : public PortServer {
public:
    const char* Name() const override { return "service"; }

    bool Start(Unit& unit) override {
        unit_ = &unit;
        return server_.Start(unit.Opts().address, unit.Port(kServicePort), "sim-service",
                             [this](int fd, const std::string& peer) { Serve(fd, peer); });
    }
    void Stop() override { server_.Stop(); }
    void DropConnections() override { server_.DropConnections(); }

private:
    void Serve(int fd, const std::string& peer);

    Unit* unit_ = nullptr;
    TcpServer server_;
};

void ServiceServer::Serve(int fd, const std::string& peer) {
    // TcpServer closes the descriptor only when it reaps the connection at
    // a later accept; shutting it down here lets the program see the end at once.
    struct ShutdownOnReturn {
        int fd;
        ~ShutdownOnReturn() { shutdown(fd, SHUT_RDWR); }
    } shutdownOnReturn{fd};
    Unit& unit = *unit_;
    if (unit.ServiceDown()) return;  // restarting: refuse
    unit.Print("connection port %d from %s", unit.Port(kServicePort), peer.c_str());
    const Options& options = unit.Opts();
    const int64_t acceptedUs = MonotonicUs();
    std::vector<uint8_t> request;
    std::vector<uint8_t> frame;
    for (;;) {
        uint8_t sizeBytes[4];
        if (!RecvAllFd(fd, sizeBytes, 4)) return;
        const uint32_t size = Get32BigEndian(sizeBytes);
        if (size == 0 || size > kMaxRequestBytes) return;
        request.resize(size);
        if (!RecvAllFd(fd, request.data(), size)) return;
        if (unit.ServiceDown()) return;
        if (options.dropAfterS >= 0 && static_cast<double>(MonotonicUs() - acceptedUs) / 1e6 >= options.dropAfterS)
            return;
        if (options.stallAfterS >= 0 && unit.Uptime() >= options.stallAfterS) continue;  // never answered
        if (options.replyDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.replyDelayMs));

        bool restart = false;
        std::vector<uint8_t> body = AnswerServiceRequest(unit, request.data(), request.size(), &restart);
        frame.clear();
        Put32BigEndian(&frame, static_cast<uint32_t>(body.size()));
        frame.insert(frame.end(), body.begin(), body.end());
        if (!SendAllFd(fd, frame.data(), frame.size())) return;
        if (restart) {
            unit.RestartService(kServiceRestartDownS);
            return;
        }
    }
}

}  // namespace

std::unique_ptr<PortServer> MakeServiceServer() { return std::make_unique<ServiceServer>(); }

std::vector<uint8_t> AnswerServiceRequest(Unit& unit, const uint8_t* request, size_t length, bool* restart) {
    std::vector<uint8_t> out;
    *restart = false;
    size_t pos = 0;
    while (length - pos >= 4 && out.size() < kMaxReplyBytes) {
        const int index = request[pos];
        const int group = request[pos + 1];
        const int kind = request[pos + 2];
        size_t len = request[pos + 3];
        pos += 4;
        if (len > length - pos) len = length - pos;
        const uint8_t* payload = request + pos;
        pos += len;
        if (group > 1) continue;

        switch (kind) {
            case 1:
                PutParam(unit, &out, group, index);
                break;
            case 2: {
                if (len < 4) break;
                const int32_t value = static_cast<int32_t>(Get32BigEndian(payload));
                const ParamWords w = unit.Param(group, index);
                if (Described(w) && !UnitReadOnlyParam(index) && Accepts(w, value)) {
                    unit.Print("write group %d param %d = %d", group, index, value);
                    if (index == kCommandParam) {
                        // A command acts once; the word itself stays at rest.
                        if (value == kCommandRestartService || value == kCommandReboot) *restart = true;
                        if (value == kCommandStressTest)
                            unit.SetParamValue(0, kStressUntilParam,
                                               static_cast<int32_t>((unit.Uptime() + kStressTestS) * 1000));
                    } else {
                        unit.SetParamValue(group, index, value);
                    }
                }
                PutHeader(&out, index, group, 1, 4);
                Put32BigEndian(&out, static_cast<uint32_t>(unit.ParamValue(group, index)));
                break;
            }
            case 5:
                if (index < 16) PutMessage(unit, &out, group, index);
                break;
            case 6:
                if (index < 16) {
                    unit.SetMessage(group, index, std::string(reinterpret_cast<const char*>(payload), len));
                    PutMessage(unit, &out, group, index);
                }
                break;
            default:
                break;
        }
    }
    if (out.empty()) PutParam(unit, &out, 0, 0);
    return out;
}

}  // namespace camsim
