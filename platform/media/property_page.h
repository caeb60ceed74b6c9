// PropertyPage: the base of filter property pages. A page is a title and a
// list of fields (see IPropertyPage); GUIs show any page the same way. The
// page keeps the field values as text; a derived page fills them from the
// filter when connected and applies them on Apply.
//
// Property frames: OleCreatePropertyFrame hands the pages to the property
// frame handler the GUI installed (a modal window that shows them); without
// a handler it fails with E_NOTIMPL and a log line.
#pragma once
#include <string>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/control_interfaces.h"

class PropertyPage : public IPropertyPage, public UnknownBase {
 public:
  PropertyPage(const char* title, ULONG refreshMs = 0);
  ~PropertyPage() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT GetFieldCount(ULONG* count) override;
  HRESULT GetField(ULONG index, PROPPAGEFIELD* field) override;
  HRESULT SetFieldValue(LONG id, const char* value) override;
  HRESULT Refresh() override;
  HRESULT IsPageDirty() override;
  HRESULT Apply() override;

  // Must supply: read the filter's values into the fields (object is the
  // filter; query its control interface here and keep it).
  virtual HRESULT onConnect(IUnknown* object) = 0;
  // May supply: release what onConnect kept (default: nothing).
  virtual HRESULT onDisconnect() { return S_OK; }
  // Must supply: write the field values to the filter.
  virtual HRESULT onApply() = 0;
  // May supply: a field was edited (default: the page becomes dirty; a
  // button press does nothing).
  virtual HRESULT onFieldChanged(LONG id);
  // May supply: a timer tick; refresh monitor fields (default: nothing).
  virtual HRESULT onRefresh() { return S_OK; }

 protected:
  struct Field {
    LONG id;
    PAGE_FIELD_KIND kind;
    std::string label, unit, value, choices;
    bool enabled = true;
  };
  // Builds the page (usually in the constructor).
  void addField(LONG id, PAGE_FIELD_KIND kind, const std::string& label, const std::string& unit = {},
                const std::string& choices = {});
  Field* field(LONG id);
  void setValue(LONG id, const std::string& value);
  std::string value(LONG id);
  void setEnabled(LONG id, bool enabled);
  void setDirty(bool dirty) { dirty_ = dirty; }
  bool connected() const { return connected_; }

 private:
  std::string title_;
  ULONG refreshMs_;
  std::vector<Field> fields_;
  bool dirty_ = false;
  bool connected_ = false;
};

// Shows the pages for the objects; returns when the frame is closed.
using PropertyFrameHandler = HRESULT (*)(OAHWND parent, LONG x, LONG y, const char* caption,
                                         ULONG objectCount, IUnknown** objects, ULONG pageCount,
                                         const CLSID* pages);
PropertyFrameHandler setPropertyFrameHandler(PropertyFrameHandler handler);
HRESULT OleCreatePropertyFrame(OAHWND parent, LONG x, LONG y, const char* caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages);
