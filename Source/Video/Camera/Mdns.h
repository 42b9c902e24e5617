// Multicast-DNS host-name resolution for names in the ".local" domain.
//
// Why our own code: the camera unit is found by a multicast-DNS host name and
// the program needs exactly one thing, a one-shot A query with a short, hard
// upper bound on the wait. The packaged options do not fit: nss-mdns is an
// optional NSS module whose presence and time-outs (seconds) are outside the
// program's control, libavahi-client needs a running avahi-daemon and its
// D-Bus connection, and a full mDNS responder library is far more than a
// single query. A legacy-unicast query (RFC 6762 section 6.7: sent from an
// ephemeral port, answered by unicast) needs no port 5353 of its own, so it
// works beside avahi-daemon, and it is a few hundred lines.
//
// The query goes out on every up IPv4 interface, loopback included (Linux
// delivers multicast on lo once the outgoing interface is set explicitly),
// and the first valid answer wins. With ORVEX_MDNS_LOOPBACK_ONLY set in the
// environment (any value but "" and "0") it goes out on loopback interfaces
// only: test runs that cannot have a private network namespace set it so that
// no query leaves the machine.
//
// The packet helpers below are pure functions, shared with the simulator's
// responder and tested against hand-made packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMdnsWaitMs = 250;
constexpr uint16_t kMdnsPort = 5353;
constexpr const char* kMdnsGroup = "224.0.0.251";
constexpr uint16_t kDnsTypeA = 1;
constexpr uint16_t kDnsClassIn = 1;

// True when ORVEX_MDNS_LOOPBACK_ONLY limits queries to loopback (read on
// every call; nothing may change the environment while queries run).
bool MdnsLoopbackOnly();
// The addresses of the up IPv4 interfaces a query goes out on, in the order
// getifaddrs lists them; loopback interfaces only when `loopbackOnly`.
std::vector<std::string> MdnsQueryInterfaces(bool loopbackOnly);

// Sends the query on MdnsQueryInterfaces(MdnsLoopbackOnly()) and waits at most `waitMs` for an answer. True and the
// dotted address when one came.
bool MdnsQueryIPv4(const std::string& name, std::string* address, int waitMs = kMdnsWaitMs);

// ---- packet helpers ----------------------------------------------------------

// Appends `name` as DNS labels (a trailing '.' is ignored). False when a
// label is empty or longer than 63 bytes, or the whole name longer than 253.
bool DnsAppendName(std::vector<uint8_t>* packet, const std::string& name);
// Reads a possibly compressed name starting at *offset. On success *offset
// is past the name in the original position and `name` holds the dotted
// text. False for truncated names, bad label types, pointer loops and names
// longer than 255 bytes.
bool DnsReadName(const uint8_t* packet, size_t length, size_t* offset, std::string* name);
// Case-insensitive (ASCII) comparison; a trailing '.' on either side is ignored.
bool DnsNamesEqual(const std::string& a, const std::string& b);

// A query with one question (type A, class IN, unicast-response bit set).
std::vector<uint8_t> MdnsBuildQuery(const std::string& name, uint16_t id);
// Scans a response for an A record of `name` (answer and additional
// sections). True and the address in network order when one is there. Any
// malformation ends the scan without reading outside the packet.
bool MdnsParseAnswer(const uint8_t* packet, size_t length, uint16_t id, const std::string& name,
                     uint32_t* addressNetworkOrder);

// Responder side: reads the questions of a query; the names asking for type
// A (or ANY) in class IN. False when the packet is not a well-formed query.
bool MdnsParseQuestions(const uint8_t* packet, size_t length, uint16_t* id, std::vector<std::string>* names);
// Responder side: a UDP socket bound to the mDNS group and port with
// SO_REUSEADDR and SO_REUSEPORT (so that several responders, in one process
// or many, all see every query), member of the group on the interface of
// `interfaceAddress` (loopback as the fall-back) and sending multicast
// there. -1 with errno set on failure.
int MdnsOpenGroupSocket(const std::string& interfaceAddress);
// A response holding the question and one A record of `name`; `id` is
// echoed for legacy-unicast queriers, TTL 10 s as RFC 6762 asks for them.
std::vector<uint8_t> MdnsBuildAnswer(const std::string& name, uint16_t id, uint32_t addressNetworkOrder);
