#include "gui/sender/send_monitor_form.h"

#include <QLabel>

#include "talvex/Talvex.h"

namespace sender {

SendMonitorForm::SendMonitorForm(QTimer* timer, QWidget* parent)
    : StreamMonitorForm(timer, [] { return TalvexIsInitialized(); }, QStringLiteral("SendMonitorForm"),
                        QStringLiteral("送信モニタ"),
                        {QStringLiteral("送信レート (kbit/sec)"), QStringLiteral("フレームレート (fr/sec)")},
                        parent) {
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < 2; ++c) cell(r, c)->setMinimumWidth(90);
}

void SendMonitorForm::refresh() {
  const unsigned rates[kRows] = {TalvexGetVideoServerMainTransmittingRate(),
                                 TalvexGetVideoServerSubTransmittingRate(),
                                 TalvexGetAudioServerTransmittingRate()};
  const unsigned frames[kRows] = {TalvexGetVideoServerMainFrameRate(), TalvexGetVideoServerSubFrameRate(),
                                  TalvexGetAudioServerFrameRate()};
  for (int r = 0; r < kRows; ++r) {
    cell(r, 0)->setText(QString::asprintf("%5.3f", rates[r] / 1024.0));
    cell(r, 1)->setText(QString::number(frames[r]));
  }
}

}  // namespace sender
