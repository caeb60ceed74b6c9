#include "koBase/koNetwork.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_starts{0};
}

bool koNetworkStartup() {
  ++g_starts;
  return true;
}

bool koNetworkShutdown() {
  uint32_t n = g_starts.load();
  while (n > 0 && !g_starts.compare_exchange_weak(n, n - 1)) {
  }
  return true;
}

uint32_t koNetworkStartCount() { return g_starts.load(); }

uint32_t koTimerMinimumPeriod() { return 1; }

double koTimerMinimumInterval() { return 100e-6; }
