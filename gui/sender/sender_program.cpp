#include "gui/sender/sender_program.h"

#include <QFile>

#include "gui/common/message_box_bridge.h"
#include "gui/common/property_frame_dialog.h"
#include "gui/common/settings_file.h"
#include "gui/sender/focus_display_setting_form.h"
#include "gui/sender/main_data_module.h"
#include "gui/sender/multicast_setting_form.h"
#include "gui/sender/send_monitor_form.h"
#include "gui/sender/sender_main_form.h"
#include "talvex/Talvex.h"

namespace sender {

SenderProgram::SenderProgram(QString settingsFile)
    : settingsFile_(std::move(settingsFile)),
      boxes_(std::make_unique<gui::MessageBoxBridge>()),
      frames_(std::make_unique<gui::PropertyFrameBridge>()) {}

SenderProgram::~SenderProgram() {
  delete mainForm_;  // shuts the engine down if the window was never closed
}

bool SenderProgram::start() {
  mainForm_ = new SenderMainForm;
  mainForm_->setBeforeShutdown([this] { beforeShutdown(); });
  if (!mainForm_->initializeEngine()) {
    mainForm_->shutdownEngine();
    return false;
  }
  dataModule_ = new MainDataModule(mainForm_);
  multicast_ = new MulticastSettingForm(mainForm_);
  focus_ = new FocusDisplaySettingForm([form = mainForm_] { form->fit(); }, mainForm_);
  monitor_ = new SendMonitorForm(dataModule_->monitorTimer(), mainForm_);
  dataModule_->setDialogs(multicast_, focus_, monitor_);

  // The settings of the last run, applied as a read from the file menu is.
  if (!settingsFile_.isEmpty() && QFile::exists(settingsFile_)) {
    TalvexReadIniFile(QFile::encodeName(settingsFile_).constData());
    dataModule_->rebuildCaptureMenus();
  }
  mainForm_->show();
  mainForm_->fit();
  dataModule_->start();
  return true;
}

void SenderProgram::beforeShutdown() {
  // Nothing may call into the engine once it is gone.
  if (dataModule_) dataModule_->stopTimers();
  if (monitor_) monitor_->hide();
  if (settingsFile_.isEmpty() || !TalvexIsInitialized() || !dataModule_) return;
  gui::saveSettingsAtomically(settingsFile_,
                              [](const std::string& file) { return TalvexWriteIniFile(file.c_str()); });
}

}  // namespace sender
