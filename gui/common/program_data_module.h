// ProgramDataModule: what the two programs' data modules share: the engine
// timer and the monitor timer, the two settings-file dialogs, the idle
// update of the actions, and menus and actions made so that their marks
// follow the engine.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QAction;
class QFileDialog;
class QMainWindow;
class QMenu;

namespace gui {

class ActionUpdater;

class ProgramDataModule : public QObject {
  Q_OBJECT
 public:
  ~ProgramDataModule() override;

  // Starts the engine timer and the idle updates.
  void start();
  // Stops every timer that calls the engine (engine, monitor, idle updates).
  void stopTimers();

  QAction* action(const QString& objectName) const;
  QFileDialog* openDialog() const { return openDialog_; }
  QFileDialog* saveDialog() const { return saveDialog_; }
  QTimer* engineTimer() { return &engineTimer_; }
  QTimer* monitorTimer() { return &monitorTimer_; }
  ActionUpdater* updater() const { return updater_; }

 protected:
  // engineReady: whether the engine takes calls. The timers carry the
  // object names given; the engine timer ticks every second, the monitor
  // timer every half second.
  ProgramDataModule(QMainWindow* window, std::function<bool()> engineReady, const QString& engineTimerName,
                    const QString& monitorTimerName);

  // A menu of the menu bar (parent nullptr) or a submenu, whose actions are
  // brought up to date before it opens.
  QMenu* addMenu(QMenu* parent, const QString& title, const QString& name);
  // An action that runs execute and then brings every action up to date.
  QAction* addAction(QMenu* menu, const QString& text, const QString& name, std::function<void()> execute);

 private:
  QMainWindow* window_;
  ActionUpdater* updater_;
  QTimer engineTimer_;
  QTimer monitorTimer_;
  QFileDialog* openDialog_;
  QFileDialog* saveDialog_;
};

}  // namespace gui
