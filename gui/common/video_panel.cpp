#include "gui/common/video_panel.h"

#include <QLabel>
#include <QMainWindow>
#include <QPalette>
#include <QStatusBar>

namespace gui {

VideoPanel::VideoPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("VideoRenderPanel"));
  setAttribute(Qt::WA_NativeWindow);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(0, 0, 128));  // navy
  setPalette(p);
  setAutoFillBackground(true);
}

intptr_t VideoPanel::nativeWindow() {
  return static_cast<intptr_t>(winId());
}

MainWindowParts layOutMainWindow(QMainWindow* window, const QString& objectName, const QString& title) {
  window->setObjectName(objectName);
  window->setWindowTitle(title);
  MainWindowParts parts{new VideoPanel(window), new QLabel(QStringLiteral("状態："), window)};
  window->setCentralWidget(parts.panel);
  parts.status->setObjectName(QStringLiteral("StatusPanel"));
  window->statusBar()->addWidget(parts.status, 1);
  window->statusBar()->setSizeGripEnabled(false);
  window->resize(360, 300);
  return parts;
}

}  // namespace gui
