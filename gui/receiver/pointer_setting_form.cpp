#include "gui/receiver/pointer_setting_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/common/edited_field.h"
#include "gui/receiver/receiver_tables.h"
#include "morvane/Morvane.h"

namespace receiver {

PointerSettingForm::PointerSettingForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PointerSettingForm"));
  setWindowTitle(QStringLiteral("ポインタの詳細設定"));
  auto* layout = new QVBoxLayout(this);
  groups_.reserve(4);

  Group& own = addGroup(QStringLiteral("ポインタ送信"), QStringLiteral("ポインタ形状"), shapeChoices());
  own.setAddress = MorvaneSetPointerServerAddress;
  own.getAddress = MorvaneGetPointerServerAddress;
  own.setPort = MorvaneSetPointerServerPort;
  own.getPort = MorvaneGetPointerServerPort;
  connect(own.choice, &QComboBox::activated, this, [](int index) { MorvaneSetTracionPointerShape(index); });

  const QString titles[3] = {QStringLiteral("ポインタ受信 ①"), QStringLiteral("ポインタ受信 ②"),
                             QStringLiteral("ポインタ受信 ③")};
  void (*setAddress[3])(const char*) = {MorvaneSetPointerP1ClientAddress, MorvaneSetPointerP2ClientAddress,
                                        MorvaneSetPointerP3ClientAddress};
  const char* (*getAddress[3])() = {MorvaneGetPointerP1ClientAddress, MorvaneGetPointerP2ClientAddress,
                                    MorvaneGetPointerP3ClientAddress};
  void (*setPort[3])(uint16_t) = {MorvaneSetPointerP1ClientPort, MorvaneSetPointerP2ClientPort,
                                  MorvaneSetPointerP3ClientPort};
  uint16_t (*getPort[3])() = {MorvaneGetPointerP1ClientPort, MorvaneGetPointerP2ClientPort,
                              MorvaneGetPointerP3ClientPort};
  for (int n = 0; n < 3; ++n) {
    Group& g = addGroup(titles[n], QStringLiteral("ポインタの表示色"), colourChoices());
    g.setAddress = setAddress[n];
    g.getAddress = getAddress[n];
    g.setPort = setPort[n];
    g.getPort = getPort[n];
    // The empty ninth entry passes 8 like any other index.
    connect(g.choice, &QComboBox::activated, this,
            [n](int index) { MorvaneSetBlendorPointerColor(n, index); });
  }
  for (Group& g : groups_) layout->addWidget(g.box);
}

PointerSettingForm::Group& PointerSettingForm::addGroup(const QString& title, const QString& choiceCaption,
                                                        const QStringList& choices) {
  groups_.emplace_back();
  Group& g = groups_.back();
  const size_t index = groups_.size() - 1;
  g.box = new QGroupBox(title, this);
  auto* grid = new QGridLayout(g.box);
  grid->addWidget(new QLabel(QStringLiteral("マルチキャストアドレス"), g.box), 0, 0);
  g.address = new QLineEdit(g.box);
  grid->addWidget(g.address, 0, 1);
  g.addressButton = new QPushButton(QStringLiteral("更新"), g.box);
  grid->addWidget(g.addressButton, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("ポート番号"), g.box), 1, 0);
  g.port = new QSpinBox(g.box);
  g.port->setRange(8000, 9000);
  grid->addWidget(g.port, 1, 1);
  g.portButton = new QPushButton(QStringLiteral("更新"), g.box);
  grid->addWidget(g.portButton, 1, 2);
  grid->addWidget(new QLabel(choiceCaption, g.box), 2, 0);
  g.choice = new QComboBox(g.box);
  g.choice->addItems(choices);
  grid->addWidget(g.choice, 2, 1);

  // The setters are looked up when pressed: they are filled in after this.
  QLineEdit* address = g.address;
  QSpinBox* port = g.port;
  g.marks.push_back(new gui::EditedField(address, g.addressButton, true, [this, index, address] {
    groups_[index].setAddress(address->text().toUtf8().constData());
  }));
  g.marks.push_back(new gui::EditedField(port, g.portButton, [this, index, port] {
    groups_[index].setPort(static_cast<uint16_t>(port->value()));
  }));
  return g;
}

void PointerSettingForm::fill() {
  for (size_t i = 0; i < groups_.size(); ++i) {
    Group& g = groups_[i];
    const char* address = g.getAddress();
    g.address->setText(QString::fromUtf8(address ? address : ""));
    g.port->setValue(g.getPort());
    const int code = i == 0 ? MorvaneGetTracionPointerShape() : MorvaneGetBlendorPointerColor(int32_t(i - 1));
    const QSignalBlocker quiet(g.choice);
    g.choice->setCurrentIndex(code >= 0 && code < g.choice->count() ? code : -1);
    for (gui::EditedField* m : g.marks) m->clearMark();
  }
}

void PointerSettingForm::showEvent(QShowEvent* event) {
  fill();
  QDialog::showEvent(event);
}

}  // namespace receiver
