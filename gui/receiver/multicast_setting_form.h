// MulticastSettingForm ("マルチキャスト設定"): the group and port the station
// listens on for the sender's status. Filled once, when created.
#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace gui {
class EditedField;
}

namespace receiver {

class MulticastSettingForm : public QDialog {
  Q_OBJECT
 public:
  explicit MulticastSettingForm(QWidget* parent = nullptr);

  QGroupBox* group() const { return group_; }
  QLineEdit* address() const { return address_; }
  QSpinBox* port() const { return port_; }
  QPushButton* addressButton() const { return addressButton_; }
  QPushButton* portButton() const { return portButton_; }

 private:
  // A listener that did not open again is reported, not dropped.
  void reportReopen(bool opened);

  QGroupBox* group_;
  QLineEdit* address_;
  QSpinBox* port_;
  QPushButton* addressButton_;
  QPushButton* portButton_;
};

}  // namespace receiver
