#include "talvex/send/send_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char kSendUsage[] =
    "usage: talvex-send [options]\n"
    "  --ini FILE                 read the settings file after initialisation\n"
    "  --save                     write the settings back to the --ini file at exit\n"
    "  --list-devices             print the capture devices and exit\n"
    "  --video-device NAME|INDEX  the video capture device\n"
    "  --audio-device NAME|INDEX|none  the audio capture device (none: no sound)\n"
    "  --encoder mpeg4|none       compress the video with MPEG-4 V2, or send it raw\n"
    "  --audio-encoder mp3|none   compress the sound with MPEG Layer-3, or send it as PCM\n"
    "  --mode none|loupex|compound  the focus display\n"
    "  --group ADDR               the multicast group of every stream and of the status\n"
    "  --seconds N                run N seconds (default: until Ctrl-C or SIGTERM)\n"
    "  --window                   show the preview in a window of its own (needs a display)\n"
    "  --control                  read commands from standard input, one per line, each\n"
    "                             answered by one line: mode none|loupex|compound, quit\n"
    "  --help                     this text\n";

namespace {

int choice(const char* value, std::initializer_list<const char*> names) {
  int i = 0;
  for (const char* name : names) {
    if (std::strcmp(value, name) == 0) return i;
    ++i;
  }
  return -1;
}

}  // namespace

bool parseSendOptions(int argc, const char* const* argv, SendOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (arg == "--ini") {
      if (!value(v)) return false;
      o.ini = v;
    } else if (arg == "--save") {
      o.save = true;
    } else if (arg == "--list-devices") {
      o.listDevices = true;
    } else if (arg == "--video-device" || arg == "--audio-device") {
      if (!value(v)) return false;
      if (!*v) {
        error = arg + " needs a name or an index";
        return false;
      }
      (arg == "--video-device" ? o.videoDevice : o.audioDevice) = v;
    } else if (arg == "--encoder") {
      if (!value(v)) return false;
      const int c = choice(v, {"none", "mpeg4"});
      if (c < 0) {
        error = std::string("unknown encoder \"") + v + "\" (mpeg4 or none)";
        return false;
      }
      o.encoder = c;
    } else if (arg == "--audio-encoder") {
      if (!value(v)) return false;
      const int c = choice(v, {"none", "mp3"});
      if (c < 0) {
        error = std::string("unknown audio encoder \"") + v + "\" (mp3 or none)";
        return false;
      }
      o.audioEncoder = c;
    } else if (arg == "--mode") {
      if (!value(v)) return false;
      const int c = choice(v, {"none", "loupex", "compound"});
      if (c < 0) {
        error = std::string("unknown mode \"") + v + "\" (none, loupex or compound)";
        return false;
      }
      o.mode = c;
    } else if (arg == "--group") {
      if (!value(v)) return false;
      if (!*v) {
        error = "--group needs an address";
        return false;
      }
      o.group = v;
    } else if (arg == "--seconds") {
      if (!value(v)) return false;
      char* end = nullptr;
      errno = 0;
      const double s = std::strtod(v, &end);
      if (errno || end == v || *end || !std::isfinite(s) || s <= 0 || s > 1e7) {
        error = std::string("--seconds takes a positive number, not \"") + v + "\"";
        return false;
      }
      o.seconds = s;
    } else if (arg == "--window") {
      o.window = true;
    } else if (arg == "--control") {
      o.control = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (o.save && o.ini.empty()) {
    error = "--save needs --ini FILE";
    return false;
  }
  return true;
}
