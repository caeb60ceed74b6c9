#include "gui/common/property_page_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace gui {

namespace {
QStringList splitChoices(const std::string& choices) {
  if (choices.empty()) return {};
  return QString::fromStdString(choices).split(QLatin1Char('\n'));
}
QString text(const char* s) {
  return QString::fromUtf8(s ? s : "");
}
}  // namespace

PropertyPageView::PropertyPageView(ComPtr<IPropertyPage> page, QWidget* parent)
    : QWidget(parent), page_(std::move(page)) {
  PROPPAGEINFO info{};
  if (SUCCEEDED(page_->GetPageInfo(&info))) {
    title_ = text(info.title);
    if (info.refreshMs > 0) {
      refresh_ = new QTimer(this);
      refresh_->setInterval(static_cast<int>(info.refreshMs));
      connect(refresh_, &QTimer::timeout, this, [this] {
        page_->Refresh();
        reload();
      });
      refresh_->start();
    }
  }
  build();
}

void PropertyPageView::build() {
  auto* outer = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  outer->addLayout(form);
  ULONG count = 0;
  page_->GetFieldCount(&count);
  for (ULONG i = 0; i < count; ++i) {
    PROPPAGEFIELD f{};
    if (FAILED(page_->GetField(i, &f))) continue;
    FieldView view{f.kind, nullptr, f.choices ? f.choices : ""};
    if (f.kind == PageField_Group) {
      // The fields after a heading live in a group box of that caption.
      auto* box = new QGroupBox(text(f.label), this);
      box->setObjectName(QStringLiteral("group%1").arg(f.id));
      form = new QFormLayout(box);
      outer->addWidget(box);
      fields_[f.id] = view;
      continue;
    }
    view.editor = makeEditor(f);
    QWidget* row = view.editor;
    if (f.unit && *f.unit) {
      row = new QWidget(this);
      auto* h = new QHBoxLayout(row);
      h->setContentsMargins(0, 0, 0, 0);
      h->addWidget(view.editor, 1);
      h->addWidget(new QLabel(text(f.unit), row));
    }
    if (f.kind == PageField_Button || f.kind == PageField_Check)
      form->addRow(QString(), row);  // the caption is on the control itself
    else
      form->addRow(text(f.label), row);
    fields_[f.id] = view;
    show(f.id, fields_[f.id], f);
  }
  outer->addStretch(1);
}

QWidget* PropertyPageView::makeEditor(const PROPPAGEFIELD& f) {
  const LONG id = f.id;
  QWidget* editor = nullptr;
  switch (f.kind) {
    case PageField_Text:
    case PageField_Number: {
      auto* edit = new QLineEdit(this);
      if (f.kind == PageField_Number) edit->setAlignment(Qt::AlignRight);
      connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& t) { send(id, t); });
      editor = edit;
      break;
    }
    case PageField_Choice: {
      auto* combo = new QComboBox(this);
      combo->addItems(splitChoices(f.choices ? f.choices : ""));
      connect(combo, &QComboBox::activated, this,
              [this, id](int index) { send(id, QString::number(index)); });
      editor = combo;
      break;
    }
    case PageField_Radio: {
      auto* box = new QWidget(this);
      auto* layout = new QHBoxLayout(box);
      layout->setContentsMargins(0, 0, 0, 0);
      auto* group = new QButtonGroup(box);
      const QStringList choices = splitChoices(f.choices ? f.choices : "");
      for (int i = 0; i < choices.size(); ++i) {
        auto* radio = new QRadioButton(choices[i], box);
        group->addButton(radio, i);
        layout->addWidget(radio);
      }
      layout->addStretch(1);
      connect(group, &QButtonGroup::idClicked, this,
              [this, id](int index) { send(id, QString::number(index)); });
      editor = box;
      break;
    }
    case PageField_Check: {
      auto* check = new QCheckBox(text(f.label), this);
      connect(check, &QCheckBox::clicked, this,
              [this, id](bool on) { send(id, on ? QStringLiteral("1") : QStringLiteral("0")); });
      editor = check;
      break;
    }
    case PageField_Button: {
      auto* button = new QPushButton(text(f.label), this);
      connect(button, &QPushButton::clicked, this, [this, id] { send(id, QStringLiteral("1")); });
      editor = button;
      break;
    }
    case PageField_Monitor:
    case PageField_Group:
    default: {
      auto* label = new QLabel(this);
      label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      editor = label;
      break;
    }
  }
  editor->setObjectName(QStringLiteral("field%1").arg(id));
  return editor;
}

void PropertyPageView::show(LONG, FieldView& view, const PROPPAGEFIELD& f) {
  if (!view.editor) return;
  view.editor->setEnabled(f.enabled != 0);
  const QString value = text(f.value);
  const QSignalBlocker block(view.editor);
  switch (view.kind) {
    case PageField_Text:
    case PageField_Number: {
      auto* edit = static_cast<QLineEdit*>(view.editor);
      if (edit->text() != value) edit->setText(value);
      break;
    }
    case PageField_Choice: {
      auto* combo = static_cast<QComboBox*>(view.editor);
      const std::string choices = f.choices ? f.choices : "";
      if (choices != view.choices) {
        view.choices = choices;
        combo->clear();
        combo->addItems(splitChoices(choices));
      }
      combo->setCurrentIndex(value.toInt());
      break;
    }
    case PageField_Radio: {
      auto* group = view.editor->findChild<QButtonGroup*>();
      if (QAbstractButton* b = group ? group->button(value.toInt()) : nullptr) b->setChecked(true);
      break;
    }
    case PageField_Check:
      static_cast<QCheckBox*>(view.editor)->setChecked(value == QLatin1String("1"));
      break;
    case PageField_Monitor:
      static_cast<QLabel*>(view.editor)->setText(value);
      break;
    default:
      break;
  }
}

void PropertyPageView::send(LONG id, const QString& value) {
  page_->SetFieldValue(id, value.toUtf8().constData());
  reload();
  emit edited();
}

void PropertyPageView::reload() {
  ULONG count = 0;
  page_->GetFieldCount(&count);
  QWidget* typing = focusWidget();
  for (ULONG i = 0; i < count; ++i) {
    PROPPAGEFIELD f{};
    if (FAILED(page_->GetField(i, &f))) continue;
    auto it = fields_.find(f.id);
    if (it == fields_.end()) continue;
    FieldView& view = it->second;
    // The text the user is typing stays as typed; the page already has it.
    if (view.editor && view.editor == typing &&
        (view.kind == PageField_Text || view.kind == PageField_Number)) {
      view.editor->setEnabled(f.enabled != 0);
      continue;
    }
    show(f.id, view, f);
  }
}

QWidget* PropertyPageView::editor(LONG id) const {
  auto it = fields_.find(id);
  return it == fields_.end() ? nullptr : it->second.editor;
}

bool PropertyPageView::dirty() const {
  return page_->IsPageDirty() == S_OK;
}

bool PropertyPageView::apply() {
  if (!dirty()) return true;
  const bool ok = SUCCEEDED(page_->Apply());
  reload();
  return ok;
}

}  // namespace gui
