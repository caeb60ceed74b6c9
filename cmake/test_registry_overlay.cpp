// Linked into every test and benchmark program: names the registry of the
// test-only plug-ins before main() runs, so the class registry of the build
// tree shows them to these programs and to the programs they start.
#include <cstdlib>

namespace {
[[maybe_unused]] const int kNamed = [] { return setenv("POINTSHARE_TEST_CLASS_REGISTRY", PROJECT_TEST_CLASS_REGISTRY, 0); }();
}  // namespace
