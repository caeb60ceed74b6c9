// SIGTERM, SIGINT and SIGHUP end the program as closing its main window
// does (timers stopped, settings saved, engine shut down) instead of killing
// it in the middle of a frame.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace gui {

class QuitOnSignals : public QObject {
  Q_OBJECT
 public:
  // quit runs on the GUI thread when one of the signals arrives.
  explicit QuitOnSignals(std::function<void()> quit, QObject* parent = nullptr);
  ~QuitOnSignals() override;

 private:
  std::function<void()> quit_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace gui
