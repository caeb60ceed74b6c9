// Where the demo's two stations meet: the system's default group and the
// ports of the main video stream and of the sender's pointer stream.
#pragma once
#include <cstdint>
#include <string>

struct DemoEndpoints {
  std::string group = "234.5.6.7";
  uint16_t videoPort = 8190;
  uint16_t pointerPort = 8193;
  uint32_t timeToLive = 1;
};
