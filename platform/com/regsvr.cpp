// regsvr: registers (or with -u unregisters) plug-in modules in the class
// registry. The build runs it on every plug-in it links.
//   regsvr [-u] [--registry FILE] MODULE...
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/com/runtime.h"

int main(int argc, char** argv) {
  bool unregister = false;
  int failures = 0, modules = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-u")) {
      unregister = true;
    } else if (!std::strcmp(argv[i], "--registry") && i + 1 < argc) {
      setenv("POINTSHARE_CLASS_REGISTRY", argv[++i], 1);
    } else {
      ++modules;
      HRESULT hr = registerServerModule(argv[i], unregister);
      if (FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s: failed (0x%08X)\n", argv[i], static_cast<unsigned>(hr));
        ++failures;
      }
    }
  }
  if (modules == 0) {
    std::fprintf(stderr, "usage: regsvr [-u] [--registry FILE] MODULE...\n");
    return 2;
  }
  return failures ? 1 : 0;
}
