#include "gui/receiver/receive_monitor_form.h"

#include <QLabel>

#include "morvane/Morvane.h"

namespace receiver {

ReceiveMonitorForm::ReceiveMonitorForm(QTimer* timer, QWidget* parent)
    : StreamMonitorForm(timer, [] { return MorvaneIsInitialized(); }, QStringLiteral("ReceiveMonitorForm"),
                        QStringLiteral("受信モニタ"),
                        {QStringLiteral("受信レート (kbit/sec)"), QStringLiteral("フレームレート (fr/sec)"),
                         QStringLiteral("ドロップパケット数"), QStringLiteral("ドロップフレーム数"),
                         QStringLiteral("パケットサイズ (byte)")},
                        parent) {}

void ReceiveMonitorForm::refresh() {
  using Get = uint32_t (*)();
  const Get table[kRows][5] = {
      {MorvaneGetVideoClientMainReceiveRate, MorvaneGetVideoClientMainFrameRate,
       MorvaneGetVideoClientMainNumDropPackets, MorvaneGetVideoClientMainNumDropFrames,
       MorvaneGetVideoClientMainPacketSize},
      {MorvaneGetVideoClientSubReceiveRate, MorvaneGetVideoClientSubFrameRate,
       MorvaneGetVideoClientSubNumDropPackets, MorvaneGetVideoClientSubNumDropFrames,
       MorvaneGetVideoClientSubPacketSize},
      {MorvaneGetAudioClientReceiveRate, MorvaneGetAudioClientFrameRate, MorvaneGetAudioClientNumDropPackets,
       MorvaneGetAudioClientNumDropFrames, MorvaneGetAudioClientPacketSize},
  };
  for (int r = 0; r < kRows; ++r) {
    cell(r, 0)->setText(QString::asprintf("%5.3f", table[r][0]() / 1024.0));
    for (int c = 1; c < 5; ++c) cell(r, c)->setText(QString::number(table[r][c]()));
  }
}

}  // namespace receiver
