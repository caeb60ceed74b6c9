// ReceiveMonitorForm ("受信モニタ"): receive rate, frame rate, dropped
// packets, dropped frames and packet size of the main video, sub video and
// audio clients, read every 500 ms while shown.
#pragma once

#include "gui/common/stream_monitor_form.h"

namespace receiver {

class ReceiveMonitorForm : public gui::StreamMonitorForm {
  Q_OBJECT
 public:
  // timer: the data module's monitor timer (500 ms). Columns 0..4.
  ReceiveMonitorForm(QTimer* timer, QWidget* parent = nullptr);

 protected:
  void refresh() override;
};

}  // namespace receiver
