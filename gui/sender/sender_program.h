// The sender program: its five objects created in order (main window, data
// module, multicast dialog, focus-display dialog, send monitor), the
// settings file read at start and written at exit, and the order of the end:
// every timer stops before the engine is shut down.
#pragma once

#include <QString>
#include <memory>

namespace gui {
class MessageBoxBridge;
class PropertyFrameBridge;
}  // namespace gui

namespace sender {

class SenderMainForm;
class MainDataModule;
class MulticastSettingForm;
class FocusDisplaySettingForm;
class SendMonitorForm;

class SenderProgram {
 public:
  // settingsFile: read at start when it exists, written at exit.
  explicit SenderProgram(QString settingsFile);
  ~SenderProgram();
  SenderProgram(const SenderProgram&) = delete;
  SenderProgram& operator=(const SenderProgram&) = delete;

  // Creates the objects and starts the engine; false when the engine could
  // not start (its messages have been shown; the engine is shut down).
  bool start();

  SenderMainForm* mainForm() const { return mainForm_; }
  MainDataModule* dataModule() const { return dataModule_; }
  MulticastSettingForm* multicastSettingForm() const { return multicast_; }
  FocusDisplaySettingForm* focusDisplaySettingForm() const { return focus_; }
  SendMonitorForm* sendMonitorForm() const { return monitor_; }

 private:
  void beforeShutdown();

  QString settingsFile_;
  std::unique_ptr<gui::MessageBoxBridge> boxes_;
  std::unique_ptr<gui::PropertyFrameBridge> frames_;
  SenderMainForm* mainForm_ = nullptr;  // owns the others (Qt parents)
  MainDataModule* dataModule_ = nullptr;
  MulticastSettingForm* multicast_ = nullptr;
  FocusDisplaySettingForm* focus_ = nullptr;
  SendMonitorForm* monitor_ = nullptr;
};

}  // namespace sender
