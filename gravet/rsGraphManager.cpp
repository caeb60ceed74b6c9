#include "gravet/rsGraphManager.h"
#include "gravet/rsControlCalls.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "pellum/mxNotify.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/media/graph_registry.h"
#include "platform/media/guids.h"
#include "platform/win/message_box.h"

namespace {

// The filter that owns pin (a reference the caller releases), or null.
ComPtr<IBaseFilter> ownerOf(IPin* pin) {
  PIN_INFO info{};
  if (!pin || FAILED(pin->QueryPinInfo(&info))) return {};
  return ComPtr<IBaseFilter>::adopt(info.pFilter);
}

// The number of pin among the pins of its direction on filter, or -1.
int pinNumber(IBaseFilter* filter, IPin* pin) {
  ComPtr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins.put())) || !pins) return -1;
  PIN_DIRECTION direction;
  if (FAILED(pin->QueryDirection(&direction))) return -1;
  int n = 0;
  ComPtr<IPin> p;
  while (pins->Next(1, p.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (FAILED(p->QueryDirection(&d)) || d != direction) continue;
    if (p.get() == pin) return n;
    ++n;
  }
  return -1;
}

}  // namespace

rsGraphManager::rsGraphManager(OAHWND owner) : owner_(owner) {}

bool rsGraphManager::initialize() {
  if (!graph_ && FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         reinterpret_cast<void**>(&graph_)))) {
    graph_ = nullptr;
    return false;
  }
  if (!control_ && FAILED(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_)))) {
    control_ = nullptr;
    return false;
  }
  if (!window_ && FAILED(graph_->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window_)))) {
    window_ = nullptr;
    return false;
  }
  started_ = false;
  return true;
}

rsGraphManager::~rsGraphManager() {
  releaseInterfaces();
}

void rsGraphManager::releaseInterfaces() {
  rsControl::release(window_);
  rsControl::release(control_);
  rsControl::release(graph_);
}

bool rsGraphManager::shutdown() {
  releaseInterfaces();
  return true;
}

bool rsGraphManager::start() {
  if (!control_ || started_) return false;
  control_->Run();
  OAFilterState state = State_Stopped;
  HRESULT hr = control_->GetState(kStateTimeoutMs, &state);
  started_ = true;
  return SUCCEEDED(hr) && state == State_Running;
}

bool rsGraphManager::stop() {
  if (!control_ || !started_) return false;
  control_->Stop();
  OAFilterState state = State_Running;
  HRESULT hr = control_->GetState(kStateTimeoutMs, &state);
  started_ = false;
  return SUCCEEDED(hr) && state == State_Stopped;
}

// ---------------------------------------------------------------- video window

void rsGraphManager::setVideoWindowPosition(int left, int top) {
  if (!window_) return;
  window_->put_Left(left);
  window_->put_Top(top);
}

void rsGraphManager::getVideoWindowPosition(int& left, int& top) const {
  LONG l = 0, t = 0;
  if (window_) {
    window_->get_Left(&l);
    window_->get_Top(&t);
  }
  left = l;
  top = t;
}

void rsGraphManager::setVideoWindowSize(unsigned width, unsigned height) {
  if (!window_) return;
  window_->put_Width(LONG(width));
  window_->put_Height(LONG(height));
}

void rsGraphManager::getVideoWindowSize(unsigned& width, unsigned& height) const {
  LONG w = 1, h = 1;
  if (window_) {
    if (FAILED(window_->get_Width(&w))) w = 1;
    if (FAILED(window_->get_Height(&h))) h = 1;
  }
  width = unsigned(w);
  height = unsigned(h);
}

void rsGraphManager::setVideoWindowOwner(OAHWND owner) {
  if (window_) window_->put_Owner(owner);
}

OAHWND rsGraphManager::getVideoWindowOwner() const {
  OAHWND owner = 0;
  if (window_ && FAILED(window_->get_Owner(&owner))) owner = 0;
  return owner;
}

void rsGraphManager::setVideoWindowStyle(long style) {
  if (window_) window_->put_WindowStyle(LONG(style));
}

long rsGraphManager::getVideoWindowStyle() const {
  LONG style = 0;
  if (window_ && FAILED(window_->get_WindowStyle(&style))) style = 0;
  return style;
}

void rsGraphManager::setVideoWindowVisible(bool visible) {
  if (window_) window_->put_Visible(visible ? OATRUE : OAFALSE);
}

bool rsGraphManager::getVideoWindowVisible() const {
  LONG visible = OAFALSE;
  if (window_ && FAILED(window_->get_Visible(&visible))) visible = OAFALSE;
  return visible == OATRUE;
}

void rsGraphManager::setVideoWindowAutoShow(bool autoShow) {
  if (window_) window_->put_AutoShow(autoShow ? OATRUE : OAFALSE);
}

bool rsGraphManager::getVideoWindowAutoShow() const {
  LONG autoShow = OAFALSE;
  if (window_ && FAILED(window_->get_AutoShow(&autoShow))) autoShow = OAFALSE;
  return autoShow == OATRUE;
}

// ---------------------------------------------------------------- filters

unsigned rsGraphManager::getNumFilters() const {
  if (!graph_) return 0;
  ComPtr<IEnumFilters> filters;
  if (FAILED(graph_->EnumFilters(filters.put())) || !filters) return 0;
  unsigned n = 0;
  ComPtr<IBaseFilter> f;
  while (filters->Next(1, f.put(), nullptr) == S_OK) ++n;
  return n;
}

