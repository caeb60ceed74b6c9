#include "koBase/koMulticastSocket.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>

#include "koBase/koLog.h"

#ifndef SO_RXQ_OVFL
#define SO_RXQ_OVFL 40
#endif
#ifndef IPV6_MULTICAST_ALL
#define IPV6_MULTICAST_ALL 29
#endif

namespace {

struct AddrInfoList {
  addrinfo* list = nullptr;
  ~AddrInfoList() {
    if (list) freeaddrinfo(list);
  }
};

// The interface the kernel's route to the group takes (an RTM_GETROUTE
// query, as `ip route get` does); 0 when there is no route.
unsigned routeInterface(const sockaddr_storage& group) {
  int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return 0;
  struct {
    nlmsghdr header;
    rtmsg route;
    char attributes[64];
  } request{};
  const bool v6 = group.ss_family == AF_INET6;
  const void* address = v6 ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&group)->sin6_addr)
                           : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&group)->sin_addr);
  const size_t addressLength = v6 ? 16 : 4;
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.header.nlmsg_seq = 1;
  request.route.rtm_family = static_cast<unsigned char>(group.ss_family);
  request.route.rtm_dst_len = static_cast<unsigned char>(addressLength * 8);
  auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
  attribute->rta_type = RTA_DST;
  attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(addressLength));
  std::memcpy(RTA_DATA(attribute), address, addressLength);
  request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
  unsigned index = 0;
  if (::send(fd, &request, request.header.nlmsg_len, 0) >= 0) {
    alignas(nlmsghdr) char reply[4096];
    pollfd p{fd, POLLIN, 0};
    ssize_t n = poll(&p, 1, 1000) > 0 ? recv(fd, reply, sizeof reply, 0) : -1;
    for (auto* h = reinterpret_cast<nlmsghdr*>(reply); n > 0 && NLMSG_OK(h, static_cast<unsigned>(n));
         h = NLMSG_NEXT(h, n)) {
      if (h->nlmsg_type != RTM_NEWROUTE) continue;
      auto* route = static_cast<rtmsg*>(NLMSG_DATA(h));
      int length = static_cast<int>(RTM_PAYLOAD(h));
      for (auto* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == RTA_OIF && RTA_PAYLOAD(a) >= sizeof(int)) {
          int oif = 0;
          std::memcpy(&oif, RTA_DATA(a), sizeof oif);
          index = static_cast<unsigned>(oif);
        }
      }
    }
  }
  ::close(fd);
  return index;
}

std::string interfaceName(unsigned index) {
  char name[IF_NAMESIZE] = {};
  if (index && if_indextoname(index, name)) return name;
  return index ? std::to_string(index) : std::string("system default");
}

}  // namespace

koMulticastSocket::koMulticastSocket() = default;

koMulticastSocket::~koMulticastSocket() {
  close();
  _sendCancel.cancel();
  _receiveCancel.cancel();
}

int koMulticastSocket::getFamily() const { return _groupAddress.ss_family; }

bool koMulticastSocket::fail(const char* what) {
  ko::log(ko::LogLevel::Error, "multicast socket %s: %s failed: %s", _description.c_str(), what,
          errno ? std::strerror(errno) : "invalid value");
  close();
  return false;
}

