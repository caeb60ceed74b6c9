// The receiver program: its five objects created in order (main window, data
// module, pointer dialog, receive monitor, multicast dialog), the settings
// file read right after the engine starts and written at exit, and the
// order of the end: every timer stops before the engine is shut down.
#pragma once

#include <QString>
#include <memory>

namespace gui {
class MessageBoxBridge;
class PropertyFrameBridge;
}  // namespace gui

namespace receiver {

class ReceiverMainForm;
class MainDataModule;
class PointerSettingForm;
class ReceiveMonitorForm;
class MulticastSettingForm;

class ReceiverProgram {
 public:
  explicit ReceiverProgram(QString settingsFile);
  ~ReceiverProgram();
  ReceiverProgram(const ReceiverProgram&) = delete;
  ReceiverProgram& operator=(const ReceiverProgram&) = delete;

  // False when the engine could not start (its messages have been shown;
  // the engine is shut down).
  bool start();

  ReceiverMainForm* mainForm() const { return mainForm_; }
  MainDataModule* dataModule() const { return dataModule_; }
  PointerSettingForm* pointerSettingForm() const { return pointer_; }
  ReceiveMonitorForm* receiveMonitorForm() const { return monitor_; }
  MulticastSettingForm* multicastSettingForm() const { return multicast_; }

 private:
  void beforeShutdown();

  QString settingsFile_;
  std::unique_ptr<gui::MessageBoxBridge> boxes_;
  std::unique_ptr<gui::PropertyFrameBridge> frames_;
  ReceiverMainForm* mainForm_ = nullptr;
  MainDataModule* dataModule_ = nullptr;
  PointerSettingForm* pointer_ = nullptr;
  ReceiveMonitorForm* monitor_ = nullptr;
  MulticastSettingForm* multicast_ = nullptr;
};

}  // namespace receiver
