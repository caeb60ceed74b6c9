#include "gui/receiver/receive_monitor_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

#include "gui/common/engine_modal.h"
#include "morvane/Morvane.h"

namespace receiver {

ReceiveMonitorForm::ReceiveMonitorForm(QTimer* timer, QWidget* parent) : QDialog(parent), timer_(timer) {
  setObjectName(QStringLiteral("ReceiveMonitorForm"));
  setWindowTitle(QStringLiteral("受信モニタ"));
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(16);
  const QString columns[5] = {QStringLiteral("受信レート (kbit/sec)"),
                              QStringLiteral("フレームレート (fr/sec)"), QStringLiteral("ドロップパケット数"),
                              QStringLiteral("ドロップフレーム数"), QStringLiteral("パケットサイズ (byte)")};
  for (int c = 0; c < 5; ++c) grid->addWidget(new QLabel(columns[c], this), 0, c + 1, Qt::AlignRight);
  const QString rows[3] = {QStringLiteral("ビデオ（メイン）"), QStringLiteral("ビデオ（サブ）"),
                           QStringLiteral("オーディオ：")};
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(rows[r], this), r + 1, 0);
    for (int c = 0; c < 5; ++c) {
      cells_[r][c] = new QLabel(this);
      cells_[r][c]->setObjectName(QStringLiteral("Cell%1%2").arg(r).arg(c));
      cells_[r][c]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(cells_[r][c], r + 1, c + 1);
    }
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  connect(timer_, &QTimer::timeout, this, &ReceiveMonitorForm::tick);
}

void ReceiveMonitorForm::tick() {
  if (gui::engineModalOpen() || !MorvaneIsInitialized()) return;
  using Get = uint32_t (*)();
  const Get table[3][5] = {
      {MorvaneGetVideoClientMainReceiveRate, MorvaneGetVideoClientMainFrameRate,
       MorvaneGetVideoClientMainNumDropPackets, MorvaneGetVideoClientMainNumDropFrames,
       MorvaneGetVideoClientMainPacketSize},
      {MorvaneGetVideoClientSubReceiveRate, MorvaneGetVideoClientSubFrameRate,
       MorvaneGetVideoClientSubNumDropPackets, MorvaneGetVideoClientSubNumDropFrames,
       MorvaneGetVideoClientSubPacketSize},
      {MorvaneGetAudioClientReceiveRate, MorvaneGetAudioClientFrameRate, MorvaneGetAudioClientNumDropPackets,
       MorvaneGetAudioClientNumDropFrames, MorvaneGetAudioClientPacketSize},
  };
  for (int r = 0; r < 3; ++r) {
    cells_[r][0]->setText(QString::asprintf("%5.3f", table[r][0]() / 1024.0));
    for (int c = 1; c < 5; ++c) cells_[r][c]->setText(QString::number(table[r][c]()));
  }
}

void ReceiveMonitorForm::showEvent(QShowEvent* event) {
  timer_->start();
  QDialog::showEvent(event);
}

void ReceiveMonitorForm::hideEvent(QHideEvent* event) {
  timer_->stop();
  QDialog::hideEvent(event);
}

}  // namespace receiver
