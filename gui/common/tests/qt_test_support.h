// Support for the GUI tests: one QApplication on the xcb platform (the tests
// run under tools/with-xvfb), waiting for a condition while events run,
// acting on the next modal window, and screenshots that include the
// engine's X11 video window.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "gui/common/translations.h"

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

}  // namespace guitest
