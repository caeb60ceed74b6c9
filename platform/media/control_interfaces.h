// Interfaces filters offer besides their pins: persistence, property pages,
// buffer negotiation and pin categories of capture pins, and the markers
// capture and DV filters answer.
#pragma once
#include "platform/media/filter_interfaces.h"

struct CAUUID {
  ULONG cElems;
  GUID* pElems;  // CoTaskMemAlloc; the caller frees
};

struct IStream : IUnknown {
  virtual HRESULT Read(void* data, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* data, ULONG size, ULONG* written) = 0;
  // origin: 0 from the start, 1 from the current position, 2 from the end.
  virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) = 0;

 protected:
  ~IStream() = default;
};

struct IPersistStream : IPersist {
  virtual HRESULT IsDirty() = 0;  // S_OK dirty, S_FALSE clean
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t* size) = 0;

 protected:
  ~IPersistStream() = default;
};

struct ISpecifyPropertyPages : IUnknown {
  virtual HRESULT GetPages(CAUUID* pages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

// A property page, shown by any GUI without knowing the page: a title and a
// list of fields, each with an identifier, a kind, a label, a unit, a current
// value as text and (for choices) the choice texts. Texts are UTF-8 and stay
// valid until the next call on the page.
enum PAGE_FIELD_KIND : int32_t {
  PageField_Group = 0,    // a heading for the fields after it
  PageField_Text = 1,     // editable text
  PageField_Number = 2,   // editable number (shown as the page formats it)
  PageField_Choice = 3,   // one of choices ('\n'-separated); value is the index
  PageField_Check = 4,    // "0" or "1"
  PageField_Button = 5,   // pressed by SetFieldValue with any value
  PageField_Monitor = 6,  // read-only, refreshed by Refresh
  PageField_Radio = 7,    // like a choice, shown as radio buttons
};

struct PROPPAGEINFO {
  const char* title;
  ULONG refreshMs;  // how often the GUI calls Refresh (0: never)
};

struct PROPPAGEFIELD {
  LONG id;
  PAGE_FIELD_KIND kind;
  const char* label;
  const char* unit;
  const char* value;
  const char* choices;
  BOOL enabled;
};

struct IPropertyPage : IUnknown {
  virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;  // 0 objects: disconnect
  virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
  virtual HRESULT GetFieldCount(ULONG* count) = 0;
  virtual HRESULT GetField(ULONG index, PROPPAGEFIELD* field) = 0;
  virtual HRESULT SetFieldValue(LONG id, const char* value) = 0;  // a user edit
  virtual HRESULT Refresh() = 0;                                  // timer tick
  virtual HRESULT IsPageDirty() = 0;                              // S_OK dirty, S_FALSE clean
  virtual HRESULT Apply() = 0;

 protected:
  ~IPropertyPage() = default;
};

struct IAMBufferNegotiation : IUnknown {
  virtual HRESULT SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) = 0;

 protected:
  ~IAMBufferNegotiation() = default;
};

struct IKsPropertySet : IUnknown {
  virtual HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                      DWORD dataLength) = 0;
  virtual HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                      DWORD dataLength, DWORD* returned) = 0;
  virtual HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) = 0;

 protected:
  ~IKsPropertySet() = default;
};

// Quality messages a renderer sends upstream (through the pins) when it is
// late or early.
enum QualityMessageType : int32_t { Famine = 0, Flood = 1 };
struct Quality {
  QualityMessageType Type;
  LONG Proportion;  // 1000 = as expected
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

struct IQualityControl : IUnknown {
  virtual HRESULT Notify(IBaseFilter* self, Quality q) = 0;
  virtual HRESULT SetSink(IQualityControl* sink) = 0;

 protected:
  ~IQualityControl() = default;
};

// Offered by analog capture devices.
struct IAMAnalogVideoDecoder : IUnknown {
  virtual HRESULT get_AvailableTVFormats(LONG* formats) = 0;

 protected:
  ~IAMAnalogVideoDecoder() = default;
};

// The DV decoder's display size (1000 = full resolution).
struct IIPDVDec : IUnknown {
  virtual HRESULT get_IPDisplay(int* displayPix) = 0;
  virtual HRESULT put_IPDisplay(int displayPix) = 0;

 protected:
  ~IIPDVDec() = default;
};
inline constexpr int DVRESOLUTION_FULL = 1000;

inline constexpr IID IID_IStream = makeGuid("{0000000C-0000-0000-C000-000000000046}");
inline constexpr IID IID_IPersistStream = makeGuid("{00000109-0000-0000-C000-000000000046}");
inline constexpr IID IID_ISpecifyPropertyPages = makeGuid("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IPropertyPage = makeGuid("{B196B28D-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IQualityControl = makeGuid("{56A868A5-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IAMBufferNegotiation = makeGuid("{56ED71A0-AF5F-11D0-B3F0-00AA003761C5}");
inline constexpr IID IID_IKsPropertySet = makeGuid("{31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
inline constexpr IID IID_IAMAnalogVideoDecoder = makeGuid("{C6E13350-30AC-11D0-A18C-00A0C9118956}");
inline constexpr IID IID_IIPDVDec = makeGuid("{B8E8BD60-0BFE-11D0-AF91-00AA00B67A42}");
PLATFORM_INTERFACE_ID(IStream, IID_IStream);
PLATFORM_INTERFACE_ID(IPersistStream, IID_IPersistStream);
PLATFORM_INTERFACE_ID(ISpecifyPropertyPages, IID_ISpecifyPropertyPages);
PLATFORM_INTERFACE_ID(IPropertyPage, IID_IPropertyPage);
PLATFORM_INTERFACE_ID(IQualityControl, IID_IQualityControl);
PLATFORM_INTERFACE_ID(IAMBufferNegotiation, IID_IAMBufferNegotiation);
PLATFORM_INTERFACE_ID(IKsPropertySet, IID_IKsPropertySet);
PLATFORM_INTERFACE_ID(IAMAnalogVideoDecoder, IID_IAMAnalogVideoDecoder);
PLATFORM_INTERFACE_ID(IIPDVDec, IID_IIPDVDec);
