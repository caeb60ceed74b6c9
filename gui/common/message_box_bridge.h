// Shows the platform's message boxes (the engines' warnings and errors) as
// real Qt message boxes, always on the GUI thread.
//
// A box asked for on the GUI thread is shown at once and modally, and its
// answer is returned. A box asked for on any other thread (the receiver's
// status thread, a streaming thread) is queued to the GUI thread and shown
// there without a modal loop; the caller gets Ok at once and is never
// blocked, so an engine thread can never wait on the user or deadlock with
// the GUI thread that waits for its lock.
#pragma once

#include <QObject>

#include "platform/win/message_box.h"

class QMessageBox;

namespace gui {

class MessageBoxBridge : public QObject {
  Q_OBJECT
 public:
  // Installs the hook; the destructor removes it again. Create it on the GUI
  // thread, after the QApplication.
  explicit MessageBoxBridge(QObject* parent = nullptr);
  ~MessageBoxBridge() override;
  MessageBoxBridge(const MessageBoxBridge&) = delete;
  MessageBoxBridge& operator=(const MessageBoxBridge&) = delete;

 signals:
  // Emitted on the GUI thread for every box as it is shown.
  void boxShown(QMessageBox* box);

 private:
  static platform::win::MessageBoxResult show(const std::string& title, const std::string& text,
                                              platform::win::MessageBoxType type);
  static QMessageBox* makeBox(const QString& title, const QString& text, platform::win::MessageBoxType type);
};

}  // namespace gui
