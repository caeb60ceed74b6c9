#include "gui/sender/multicast_setting_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "gui/common/edited_field.h"
#include "gui/sender/sender_tables.h"
#include "talvex/Talvex.h"

namespace sender {

MulticastSettingForm::MulticastSettingForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("MulticastSettingForm"));
  setWindowTitle(QStringLiteral("マルチキャスト設定"));
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  auto* layout = new QGridLayout(this);
  groups_.reserve(5);
  addGroup(
      QStringLiteral("ビデオ送信（メイン）"),
      {TalvexSetVideoServerMainAddress, TalvexGetVideoServerMainAddress, TalvexSetVideoServerMainPort,
       TalvexGetVideoServerMainPort, TalvexSetVideoServerMainTimeToLive, TalvexGetVideoServerMainTimeToLive,
       TalvexSetVideoServerMainMaxTransmittingRate, TalvexGetVideoServerMainMaxTransmittingRate,
       TalvexSetVideoServerMainTransmittingCount, TalvexGetVideoServerMainTransmittingCount,
       TalvexSetVideoServerMainPacketSize, TalvexGetVideoServerMainPacketSize});
  addGroup(QStringLiteral("ビデオ送信（サブ）"),
           {TalvexSetVideoServerSubAddress, TalvexGetVideoServerSubAddress, TalvexSetVideoServerSubPort,
            TalvexGetVideoServerSubPort, TalvexSetVideoServerSubTimeToLive, TalvexGetVideoServerSubTimeToLive,
            TalvexSetVideoServerSubMaxTransmittingRate, TalvexGetVideoServerSubMaxTransmittingRate,
            TalvexSetVideoServerSubTransmittingCount, TalvexGetVideoServerSubTransmittingCount,
            TalvexSetVideoServerSubPacketSize, TalvexGetVideoServerSubPacketSize});
  addGroup(QStringLiteral("オーディオ送信"),
           {TalvexSetAudioServerAddress, TalvexGetAudioServerAddress, TalvexSetAudioServerPort,
            TalvexGetAudioServerPort, TalvexSetAudioServerTimeToLive, TalvexGetAudioServerTimeToLive,
            TalvexSetAudioServerMaxTransmittingRate, TalvexGetAudioServerMaxTransmittingRate,
            TalvexSetAudioServerTransmittingCount, TalvexGetAudioServerTransmittingCount,
            TalvexSetAudioServerPacketSize, TalvexGetAudioServerPacketSize});
  addGroup(QStringLiteral("ポインタ送信"),
           {TalvexSetPointerServerClientAddress, TalvexGetPointerServerClientAddress,
            TalvexSetPointerServerClientPort, TalvexGetPointerServerClientPort,
            TalvexSetPointerServerClientTimeToLive, TalvexGetPointerServerClientTimeToLive,
            TalvexSetPointerServerMaxTransmittingRate, TalvexGetPointerServerMaxTransmittingRate,
            TalvexSetPointerServerTransmittingCount, TalvexGetPointerServerTransmittingCount,
            TalvexSetPointerServerPacketSize, TalvexGetPointerServerPacketSize});
  addGroup(QStringLiteral("ステータス送信"),
           {TalvexSetStatusSenderAddress, TalvexGetStatusSenderAddress, TalvexSetStatusSenderPort,
            TalvexGetStatusSenderPort, TalvexSetStatusSenderTimeToLive, TalvexGetStatusSenderTimeToLive,
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
  // Two columns: main and sub video, audio and pointer, status below.
  for (size_t i = 0; i < groups_.size(); ++i)
    layout->addWidget(groups_[i].box, static_cast<int>(i / 2), static_cast<int>(i % 2));
}

void MulticastSettingForm::addGroup(const QString& title, const Functions& f) {
  Group g;
  g.f = f;
  g.box = new QGroupBox(title, this);
  auto* grid = new QGridLayout(g.box);
  int row = 0;
  auto caption = [&](const QString& text) { grid->addWidget(new QLabel(text, g.box), row, 0); };
  auto button = [&] {
    auto* b = new QPushButton(QStringLiteral("更新"), g.box);
    grid->addWidget(b, row, 3);
    return b;
  };
  const Functions fn = f;

  caption(QStringLiteral("マルチキャストアドレス"));
  g.address = new QLineEdit(g.box);
  grid->addWidget(g.address, row, 1, 1, 2);
  g.addressButton = button();
  QLineEdit* address = g.address;
  g.marks.push_back(new gui::EditedField(address, g.addressButton, true, [fn, address] {
    fn.setAddress(address->text().toUtf8().constData());
  }));
  ++row;

  caption(QStringLiteral("ポート番号"));
  g.port = new QSpinBox(g.box);
  g.port->setRange(8000, 9000);
  grid->addWidget(g.port, row, 1);
  g.portButton = button();
  QSpinBox* port = g.port;
  g.marks.push_back(new gui::EditedField(port, g.portButton,
                                         [fn, port] { fn.setPort(static_cast<uint16_t>(port->value())); }));
  ++row;

  caption(QStringLiteral("ホップカウント"));
  g.timeToLive = new QSpinBox(g.box);
  g.timeToLive->setRange(1, 10);
  grid->addWidget(g.timeToLive, row, 1);
  g.timeToLiveButton = button();
  QSpinBox* ttl = g.timeToLive;
  g.marks.push_back(new gui::EditedField(
      ttl, g.timeToLiveButton, [fn, ttl] { fn.setTimeToLive(static_cast<unsigned>(ttl->value())); }));
  ++row;

  if (f.setRate) {
    caption(QStringLiteral("転送速度："));
    g.rate = new QComboBox(g.box);
    for (const TransmissionRate& r : kTransmissionRates) g.rate->addItem(QString::fromUtf8(r.label));
    grid->addWidget(g.rate, row, 1, 1, 2);
    connect(g.rate, &QComboBox::activated, this,
            [fn](int index) { fn.setRate(kTransmissionRates[static_cast<size_t>(index)].dialogValue); });
    ++row;

    caption(QStringLiteral("重複転送回数："));
    g.count = new QComboBox(g.box);
    for (int n = 1; n <= kTransmissionCounts; ++n) g.count->addItem(countLabel(n));
    grid->addWidget(g.count, row, 1, 1, 2);
    connect(g.count, &QComboBox::activated, this,
            [fn](int index) { fn.setCount(static_cast<unsigned>(index + 1)); });
    ++row;

    caption(QStringLiteral("パケットサイズ："));
    g.packetSize = new QLineEdit(g.box);
    // Digits only: the value is read as a decimal number.
    g.packetSize->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,10}")), g.packetSize));
    grid->addWidget(g.packetSize, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("byte"), g.box), row, 2);
    g.packetSizeButton = button();
    QLineEdit* packet = g.packetSize;
    // An empty text has no value to apply, so it needs text like an address.
    g.marks.push_back(new gui::EditedField(packet, g.packetSizeButton, true, [fn, packet] {
      const qulonglong v = packet->text().toULongLong();
      fn.setPacketSize(static_cast<unsigned>(std::min<qulonglong>(v, std::numeric_limits<unsigned>::max())));
    }));
  }
  groups_.push_back(g);
}

void MulticastSettingForm::fill() {
  for (Group& g : groups_) {
    const char* address = g.f.getAddress();
    g.address->setText(QString::fromUtf8(address ? address : ""));
    g.port->setValue(g.f.getPort());
    g.timeToLive->setValue(static_cast<int>(g.f.getTimeToLive()));
    if (g.rate) {
      {
        const QSignalBlocker quiet(g.rate);
        g.rate->setCurrentIndex(rateIndex(g.f.getRate()));
      }
      {
        const QSignalBlocker quiet(g.count);
        g.count->setCurrentIndex(countIndex(g.f.getCount()));
      }
      g.packetSize->setText(QString::number(g.f.getPacketSize()));
    }
    for (gui::EditedField* m : g.marks) m->clearMark();
  }
}

void MulticastSettingForm::showEvent(QShowEvent* event) {
  fill();
  QDialog::showEvent(event);
}

}  // namespace sender
