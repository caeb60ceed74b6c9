// The status channel's sending end as the tests drive it: any bytes, sent
// as one status message.
#pragma once
#include <cstdint>
#include <vector>

#include "tarnil/TarnilSender.h"

class TestStatusSender : public TarnilSender {
 public:
  void send(const std::vector<uint8_t>& message) { _send(message.data(), unsigned(message.size())); }
};
