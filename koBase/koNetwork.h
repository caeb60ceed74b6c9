// Start and stop of the socket layer, counted per process.
//
// Nothing needs starting for sockets here, and the sleep granularity that
// pacing relies on is the kernel's (a thread's timer slack) rather than a
// process-wide timer period; the counter is kept so that owners pair their
// calls as they do elsewhere, and sockets work whether or not it was called.
#pragma once

#include <cstdint>

bool koNetworkStartup();
bool koNetworkShutdown();
// Number of startups not yet matched by a shutdown.
uint32_t koNetworkStartCount();
// The timer period sleeps are measured against, in milliseconds (1).
uint32_t koTimerMinimumPeriod();
// The shortest sleep worth asking of the system, in seconds: high-resolution
// timers sleep far below a millisecond, so pacing works at 100 us steps.
double koTimerMinimumInterval();
