#include "gui/common/window_fitter.h"

#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace gui {

WindowFitter::WindowFitter(QMainWindow* window, QWidget* panel, VideoWindowAccess access)
    : QObject(window), window_(window), panel_(panel), access_(std::move(access)) {
  panel_->installEventFilter(this);
}

QPoint WindowFitter::centredPosition(QSize panel, QSize video) {
  const int x = video.width() < panel.width() ? (panel.width() - video.width()) / 2 : 0;
  const int y = video.height() < panel.height() ? (panel.height() - video.height()) / 2 : 0;
  return {x, y};
}

void WindowFitter::fit() {
  if (!access_.initialized || !access_.initialized()) return;
  const QSize video = access_.size();
  // Lay the window out first so that the bars have their real heights.
  if (QLayout* layout = window_->layout()) layout->activate();
  const int menuHeight = window_->menuWidget() ? window_->menuWidget()->height() : 0;
  const int statusHeight = window_->statusBar() ? window_->statusBar()->height() : 0;
  const int width = std::max(window_->width(), video.width());
  const int height = std::max(window_->height(), menuHeight + statusHeight + video.height());
  if (width != window_->width() || height != window_->height()) {
    window_->resize(width, height);
    if (QLayout* layout = window_->layout()) layout->activate();
  }
  centre();
}

void WindowFitter::fitQueued() {
  QMetaObject::invokeMethod(this, &WindowFitter::fit, Qt::QueuedConnection);
}

void WindowFitter::centre() {
  if (!access_.initialized || !access_.initialized()) return;
  const QPoint p = centredPosition(panel_->size(), access_.size());
  access_.setPosition(p.x(), p.y());
}

bool WindowFitter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel_ && event->type() == QEvent::Resize) centre();
  return QObject::eventFilter(watched, event);
}

}  // namespace gui
