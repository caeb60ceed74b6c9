// MainDataModule: the sender program's menu, its actions with their execute
// and update rules, the engine timer, the send monitor's timer and the two
// settings-file dialogs.
#pragma once

#include "gui/common/program_data_module.h"

namespace sender {

class SenderMainForm;

class MainDataModule : public gui::ProgramDataModule {
  Q_OBJECT
 public:
  explicit MainDataModule(SenderMainForm* form);

  // The dialogs the actions show (created after the data module).
  void setDialogs(QWidget* multicastSetting, QWidget* focusDisplaySetting, QWidget* sendMonitor);

  // Clears and refills the two capture-device submenus from the engine.
  void rebuildCaptureMenus();
  // The engine timer's tick: re-send the status and show the graph state.
  void engineTick();

  QMenu* menu(const QString& objectName) const;

 private:
  void buildMenus();
  void readIniFile();
  void writeIniFile();
  void fillCaptureMenu(QMenu* menu, bool video);

  SenderMainForm* form_;
  QMenu* videoCaptureMenu_ = nullptr;
  QMenu* audioCaptureMenu_ = nullptr;
  QWidget* multicastSetting_ = nullptr;
  QWidget* focusDisplaySetting_ = nullptr;
  QWidget* sendMonitor_ = nullptr;
};

}  // namespace sender
