// Display modes of the primary screen through XRandR: listing, reading the
// current mode and switching. Without an X display every query answers
// "none" and switching fails.
#pragma once

#include <vector>

namespace platform::win {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int depth = 0;  // bits per pixel of the screen
  int rate = 0;   // refresh rate in Hz, rounded
  bool operator==(const DisplayMode&) const = default;
};

// The mode of the primary output; false without a display or output.
bool currentDisplayMode(DisplayMode& mode);

// The modes the primary output offers, in XRandR's order.
std::vector<DisplayMode> listDisplayModes();

enum class DisplayChangeResult { Successful, Restart, BadFlags, NotUpdated, BadMode, Failed };

// Switches the primary output to the listed mode with that size and rate
// (for this session only; nothing is stored). BadMode when no listed mode
// matches (or the depth differs from the screen's), Failed without a
// display or when the server refuses.
DisplayChangeResult changeDisplayMode(const DisplayMode& mode);

}  // namespace platform::win
