// The command line of morvane-receive.
#pragma once
#include <string>

struct ReceiveOptions {
  std::string ini;       // --ini FILE: read at start
  bool save = false;     // --save: write the ini file at exit
  std::string group;     // --group ADDR: the status group
  int port = -1;         // --port N: the status port
  std::string snapshot;  // --snapshot DIR
  std::string pictures;  // --pictures-out FILE
  double every = 1.0;    // --every SECONDS
  double seconds = 0;    // --seconds N (0: until Ctrl-C / SIGTERM)
  bool window = false;   // --window: a top-level X11 window of its own
  bool quiet = false;    // --quiet: no monitor table
  bool help = false;
};

extern const char* const kReceiveUsage;

// False with a message for an option that is unknown, lacks its value or
// has a value out of range.
bool parseReceiveOptions(int argc, char** argv, ReceiveOptions& options, std::string& error);
