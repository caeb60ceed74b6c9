// The panel that holds the engine's video window: a native widget (it has an
// X11 window of its own, handed to the engine as the owner window) with a
// navy background, named "VideoRenderPanel".
#pragma once

#include <QWidget>
#include <cstdint>

namespace gui {

class VideoPanel : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPanel(QWidget* parent = nullptr);
  // The X11 window id of the panel (creates the native window if needed).
  intptr_t nativeWindow();
};

}  // namespace gui
