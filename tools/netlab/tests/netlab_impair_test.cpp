// Impairments of the lab, seen by a receiver in station 2 of what station 1
// multicasts: each datagram carries its sequence number.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "netlab.h"

namespace {

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
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kPort);
    bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
    ip_mreq req{};
    inet_pton(AF_INET, "234.5.6.9", &req.imr_multiaddr);
    setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &req, sizeof req);
    joined = true;
    pollfd p{fd, POLLIN, 0};
    // Stop once the sender is done and nothing arrived for 300 ms.
    for (;;) {
      int r = poll(&p, 1, 300);
      if (r == 1) {
        uint32_t seq = 0;
        if (recv(fd, &seq, sizeof seq, 0) == sizeof seq) arrived.push_back(seq);
      } else if (sent) {
        break;
      }
    }
    close(fd);
  });
  while (!joined) usleep(1000);
  netlab::StationThread sender(names[0], [&] {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    inet_pton(AF_INET, "234.5.6.9", &to.sin_addr);
    for (uint32_t i = 0; i < kCount; ++i) {
      sendto(fd, &i, sizeof i, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      usleep(500);
    }
    close(fd);
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
