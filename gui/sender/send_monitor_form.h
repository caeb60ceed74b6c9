// SendMonitorForm ("送信モニタ"): the send rate and frame rate of the main
// video, sub video and audio servers, read every 500 ms while shown.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace sender {

class SendMonitorForm : public QDialog {
  Q_OBJECT
 public:
  // timer: the data module's monitor timer (500 ms).
  SendMonitorForm(QTimer* timer, QWidget* parent = nullptr);

  // Value cell of row r (0 main, 1 sub, 2 audio), column c (0 rate, 1 frames).
  QLabel* cell(int r, int c) const { return cells_[r][c]; }
  void tick();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer* timer_;
  QLabel* cells_[3][2];
};

}  // namespace sender
