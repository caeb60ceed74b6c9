#include "morvane/receive/receive_options.h"

#include <cstdlib>
#include <cstring>

const char* const kReceiveUsage =
    "usage: morvane-receive [options]\n"
    "  --ini FILE        read the receiver's settings from FILE at start and\n"
    "                    again on SIGHUP\n"
    "  --save            write the settings back to the --ini FILE at exit\n"
    "  --group ADDR      listen for the sender's status on this multicast group\n"
    "  --port N          ... and on this port (default 8930)\n"
    "  --window          show the picture in a window of its own (needs DISPLAY)\n"
    "  --snapshot DIR    save the rendered picture as PNG files in DIR\n"
    "  --every SECONDS   ... every SECONDS (default 1)\n"
    "  --pictures-out FILE  write every rendered picture to FILE (a pipe): per\n"
    "                    picture its width and height (32 bits each, little-endian)\n"
    "                    and its pixels, top-down, R G B\n"
    "  --seconds N       stop after N seconds (default: at Ctrl-C or SIGTERM)\n"
    "  --quiet           no receive monitor table\n"
    "  --help            this text\n";

namespace {

bool number(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

}  // namespace

bool parseReceiveOptions(int argc, char** argv, ReceiveOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    double n = 0;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--save") {
      o.save = true;
    } else if (a == "--window") {
      o.window = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--ini" || a == "--group" || a == "--snapshot" || a == "--pictures-out") {
      if (!value(v)) return false;
      if (!*v) {
        error = a + " needs a value";
        return false;
      }
      (a == "--ini" ? o.ini : a == "--group" ? o.group : a == "--snapshot" ? o.snapshot : o.pictures) = v;
    } else if (a == "--port") {
      if (!value(v)) return false;
      if (!number(v, n) || n < 1 || n > 65535 || n != double(int(n))) {
        error = std::string("--port takes a port number 1..65535, not \"") + v + "\"";
        return false;
      }
      o.port = int(n);
    } else if (a == "--every" || a == "--seconds") {
      if (!value(v)) return false;
      const bool every = a == "--every";
      if (!number(v, n) || n < 0 || (every && n < 0.1) || n > 86400) {
        error = a + " takes a number of seconds" + (every ? " from 0.1" : "") + ", not \"" + v + "\"";
        return false;
      }
      (every ? o.every : o.seconds) = n;
    } else {
      error = "unknown option \"" + a + "\"";
      return false;
    }
  }
  if (o.save && o.ini.empty()) {
    error = "--save needs --ini FILE";
    return false;
  }
  return true;
}
