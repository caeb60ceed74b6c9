// The panel that holds the engine's video window: a native widget (it has an
// X11 window of its own, handed to the engine as the owner window) with a
// navy background, named "VideoRenderPanel".
#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;
class QMainWindow;

namespace gui {

class VideoPanel : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPanel(QWidget* parent = nullptr);
  // The X11 window id of the panel (creates the native window if needed).
  intptr_t nativeWindow();
};

// A program's main window as both programs lay it out: the video panel in
// the middle, one status label ("状態：") across the status bar, no size
// grip, 360 x 300 until the window is fitted to the picture.
struct MainWindowParts {
  VideoPanel* panel;
  QLabel* status;
};
MainWindowParts layOutMainWindow(QMainWindow* window, const QString& objectName, const QString& title);

}  // namespace gui
