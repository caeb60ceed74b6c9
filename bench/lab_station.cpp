#include "bench/lab_station.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace lab {

namespace {

// The whole file; "" when it cannot be read. /proc/thread-self: the
// namespace of this thread, not of the process.
std::string readFile(const char* path) {
  std::ifstream f(path);
  std::ostringstream text;
  text << f.rdbuf();
  return text.str();
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A decimal or hexadecimal count; 0 for anything else.
uint64_t number(const std::string& text, int base = 10) {
  if (text.empty() || text.size() > 20) return 0;
  uint64_t v = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9' ? c - '0' : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return 0;
    v = v * uint64_t(base) + uint64_t(digit);
  }
  return v;
}

uint64_t grown(uint64_t after, uint64_t before) {
  return after > before ? after - before : 0;
}

}  // namespace

std::string stationAddress() {
  ifaddrs* list = nullptr;
  std::string found;
  if (getifaddrs(&list) != 0) return found;
  for (ifaddrs* a = list; a && found.empty(); a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || std::string(a->ifa_name) == "lo") continue;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text);
    found = text;
  }
  freeifaddrs(list);
  return found;
}

void addSnmp(const std::string& text, UdpCounters* into) {
  std::istringstream in(text);
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = words(line);
    if (w.empty() || w[0] != "Udp:") continue;
    if (names.empty()) {  // the header comes first, the values next
      names = w;
      continue;
    }
    for (size_t i = 1; i < w.size() && i < names.size(); ++i) {
      if (names[i] == "InErrors") into->inErrors += number(w[i]);
      if (names[i] == "RcvbufErrors") into->rcvbufErrors += number(w[i]);
      if (names[i] == "SndbufErrors") into->sndbufErrors += number(w[i]);
    }
    names.clear();
  }
}

void addSnmp6(const std::string& text, UdpCounters* into) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = words(line);
    if (w.size() != 2) continue;
    if (w[0] == "Udp6InErrors") into->inErrors += number(w[1]);
    if (w[0] == "Udp6RcvbufErrors") into->rcvbufErrors += number(w[1]);
    if (w[0] == "Udp6SndbufErrors") into->sndbufErrors += number(w[1]);
  }
}

std::map<std::string, LinkCounters> parseNetDev(const std::string& text) {
  std::map<std::string, LinkCounters> links;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::vector<std::string> name = words(line.substr(0, colon));
    const std::vector<std::string> v = words(line.substr(colon + 1));
    // Receive: bytes packets errs drop fifo frame compressed multicast;
    // transmit: bytes packets errs drop ...
    if (name.size() != 1 || v.size() < 12) continue;
    LinkCounters& l = links[name[0]];
    l.rxPackets = number(v[1]);
    l.rxDropped = number(v[3]);
    l.txBytes = number(v[8]);
    l.txPackets = number(v[9]);
    l.txDropped = number(v[11]);
  }
  return links;
}

uint64_t parseSoftnetDrops(const std::string& text) {
  std::istringstream in(text);
  uint64_t drops = 0;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> w = words(line);
    if (w.size() >= 2) drops += number(w[1], 16);
  }
  return drops;
}

NetCounters readNetCounters() {
  NetCounters c;
  addSnmp(readFile("/proc/thread-self/net/snmp"), &c.udp);
  addSnmp6(readFile("/proc/thread-self/net/snmp6"), &c.udp);
  c.links = parseNetDev(readFile("/proc/thread-self/net/dev"));
  return c;
}

NetCounters operator-(const NetCounters& after, const NetCounters& before) {
  NetCounters d;
  d.udp.inErrors = grown(after.udp.inErrors, before.udp.inErrors);
  d.udp.rcvbufErrors = grown(after.udp.rcvbufErrors, before.udp.rcvbufErrors);
  d.udp.sndbufErrors = grown(after.udp.sndbufErrors, before.udp.sndbufErrors);
  for (const auto& [name, a] : after.links) {
    const auto b = before.links.find(name);
    const LinkCounters zero;
    const LinkCounters& was = b == before.links.end() ? zero : b->second;
    d.links[name] = {grown(a.rxPackets, was.rxPackets), grown(a.rxDropped, was.rxDropped),
                     grown(a.txPackets, was.txPackets), grown(a.txDropped, was.txDropped),
                     grown(a.txBytes, was.txBytes)};
  }
  return d;
}

uint64_t backlogDrops() {
  return parseSoftnetDrops(readFile("/proc/net/softnet_stat"));
}

}  // namespace lab
