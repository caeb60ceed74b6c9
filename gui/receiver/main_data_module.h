// MainDataModule: the receiver program's menu, its actions with their
// execute and update rules, the engine timer (ReceiverTimer), the monitor
// timer (ReceiveMonitorTimer) and the two settings-file dialogs.
#pragma once

#include "gui/common/program_data_module.h"

namespace receiver {

class ReceiverMainForm;

class MainDataModule : public gui::ProgramDataModule {
  Q_OBJECT
 public:
  explicit MainDataModule(ReceiverMainForm* form);

  void setDialogs(QWidget* pointerSetting, QWidget* receiveMonitor, QWidget* multicastSetting);
  void engineTick();

 private:
  void buildMenus();

  ReceiverMainForm* form_;
  QWidget* pointerSetting_ = nullptr;
  QWidget* receiveMonitor_ = nullptr;
  QWidget* multicastSetting_ = nullptr;
};

}  // namespace receiver
