// ReceiveMonitorForm ("受信モニタ"): receive rate, frame rate, dropped
// packets, dropped frames and packet size of the main video, sub video and
// audio clients, read every 500 ms while shown.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace receiver {

class ReceiveMonitorForm : public QDialog {
  Q_OBJECT
 public:
  ReceiveMonitorForm(QTimer* timer, QWidget* parent = nullptr);

  // Row r (0 main, 1 sub, 2 audio), column c (0..4).
  QLabel* cell(int r, int c) const { return cells_[r][c]; }
  void tick();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer* timer_;
  QLabel* cells_[3][5];
};

}  // namespace receiver
