// The kernel's counters as the lab benchmarks read them, from hand-made
// copies of the files: only UDP's own lines count (not UDP-Lite's), the
// columns of /proc/net/dev, softnet_stat's hexadecimal drops, and a
// difference that never wraps when a counter went back (an interface made
// again between the readings).
#include <gtest/gtest.h>

#include "bench/lab_station.h"

TEST(LabCounters, ReadTheKernelsFiles) {
  lab::UdpCounters udp;
  lab::addSnmp(
      "Ip: Forwarding DefaultTTL\n"
      "Ip: 2 64\n"
      "Udp: InDatagrams NoPorts InErrors OutDatagrams RcvbufErrors SndbufErrors InCsumErrors\n"
      "Udp: 900 1 17 800 15 4 0\n"
      "UdpLite: InDatagrams NoPorts InErrors OutDatagrams RcvbufErrors SndbufErrors InCsumErrors\n"
      "UdpLite: 9 9 9 9 9 9 9\n",
      &udp);
  lab::addSnmp6(
      "Udp6InErrors                    \t3\nUdp6RcvbufErrors \t2\nUdpLite6RcvbufErrors 50\n"
      "Udp6SndbufErrors 1\n",
      &udp);
  EXPECT_EQ(udp.inErrors, 20u);
  EXPECT_EQ(udp.rcvbufErrors, 17u);
  EXPECT_EQ(udp.sndbufErrors, 5u);

  const auto links = lab::parseNetDev(
      "Inter-|   Receive                                                |  Transmit\n"
      " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo "
      "colls "
      "carrier compressed\n"
      "    h3: 1000 10 0 2 0 0 0 10 5000 50 0 7 0 0 0 0\n"
      "  eth0:12345678901 20 0 0 0 0 0 0 99 1 0 0 0 0 0 0\n"
      "  bad: 1 2 3\n");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links.at("h3").rxPackets, 10u);
  EXPECT_EQ(links.at("h3").rxDropped, 2u);
  EXPECT_EQ(links.at("h3").txBytes, 5000u);
  EXPECT_EQ(links.at("h3").txPackets, 50u);
  EXPECT_EQ(links.at("h3").txDropped, 7u);
  EXPECT_EQ(links.at("eth0").txBytes, 99u);  // no space after the colon
  EXPECT_EQ(links.at("eth0").rxPackets, 20u);

  EXPECT_EQ(lab::parseSoftnetDrops("0000a1b2 0000001f 00000000\n00000010 00000001 00000002\n"), 32u);

  lab::NetCounters before, after;
  before.udp.rcvbufErrors = 5;
  after.udp.rcvbufErrors = 8;
  before.links["h3"].txDropped = 9;  // made again since: counts from 0
  after.links["h3"].txDropped = 2;
  after.links["h4"].txDropped = 3;  // new
  const lab::NetCounters d = after - before;
  EXPECT_EQ(d.udp.rcvbufErrors, 3u);
  EXPECT_EQ(d.links.at("h3").txDropped, 0u);
  EXPECT_EQ(d.links.at("h4").txDropped, 3u);
}
