#include "gui/sender/send_monitor_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

#include "gui/common/engine_modal.h"
#include "talvex/Talvex.h"

namespace sender {

SendMonitorForm::SendMonitorForm(QTimer* timer, QWidget* parent) : QDialog(parent), timer_(timer) {
  setObjectName(QStringLiteral("SendMonitorForm"));
  setWindowTitle(QStringLiteral("送信モニタ"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(16);
  grid->addWidget(new QLabel(QStringLiteral("送信レート (kbit/sec)"), this), 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel(QStringLiteral("フレームレート (fr/sec)"), this), 0, 2, Qt::AlignRight);
  const QString rows[3] = {QStringLiteral("ビデオ（メイン）"), QStringLiteral("ビデオ（サブ）"),
                           QStringLiteral("オーディオ：")};
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(rows[r], this), r + 1, 0);
    for (int c = 0; c < 2; ++c) {
      cells_[r][c] = new QLabel(this);
      cells_[r][c]->setObjectName(QStringLiteral("Cell%1%2").arg(r).arg(c));
      cells_[r][c]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      cells_[r][c]->setMinimumWidth(90);
      grid->addWidget(cells_[r][c], r + 1, c + 1);
    }
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  connect(timer_, &QTimer::timeout, this, &SendMonitorForm::tick);
}

void SendMonitorForm::tick() {
  if (gui::engineModalOpen() || !TalvexIsInitialized()) return;
  const unsigned rates[3] = {TalvexGetVideoServerMainTransmittingRate(),
                             TalvexGetVideoServerSubTransmittingRate(),
                             TalvexGetAudioServerTransmittingRate()};
  const unsigned frames[3] = {TalvexGetVideoServerMainFrameRate(), TalvexGetVideoServerSubFrameRate(),
                              TalvexGetAudioServerFrameRate()};
  for (int r = 0; r < 3; ++r) {
    cells_[r][0]->setText(QString::asprintf("%5.3f", rates[r] / 1024.0));
    cells_[r][1]->setText(QString::number(frames[r]));
  }
}

void SendMonitorForm::showEvent(QShowEvent* event) {
  timer_->start();
  QDialog::showEvent(event);
}

void SendMonitorForm::hideEvent(QHideEvent* event) {
  timer_->stop();
  QDialog::hideEvent(event);
}

}  // namespace sender
