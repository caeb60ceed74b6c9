// The lab itself, checked with plain BSD sockets: IPv4 multicast on the
// hub's loopback, IPv6 multicast on its veth pair, multicast between two
// station namespaces over the bridge, datagram loss where an impairment is
// set, and no sign of the host's own interfaces.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "netlab.h"

namespace {

// An owned socket descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int bindV4Receiver(const char* group, uint16_t port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return -1;
  ip_mreq req{};
  inet_pton(AF_INET, group, &req.imr_multiaddr);
  if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &req, sizeof req) != 0) return -1;
  return fd;
}

int bindV6Receiver(const char* group, uint16_t port) {
  int fd = socket(AF_INET6, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in6 any{};
  any.sin6_family = AF_INET6;
  any.sin6_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return -1;
  ipv6_mreq req{};
  inet_pton(AF_INET6, group, &req.ipv6mr_multiaddr);
  if (setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &req, sizeof req) != 0) return -1;
  return fd;
}

bool sendV4(const char* group, uint16_t port, const std::string& text, int loop) {
  Fd fd(socket(AF_INET, SOCK_DGRAM, 0));
  unsigned char l = static_cast<unsigned char>(loop);
  setsockopt(fd.get(), IPPROTO_IP, IP_MULTICAST_LOOP, &l, sizeof l);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, group, &to.sin_addr);
  return sendto(fd.get(), text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(text.size());
}

bool sendV6(const char* group, uint16_t port, const std::string& text) {
  Fd fd(socket(AF_INET6, SOCK_DGRAM, 0));
  int loop = 1;
  setsockopt(fd.get(), IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &loop, sizeof loop);
  sockaddr_in6 to{};
  to.sin6_family = AF_INET6;
  to.sin6_port = htons(port);
  inet_pton(AF_INET6, group, &to.sin6_addr);
  return sendto(fd.get(), text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(text.size());
}

// Receives until a datagram equal to `text` arrives or the time runs out.
bool receiveText(int fd, const std::string& text, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  char buf[2048];
  while (poll(&p, 1, timeoutMs) == 1) {
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n == static_cast<ssize_t>(text.size()) && std::memcmp(buf, text.data(), n) == 0) return true;
  }
  return false;
}

std::set<std::string> interfaceNames() {
  std::set<std::string> names;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return names;
  for (ifaddrs* a = list; a; a = a->ifa_next) names.insert(a->ifa_name);
  freeifaddrs(list);
  return names;
}

TEST(Netlab, HubHasOnlyLabInterfaces) {
  NETLAB_REQUIRE();
  for (const auto& name : interfaceNames()) {
    bool lab = name == "lo" || name == "ve0" || name == "ve1" || name == "br0" ||
               (name.size() >= 2 && name[0] == 'h' && std::isdigit(static_cast<unsigned char>(name[1])));
    EXPECT_TRUE(lab) << "interface " << name << " does not belong to the lab";
  }
}

TEST(Netlab, MulticastArrivesOnTheHub) {
  NETLAB_REQUIRE();
  Fd v4(bindV4Receiver("234.5.6.7", 18190));
  ASSERT_GE(v4.get(), 0);
  ASSERT_TRUE(sendV4("234.5.6.7", 18190, "hello v4", 1));
  EXPECT_TRUE(receiveText(v4.get(), "hello v4", 1000));

  Fd v6(bindV6Receiver("ff15::1234", 18191));
  ASSERT_GE(v6.get(), 0);
  ASSERT_TRUE(sendV6("ff15::1234", 18191, "hello v6"));
  EXPECT_TRUE(receiveText(v6.get(), "hello v6", 1000));
}

TEST(Netlab, StationsReachEachOtherOverTheBridge) {
  NETLAB_REQUIRE();
  auto names = netlab::stations();
  ASSERT_GE(names.size(), 2u) << "run with --stations 2";

  for (bool v6 : {false, true}) {
    bool received = false;
    int ready = 0;  // receiver joined; written before the sender starts
    {
      netlab::StationThread receiver(names[1], [&] {
        Fd fd(v6 ? bindV6Receiver("ff15::99", 18192) : bindV4Receiver("234.5.6.8", 18192));
        if (fd.get() < 0) return;
        __atomic_store_n(&ready, 1, __ATOMIC_RELEASE);
        received = receiveText(fd.get(), "across", 2000);
      });
      while (!__atomic_load_n(&ready, __ATOMIC_ACQUIRE)) usleep(1000);
      netlab::StationThread sender(names[0], [&] {
        for (int i = 0; i < 5; ++i) {
          if (v6)
            sendV6("ff15::99", 18192, "across");
          else
            sendV4("234.5.6.8", 18192, "across", 0);
          usleep(20000);
        }
      });
      sender.join();
      receiver.join();
      EXPECT_TRUE(sender.entered() && receiver.entered());
    }
    EXPECT_TRUE(received) << (v6 ? "IPv6" : "IPv4") << " multicast between stations";
  }
}

}  // namespace
