#include "gui/common/message_box_bridge.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <atomic>

#include "gui/common/engine_modal.h"

namespace gui {

namespace {
// The installed bridge; read and written on the GUI thread only.
MessageBoxBridge* g_bridge = nullptr;

QMessageBox::Icon iconFor(platform::win::MessageBoxType type) {
  switch (type) {
    case platform::win::MessageBoxType::Warning:
      return QMessageBox::Warning;
    case platform::win::MessageBoxType::Error:
      return QMessageBox::Critical;
    case platform::win::MessageBoxType::Question:
      return QMessageBox::Question;
    case platform::win::MessageBoxType::Information:
      break;
  }
  return QMessageBox::Information;
}
}  // namespace

MessageBoxBridge::MessageBoxBridge(QObject* parent) : QObject(parent) {
  g_bridge = this;
  // The hook holds no pointer to the bridge: a call that races with the
  // bridge's end finds it gone on the GUI thread and is dropped there.
  platform::win::setMessageBoxHook(&MessageBoxBridge::show);
}

MessageBoxBridge::~MessageBoxBridge() {
  platform::win::setMessageBoxHook({});
  if (g_bridge == this) g_bridge = nullptr;
}

QMessageBox* MessageBoxBridge::makeBox(const QString& title, const QString& text,
                                       platform::win::MessageBoxType type) {
  QWidget* parent = QApplication::activeWindow();
  auto* box = new QMessageBox(iconFor(type), title.isEmpty() ? QApplication::applicationDisplayName() : title,
                              text, QMessageBox::NoButton, parent);
  if (type == platform::win::MessageBoxType::Question)
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  else
    box->setStandardButtons(QMessageBox::Ok);
  return box;
}

platform::win::MessageBoxResult MessageBoxBridge::show(const std::string& title, const std::string& text,
                                                       platform::win::MessageBoxType type) {
  const QString qtitle = QString::fromStdString(title);
  const QString qtext = QString::fromStdString(text);
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return platform::win::MessageBoxResult::Ok;
  if (QThread::currentThread() != app->thread()) {
    // Another thread: hand the box to the GUI thread and return at once.
    QMetaObject::invokeMethod(
        app,
        [qtitle, qtext, type] {
          if (!g_bridge) return;
          QMessageBox* box = makeBox(qtitle, qtext, type);
          box->setAttribute(Qt::WA_DeleteOnClose);
          box->setWindowModality(Qt::NonModal);
          box->show();
          emit g_bridge->boxShown(box);
        },
        Qt::QueuedConnection);
    return platform::win::MessageBoxResult::Ok;
  }
  if (!g_bridge) return platform::win::MessageBoxResult::Ok;

  QMessageBox* box = makeBox(qtitle, qtext, type);
  box->setWindowModality(Qt::ApplicationModal);
  QPointer<QMessageBox> guard(box);
  QMetaObject::invokeMethod(
      app,
      [guard] {
        if (guard && g_bridge) emit g_bridge->boxShown(guard);
      },
      Qt::QueuedConnection);
  int answer = QMessageBox::Ok;
  {
    EngineModalScope modal;
    answer = box->exec();
  }
  delete box;
  switch (answer) {
    case QMessageBox::Yes:
      return platform::win::MessageBoxResult::Yes;
    case QMessageBox::No:
      return platform::win::MessageBoxResult::No;
    case QMessageBox::Cancel:
      return platform::win::MessageBoxResult::Cancel;
    default:
      return platform::win::MessageBoxResult::Ok;
  }
}

}  // namespace gui
