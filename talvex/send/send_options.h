// The command line of talvex-send.
#pragma once
#include <string>

struct SendOptions {
  std::string ini;           // --ini FILE: read after initialisation
  bool save = false;         // --save: write the --ini file back at exit
  bool listDevices = false;  // --list-devices: print the devices and exit
  std::string videoDevice;   // --video-device NAME|INDEX (empty: keep)
  std::string audioDevice;   // --audio-device NAME|INDEX|none (empty: keep)
  int encoder = -1;          // --encoder mpeg4|none: 1 or 0 (-1: keep)
  int audioEncoder = -1;     // --audio-encoder mp3|none: 1 or 0 (-1: keep)
  int mode = -1;             // --mode none|loupex|compound: 0, 1, 2 (-1: keep)
  std::string group;         // --group ADDR: every stream and the status
  double seconds = 0;        // --seconds N: run that long (0: until a signal)
  bool window = false;       // --window: a top-level X11 window of its own
  bool control = false;      // --control: commands on standard input (control_command.h)
  bool help = false;
};

// Parses argv; false with `error` set for a bad command line.
bool parseSendOptions(int argc, const char* const* argv, SendOptions& options, std::string& error);

extern const char kSendUsage[];