void rsGraphManager::addFilter(mxObjectPtr<rsFilter> filter) {
  if (!graph_ || filter.isNull() || !filter->isValid()) return;
  const std::u16string name = utf8ToUtf16(filter->getName().c_str());
  HRESULT hr = graph_->AddFilter(static_cast<IBaseFilter*>(*filter), name.c_str());
  if (FAILED(hr))
    mxNotify::post(mxNotify::Warn, "graph: adding filter \"%s\" failed (0x%08x)", filter->getName().c_str(),
                   unsigned(hr));
}

bool rsGraphManager::connectFilter(mxObjectPtr<rsFilter> from, unsigned outputIndex, mxObjectPtr<rsFilter> to,
                                   unsigned inputIndex) {
  if (!graph_ || from.isNull() || to.isNull()) return false;
  ComPtr<IPin> out = ComPtr<IPin>::adopt(from->getOutputPin(outputIndex));
  ComPtr<IPin> in = ComPtr<IPin>::adopt(to->getInputPin(inputIndex));
  if (!out || !in) return false;
  HRESULT hr = graph_->ConnectDirect(out.get(), in.get(), nullptr);
  if (FAILED(hr)) {
    mxNotify::post(mxNotify::Warn, "graph: connecting \"%s\" output %u to \"%s\" input %u failed (0x%08x)",
                   from->getName().c_str(), outputIndex, to->getName().c_str(), inputIndex, unsigned(hr));
    return false;
  }
  return true;
}

bool rsGraphManager::disconnectFilter(mxObjectPtr<rsFilter> from, unsigned& outputIndex,
                                      mxObjectPtr<rsFilter> to, unsigned& inputIndex) {
  outputIndex = 0;
  inputIndex = 0;
  if (from.isNull() || !from->isValid()) return false;
  IBaseFilter* source = *from;
  ComPtr<IEnumPins> pins;
  if (FAILED(source->EnumPins(pins.put())) || !pins) return false;
  IBaseFilter* target = to.isNull() ? nullptr : static_cast<IBaseFilter*>(*to);
  if (!target) return true;

  // Collect first: disconnecting while enumerating may change the pin list
  // (tees drop their free pins).
  std::vector<ComPtr<IPin>> outputs;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == PINDIR_OUTPUT) outputs.push_back(pin);
  }
  for (unsigned number = 0; number < outputs.size(); ++number) {
    ComPtr<IPin> peer;
    if (outputs[number]->ConnectedTo(peer.put()) != S_OK || !peer) continue;
    if (ownerOf(peer.get()).get() != target) continue;
    const int peerNumber = pinNumber(target, peer.get());
    if (graph_) {
      graph_->Disconnect(peer.get());
      graph_->Disconnect(outputs[number].get());
    } else {
      peer->Disconnect();
      outputs[number]->Disconnect();
    }
    outputIndex = number;
    inputIndex = peerNumber < 0 ? 0 : unsigned(peerNumber);
  }
  return true;
}

void rsGraphManager::removeFilter(mxObjectPtr<rsFilter> filter) {
  if (!graph_ || filter.isNull() || !filter->isValid()) return;
  IBaseFilter* f = *filter;
  std::vector<ComPtr<IPin>> own;
  ComPtr<IEnumPins> pins;
  if (SUCCEEDED(f->EnumPins(pins.put())) && pins) {
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) own.push_back(pin);
  }
  for (ComPtr<IPin>& pin : own) {
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(peer.put()) != S_OK || !peer) continue;
    graph_->Disconnect(peer.get());
    graph_->Disconnect(pin.get());
  }
  graph_->RemoveFilter(f);
}

void rsGraphManager::removeAllFilters() {
  if (!graph_) return;
  for (;;) {
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph_->EnumFilters(filters.put())) || !filters) return;
    ComPtr<IBaseFilter> f;
    if (filters->Next(1, f.put(), nullptr) != S_OK) return;  // the graph is empty
    if (FAILED(graph_->RemoveFilter(f.get()))) {
      ErrMsg("Cannot Delete All Filters.");
      return;
    }
  }
}

// ---------------------------------------------------------------- graph registry

HRESULT rsGraphManager::addToRot(IUnknown* graph, unsigned long* registration) {
  if (!graph || !registration) return E_POINTER;
  char name[64];
  std::snprintf(name, sizeof name, "FilterGraph %08" PRIxPTR " pid %08x", reinterpret_cast<uintptr_t>(graph),
                unsigned(getpid()));
  DWORD cookie = 0;
  HRESULT hr = registerGraph(graph, name, &cookie);
  if (FAILED(hr)) return E_FAIL;
  *registration = cookie;
  return hr;
}

HRESULT rsGraphManager::removeFromRot(unsigned long registration) {
  return revokeGraph(DWORD(registration));
}

// ---------------------------------------------------------------- error box

bool rsGraphManager::ErrMsg(const char* format, ...) {
  // A buffer of each call's own: the receiver reports from its status thread
  // as well as from the GUI thread.
  char text[1024] = "";
  if (format) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  mxNotify::post(mxNotify::Warn, mxString(text));
  platform::win::showMessageBox("Error", text, platform::win::MessageBoxType::Warning);
  return false;
}
