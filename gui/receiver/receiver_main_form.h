// ReceiverMainForm: the receiving station's main window: the menu bar, the
// video panel that owns the engine's video window, and a status bar of one
// panel. Creating it starts the engine on the panel's window and registers
// the engine callback.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>

class QLabel;

namespace gui {
class VideoPanel;
class WindowFitter;
}  // namespace gui

namespace receiver {

class ReceiverMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit ReceiverMainForm(QWidget* parent = nullptr);
  ~ReceiverMainForm() override;

  // MorvaneInitialize on the panel's window and the callback; false when
  // the engine failed.
  bool initializeEngine();

  void fit();
  gui::VideoPanel* videoPanel() const { return panel_; }
  QLabel* statusPanel() const { return status_; }
  gui::WindowFitter* fitter() const { return fitter_; }

  // Runs when the window closes, before the engine is shut down.
  void setBeforeShutdown(std::function<void()> f) { beforeShutdown_ = std::move(f); }
  void shutdownEngine();

  // The engine callback (status thread): "ResizeForm" fits the window on the
  // GUI thread; a graph-building problem (number 1) is shown in a message
  // box, queued to the GUI thread; anything else is ignored.
  static int engineCallback(const char* message, int32_t number, void* user);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  gui::VideoPanel* panel_;
  QLabel* status_;
  gui::WindowFitter* fitter_;
  bool engineShutDown_ = false;
  std::function<void()> beforeShutdown_;
};

}  // namespace receiver
