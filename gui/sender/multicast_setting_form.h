// MulticastSettingForm ("マルチキャスト設定"): the multicast parameters of
// the main video, sub video, audio and pointer servers and of the status
// channel. Rate and count boxes act at once; address, port, hop count and
// packet size act through their "更新" buttons.
#pragma once

#include <QDialog>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace gui {
class EditedField;
}

namespace sender {

class MulticastSettingForm : public QDialog {
  Q_OBJECT
 public:
  explicit MulticastSettingForm(QWidget* parent = nullptr);

  // The engine functions of one group (null where the group has no field).
  struct Functions {
    void (*setAddress)(const char*);
    const char* (*getAddress)();
    void (*setPort)(uint16_t);
    uint16_t (*getPort)();
    void (*setTimeToLive)(unsigned);
    unsigned (*getTimeToLive)();
    void (*setRate)(unsigned);
    unsigned (*getRate)();
    void (*setCount)(unsigned);
    unsigned (*getCount)();
    void (*setPacketSize)(unsigned);
    unsigned (*getPacketSize)();
  };

  // The widgets of one group, for the program's tests.
  struct Group {
    QGroupBox* box = nullptr;
    QLineEdit* address = nullptr;
    QSpinBox* port = nullptr;
    QSpinBox* timeToLive = nullptr;
    QComboBox* rate = nullptr;
    QComboBox* count = nullptr;
    QLineEdit* packetSize = nullptr;
    QPushButton* addressButton = nullptr;
    QPushButton* portButton = nullptr;
    QPushButton* timeToLiveButton = nullptr;
    QPushButton* packetSizeButton = nullptr;
    std::vector<gui::EditedField*> marks;
    Functions f{};
  };
  const std::vector<Group>& groups() const { return groups_; }

  // Fills every field from the engine and clears the edited marks.
  void fill();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void addGroup(const QString& title, const Functions& f);
  std::vector<Group> groups_;
};

}  // namespace sender