bool koMulticastSocket::open(const koSocketParameters& p) {
  if (_socket >= 0) return false;
  errno = 0;
  _description = p.address + " port " + std::to_string(p.port);
  char portText[16];
  std::snprintf(portText, sizeof portText, "%d", p.port);

  // 1-2: numeric group address.
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  AddrInfoList group;
  if (int rc = getaddrinfo(p.address.c_str(), portText, &hints, &group.list); rc != 0 || !group.list) {
    ko::log(ko::LogLevel::Error, "multicast socket %s: not a numeric address (%s)", _description.c_str(),
            gai_strerror(rc));
    return false;
  }
  if (group.list->ai_addrlen > kMaxAddressLength) return fail("address length");
  std::memset(&_groupAddress, 0, sizeof _groupAddress);
  std::memcpy(&_groupAddress, group.list->ai_addr, group.list->ai_addrlen);
  _groupAddressLength = static_cast<uint32_t>(group.list->ai_addrlen);
  _sourceAddressLength = _groupAddressLength;
  const int family = _groupAddress.ss_family;
  const bool v6 = family == AF_INET6;
  const bool isMulticast =
      v6 ? IN6_IS_ADDR_MULTICAST(&reinterpret_cast<sockaddr_in6*>(&_groupAddress)->sin6_addr)
         : IN_MULTICAST(ntohl(reinterpret_cast<sockaddr_in*>(&_groupAddress)->sin_addr.s_addr));
  if (!isMulticast) {
    ko::log(ko::LogLevel::Error, "multicast socket %s: not a multicast group address", _description.c_str());
    return false;
  }
  const bool receives = p.role == SOCKET_ROLE_RECEIVE || p.role == SOCKET_ROLE_BOTH;
  const bool sends = p.role == SOCKET_ROLE_SEND || p.role == SOCKET_ROLE_BOTH;
  if (!receives && !sends) {
    ko::log(ko::LogLevel::Error, "multicast socket %s: unknown role %u", _description.c_str(), p.role);
    return false;
  }

  // Interface: the one named, or the route's.
  unsigned ifindex = 0;
  if (!p.interfaceName.empty()) {
    ifindex = if_nametoindex(p.interfaceName.c_str());
    if (ifindex == 0) {
      char* end = nullptr;
      unsigned long n = std::strtoul(p.interfaceName.c_str(), &end, 10);
      char name[IF_NAMESIZE] = {};
      if (end && *end == 0 && n > 0 && n <= 0xFFFFFFFFul && if_indextoname(static_cast<unsigned>(n), name))
        ifindex = static_cast<unsigned>(n);
    }
    if (ifindex == 0) {
      ko::log(ko::LogLevel::Error, "multicast socket %s: no interface \"%s\"", _description.c_str(),
              p.interfaceName.c_str());
      return false;
    }
  } else {
    ifindex = routeInterface(_groupAddress);
  }
  _interfaceIndex = ifindex;
  _interfaceName = interfaceName(ifindex);

  // 3-4: socket, address reuse.
  _socket = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (_socket < 0) return fail("socket");
  int one = 1, zero = 0;
  if (setsockopt(_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) return fail("SO_REUSEADDR");

  // 5: buffers; the kernel may cap them, which is worth knowing when
  // datagrams go missing.
  const int requested = static_cast<int>(p.systemBufferSize > 0x3FFFFFFF ? 0x3FFFFFFF : p.systemBufferSize);
  auto setBuffer = [&](int option, const char* name, uint32_t& effective) {
    setsockopt(_socket, SOL_SOCKET, option, &requested, sizeof requested);
    int value = 0;
    socklen_t size = sizeof value;
    getsockopt(_socket, SOL_SOCKET, option, &value, &size);
    effective = static_cast<uint32_t>(value);
    // The kernel reports twice the usable size it granted.
    if (value / 2 < requested)
      ko::log(ko::LogLevel::Warn, "multicast socket %s: %s of %d bytes asked, the kernel granted %d (its limit)",
              _description.c_str(), name, requested, value / 2);
  };
  _receiveBufferSize = _sendBufferSize = 0;
  if (receives) {
    setBuffer(SO_RCVBUF, "receive buffer", _receiveBufferSize);
    setsockopt(_socket, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one);
  }
  if (sends) {
    setBuffer(SO_SNDBUF, "send buffer", _sendBufferSize);
    // Without this the kernel drops a datagram that the interface's queue
    // has no room for and tells the sender it went out (it only counts it
    // in SndbufErrors); with it, sendto says ENOBUFS and send() waits and
    // sends it again.
    if (v6 ? setsockopt(_socket, IPPROTO_IPV6, IPV6_RECVERR, &one, sizeof one)
           : setsockopt(_socket, IPPROTO_IP, IP_RECVERR, &one, sizeof one))
      return fail("error reports");
    _reportsErrors = true;
  }
  _kernelDrops = 0;
  _deviceBusy = 0;
  // Only datagrams of the groups this socket joined, never those of groups
  // that other sockets on the same port joined.
  if (v6)
    setsockopt(_socket, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
  else
    setsockopt(_socket, IPPROTO_IP, IP_MULTICAST_ALL, &zero, sizeof zero);

  // 6-7: bind to the wildcard address and the port.
  hints = addrinfo{};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_family = family;
  hints.ai_socktype = SOCK_DGRAM;
  AddrInfoList local;
  if (getaddrinfo(nullptr, portText, &hints, &local.list) != 0 || !local.list) return fail("wildcard address");
  if (local.list->ai_addrlen > kMaxAddressLength) return fail("wildcard address length");
  if (bind(_socket, local.list->ai_addr, local.list->ai_addrlen) != 0) return fail("bind");

  // 8: scope.
  int ttl = static_cast<int>(p.timeToLive > 255 ? 255 : p.timeToLive);
  if (v6 ? setsockopt(_socket, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl)
         : setsockopt(_socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl))
    return fail("time-to-live");

  // 9: loopback (decided on the sending side here).
  int loop = (v6 || sends || p.loopback) ? 1 : 0;
  if (v6 ? setsockopt(_socket, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &loop, sizeof loop)
         : setsockopt(_socket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop))
    return fail("loopback");
  _loopback = loop != 0;

  // 10: the outgoing interface and the join.
  if (sends && ifindex) {
    if (v6) {
      if (setsockopt(_socket, IPPROTO_IPV6, IPV6_MULTICAST_IF, &ifindex, sizeof ifindex) != 0)
        return fail("outgoing interface");
    } else {
      ip_mreqn request{};
      request.imr_ifindex = static_cast<int>(ifindex);
      if (setsockopt(_socket, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0)
        return fail("outgoing interface");
    }
  }
  if (receives) {
    if (v6) {
      ipv6_mreq request{};
      request.ipv6mr_multiaddr = reinterpret_cast<sockaddr_in6*>(&_groupAddress)->sin6_addr;
      request.ipv6mr_interface = ifindex;
      if (setsockopt(_socket, IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request) != 0)
        return fail("join");
    } else {
      ip_mreqn request{};
      request.imr_multiaddr = reinterpret_cast<sockaddr_in*>(&_groupAddress)->sin_addr;
      request.imr_ifindex = static_cast<int>(ifindex);
      if (setsockopt(_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0)
        return fail("join");
    }
    ko::log(ko::LogLevel::Info, "multicast socket %s: joined on interface %s", _description.c_str(),
            _interfaceName.c_str());
  }
  if (!canCancel())
    ko::log(ko::LogLevel::Warn, "multicast socket %s: all %s timer names in use; its calls cannot be cancelled",
            _description.c_str(), koTimer::kNamePrefix);
  return true;
}

koMulticastSocket::Wait koMulticastSocket::waitFor(short events, koTimer& cancel) {
  pollfd fds[2] = {{_socket, events, 0}, {cancel.fd(), POLLIN, 0}};
  const nfds_t count = cancel.fd() >= 0 ? 2 : 1;
  for (;;) {
    int r = poll(fds, count, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return Wait::Failed;
    }
    // The socket first: a transfer that is ready is not cancelled.
    if (fds[0].revents) return Wait::Ready;
    if (count == 2 && (fds[1].revents & POLLIN)) {
      if (cancel.consume()) return Wait::Cancelled;
      fds[1].revents = 0;  // another waiter took it (cannot happen for one owner)
    }
  }
}

bool koMulticastSocket::takeErrorReports() {
  bool any = false;
  for (;;) {
    char data[64];
    alignas(cmsghdr) char control[256];
    iovec io{data, sizeof data};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(_socket, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return any;
    any = true;
  }
}

int koMulticastSocket::send(const void* data, uint32_t length) {
  if (_socket < 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (length == 0) return 0;
  uint32_t done = 0;
  uint32_t busyWaited = 0, busyPause = kDeviceBusyFirstPauseUs;  // microseconds
  bool reportTaken = false;
  while (done < length) {
    ssize_t n = sendto(_socket, bytes + done, length - done, MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&_groupAddress), _groupAddressLength);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOBUFS) {
        // The interface's queue is full. The socket itself is writable, so
        // poll would return at once: pause, longer each time, and try again
        // until the queue has drained or the wait grows too long.
        _deviceBusy.fetch_add(1, std::memory_order_relaxed);
        if (busyWaited >= kDeviceBusyMaxWaitUs) return 0;
        if (!pause(_sendCancel, busyPause)) return -1;
        busyWaited += busyPause;
        busyPause = std::min(busyPause * 2, kDeviceBusyMaxPauseUs);
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        // An error report about an earlier datagram (an ICMP message) is
        // given to the next call; it is not about this one: once, clear
        // the reports and send again.
        if (!reportTaken && takeErrorReports()) {
          reportTaken = true;
          continue;
        }
        return 0;
      }
      takeErrorReports();  // a pending report would keep poll from waiting
      switch (waitFor(POLLOUT, _sendCancel)) {
        case Wait::Ready: continue;
        case Wait::Cancelled: return -1;
        case Wait::Failed: return 0;
      }
    }
    if (n == 0) return 0;
    done += static_cast<uint32_t>(n);
  }
  return 1;
}

long koMulticastSocket::receiveOnce(void* buffer, uint32_t capacity, bool* truncated) {
  iovec io{buffer, capacity};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t)) * 2];
  msghdr message{};
  sockaddr_storage source{};
  message.msg_name = &source;
  message.msg_namelen = sizeof source;
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  // MSG_TRUNC: the result is the datagram's real length even when cut.
  ssize_t n = recvmsg(_socket, &message, MSG_DONTWAIT | MSG_TRUNC);
  if (n < 0) {
    // A socket that also sends may hold error reports about what it sent;
    // they are no failure of receiving, and poll would not wait while one
    // is queued.
    if (_reportsErrors && errno != EINTR && takeErrorReports()) errno = EAGAIN;
    return -1;
  }
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
      uint32_t drops = 0;
      std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
      _kernelDrops.store(drops, std::memory_order_relaxed);
    }
  }
  std::memcpy(&_sourceAddress, &source, sizeof source);
  _sourceAddressLength = message.msg_namelen;
  *truncated = (message.msg_flags & MSG_TRUNC) != 0;
  return n;
}

