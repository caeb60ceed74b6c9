// The lab itself, checked with plain BSD sockets: IPv4 multicast on the
// hub's loopback, IPv6 multicast on its veth pair, multicast between two
// station namespaces over the bridge, datagram loss where an impairment is
// set (losses, duplicates and reordering, by the tests the lab runs with an
// impairment), and no sign of the host's own interfaces.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

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

// The group's address as a socket address (IPv6 when it holds a colon).
sockaddr_storage groupAddress(const char* group, uint16_t port, socklen_t* length) {
  sockaddr_storage a{};
  if (std::strchr(group, ':')) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&a);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    inet_pton(AF_INET6, group, &v6->sin6_addr);
    *length = sizeof(sockaddr_in6);
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&a);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    inet_pton(AF_INET, group, &v4->sin_addr);
    *length = sizeof(sockaddr_in);
  }
  return a;
}

// A socket bound to the port on any address that joined the group.
int bindReceiver(const char* group, uint16_t port) {
  socklen_t length = 0;
  sockaddr_storage a = groupAddress(group, port, &length), any = a;
  int fd = socket(a.ss_family, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  int joined;
  if (a.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&any)->sin6_addr = in6addr_any;
    ipv6_mreq req{};
    req.ipv6mr_multiaddr = reinterpret_cast<sockaddr_in6*>(&a)->sin6_addr;
    joined = bind(fd, reinterpret_cast<sockaddr*>(&any), length) == 0
                 ? setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &req, sizeof req)
                 : -1;
  } else {
    reinterpret_cast<sockaddr_in*>(&any)->sin_addr.s_addr = htonl(INADDR_ANY);
    ip_mreq req{};
    req.imr_multiaddr = reinterpret_cast<sockaddr_in*>(&a)->sin_addr;
    joined = bind(fd, reinterpret_cast<sockaddr*>(&any), length) == 0
                 ? setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &req, sizeof req)
                 : -1;
  }
  return joined == 0 ? fd : -1;
}

// Sends text to the group; loop says whether this host's own members hear it.
bool sendTo(const char* group, uint16_t port, const std::string& text, bool loop = true) {
  socklen_t length = 0;
  sockaddr_storage to = groupAddress(group, port, &length);
  Fd fd(socket(to.ss_family, SOCK_DGRAM, 0));
  if (to.ss_family == AF_INET6) {
    int l = loop;
    setsockopt(fd.get(), IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &l, sizeof l);
  } else {
    unsigned char l = loop;
    setsockopt(fd.get(), IPPROTO_IP, IP_MULTICAST_LOOP, &l, sizeof l);
  }
  return sendto(fd.get(), text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), length) ==
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
  for (const char* group : {"234.5.6.7", "ff15::1234"}) {
    Fd fd(bindReceiver(group, 18190));
    ASSERT_GE(fd.get(), 0) << group;
    ASSERT_TRUE(sendTo(group, 18190, "hello"));
    EXPECT_TRUE(receiveText(fd.get(), "hello", 1000)) << group;
  }
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
        Fd fd(bindReceiver(v6 ? "ff15::99" : "234.5.6.8", 18192));
        if (fd.get() < 0) return;
        __atomic_store_n(&ready, 1, __ATOMIC_RELEASE);
        received = receiveText(fd.get(), "across", 2000);
      });
      while (!__atomic_load_n(&ready, __ATOMIC_ACQUIRE)) usleep(1000);
      netlab::StationThread sender(names[0], [&] {
        for (int i = 0; i < 5; ++i) {
          sendTo(v6 ? "ff15::99" : "234.5.6.8", 18192, "across", v6);
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

// ---------------------------------------------------------------- impairments
// Run by the lab tests that set an impairment: station 2 receives what
// station 1 multicasts, each datagram carrying its sequence number.

constexpr uint16_t kPort = 18300;
constexpr int kCount = 400;

// Sends kCount numbered datagrams from station 1 to station 2 and returns
// the sequence numbers in the order they arrived.
std::vector<uint32_t> sendAcross() {
  auto names = netlab::stations();
  std::vector<uint32_t> arrived;
  if (names.size() < 2) return arrived;
  std::atomic<bool> joined{false}, sent{false};
  netlab::StationThread receiver(names[1], [&] {
    Fd fd(bindReceiver("234.5.6.9", kPort));
    joined = true;
    pollfd p{fd.get(), POLLIN, 0};
    // Stop once the sender is done and nothing arrived for 300 ms.
    for (;;) {
      int r = poll(&p, 1, 300);
      if (r == 1) {
        uint32_t seq = 0;
        if (recv(fd.get(), &seq, sizeof seq, 0) == sizeof seq) arrived.push_back(seq);
      } else if (sent) {
        break;
      }
    }
  });
  while (!joined) usleep(1000);
  netlab::StationThread sender(names[0], [&] {
    for (uint32_t i = 0; i < kCount; ++i) {
      sendTo("234.5.6.9", kPort, std::string(reinterpret_cast<const char*>(&i), sizeof i));
      usleep(500);
    }
  });
  sender.join();
  sent = true;
  receiver.join();
  return arrived;
}

TEST(Impair, HalfIsLost) {
  NETLAB_REQUIRE();
  auto arrived = sendAcross();
  // 50 % loss of 400: far outside 100..300 only with odds below 1e-20.
  EXPECT_GT(arrived.size(), 100u);
  EXPECT_LT(arrived.size(), 300u);
}

TEST(Impair, DuplicatedAndReordered) {
  NETLAB_REQUIRE();
  auto arrived = sendAcross();
  std::vector<int> seen(kCount, 0);
  int duplicates = 0, outOfOrder = 0;
  uint32_t highest = 0;
  for (size_t i = 0; i < arrived.size(); ++i) {
    ASSERT_LT(arrived[i], static_cast<uint32_t>(kCount));
    if (seen[arrived[i]]++) ++duplicates;
    if (i > 0 && arrived[i] < highest) ++outOfOrder;
    highest = std::max(highest, arrived[i]);
  }
  EXPECT_GT(duplicates, 10) << "20 % duplication of 400 datagrams";
  EXPECT_GT(outOfOrder, 10) << "20 % reordering of 400 datagrams";
  int missing = 0;
  for (int s : seen) missing += s == 0;
  EXPECT_EQ(missing, 0) << "nothing is lost without a loss setting";
}

}  // namespace
