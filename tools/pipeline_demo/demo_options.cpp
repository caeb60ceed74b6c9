#include "tools/pipeline_demo/demo_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

bool parseDemoOptions(int argc, const char* const* argv, DemoOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    if (arg != "--seconds" && arg != "--output") {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
    if (i + 1 >= argc) {
      error = arg + " needs a value";
      return false;
    }
    const char* value = argv[++i];
    if (arg == "--output") {
      if (!*value) {
        error = "--output needs a folder";
        return false;
      }
      options.output = value;
      continue;
    }
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || seconds < 1 || seconds > 3600) {
      error = std::string("--seconds takes a whole number from 1 to 3600, not \"") + value + "\"";
      return false;
    }
    options.seconds = static_cast<int>(seconds);
  }
  return true;
}
