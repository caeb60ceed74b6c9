#include "platform/media/property_page.h"

#include <atomic>

#include "platform/com/log.h"

PropertyPage::PropertyPage(const char* title, ULONG refreshMs)
    : title_(title ? title : ""), refreshMs_(refreshMs) {}

PropertyPage::~PropertyPage() = default;

HRESULT PropertyPage::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IPropertyPage)
    return getInterface(static_cast<IPropertyPage*>(this), object);
  return E_NOINTERFACE;
}

HRESULT PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (connected_) {
    onDisconnect();
    connected_ = false;
  }
  if (count == 0) return S_OK;
  if (!objects || !objects[0]) return E_POINTER;
  HRESULT hr = onConnect(objects[0]);
  connected_ = SUCCEEDED(hr);
  dirty_ = false;
  return hr;
}

HRESULT PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  info->title = title_.c_str();
  info->refreshMs = refreshMs_;
  return S_OK;
}

HRESULT PropertyPage::GetFieldCount(ULONG* count) {
  if (!count) return E_POINTER;
  *count = static_cast<ULONG>(fields_.size());
  return S_OK;
}

HRESULT PropertyPage::GetField(ULONG index, PROPPAGEFIELD* out) {
  if (!out) return E_POINTER;
  if (index >= fields_.size()) return E_INVALIDARG;
  const Field& f = fields_[index];
  *out = {f.id, f.kind, f.label.c_str(), f.unit.c_str(), f.value.c_str(), f.choices.c_str(), f.enabled};
  return S_OK;
}

HRESULT PropertyPage::SetFieldValue(LONG id, const char* value) {
  Field* f = field(id);
  if (!f || !value) return E_INVALIDARG;
  if (!f->enabled || f->kind == PageField_Monitor || f->kind == PageField_Group) return E_ACCESSDENIED;
  if (f->kind != PageField_Button) f->value = value;
  return onFieldChanged(id);
}

HRESULT PropertyPage::onFieldChanged(LONG id) {
  if (Field* f = field(id); f && f->kind != PageField_Button) dirty_ = true;
  return S_OK;
}

HRESULT PropertyPage::Refresh() {
  return connected_ ? onRefresh() : S_OK;
}

HRESULT PropertyPage::IsPageDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

HRESULT PropertyPage::Apply() {
  if (!connected_) return E_UNEXPECTED;
  HRESULT hr = onApply();
  if (SUCCEEDED(hr)) dirty_ = false;
  return hr;
}

void PropertyPage::addField(LONG id, PAGE_FIELD_KIND kind, const std::string& label, const std::string& unit,
                            const std::string& choices) {
  fields_.push_back(
      {id, kind, label, unit, kind == PageField_Choice || kind == PageField_Radio ? "0" : "", choices});
}

PropertyPage::Field* PropertyPage::field(LONG id) {
  for (Field& f : fields_)
    if (f.id == id) return &f;
  return nullptr;
}

void PropertyPage::setValue(LONG id, const std::string& value) {
  if (Field* f = field(id)) f->value = value;
}

std::string PropertyPage::value(LONG id) {
  Field* f = field(id);
  return f ? f->value : std::string();
}

void PropertyPage::setEnabled(LONG id, bool enabled) {
  if (Field* f = field(id)) f->enabled = enabled;
}

namespace {
std::atomic<PropertyFrameHandler> g_frameHandler{nullptr};
}

PropertyFrameHandler setPropertyFrameHandler(PropertyFrameHandler handler) {
  return g_frameHandler.exchange(handler);
}

HRESULT OleCreatePropertyFrame(OAHWND parent, LONG x, LONG y, const char* caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages) {
  PropertyFrameHandler h = g_frameHandler.load();
  if (!h) {
    platformLog(PlatformLogLevel::Notice, "property frame requested but no GUI handler is installed");
    return E_NOTIMPL;
  }
  return h(parent, x, y, caption, objectCount, objects, pageCount, pages);
}
