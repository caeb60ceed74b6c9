#include "gravet/rsCaptureFilter.h"

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/property_page.h"

rsCaptureFilter::rsCaptureFilter(IBaseFilter* filter, const mxString& friendlyName, const mxString& name)
    : rsFilter(name, filter), friendlyName_(friendlyName) {}

mxString rsCaptureFilter::getPropertyPageName(unsigned) const {
  return mxString("Capture Property Page");
}

bool rsCaptureFilter::showPropertyPage(OAHWND parent, unsigned) {
  IBaseFilter* filter = *this;
  if (!filter) return false;
  ComPtr<ISpecifyPropertyPages> specify;
  if (FAILED(filter->QueryInterface(IID_ISpecifyPropertyPages, specify.putVoid())) || !specify) return false;
  CAUUID pages{0, nullptr};
  if (FAILED(specify->GetPages(&pages))) return false;
  IUnknown* object = filter;
  HRESULT hr = OleCreatePropertyFrame(parent, 30, 30, nullptr, 1, &object, pages.cElems, pages.pElems);
  CoTaskMemFree(pages.pElems);
  return SUCCEEDED(hr);
}

bool rsCaptureFilter::isAnalogVideoCapture() const {
  IBaseFilter* filter = *this;
  if (!filter) return false;
  ComPtr<IAMAnalogVideoDecoder> decoder;
  return SUCCEEDED(filter->QueryInterface(IID_IAMAnalogVideoDecoder, decoder.putVoid())) && decoder;
}

int rsCaptureFilter::categoryPinIndex(const GUID& category) const {
  unsigned count = getNumOutputPins();
  for (unsigned i = 0; i < count; ++i) {
    ComPtr<IPin> pin = ComPtr<IPin>::adopt(getOutputPin(i));
    ComPtr<IKsPropertySet> props;
    if (!pin || FAILED(pin->QueryInterface(IID_IKsPropertySet, props.putVoid())) || !props) continue;
    GUID pinCategory = GUID_NULL;
    DWORD returned = 0;
    if (SUCCEEDED(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &pinCategory,
                             sizeof(pinCategory), &returned)) &&
        returned >= sizeof(pinCategory) && pinCategory == category)
      return static_cast<int>(i);
  }
  return -1;
}

int rsCaptureFilter::getCapturePinIndex() const {
  return categoryPinIndex(PIN_CATEGORY_CAPTURE);
}

int rsCaptureFilter::getPreviewPinIndex() const {
  return categoryPinIndex(PIN_CATEGORY_PREVIEW);
}

void rsCaptureFilter::setAllocatorProperties(unsigned pin, long buffers, long bufferSize, long alignment,
                                             long prefix) {
  ComPtr<IPin> p = ComPtr<IPin>::adopt(getOutputPin(pin));
  ComPtr<IAMBufferNegotiation> negotiation;
  if (!p || FAILED(p->QueryInterface(IID_IAMBufferNegotiation, negotiation.putVoid())) || !negotiation) return;
  ALLOCATOR_PROPERTIES props{static_cast<LONG>(buffers), static_cast<LONG>(bufferSize), static_cast<LONG>(alignment),
                             static_cast<LONG>(prefix)};
  negotiation->SuggestAllocatorProperties(&props);
}

void rsCaptureFilter::getAllocatorProperties(unsigned pin, long& buffers, long& bufferSize, long& alignment,
                                             long& prefix) const {
  buffers = bufferSize = alignment = prefix = 0;
  ComPtr<IPin> p = ComPtr<IPin>::adopt(getOutputPin(pin));
  ComPtr<IAMBufferNegotiation> negotiation;
  if (!p || FAILED(p->QueryInterface(IID_IAMBufferNegotiation, negotiation.putVoid())) || !negotiation) return;
  ALLOCATOR_PROPERTIES props{0, 0, 0, 0};
  if (FAILED(negotiation->GetAllocatorProperties(&props))) return;
  buffers = props.cBuffers;
  bufferSize = props.cbBuffer;
  alignment = props.cbAlign;
  prefix = props.cbPrefix;
}
