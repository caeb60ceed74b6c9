// SendMonitorForm ("送信モニタ"): the send rate and frame rate of the main
// video, sub video and audio servers, read every 500 ms while shown.
#pragma once

#include "gui/common/stream_monitor_form.h"

namespace sender {

class SendMonitorForm : public gui::StreamMonitorForm {
  Q_OBJECT
 public:
  // timer: the data module's monitor timer (500 ms). Columns: 0 rate, 1 frames.
  SendMonitorForm(QTimer* timer, QWidget* parent = nullptr);

 protected:
  void refresh() override;
};

}  // namespace sender
