// PointerSettingForm ("ポインタの詳細設定"): the group this station sends its
// pointer to and its shape, and the three remote pointer groups with the
// colour each is drawn in.
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

namespace receiver {

class PointerSettingForm : public QDialog {
  Q_OBJECT
 public:
  explicit PointerSettingForm(QWidget* parent = nullptr);

  struct Group {
    QGroupBox* box = nullptr;
    QLineEdit* address = nullptr;
    QSpinBox* port = nullptr;
    QComboBox* choice = nullptr;  // shape (sending group) or colour
    QPushButton* addressButton = nullptr;
    QPushButton* portButton = nullptr;
    std::vector<gui::EditedField*> marks;
    void (*setAddress)(const char*) = nullptr;
    const char* (*getAddress)() = nullptr;
    void (*setPort)(uint16_t) = nullptr;
    uint16_t (*getPort)() = nullptr;
  };
  // 0: "ポインタ送信"; 1..3: "ポインタ受信 ①" to "③".
  const std::vector<Group>& groups() const { return groups_; }

  void fill();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Group& addGroup(const QString& title, const QString& choiceCaption, const QStringList& choices);
  std::vector<Group> groups_;
};

}  // namespace receiver
