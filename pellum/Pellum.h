// Start-up and shut-down entry points of the core library, called by the
// engines when they initialise and shut down.
#pragma once

class Pellum {
 public:
  static bool initialize();
  static bool shutdown();
};
