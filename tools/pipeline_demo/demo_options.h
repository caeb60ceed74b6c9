// The command line of pipeline_demo.
#pragma once
#include <string>

inline constexpr const char* kDemoUsage =
    "usage: tools/netlab/netlab --stations 2 -- pipeline_demo [--seconds N] [--output DIR]\n"
    "  --seconds N   how long the pictures flow (1 to 3600, default 5)\n"
    "  --output DIR  where the receiver's pictures are saved as PNG files\n"
    "                (default: the folder \"demo\" beside the program's \"bin\")\n";

struct DemoOptions {
  int seconds = 5;
  std::string output;
  bool help = false;
};

// Reads the options into options (which holds the defaults); false with a
// message in error for an unknown option, a missing or bad value.
bool parseDemoOptions(int argc, const char* const* argv, DemoOptions& options, std::string& error);
