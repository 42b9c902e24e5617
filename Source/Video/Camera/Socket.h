// The socket layer: every connection to the camera unit is a plain IPv4 TCP
// stream opened here. Thin over POSIX sockets; it adds name resolution to a
// dotted IPv4 text, a connect with a time-out, send-everything and
// receive-exactly-N loops that retry on EINTR, and one rule for when a failed
// call closes the socket.
//
// Nothing here logs. A failure leaves its reason in the last socket error
// (errno on this platform, read with LastSocketError right after the call);
// callers turn it into text with SocketErrorText.
//
// Threads: no shared state. A TcpSocket belongs to the one thread that uses it.
#pragma once

#include <cstdint>
#include <string>

// Time-outs are microseconds. All ones means: wait without limit. For the
// receive operations 0 means: do not wait (non-blocking).
constexpr uint32_t kSocketWaitForever = 0xFFFFFFFFu;

// Called once by start-up before the service monitor starts. Returns 0.
int NetStartup();
void NetCleanup();

// The last socket error of this thread (errno).
int LastSocketError();
void SetLastSocketError(int code);
// The system's message text for a socket error code.
std::string SocketErrorText(int code);

// Names ending in ".local" by a one-shot multicast-DNS query (Mdns.h), other
// names and numeric texts by getaddrinfo. True and the dotted IPv4 text of
// the first IPv4 answer, or true with an empty text when no IPv4 answer came;
// false (and empty text) when the look-up itself failed. Callers treat an
// empty text as "not found". Never call it on the UI thread.
bool ResolveIPv4(const std::string& name, std::string* out);

// Connects to a numeric dotted IPv4 address. The connected handle in blocking
// mode, or -1 (last socket error set; ETIMEDOUT when nothing answered in time).
int ConnectTcp(const std::string& host, int port, uint32_t timeoutUs);

// 0: non-blocking from now on. Otherwise SO_RCVTIMEO in whole milliseconds:
// 1 to 999 us become 1 ms, kSocketWaitForever becomes 0 (no limit).
bool SetReceiveTimeout(int handle, uint32_t timeoutUs);
// The millisecond value SetReceiveTimeout applies for a non-zero time-out.
uint32_t ReceiveTimeoutMs(uint32_t timeoutUs);

struct TcpSocket {
    int handle = -1;  // -1 while no connection is open

    TcpSocket() = default;
    explicit TcpSocket(int h) : handle(h) {}
    ~TcpSocket() { Close(); }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool IsOpen() const { return handle != -1; }

    // On a closed holder (handle -1) the operations below return -1 with the
    // last socket error ENOTCONN.
    // Shuts both directions down and closes; the handle becomes -1.
    void Close();
    // `length` when all was sent. send returning 0: closes, returns the count
    // sent so far. Any other failure: -1, closed unless the socket is
    // non-blocking and simply full (EAGAIN).
    int SendAll(const void* buffer, int length);
    // `length` on success. 0 when the peer closed (socket closed) or when a
    // non-blocking socket had no data yet (socket kept open). -1 on any other
    // failure, a time-out included (ETIMEDOUT), and the socket is closed.
    int ReceiveAll(void* buffer, int length, uint32_t timeoutUs);
    // One receive of at most `capacity` bytes: the count (at least 1), -1 with
    // the socket open when a non-blocking socket had nothing, else the closed
    // socket and the recv result (0 peer closed, -1 error or time-out).
    int ReceiveSome(void* buffer, int capacity, uint32_t timeoutUs);
};
