// While the engine shows a modal window from inside one of its calls (a
// message box, a property frame), the GUI thread runs a nested event loop in
// the middle of that call. Timers and idle updates must not call into the
// engine then: it is not between calls. The modal windows open an
// EngineModalScope; the timers ask engineModalOpen() and skip their tick.
#pragma once

namespace gui {

bool engineModalOpen();

class EngineModalScope {
 public:
  EngineModalScope();
  ~EngineModalScope();
  EngineModalScope(const EngineModalScope&) = delete;
  EngineModalScope& operator=(const EngineModalScope&) = delete;
};

}  // namespace gui
