// Support for the GUI tests: one QApplication on the xcb platform (the tests
// run under tools/with-xvfb), waiting for a condition while events run,
// acting on the next modal window, and screenshots that include the
// engine's X11 video window.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "gui/common/translations.h"
#include "platform/filters/capture/test_pattern_code.h"

namespace guitest {

// Skips the test when there is no X server (the test is then not run under
// tools/with-xvfb).
#define GUI_REQUIRE_DISPLAY()                                                          \
  do {                                                                                 \
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY"))                           \
      GTEST_SKIP() << "no X display (run through tools/with-xvfb); GUI tests skipped"; \
  } while (0)

inline QApplication& app() {
  static int argc = 1;
  static char name[] = "gui-test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: the test program ends with it (destroying it among the
  // static destructors races with Qt's own).
  static QApplication* instance = [] {
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    auto* a = new QApplication(argc, argv);
    gui::installJapaneseTranslations(*a);  // as the programs do
    return a;
  }();
  return *instance;
}

// Runs events until pred() holds or timeoutMs passed; returns pred().
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!pred()) {
    if (clock.elapsed() > timeoutMs) return pred();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs events for ms milliseconds.
inline void pump(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Calls act with the next modal window once it is shown (polling from the
// event loop that the modal window runs). act must close the window. A
// window that does not appear within 30 s fails the test.
inline void whenModal(std::function<void(QWidget*)> act, QWidget* notThis = nullptr) {
  auto* poll = new QTimer(&app());
  poll->setInterval(20);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act), notThis, clock] {
    // A window that never came must not catch a later test's window.
    if (clock->elapsed() > 30000) {
      ADD_FAILURE() << "the expected modal window did not appear";
      poll->stop();
      poll->deleteLater();
      return;
    }
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == notThis || !w->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    QTimer::singleShot(50, w, [act, w] { act(w); });
  });
  poll->start();
}

// The folder of the screenshots: <build>/screenshots.
inline QString screenshotDir() {
  const char* build = std::getenv("PROJECT_BINARY_DIR");
  QString dir = QString::fromLocal8Bit(build && *build ? build : ".") + QStringLiteral("/screenshots");
  QDir().mkpath(dir);
  return dir;
}

// Saves what the X server shows of the window (with child windows such as
// the engine's video window) as <build>/screenshots/<name>.png.
inline QImage screenshot(QWidget* window, const QString& name) {
  pump(150);
  QImage image = window->screen()->grabWindow(window->winId()).toImage();
  if (!name.isEmpty()) image.save(screenshotDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
  return image;
}

// The frame number of the test pattern shown at the video window's place
// (pos, size in the panel) inside a program's main window, read from the
// screen (kept as screenshot shotName).
inline bool readPanelFrame(QWidget* form, QWidget* panel, QPoint pos, QSize size, uint32_t* frame,
                           const QString& shotName) {
  const QImage shot = screenshot(form, shotName);
  const QImage picture =
      shot.copy(QRect(panel->mapTo(form, pos), size)).convertToFormat(QImage::Format_RGB888);
  return test_pattern::readFrameNumber(
      picture.width(), picture.height(), [&](int x, int y) { return qGray(picture.pixel(x, y)); }, frame);
}

// Types the file's name into an open file dialog and accepts it, as a user
// does.
inline void chooseFile(QFileDialog* dialog, const QString& path) {
  dialog->setDirectory(QFileInfo(path).absolutePath());
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  name->setText(QFileInfo(path).fileName());
  QMetaObject::invokeMethod(dialog, "accept");
}

// A monitor window: its captions (the unnamed labels) and, once shown,
// three rows of cells: a rate with three decimals, then whole numbers.
template <class Monitor>
QStringList monitorCaptions(const Monitor* monitor) {
  QStringList rows;
  for (QLabel* l : monitor->template findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (l->objectName().isEmpty()) rows << l->text();
  return rows;
}
template <class Monitor>
void expectMonitorCells(const Monitor* monitor, int columns) {
  const QRegularExpression rate(QStringLiteral("^ *[0-9]+\\.[0-9]{3}$"));
  for (int r = 0; r < 3; ++r) {
    EXPECT_TRUE(rate.match(monitor->cell(r, 0)->text()).hasMatch())
        << monitor->cell(r, 0)->text().toStdString();
    for (int c = 1; c < columns; ++c) {
      bool number = false;
      monitor->cell(r, c)->text().toUInt(&number);
      EXPECT_TRUE(number) << r << "," << c;
    }
  }
}

// A program started where the system's filter plug-ins cannot be found:
// the engine's messages appear as message boxes (each answered as it comes),
// the start reports a failure (the program then exits with a failure
// status), the engine is shut down and no settings file is written.
template <class Program>
void expectStartFailure(const char* iniName, bool (*initialized)(), const QString& message) {
  app();
  QTemporaryDir dir;
  const QString registry = dir.filePath("empty-registry");
  QFile(registry).open(QIODevice::WriteOnly);
  setenv("POINTSHARE_CLASS_REGISTRY", registry.toLocal8Bit().constData(), 1);
  QStringList messages;
  std::function<void(QWidget*)> answer = [&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      messages << box->text();
      box->accept();
      whenModal(answer);
    }
  };
  whenModal(answer);
  Program program(dir.filePath(iniName));
  EXPECT_FALSE(program.start());
  EXPECT_FALSE(initialized());
  EXPECT_TRUE(messages.contains(message)) << messages.join('|').toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath(iniName)));
}

}  // namespace guitest
