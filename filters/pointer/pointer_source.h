// Where the pointer sampler reads the local pointer from.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pointing {

// One read of the local pointer.
struct PointerReading {
  bool hasPosition = false;  // screen size and cursor were read
  int32_t screenWidth = 0;   // desktop size in pixels
  int32_t screenHeight = 0;
  int32_t cursorX = 0;  // desktop pixels, from the left
  int32_t cursorY = 0;  // desktop pixels, from the top
  bool hasButtons = false;  // an input device delivers buttons and wheel
  uint16_t buttons = 0;     // bit k set while button k is pressed (k = 0 to 7)
  int16_t wheel = 0;        // wheel movement since the previous read
};

// Receives one line of diagnostics (no line end).
using PointerLog = std::function<void(const std::string&)>;
// Writes the line to standard error.
PointerLog stderrPointerLog();

class PointerSource {
 public:
  virtual ~PointerSource() = default;
  // Reads the pointer now. Fields the source cannot deliver are flagged absent
  // in the reading; the sampler then keeps their last known values. May
  // block (a window system that stops answering); the sampler calls it on
  // a thread of its own.
  virtual PointerReading read() = 0;
};

}  // namespace pointing
