#include "gui/common/engine_modal.h"

#include <atomic>

namespace gui {

namespace {
std::atomic<int> g_depth{0};
}

bool engineModalOpen() {
  return g_depth.load() > 0;
}

EngineModalScope::EngineModalScope() {
  ++g_depth;
}

EngineModalScope::~EngineModalScope() {
  --g_depth;
}

}  // namespace gui
