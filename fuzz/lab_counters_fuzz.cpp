// Fuzzes the readers of the kernel's network counters the lab benchmarks
// take before and after each run: any text as /proc/net/snmp, snmp6, dev
// and softnet_stat, and the difference of two readings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bench/lab_station.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  lab::NetCounters a, b;
  lab::addSnmp(text, &a.udp);
  lab::addSnmp6(text, &b.udp);
  a.links = lab::parseNetDev(text);
  b.links = lab::parseNetDev(text.substr(size / 2));
  lab::parseSoftnetDrops(text);
  // A difference never wraps below zero.
  const lab::NetCounters d = a - b;
  if (d.udp.inErrors > a.udp.inErrors || d.udp.rcvbufErrors > a.udp.rcvbufErrors) std::abort();
  for (const auto& [name, link] : d.links)
    if (link.txBytes > a.links.at(name).txBytes || link.rxDropped > a.links.at(name).rxDropped) std::abort();
  return 0;
}
