// What the benchmarks that run in the network lab need of a station: its
// address, and the kernel's counters of the datagrams and packets it lost,
// read before and after a run to tell where frames went missing (a full
// socket receive buffer, a send the kernel refused, a link or the hub's
// bridge dropping packets, the per-processor backlog overflowing).
//
// Everything reads the network namespace of the calling thread (lab
// stations are entered per thread), except backlogDrops, which the kernel
// keeps for the whole machine.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace lab {

// The calling thread's IPv4 address (not loopback); "" when it has none.
std::string stationAddress();

// UDP over IPv4 and IPv6 together.
struct UdpCounters {
  uint64_t inErrors = 0;      // datagrams not delivered to a socket (includes the two below)
  uint64_t rcvbufErrors = 0;  // dropped: the socket's receive buffer was full
  uint64_t sndbufErrors = 0;  // dropped on sending: no send buffer, or the device refused it
};

struct LinkCounters {
  uint64_t rxPackets = 0, rxDropped = 0;
  uint64_t txPackets = 0, txDropped = 0, txBytes = 0;
};

struct NetCounters {
  UdpCounters udp;
  std::map<std::string, LinkCounters> links;  // by interface name
};

// The counters now, and what happened between two readings.
NetCounters readNetCounters();
NetCounters operator-(const NetCounters& after, const NetCounters& before);
// Packets the machine's per-processor input backlogs dropped so far (all
// namespaces share them: the lab's veths and bridge pass through them).
uint64_t backlogDrops();

// The parsers behind the readers, on the files' text.
// /proc/net/snmp ("Udp:" header and value lines) into *into (added).
void addSnmp(const std::string& text, UdpCounters* into);
// /proc/net/snmp6 ("Udp6InErrors 0" lines) into *into (added).
void addSnmp6(const std::string& text, UdpCounters* into);
// /proc/net/dev.
std::map<std::string, LinkCounters> parseNetDev(const std::string& text);
// /proc/net/softnet_stat: the second (hexadecimal) column of every line.
uint64_t parseSoftnetDrops(const std::string& text);

}  // namespace lab
