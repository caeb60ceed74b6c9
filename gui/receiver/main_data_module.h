// MainDataModule: the receiver program's menu, its actions with their
// execute and update rules, the engine timer (ReceiverTimer), the monitor
// timer (ReceiveMonitorTimer) and the two settings-file dialogs.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QAction;
class QFileDialog;
class QMenu;

namespace gui {
class ActionUpdater;
}

namespace receiver {

class ReceiverMainForm;

class MainDataModule : public QObject {
  Q_OBJECT
 public:
  explicit MainDataModule(ReceiverMainForm* form);
  ~MainDataModule() override;

  void setDialogs(QWidget* pointerSetting, QWidget* receiveMonitor, QWidget* multicastSetting);
  void start();
  void stopTimers();
  void engineTick();

  QAction* action(const QString& objectName) const;
  QFileDialog* openDialog() const { return openDialog_; }
  QFileDialog* saveDialog() const { return saveDialog_; }
  QTimer* engineTimer() { return &engineTimer_; }
  QTimer* monitorTimer() { return &monitorTimer_; }
  gui::ActionUpdater* updater() const { return updater_; }

 private:
  QAction* addAction(QMenu* menu, const QString& text, const QString& name, std::function<void()> execute);
  void buildMenus();

  ReceiverMainForm* form_;
  gui::ActionUpdater* updater_;
  QTimer engineTimer_;
  QTimer monitorTimer_;
  QFileDialog* openDialog_;
  QFileDialog* saveDialog_;
  QWidget* pointerSetting_ = nullptr;
  QWidget* receiveMonitor_ = nullptr;
  QWidget* multicastSetting_ = nullptr;
};

}  // namespace receiver
