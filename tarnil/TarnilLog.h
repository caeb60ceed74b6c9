// The transport compiled into this library reports through the core
// library's notification log.
#pragma once

void tarnilForwardTransportLog();
