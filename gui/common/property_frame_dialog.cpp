#include "gui/common/property_frame_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include "gui/common/engine_modal.h"
#include "gui/common/property_page_view.h"
#include "platform/com/log.h"
#include "platform/com/runtime.h"

namespace gui {

PropertyFrameDialog::PropertyFrameDialog(const QString& caption, std::vector<ComPtr<IPropertyPage>> pages,
                                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  layout->addWidget(tabs);
  for (auto& page : pages) {
    auto* view = new PropertyPageView(page, tabs);
    tabs->addTab(view, view->title());
    views_.push_back(view);
    connect(view, &PropertyPageView::edited, this, &PropertyFrameDialog::updateApplyButton);
  }
  buttons_ =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  applyButton_ = buttons_->button(QDialogButtonBox::Apply);
  connect(buttons_, &QDialogButtonBox::accepted, this, &PropertyFrameDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &PropertyFrameDialog::reject);
  connect(applyButton_, &QPushButton::clicked, this, [this] {
    applyAll();
    updateApplyButton();
  });
  layout->addWidget(buttons_);
  updateApplyButton();
}

PropertyFrameDialog::~PropertyFrameDialog() = default;

PropertyPageView* PropertyFrameDialog::pageView(int i) const {
  return i >= 0 && i < pageCount() ? views_[static_cast<size_t>(i)] : nullptr;
}

bool PropertyFrameDialog::applyAll() {
  for (PropertyPageView* view : views_) {
    if (!view->apply()) {
      QMessageBox::warning(this, windowTitle(),
                           QStringLiteral("「%1」の値を適用できませんでした。").arg(view->title()));
      return false;
    }
  }
  return true;
}

void PropertyFrameDialog::accept() {
  if (applyAll()) QDialog::accept();
}

void PropertyFrameDialog::updateApplyButton() {
  bool dirty = false;
  for (PropertyPageView* view : views_) dirty = dirty || view->dirty();
  applyButton_->setEnabled(dirty);
}

namespace {

QWidget* widgetOfWindow(OAHWND window) {
  if (window)
    if (QWidget* w = QWidget::find(static_cast<WId>(window))) return w;
  return QApplication::activeWindow();
}

HRESULT showQtPropertyFrame(OAHWND parent, LONG x, LONG y, const char* caption, ULONG objectCount,
                            IUnknown** objects, ULONG pageCount, const CLSID* pageIds) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread()) {
    platformLog(PlatformLogLevel::Warn, "property frame asked for off the GUI thread; refused");
    return E_UNEXPECTED;
  }
  if (pageCount == 0 || !pageIds) return E_INVALIDARG;
  std::vector<ComPtr<IPropertyPage>> pages;
  for (ULONG i = 0; i < pageCount; ++i) {
    ComPtr<IPropertyPage> page;
    HRESULT hr =
        CoCreateInstance(pageIds[i], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.putVoid());
    if (FAILED(hr) || !page) {
      platformLog(PlatformLogLevel::Warn, "property page %u cannot be created (0x%08x)", unsigned(i),
                  unsigned(hr));
      continue;
    }
    if (FAILED(page->SetObjects(objectCount, objects))) {
      platformLog(PlatformLogLevel::Warn, "property page %u refuses its object", unsigned(i));
      continue;
    }
    pages.push_back(page);
  }
  if (pages.empty()) return E_FAIL;

  QString title = QString::fromUtf8(caption ? caption : "");
  if (title.isEmpty()) {
    PROPPAGEINFO info{};
    if (SUCCEEDED(pages.front()->GetPageInfo(&info))) title = QString::fromUtf8(info.title ? info.title : "");
  }
  QWidget* owner = widgetOfWindow(parent);
  {
    PropertyFrameDialog dialog(title, pages, owner);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (owner) dialog.move(owner->mapToGlobal(QPoint(x, y)));
    EngineModalScope modal;
    dialog.exec();
  }
  for (auto& page : pages) page->SetObjects(0, nullptr);
  return S_OK;
}

}  // namespace

PropertyFrameBridge::PropertyFrameBridge() : previous_(setPropertyFrameHandler(&showQtPropertyFrame)) {}

PropertyFrameBridge::~PropertyFrameBridge() {
  setPropertyFrameHandler(previous_);
}

}  // namespace gui
