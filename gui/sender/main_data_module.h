// MainDataModule: the sender program's menu, its actions with their execute
// and update rules, the engine timer, the send monitor's timer and the two
// settings-file dialogs.
#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

class QAction;
class QFileDialog;
class QMenu;

namespace gui {
class ActionUpdater;
}

namespace sender {

class SenderMainForm;

class MainDataModule : public QObject {
  Q_OBJECT
 public:
  explicit MainDataModule(SenderMainForm* form);
  ~MainDataModule() override;

  // The dialogs the actions show (created after the data module).
  void setDialogs(QWidget* multicastSetting, QWidget* focusDisplaySetting, QWidget* sendMonitor);

  // Clears and refills the two capture-device submenus from the engine.
  void rebuildCaptureMenus();
  // Starts the engine timer and the idle updates.
  void start();
  // Stops every timer that calls the engine (engine, monitor, idle updates).
  void stopTimers();

  // The engine timer's tick: re-send the status and show the graph state.
  void engineTick();

  QAction* action(const QString& objectName) const;
  QMenu* menu(const QString& objectName) const;
  QFileDialog* openDialog() const { return openDialog_; }
  QFileDialog* saveDialog() const { return saveDialog_; }
  QTimer* engineTimer() { return &engineTimer_; }
  QTimer* monitorTimer() { return &monitorTimer_; }
  gui::ActionUpdater* updater() const { return updater_; }

 private:
  void buildMenus();
  QAction* addAction(QMenu* menu, const QString& text, const QString& name, std::function<void()> execute);
  void readIniFile();
  void writeIniFile();
  void fillCaptureMenu(QMenu* menu, bool video);

  SenderMainForm* form_;
  gui::ActionUpdater* updater_;
  QTimer engineTimer_;
  QTimer monitorTimer_;
  QFileDialog* openDialog_;
  QFileDialog* saveDialog_;
  QMenu* videoCaptureMenu_ = nullptr;
  QMenu* audioCaptureMenu_ = nullptr;
  QWidget* multicastSetting_ = nullptr;
  QWidget* focusDisplaySetting_ = nullptr;
  QWidget* sendMonitor_ = nullptr;
};

}  // namespace sender
