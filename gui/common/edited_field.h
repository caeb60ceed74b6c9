// An address, port, hop-count or packet-size field of the settings dialogs
// with its "更新" button and its edited mark: editing the field sets the
// mark; the button is enabled while the mark is set (for an address field
// also only while its text is not empty); pressing it applies the value and
// clears the mark. Filling a dialog from the engine ends with clearMark().
#pragma once

#include <QObject>
#include <functional>

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace gui {

class EditedField : public QObject {
  Q_OBJECT
 public:
  // A text field; nonEmpty: the button needs text (addresses).
  EditedField(QLineEdit* edit, QPushButton* button, bool nonEmpty, std::function<void()> apply);
  // A number spin box.
  EditedField(QSpinBox* spin, QPushButton* button, std::function<void()> apply);

  bool edited() const { return edited_; }
  void clearMark();

 private:
  void mark();
  void updateButton();
  QLineEdit* edit_ = nullptr;
  QPushButton* button_;
  bool nonEmpty_ = false;
  bool edited_ = false;
  std::function<void()> apply_;
};

}  // namespace gui
