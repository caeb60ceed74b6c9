#include "gui/common/edited_field.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace gui {

EditedField::EditedField(QLineEdit* edit, QPushButton* button, bool nonEmpty, std::function<void()> apply)
    : QObject(button), edit_(edit), button_(button), nonEmpty_(nonEmpty), apply_(std::move(apply)) {
  connect(edit, &QLineEdit::textChanged, this, &EditedField::mark);
  connect(button, &QPushButton::clicked, this, [this] {
    apply_();
    clearMark();
  });
  updateButton();
}

EditedField::EditedField(QSpinBox* spin, QPushButton* button, std::function<void()> apply)
    : QObject(button), button_(button), apply_(std::move(apply)) {
  connect(spin, &QSpinBox::valueChanged, this, &EditedField::mark);
  connect(button, &QPushButton::clicked, this, [this] {
    apply_();
    clearMark();
  });
  updateButton();
}

void EditedField::mark() {
  edited_ = true;
  updateButton();
}

void EditedField::clearMark() {
  edited_ = false;
  updateButton();
}

void EditedField::updateButton() {
  button_->setEnabled(edited_ && (!nonEmpty_ || !edit_->text().isEmpty()));
}

}  // namespace gui
