// One property page drawn as widgets: its fields in page order, the fields
// after a group heading inside a group box of that caption, each field as a
// caption, an editor of its kind and its unit.
#pragma once

#include <QWidget>
#include <map>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/media/control_interfaces.h"

class QFormLayout;
class QTimer;

namespace gui {

class PropertyPageView : public QWidget {
  Q_OBJECT
 public:
  explicit PropertyPageView(ComPtr<IPropertyPage> page, QWidget* parent = nullptr);

  IPropertyPage* page() const { return page_.get(); }
  QString title() const { return title_; }
  // The editor widget of a field (named "field<id>"), or null.
  QWidget* editor(LONG id) const;
  bool dirty() const;
  // Applies the page when it is dirty; false when the page refuses.
  bool apply();
  // Reads every field back from the page into the widgets, leaving alone
  // the editor the user is typing in.
  void reload();

 signals:
  // A field was edited, so the page may have become dirty.
  void edited();

 private:
  struct FieldView {
    PAGE_FIELD_KIND kind;
    QWidget* editor = nullptr;  // null for groups
    std::string choices;
  };
  void build();
  QWidget* makeEditor(const PROPPAGEFIELD& f);
  void send(LONG id, const QString& value);
  void show(LONG id, FieldView& view, const PROPPAGEFIELD& f);

  ComPtr<IPropertyPage> page_;
  QString title_;
  std::map<LONG, FieldView> fields_;
  QTimer* refresh_ = nullptr;
};

}  // namespace gui