int koMulticastSocket::receive(void* buffer, uint32_t length) {
  if (_socket < 0) return 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint32_t got = 0;
  while (got < length) {
    bool truncated = false;
    long n = receiveOnce(bytes + got, length - got, &truncated);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        _lastReceiveComplete = false;
        return 0;
      }
      switch (waitFor(POLLIN, _receiveCancel)) {
        case Wait::Ready: continue;
        case Wait::Cancelled: return -1;
        case Wait::Failed: _lastReceiveComplete = false; return 0;
      }
    }
    if (truncated) {
      _lastReceiveComplete = false;
      return 0;
    }
    if (n == 0) return 0;
    got += static_cast<uint32_t>(n);
  }
  _lastReceiveComplete = true;
  return 1;
}

int koMulticastSocket::receiveDatagram(void* buffer, uint32_t capacity, uint32_t* length,
                                       uint32_t lingerMicroseconds) {
  *length = 0;
  if (_socket < 0) return 0;
  for (;;) {
    bool truncated = false;
    long n = receiveOnce(buffer, capacity, &truncated);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return 0;
      if (lingerMicroseconds) {
        timespec pause{static_cast<time_t>(lingerMicroseconds / 1000000),
                       static_cast<long>(lingerMicroseconds % 1000000) * 1000};
        lingerMicroseconds = 0;  // once per call
        nanosleep(&pause, nullptr);
        continue;
      }
      switch (waitFor(POLLIN, _receiveCancel)) {
        case Wait::Ready: continue;
        case Wait::Cancelled: return -1;
        case Wait::Failed: return 0;
      }
    }
    *length = static_cast<uint32_t>(n);
    return truncated ? 0 : 1;
  }
}

