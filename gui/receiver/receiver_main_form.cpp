#include "gui/receiver/receiver_main_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <cstring>

#include "gui/common/video_panel.h"
#include "gui/common/window_fitter.h"
#include "morvane/Morvane.h"
#include "platform/win/message_box.h"

namespace receiver {

namespace {
// The number the engine gives a graph-building problem.
constexpr int32_t kProblemNumber = 1;
}  // namespace

ReceiverMainForm::ReceiverMainForm(QWidget* parent) : QMainWindow(parent) {
  const gui::MainWindowParts parts =
      gui::layOutMainWindow(this, QStringLiteral("ReceiverMainForm"), QStringLiteral("着目点の遠隔共有ソフトウェア　（受信）"));
  panel_ = parts.panel;
  status_ = parts.status;
  fitter_ = new gui::WindowFitter(this, panel_,
                                  {[] { return MorvaneIsInitialized(); },
                                   [] {
                                     uint32_t w = 0, h = 0;
                                     MorvaneGetVideoWindowSize(&w, &h);
                                     return QSize(static_cast<int>(w), static_cast<int>(h));
                                   },
                                   [](int x, int y) { MorvaneSetVideoWindowPosition(x, y); }});
}

ReceiverMainForm::~ReceiverMainForm() {
  shutdownEngine();
}

int ReceiverMainForm::engineCallback(const char* message, int32_t number, void* user) {
  auto* fitter = static_cast<gui::WindowFitter*>(user);
  if (!message) return 0;
  if (std::strcmp(message, "ResizeForm") == 0) {
    if (fitter) fitter->fitQueued();
  } else if (number == kProblemNumber) {
    // Shown without blocking this thread (the hook queues the box).
    platform::win::showMessageBox("Morvane", message, platform::win::MessageBoxType::Warning);
  }
  return 0;
}

bool ReceiverMainForm::initializeEngine() {
  if (!MorvaneInitialize(static_cast<MorvaneWindowHandle>(panel_->nativeWindow()))) return false;
  MorvaneSetCallbackFunction(&ReceiverMainForm::engineCallback, fitter_);
  return true;
}

void ReceiverMainForm::fit() {
  fitter_->fit();
}

void ReceiverMainForm::shutdownEngine() {
  if (engineShutDown_) return;
  engineShutDown_ = true;
  if (beforeShutdown_) beforeShutdown_();
  if (MorvaneIsInitialized()) {
    MorvaneSetCallbackFunction(nullptr, nullptr);
    MorvaneShutdown();
  }
}

void ReceiverMainForm::closeEvent(QCloseEvent* event) {
  shutdownEngine();
  event->accept();
}

}  // namespace receiver
