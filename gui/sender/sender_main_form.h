// SenderMainForm: the sending station's main window: the menu bar, the navy
// video panel that owns the engine's preview window, and a status bar of one
// panel. Creating it starts the engine on the panel's window.
#pragma once

#include <QMainWindow>
#include <functional>

class QLabel;

namespace gui {
class VideoPanel;
class WindowFitter;
}  // namespace gui

namespace sender {

class SenderMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit SenderMainForm(QWidget* parent = nullptr);
  ~SenderMainForm() override;

  // TalvexInitialize on the panel's window; false when the engine failed.
  bool initializeEngine();
  bool engineStarted() const { return engineStarted_; }

  // Window fitting for the current video size.
  void fit();

  gui::VideoPanel* videoPanel() const { return panel_; }
  QLabel* statusPanel() const { return status_; }
  gui::WindowFitter* fitter() const { return fitter_; }

  // Runs once when the window is closed, before the engine is shut down:
  // the program stops its timers and saves its settings there.
  void setBeforeShutdown(std::function<void()> f) { beforeShutdown_ = std::move(f); }
  // Stops everything that calls the engine and shuts the engine down (also
  // after a failed initialisation); safe to call more than once.
  void shutdownEngine();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  gui::VideoPanel* panel_;
  QLabel* status_;
  gui::WindowFitter* fitter_;
  bool engineStarted_ = false;
  bool engineShutDown_ = false;
  std::function<void()> beforeShutdown_;
};

}  // namespace sender
