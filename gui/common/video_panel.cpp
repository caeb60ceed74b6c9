#include "gui/common/video_panel.h"

#include <QPalette>

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

}  // namespace gui
