#include "gui/receiver/receiver_program.h"

#include <QFile>

#include "gui/common/message_box_bridge.h"
#include "gui/common/property_frame_dialog.h"
#include "gui/common/settings_file.h"
#include "gui/receiver/main_data_module.h"
#include "gui/receiver/multicast_setting_form.h"
#include "gui/receiver/pointer_setting_form.h"
#include "gui/receiver/receive_monitor_form.h"
#include "gui/receiver/receiver_main_form.h"
#include "morvane/Morvane.h"

namespace receiver {

ReceiverProgram::ReceiverProgram(QString settingsFile)
    : settingsFile_(std::move(settingsFile)),
      boxes_(std::make_unique<gui::MessageBoxBridge>()),
      frames_(std::make_unique<gui::PropertyFrameBridge>()) {}

ReceiverProgram::~ReceiverProgram() {
  delete mainForm_;
}

bool ReceiverProgram::start() {
  mainForm_ = new ReceiverMainForm;
  mainForm_->setBeforeShutdown([this] { beforeShutdown(); });
  if (!mainForm_->initializeEngine()) {
    mainForm_->shutdownEngine();
    return false;
  }
  // The last run's settings, before the dialogs fill themselves from the engine.
  if (!settingsFile_.isEmpty() && QFile::exists(settingsFile_))
    MorvaneReadIniFile(QFile::encodeName(settingsFile_).constData());
  dataModule_ = new MainDataModule(mainForm_);
  pointer_ = new PointerSettingForm(mainForm_);
  monitor_ = new ReceiveMonitorForm(dataModule_->monitorTimer(), mainForm_);
  multicast_ = new MulticastSettingForm(mainForm_);
  dataModule_->setDialogs(pointer_, monitor_, multicast_);
  mainForm_->show();
  mainForm_->fit();
  dataModule_->start();
  return true;
}

void ReceiverProgram::beforeShutdown() {
  if (dataModule_) dataModule_->stopTimers();
  if (monitor_) monitor_->hide();
  if (settingsFile_.isEmpty() || !MorvaneIsInitialized() || !dataModule_) return;
  gui::saveSettingsAtomically(settingsFile_,
                              [](const std::string& file) { return MorvaneWriteIniFile(file.c_str()); });
}

}  // namespace receiver
