// The "update when idle" rule of the programs' actions: each action has an
// update function that sets its enabled state and check mark from the
// engine. They all run before any watched menu opens and on a short timer
// while the program is idle, so that menus are right whenever they are seen.
// Nothing runs while the engine is not ready (before initialisation, after
// shutdown) or while it shows a modal window from inside one of its calls.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace gui {

class ActionUpdater : public QObject {
  Q_OBJECT
 public:
  explicit ActionUpdater(std::function<bool()> engineReady, QObject* parent = nullptr);

  void add(QAction* action, std::function<void(QAction*)> update);
  // Runs every update before the menu (and its submenus) is shown.
  void watch(QMenu* menu);
  void updateAll();
  // The idle timer (100 ms by default).
  void start(int intervalMs = 100);
  void stop();
  bool running() const { return timer_.isActive(); }

 private:
  struct Entry {
    QAction* action;
    std::function<void(QAction*)> update;
  };
  std::function<bool()> engineReady_;
  std::vector<Entry> entries_;
  QTimer timer_;
};

}  // namespace gui
