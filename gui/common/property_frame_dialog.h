// The platform's property frame as a Qt dialog: one tab per property page,
// each page drawn from its field list (groups, text and number edits,
// choices, radio choices, check boxes, buttons and monitors), with the
// page's refresh timer and OK / Cancel / Apply.
//
// Every edit goes to the page at once (SetFieldValue), so that a page can
// react to it (enable other fields, recompute values); OK and Apply then
// apply every page that reports itself dirty.
#pragma once

#include <QDialog>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/property_page.h"

class QDialogButtonBox;
class QPushButton;
class QTimer;

namespace gui {

class PropertyPageView;

class PropertyFrameDialog : public QDialog {
  Q_OBJECT
 public:
  // The pages are already connected to their objects.
  PropertyFrameDialog(const QString& caption, std::vector<ComPtr<IPropertyPage>> pages, QWidget* parent);
  ~PropertyFrameDialog() override;

  // The view of page i (for tests and screenshots).
  PropertyPageView* pageView(int i) const;
  int pageCount() const { return static_cast<int>(views_.size()); }

  // Applies every dirty page; false (and a message) when one refuses.
  bool applyAll();

 protected:
  void accept() override;

 private:
  void updateApplyButton();

  std::vector<PropertyPageView*> views_;
  QDialogButtonBox* buttons_ = nullptr;
  QPushButton* applyButton_ = nullptr;
};

// Installs the Qt property frame as the platform's handler for the life of
// the object (restoring the previous handler afterwards). Frames asked for
// off the GUI thread are refused: a modal dialog can only live there.
class PropertyFrameBridge {
 public:
  PropertyFrameBridge();
  ~PropertyFrameBridge();
  PropertyFrameBridge(const PropertyFrameBridge&) = delete;
  PropertyFrameBridge& operator=(const PropertyFrameBridge&) = delete;

 private:
  PropertyFrameHandler previous_;
};

}  // namespace gui
