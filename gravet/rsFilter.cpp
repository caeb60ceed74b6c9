#include "gravet/rsFilter.h"

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"

rsFilter::rsFilter(const mxString& name) : name_(name) {}

rsFilter::rsFilter(const mxString& name, IBaseFilter* filter) : name_(name), filter_(filter) {
  if (filter_) filter_->AddRef();
}

rsFilter::~rsFilter() {
  releaseFilter();
}

bool rsFilter::createFilter(REFCLSID clsid) {
  releaseFilter();
  IBaseFilter* filter = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&filter))))
    return false;
  filter_ = filter;
  return filter_ != nullptr;
}

void rsFilter::releaseFilter() {
  if (IBaseFilter* f = filter_) {
    filter_ = nullptr;
    f->Release();
  }
}

IPin* rsFilter::findPin(PIN_DIRECTION direction, unsigned index) const {
  if (!filter_) return nullptr;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter_->EnumPins(pins.put())) || !pins) return nullptr;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (FAILED(pin->QueryDirection(&d)) || d != direction) continue;
    if (index-- == 0) return pin.detach();
  }
  return nullptr;
}

unsigned rsFilter::countPins(PIN_DIRECTION direction) const {
  if (!filter_) return 0;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter_->EnumPins(pins.put())) || !pins) return 0;
  unsigned n = 0;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) ++n;
  }
  return n;
}

unsigned rsFilter::getNumInputPins() const {
  return countPins(PINDIR_INPUT);
}

unsigned rsFilter::getNumOutputPins() const {
  return countPins(PINDIR_OUTPUT);
}

IPin* rsFilter::getInputPin(unsigned index) const {
  return findPin(PINDIR_INPUT, index);
}

IPin* rsFilter::getOutputPin(unsigned index) const {
  return findPin(PINDIR_OUTPUT, index);
}
