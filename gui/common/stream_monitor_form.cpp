#include "gui/common/stream_monitor_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

#include "gui/common/engine_modal.h"

namespace gui {

StreamMonitorForm::StreamMonitorForm(QTimer* timer, std::function<bool()> engineReady, const QString& objectName,
                                     const QString& title, const QStringList& headings, QWidget* parent)
    : QDialog(parent), timer_(timer), engineReady_(std::move(engineReady)) {
  setObjectName(objectName);
  setWindowTitle(title);
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(16);
  for (int c = 0; c < headings.size(); ++c) grid->addWidget(new QLabel(headings[c], this), 0, c + 1, Qt::AlignRight);
  const QString rows[kRows] = {QStringLiteral("ビデオ（メイン）"), QStringLiteral("ビデオ（サブ）"),
                               QStringLiteral("オーディオ：")};
  for (int r = 0; r < kRows; ++r) {
    grid->addWidget(new QLabel(rows[r], this), r + 1, 0);
    for (int c = 0; c < headings.size(); ++c) {
      auto* value = new QLabel(this);
      value->setObjectName(QStringLiteral("Cell%1%2").arg(r).arg(c));
      value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(value, r + 1, c + 1);
      cells_[r].push_back(value);
    }
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  connect(timer_, &QTimer::timeout, this, &StreamMonitorForm::tick);
}

void StreamMonitorForm::tick() {
  if (engineModalOpen() || !engineReady_()) return;
  refresh();
}

void StreamMonitorForm::showEvent(QShowEvent* event) {
  timer_->start();
  QDialog::showEvent(event);
}

void StreamMonitorForm::hideEvent(QHideEvent* event) {
  timer_->stop();
  QDialog::hideEvent(event);
}

}  // namespace gui
