// The socket layer against real loopback sockets (addresses 127.0.10.1-9).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "CameraTestUtil.h"
#include "Video/Camera/Socket.h"

namespace {

// A listening socket on address:ephemeral port.
class Listener {
public:
    explicit Listener(const char* address, int backlog = 8) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        inet_pton(AF_INET, address, &sa.sin_addr);
        bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        listen(fd_, backlog);
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~Listener() { close(fd_); }
    int Port() const { return port_; }
    int Accept() { return accept(fd_, nullptr, nullptr); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A connected pair: `client` through ConnectTcp, `server` the accepted end.
struct Pair {
    Listener listener{"127.0.10.1"};
    TcpSocket client;
    int server = -1;
    Pair() {
        client.handle = ConnectTcp("127.0.10.1", listener.Port(), 1000000);
        server = listener.Accept();
    }
    ~Pair() {
        if (server >= 0) close(server);
    }
};

TEST(Socket, ConnectRefusesNamesWithoutNetwork) {
    EXPECT_EQ(ConnectTcp("localhost", 8008, 1000000), -1);
    EXPECT_EQ(LastSocketError(), EINVAL);
    EXPECT_EQ(ConnectTcp("127.0.10.300", 8008, 1000000), -1);
}

TEST(Socket, ConnectRefusedCarriesTheRefusalCode) {
    int port;
    {
        Listener closed("127.0.10.2");
        port = closed.Port();
    }
    EXPECT_EQ(ConnectTcp("127.0.10.2", port, 1000000), -1);
    EXPECT_EQ(LastSocketError(), ECONNREFUSED);
    EXPECT_FALSE(SocketErrorText(ECONNREFUSED).empty());
}

TEST(Socket, ConnectTimesOutWhenNothingAnswers) {
    // A listener that never accepts and has a full queue drops new SYNs.
    Listener full("127.0.10.3", 0);
    std::vector<int> queued;
    int handle = -1;
    for (int i = 0; i < 8; ++i) {
        handle = ConnectTcp("127.0.10.3", full.Port(), 200000);
        if (handle == -1) break;
        queued.push_back(handle);
    }
    ASSERT_EQ(handle, -1) << "the accept queue never filled";
    EXPECT_EQ(LastSocketError(), ETIMEDOUT);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConnectTcp("127.0.10.3", full.Port(), 300000), -1);
    const double took = cameratest::SecondsSince(start);
    EXPECT_GE(took, 0.29);
    EXPECT_LT(took, 2.0);
    for (int fd : queued) close(fd);
}

TEST(Socket, ConnectedSocketIsBlocking) {
    Pair p;
    ASSERT_NE(p.client.handle, -1);
    EXPECT_EQ(fcntl(p.client.handle, F_GETFL) & O_NONBLOCK, 0);
}

TEST(Socket, ReceiveTimeoutConversion) {
    struct {
        uint32_t us;
        uint32_t ms;
    } cases[] = {{500, 1}, {1, 1}, {999, 1}, {1000, 1}, {1999, 1}, {1000000, 1000}, {kSocketWaitForever, 0}};
    Pair p;
    for (const auto& c : cases) {
        EXPECT_EQ(ReceiveTimeoutMs(c.us), c.ms) << c.us;
        ASSERT_TRUE(SetReceiveTimeout(p.client.handle, c.us));
        timeval tv{};
        socklen_t len = sizeof tv;
        getsockopt(p.client.handle, SOL_SOCKET, SO_RCVTIMEO, &tv, &len);
        // The kernel rounds to its tick; compare in whole milliseconds.
        const long ms = tv.tv_sec * 1000 + tv.tv_usec / 1000;
        EXPECT_NEAR(ms, static_cast<long>(c.ms), 4) << c.us;
    }
}

TEST(Socket, ReceiveAllResults) {
    Pair p;
    char buffer[16];
    // Non-blocking with nothing there: 0 and still open.
    EXPECT_EQ(p.client.ReceiveAll(buffer, 4, 0), 0);
    EXPECT_TRUE(p.client.IsOpen());

    // Exactly N bytes, even when they arrive in pieces.
    std::thread writer([&] {
        send(p.server, "ab", 2, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        send(p.server, "cdef", 4, MSG_NOSIGNAL);
    });
    Pair q;
    std::thread writer2([&] {
        send(q.server, "xy", 2, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        send(q.server, "zw", 2, MSG_NOSIGNAL);
    });
    EXPECT_EQ(q.client.ReceiveAll(buffer, 4, 1000000), 4);
    EXPECT_EQ(std::string(buffer, 4), "xyzw");
    writer.join();
    writer2.join();

    // Time-out on a blocking socket: -1, ETIMEDOUT, closed.
    EXPECT_EQ(q.client.ReceiveAll(buffer, 4, 50000), -1);
    EXPECT_EQ(LastSocketError(), ETIMEDOUT);
    EXPECT_FALSE(q.client.IsOpen());

    // The peer closed: 0 and closed.
    close(p.server);
    p.server = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(p.client.ReceiveAll(buffer, 16, 1000000), 0);  // (6 bytes came, then EOF)
    EXPECT_FALSE(p.client.IsOpen());
}

TEST(Socket, ReceiveAllPartialThenCloseIsAnError) {
    Pair p;
    send(p.server, "abc", 3, MSG_NOSIGNAL);
    close(p.server);
    p.server = -1;
    char buffer[8];
    // Three bytes then end of stream: the peer-closed result, socket closed.
    EXPECT_EQ(p.client.ReceiveAll(buffer, 8, 1000000), 0);
    EXPECT_FALSE(p.client.IsOpen());
}

TEST(Socket, ReceiveSomeAndSendAll) {
    Pair p;
    char buffer[64];
    EXPECT_EQ(p.client.ReceiveSome(buffer, sizeof buffer, 0), -1);  // non-blocking, nothing
    EXPECT_TRUE(p.client.IsOpen());
    std::string big(1 << 20, 'q');
    std::thread reader([&] {
        std::string got;
        char chunk[65536];
        while (got.size() < big.size()) {
            ssize_t n = recv(p.server, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            got.append(chunk, static_cast<size_t>(n));
        }
        EXPECT_EQ(got.size(), big.size());
        send(p.server, "hi", 2, MSG_NOSIGNAL);
    });
    // The socket was left non-blocking by the receive above; a blocking one
    // is what SendAll expects of its callers.
    int flags = fcntl(p.client.handle, F_GETFL);
    fcntl(p.client.handle, F_SETFL, flags & ~O_NONBLOCK);
    EXPECT_EQ(p.client.SendAll(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
    reader.join();
    EXPECT_EQ(p.client.ReceiveSome(buffer, sizeof buffer, 1000000), 2);
    close(p.server);
    p.server = -1;
    EXPECT_EQ(p.client.ReceiveSome(buffer, sizeof buffer, 1000000), 0);
    EXPECT_FALSE(p.client.IsOpen());
}

// Every operation on a closed holder fails with "not connected" as its
// error, never with whatever an earlier call left in errno.
TEST(Socket, ClosedHolderReturnsMinusOne) {
    TcpSocket s;
    char b[4] = {};
    errno = EINPROGRESS;
    EXPECT_EQ(s.SendAll(b, 4), -1);
    EXPECT_EQ(LastSocketError(), ENOTCONN);
    errno = EINPROGRESS;
    EXPECT_EQ(s.ReceiveAll(b, 4, 1000), -1);
    EXPECT_EQ(LastSocketError(), ENOTCONN);
    errno = EINPROGRESS;
    EXPECT_EQ(s.ReceiveSome(b, 4, 1000), -1);
    EXPECT_EQ(LastSocketError(), ENOTCONN);
    s.Close();
    EXPECT_EQ(s.handle, -1);
}

TEST(Socket, SendToAClosedPeerFailsWithoutSignal) {
    Pair p;
    close(p.server);
    p.server = -1;
    std::string data(1 << 16, 'x');
    int result = 0;
    for (int i = 0; i < 50 && p.client.IsOpen(); ++i) result = p.client.SendAll(data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(p.client.IsOpen());
}

TEST(Socket, ResolveNumericAndMissingNames) {
    std::string out = "x";
    EXPECT_TRUE(ResolveIPv4("127.0.10.9", &out));
    EXPECT_EQ(out, "127.0.10.9");
    EXPECT_FALSE(ResolveIPv4("no-such-host.invalid", &out));
    EXPECT_EQ(out, "");
    // An unanswered .local name: true with empty text, after about 250 ms.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ResolveIPv4(cameratest::UniqueStem("nobody") + ".local", &out));
    EXPECT_EQ(out, "");
    const double took = cameratest::SecondsSince(start);
    EXPECT_GE(took, 0.2);
    EXPECT_LT(took, 1.5);
}

}  // namespace