bool koMulticastSocket::pause(koTimer& cancel, uint32_t microseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::nanoseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    const timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
    pollfd timer{cancel.fd(), POLLIN, 0};
    // Without a cancel timer (all names taken) this is a plain sleep.
    const int r = ppoll(&timer, timer.fd >= 0 ? 1 : 0, &wait, nullptr);
    if (r > 0 && (timer.revents & POLLIN) && cancel.consume()) return false;
    if (r < 0 && errno != EINTR) return true;
  }
}

int koMulticastSocket::pauseReceive(uint32_t ms) {
  return pause(_receiveCancel, ms > UINT32_MAX / 1000 ? UINT32_MAX : ms * 1000) ? 1 : -1;
}

bool koMulticastSocket::cancelSend(uint32_t ms) {
  return _sendCancel.set(-static_cast<int64_t>(ms) * 10000, 0);
}

bool koMulticastSocket::cancelReceive(uint32_t ms) {
  return _receiveCancel.set(-static_cast<int64_t>(ms) * 10000, 0);
}

uint32_t koMulticastSocket::getKernelDrops() const {
  uint32_t drops = _kernelDrops.load(std::memory_order_relaxed);
  if (_socket >= 0) {
    uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof info;
    if (getsockopt(_socket, SOL_SOCKET, SO_MEMINFO, info, &size) == 0 && size > SK_MEMINFO_DROPS * sizeof(uint32_t) &&
        info[SK_MEMINFO_DROPS] > drops)
      drops = info[SK_MEMINFO_DROPS];
  }
  return drops;
}

bool koMulticastSocket::close() {
  if (_socket >= 0) ::close(_socket);
  _socket = -1;
  _reportsErrors = false;
  return true;
}
