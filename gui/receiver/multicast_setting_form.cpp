#include "gui/receiver/multicast_setting_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/common/edited_field.h"
#include "morvane/Morvane.h"

namespace receiver {

MulticastSettingForm::MulticastSettingForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("MulticastSettingForm"));
  setWindowTitle(QStringLiteral("マルチキャスト設定"));
  auto* layout = new QVBoxLayout(this);
  group_ = new QGroupBox(QStringLiteral("ステータス受信"), this);
  layout->addWidget(group_);
  auto* grid = new QGridLayout(group_);
  grid->addWidget(new QLabel(QStringLiteral("マルチキャストアドレス"), group_), 0, 0);
  address_ = new QLineEdit(group_);
  grid->addWidget(address_, 0, 1);
  addressButton_ = new QPushButton(QStringLiteral("更新"), group_);
  grid->addWidget(addressButton_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("ポート番号"), group_), 1, 0);
  port_ = new QSpinBox(group_);
  port_->setRange(8000, 9000);
  grid->addWidget(port_, 1, 1);
  portButton_ = new QPushButton(QStringLiteral("更新"), group_);
  grid->addWidget(portButton_, 1, 2);

  auto* addressMark = new gui::EditedField(address_, addressButton_, true, [this] {
    reportReopen(MorvaneSetStatusReceiverAddress(address_->text().toUtf8().constData()));
  });
  auto* portMark = new gui::EditedField(port_, portButton_, [this] {
    reportReopen(MorvaneSetStatusReceiverPort(static_cast<uint16_t>(port_->value())));
  });
  const char* address = MorvaneGetStatusReceiverAddress();
  address_->setText(QString::fromUtf8(address ? address : ""));
  port_->setValue(MorvaneGetStatusReceiverPort());
  addressMark->clearMark();
  portMark->clearMark();
}

void MulticastSettingForm::reportReopen(bool opened) {
  if (opened) return;
  QMessageBox::warning(
      this, windowTitle(),
      QStringLiteral("ステータス受信を開けませんでした。アドレスとポート番号を確認してください。"));
}

}  // namespace receiver
