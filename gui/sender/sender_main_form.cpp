#include "gui/sender/sender_main_form.h"

#include <QCloseEvent>
#include <QLabel>

#include "gui/common/video_panel.h"
#include "gui/common/window_fitter.h"
#include "talvex/Talvex.h"

namespace sender {

SenderMainForm::SenderMainForm(QWidget* parent) : QMainWindow(parent) {
  const gui::MainWindowParts parts =
      gui::layOutMainWindow(this, QStringLiteral("SenderMainForm"), QStringLiteral("着目点の遠隔共有ソフトウェア　（送信）"));
  panel_ = parts.panel;
  status_ = parts.status;
  fitter_ = new gui::WindowFitter(this, panel_,
                                  {[] { return TalvexIsInitialized(); },
                                   [] {
                                     unsigned w = 0, h = 0;
                                     TalvexGetVideoWindowSize(&w, &h);
                                     return QSize(static_cast<int>(w), static_cast<int>(h));
                                   },
                                   [](int x, int y) { TalvexSetVideoWindowPosition(x, y); }});
}

SenderMainForm::~SenderMainForm() {
  shutdownEngine();
}

bool SenderMainForm::initializeEngine() {
  engineStarted_ = TalvexInitialize(static_cast<TalvexWindow>(panel_->nativeWindow()));
  if (engineStarted_) fit();
  return engineStarted_;
}

void SenderMainForm::fit() {
  fitter_->fit();
}

void SenderMainForm::shutdownEngine() {
  if (engineShutDown_) return;
  engineShutDown_ = true;
  if (beforeShutdown_) beforeShutdown_();
  // A failed initialisation leaves the engine object behind; it is ended too.
  if (TalvexIsInitialized()) TalvexShutdown();
}

void SenderMainForm::closeEvent(QCloseEvent* event) {
  shutdownEngine();
  event->accept();
}

}  // namespace sender
