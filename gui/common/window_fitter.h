// Window fitting: after anything that may change the video size, the main
// window grows (never shrinks) so that its client area holds the video
// between the menu bar and the status bar, and the video window is centred
// in the panel. Centring also runs whenever the panel is resized, while the
// engine is initialised.
#pragma once

#include <QObject>
#include <QSize>
#include <functional>

class QMainWindow;
class QWidget;

namespace gui {

// How the fitter reaches the engine's video window.
struct VideoWindowAccess {
  std::function<bool()> initialized;              // the engine exists
  std::function<QSize()> size;                    // video window size
  std::function<void(int x, int y)> setPosition;  // relative to the panel
};

class WindowFitter : public QObject {
  Q_OBJECT
 public:
  WindowFitter(QMainWindow* window, QWidget* panel, VideoWindowAccess access);

  // Grows the window for the video and centres it (GUI thread only).
  void fit();
  // The same, handed to the GUI thread from any thread (the receiver
  // engine's "ResizeForm" arrives on its status thread). Never blocks.
  void fitQueued();
  // Centres the video in the panel as it is now.
  void centre();

  // The centred position of a video of size video in a panel of size panel.
  static QPoint centredPosition(QSize panel, QSize video);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMainWindow* window_;
  QWidget* panel_;
  VideoWindowAccess access_;
};

}  // namespace gui
