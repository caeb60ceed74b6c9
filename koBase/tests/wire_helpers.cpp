#include "wire_helpers.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace wire {

RawGroup::RawGroup(const std::string& group, uint16_t port, bool receive, const std::string& interfaceName) {
  addrinfo hints{}, *res = nullptr;
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  if (getaddrinfo(group.c_str(), std::to_string(port).c_str(), &hints, &res) != 0) return;
  address_.assign(reinterpret_cast<uint8_t*>(res->ai_addr), reinterpret_cast<uint8_t*>(res->ai_addr) + res->ai_addrlen);
  const int family = res->ai_family;
  freeaddrinfo(res);
  int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  int one = 1, zero = 0, big = 32 << 20;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const unsigned ifindex = interfaceName.empty() ? 0 : if_nametoindex(interfaceName.c_str());
  bool good = true;
  if (receive) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    sockaddr_storage local{};
    if (family == AF_INET6) {
      auto* a = reinterpret_cast<sockaddr_in6*>(&local);
      a->sin6_family = AF_INET6;
      a->sin6_port = htons(port);
      setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
    } else {
      auto* a = reinterpret_cast<sockaddr_in*>(&local);
      a->sin_family = AF_INET;
      a->sin_port = htons(port);
      setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &zero, sizeof zero);
    }
    good = bind(fd, reinterpret_cast<sockaddr*>(&local),
                family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in)) == 0;
    if (family == AF_INET6) {
      ipv6_mreq m{};
      m.ipv6mr_multiaddr = reinterpret_cast<sockaddr_in6*>(address_.data())->sin6_addr;
      m.ipv6mr_interface = ifindex;
      good = good && setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) == 0;
    } else {
      ip_mreqn m{};
      m.imr_multiaddr = reinterpret_cast<sockaddr_in*>(address_.data())->sin_addr;
      m.imr_ifindex = static_cast<int>(ifindex);
      good = good && setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) == 0;
    }
  } else {
    if (family == AF_INET6) {
      setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &one, sizeof one);
      if (ifindex) setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, &ifindex, sizeof ifindex);
    } else {
      setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &one, sizeof one);
      ip_mreqn m{};
      m.imr_ifindex = static_cast<int>(ifindex);
      if (ifindex) setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m, sizeof m);
    }
  }
  if (!good) {
    close(fd);
    return;
  }
  fd_ = fd;
}

RawGroup::~RawGroup() {
  if (fd_ >= 0) close(fd_);
}

std::vector<Bytes> RawGroup::drain(int quietMs) {
  std::vector<Bytes> out;
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0) break;
    ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0) break;
    out.emplace_back(buffer.begin(), buffer.begin() + n);
  }
  return out;
}

void RawGroup::send(const Bytes& d) {
  sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(address_.data()),
         static_cast<socklen_t>(address_.size()));
}

void add32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void add64(Bytes& b, int64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
}

void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes header(uint32_t number, uint32_t length, uint32_t packetSize, uint32_t count) {
  Bytes b(1024, 0);
  put32(b, 0, 0xFDFDFDFD);
  put32(b, 4, 0xDFDFDFDF);
  put32(b, 8, 0xAAAAAAAA);
  put32(b, 12, number);
  put32(b, 16, length);
  put32(b, 20, packetSize);
  put32(b, 24, count);
  return b;
}

Bytes fragment(uint32_t packetSize, uint32_t number, uint32_t count, uint32_t index, uint32_t offset,
               const Bytes& piece, uint8_t end) {
  Bytes b(packetSize, 0);
  put32(b, 0, 0xFDFDFDFD);
  put32(b, 4, 0xDFDFDFDF);
  put32(b, 8, 0xEEEEEEEE);
  put32(b, 12, number);
  put32(b, 16, count);
  put32(b, 20, index);
  put32(b, 24, offset);
  put32(b, 28, static_cast<uint32_t>(piece.size()));
  b[32] = end;
  std::memcpy(b.data() + 33, piece.data(), piece.size());
  return b;
}

Bytes pattern(size_t n, uint32_t tag) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(tag * 31 + i * 7 + (i >> 9));
  if (n >= 4) put32(b, 0, tag);
  return b;
}

Bytes slice(const Bytes& b, size_t from, size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

Bytes HandRecord::bytes() const {
  Bytes b;
  add32(b, sampleNumber);
  add32(b, static_cast<uint32_t>(userData.size()));
  b.insert(b.end(), userData.begin(), userData.end());
  b.insert(b.end(), mediaType.begin(), mediaType.end());
  add32(b, static_cast<uint32_t>(format.size()));
  b.insert(b.end(), format.begin(), format.end());
  add64(b, previousClock);
  add64(b, clock);
  b.insert(b.end(), {startValid, stopValid});
  add64(b, start);
  add64(b, stop);
  b.insert(b.end(), {mediaStartValid, mediaStopValid});
  add64(b, mediaStart);
  add64(b, mediaStop);
  b.insert(b.end(), {syncPoint, discontinuity, preroll});
  add32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

}  // namespace wire
