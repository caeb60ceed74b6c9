#include "platform/media/base_filter.h"

#include <cstdio>
#include <cstring>

#include "platform/com/com_ptr.h"
#include "platform/com/log.h"
#include "platform/com/runtime.h"
#include "platform/com/wide_text.h"
#include "platform/media/allocator.h"
#include "platform/media/enumerators.h"
#include "platform/media/results.h"

// ---------------------------------------------------------------- BasePin

BasePin::BasePin(BaseFilter* filter, const char16_t* name, PIN_DIRECTION dir)
    : filter_(filter), name_(name ? name : u""), dir_(dir) {}

BasePin::~BasePin() {
  if (connected_) connected_->Release();
}

HRESULT BasePin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    AddRef();
    *object = static_cast<IPin*>(this);
    return S_OK;
  }
  return queryPinInterface(iid, object);
}

HRESULT BasePin::queryPinInterface(REFIID, void**) {
  return E_NOINTERFACE;
}

ULONG BasePin::AddRef() {
  filter_->AddRef();
  return refs_.fetch_add(1) + 1;
}

ULONG BasePin::Release() {
  BaseFilter* f = filter_;
  ULONG left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;  // the filter had already let go of this pin
  f->Release();
  return left;
}

void BasePin::ownerRelease() {
  if (refs_.fetch_sub(1) == 1) delete this;
}

bool BasePin::isStopped() const {
  return filter_->state() == State_Stopped;
}

HRESULT BasePin::getMediaType(int, MediaType*) {
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::setMediaType(const MediaType& mt) {
  mt_ = mt;
  return S_OK;
}

HRESULT BasePin::checkConnect(IPin* peer) {
  PIN_DIRECTION d;
  if (FAILED(peer->QueryDirection(&d))) return E_FAIL;
  return d == dir_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT BasePin::completeConnect(IPin*) {
  return S_OK;
}
HRESULT BasePin::breakConnect() {
  return S_OK;
}
HRESULT BasePin::active() {
  return S_OK;
}
HRESULT BasePin::inactive() {
  return S_OK;
}

HRESULT BasePin::attemptConnection(IPin* receivePin, const MediaType& mt) {
  HRESULT hr = checkMediaType(mt);
  if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  connected_ = receivePin;
  connected_->AddRef();
  hr = setMediaType(mt);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(this, mt.ptr());
    if (SUCCEEDED(hr)) {
      hr = completeConnect(receivePin);
      if (SUCCEEDED(hr)) return S_OK;
      receivePin->Disconnect();
    }
  }
  breakConnect();
  connected_->Release();
  connected_ = nullptr;
  mt_.clear();
  return FAILED(hr) ? hr : E_FAIL;
}

HRESULT BasePin::tryTypesOf(IPin* enumeratedPin, IPin* receivePin, const AM_MEDIA_TYPE* partial) {
  ComPtr<IEnumMediaTypes> e;
  if (FAILED(enumeratedPin->EnumMediaTypes(e.put())) || !e) return VFW_E_NO_ACCEPTABLE_TYPES;
  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* t = nullptr;
    ULONG got = 0;
    if (e->Next(1, &t, &got) != S_OK || got != 1) break;
    MediaType mt(*t);
    DeleteMediaType(t);
    if (partial && !mt.matchesPartial(*partial)) continue;
    HRESULT hr = attemptConnection(receivePin, mt);
    if (SUCCEEDED(hr)) return S_OK;
    last = hr;
  }
  return last;
}

HRESULT BasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
  if (!receivePin) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (dir_ != PINDIR_OUTPUT) {
    platformLog(PlatformLogLevel::Warn, "Connect called on input pin \"%s\"",
                utf16ToUtf8(name_.c_str()).c_str());
    return VFW_E_INVALID_DIRECTION;
  }
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!isStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = checkConnect(receivePin);
  if (FAILED(hr)) {
    breakConnect();
    return hr;
  }
  if (mt && mt->majortype != GUID_NULL && mt->subtype != GUID_NULL && mt->formattype != GUID_NULL)
    return attemptConnection(receivePin, MediaType(*mt));
  // Partial or no type: the input pin's preferences, then our own.
  hr = tryTypesOf(receivePin, receivePin, mt);
  if (SUCCEEDED(hr)) return hr;
  HRESULT own = tryTypesOf(this, receivePin, mt);
  if (SUCCEEDED(own)) return own;
  breakConnect();
  if (hr == VFW_E_NO_ACCEPTABLE_TYPES) hr = own;
  return hr == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : hr;
}

HRESULT BasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
  if (!connector || !mt) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!isStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = checkConnect(connector);
  if (FAILED(hr)) {
    breakConnect();
    return hr;
  }
  MediaType type(*mt);
  hr = checkMediaType(type);
  if (hr != S_OK) {
    breakConnect();
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  connected_ = connector;
  connected_->AddRef();
  hr = setMediaType(type);
  if (SUCCEEDED(hr)) hr = completeConnect(connector);
  if (FAILED(hr)) {
    breakConnect();
    connected_->Release();
    connected_ = nullptr;
    mt_.clear();
  }
  return hr;
}

HRESULT BasePin::Disconnect() {
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (!isStopped()) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  breakConnect();
  connected_->Release();
  connected_ = nullptr;
  mt_.clear();
  return S_OK;
}

HRESULT BasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  *pin = connected_;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

HRESULT BasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (!connected_) {
    *mt = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(mt, mt_.ptr());
}

HRESULT BasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = dir_;
  copyUtf16(info->achName, 128, name_.c_str());
  return S_OK;
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION* dir) {
  if (!dir) return E_POINTER;
  *dir = dir_;
  return S_OK;
}

HRESULT BasePin::QueryId(char16_t** id) {
  if (!id) return E_POINTER;
  *id = static_cast<char16_t*>(CoTaskMemAlloc((name_.size() + 1) * sizeof(char16_t)));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, name_.c_str(), (name_.size() + 1) * sizeof(char16_t));
  return S_OK;
}

HRESULT BasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  HRESULT hr = checkMediaType(MediaType(*mt));
  return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT BasePin::EnumMediaTypes(IEnumMediaTypes** e) {
  if (!e) return E_POINTER;
  auto* en = new MediaTypeEnumerator(this);
  en->AddRef();
  *e = en;
  return S_OK;
}

HRESULT BasePin::QueryInternalConnections(IPin**, ULONG*) {
  return E_NOTIMPL;
}
HRESULT BasePin::EndOfStream() {
  return S_OK;
}
HRESULT BasePin::BeginFlush() {
  return S_OK;
}
HRESULT BasePin::EndFlush() {
  return S_OK;
}
HRESULT BasePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
  return S_OK;
}

// ---------------------------------------------------------------- BaseInputPin

BaseInputPin::BaseInputPin(BaseFilter* filter, const char16_t* name) : BasePin(filter, name, PINDIR_INPUT) {}

BaseInputPin::~BaseInputPin() {
  if (allocator_) allocator_->Release();
}

HRESULT BaseInputPin::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IMemInputPin) {
    AddRef();
    *object = static_cast<IMemInputPin*>(this);
    return S_OK;
  }
  return BasePin::queryPinInterface(iid, object);
}

HRESULT BaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (!allocator_) allocator_ = MemAllocator::create();
  allocator_->AddRef();
  *allocator = allocator_;
  return S_OK;
}

HRESULT BaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  allocator->AddRef();
  if (allocator_) allocator_->Release();
  allocator_ = allocator;
  readOnly_ = readOnly != 0;
  return S_OK;
}

HRESULT BaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

HRESULT BaseInputPin::checkStreaming() const {
  if (!active_.load()) return VFW_E_WRONG_STATE;
  if (flushing_.load()) return S_FALSE;
  return S_OK;
}

HRESULT BaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  HRESULT hr = checkStreaming();
  if (hr != S_OK) return hr;
  return receive(sample);
}

HRESULT BaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT BaseInputPin::ReceiveCanBlock() {
  return S_OK;
}

HRESULT BaseInputPin::BeginFlush() {
  flushing_ = true;
  return S_OK;
}

HRESULT BaseInputPin::EndFlush() {
  flushing_ = false;
  return S_OK;
}

HRESULT BaseInputPin::active() {
  active_ = true;
  flushing_ = false;
  return S_OK;
}

HRESULT BaseInputPin::inactive() {
  active_ = false;
  flushing_ = false;
  if (allocator_) allocator_->Decommit();
  return S_OK;
}

HRESULT BaseInputPin::breakConnect() {
  if (allocator_) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  readOnly_ = false;
  return S_OK;
}

// ---------------------------------------------------------------- BaseOutputPin

BaseOutputPin::BaseOutputPin(BaseFilter* filter, const char16_t* name)
    : BasePin(filter, name, PINDIR_OUTPUT) {}

BaseOutputPin::~BaseOutputPin() {
  if (allocator_) allocator_->Release();
  if (inputPin_) inputPin_->Release();
}

HRESULT BaseOutputPin::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IAMBufferNegotiation && offersBufferNegotiation()) {
    AddRef();
    *object = static_cast<IAMBufferNegotiation*>(this);
    return S_OK;
  }
  return BasePin::queryPinInterface(iid, object);
}

HRESULT BaseOutputPin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  suggested_ = *props;
  return S_OK;
}

HRESULT BaseOutputPin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(filter_->filterLock());
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetProperties(props);
}

HRESULT BaseOutputPin::checkConnect(IPin* peer) {
  HRESULT hr = BasePin::checkConnect(peer);
  if (FAILED(hr)) return hr;
  if (inputPin_) inputPin_->Release();
  inputPin_ = nullptr;
  if (FAILED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&inputPin_)))) {
    inputPin_ = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT BaseOutputPin::decideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  ALLOCATOR_PROPERTIES request{0, 0, 0, 0};
  pin->GetAllocatorRequirements(&request);
  if (request.cbAlign == 0) request.cbAlign = 1;
  HRESULT hr = pin->GetAllocator(allocator);
  if (SUCCEEDED(hr) && *allocator) {
    hr = decideBufferSize(*allocator, &request);
    if (SUCCEEDED(hr)) {
      hr = pin->NotifyAllocator(*allocator, FALSE);
      if (SUCCEEDED(hr)) return S_OK;
    }
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  // The input pin's allocator would not do: use one of our own.
  *allocator = MemAllocator::create();
  hr = decideBufferSize(*allocator, &request);
  if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*allocator, FALSE);
  if (FAILED(hr)) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  return hr;
}

HRESULT BaseOutputPin::completeConnect(IPin* peer) {
  if (!inputPin_ && FAILED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&inputPin_)))) {
    inputPin_ = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT hr = decideAllocator(inputPin_, &allocator_);
  if (FAILED(hr))
    platformLog(PlatformLogLevel::Warn, "pin \"%s\": no allocator agreed (0x%08X)",
                utf16ToUtf8(name_.c_str()).c_str(), static_cast<unsigned>(hr));
  return hr;
}

HRESULT BaseOutputPin::breakConnect() {
  if (allocator_) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (inputPin_) {
    inputPin_->Release();
    inputPin_ = nullptr;
  }
  return S_OK;
}

HRESULT BaseOutputPin::active() {
  return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT BaseOutputPin::inactive() {
  if (allocator_) allocator_->Decommit();
  return S_OK;
}

HRESULT BaseOutputPin::getDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                         DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT BaseOutputPin::deliver(IMediaSample* sample) {
  if (!inputPin_) return VFW_E_NOT_CONNECTED;
  return inputPin_->Receive(sample);
}

HRESULT BaseOutputPin::deliverEndOfStream() {
  return connected_ ? connected_->EndOfStream() : VFW_E_NOT_CONNECTED;
}
HRESULT BaseOutputPin::deliverBeginFlush() {
  return connected_ ? connected_->BeginFlush() : VFW_E_NOT_CONNECTED;
}
HRESULT BaseOutputPin::deliverEndFlush() {
  return connected_ ? connected_->EndFlush() : VFW_E_NOT_CONNECTED;
}
HRESULT BaseOutputPin::deliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return connected_ ? connected_->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

HRESULT setAllocatorProperties(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request, LONG minBuffers,
                               LONG minSize, ALLOCATOR_PROPERTIES* granted) {
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&request, &actual);
  if (FAILED(hr)) return hr;
  if (granted) *granted = actual;
  if (actual.cBuffers < minBuffers || actual.cbBuffer < minSize) return E_FAIL;
  return S_OK;
}

// ---------------------------------------------------------------- BaseFilter

BaseFilter::BaseFilter(const CLSID& clsid) : clsid_(clsid) {}

BaseFilter::~BaseFilter() {
  if (clock_) clock_->Release();
}

HRESULT BaseFilter::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return nonDelegatingQueryInterface(iid, object);
}

HRESULT BaseFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist)
    return getInterface(static_cast<IBaseFilter*>(this), object);
  if (iid == IID_IPersistStream && settingsVersion() > 0)
    return getInterface(static_cast<IPersistStream*>(this), object);
  if (iid == IID_ISpecifyPropertyPages && !propertyPages().empty())
    return getInterface(static_cast<ISpecifyPropertyPages*>(this), object);
  return E_NOINTERFACE;
}

HRESULT BaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT BaseFilter::Stop() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  HRESULT result = S_OK;
  if (state_ != State_Stopped) {
    int n = pinCount();
    for (int i = 0; i < n; ++i) {
      BasePin* p = pin(i);
      if (p && p->isConnected()) {
        HRESULT hr = p->inactive();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      }
    }
  }
  state_ = State_Stopped;
  return result;
}

HRESULT BaseFilter::Pause() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    int n = pinCount();
    for (int i = 0; i < n; ++i) {
      BasePin* p = pin(i);
      if (p && p->isConnected()) {
        HRESULT hr = p->active();
        if (FAILED(hr)) {
          platformLog(PlatformLogLevel::Error, "filter \"%s\": pin \"%s\" cannot start (0x%08X)",
                      utf16ToUtf8(name_.c_str()).c_str(), utf16ToUtf8(p->name().c_str()).c_str(),
                      static_cast<unsigned>(hr));
          for (int k = 0; k < i; ++k)
            if (BasePin* q = pin(k); q && q->isConnected()) q->inactive();
          return hr;
        }
      }
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT BaseFilter::Run(REFERENCE_TIME start) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  start_ = start;
  state_ = State_Running;
  return S_OK;
}

HRESULT BaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

HRESULT BaseFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT BaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

bool BaseFilter::streamTime(REFERENCE_TIME* t) {
  IReferenceClock* c = clock_;
  REFERENCE_TIME now;
  if (!c || FAILED(c->GetTime(&now))) return false;
  *t = now - start_;
  return true;
}

HRESULT BaseFilter::EnumPins(IEnumPins** e) {
  if (!e) return E_POINTER;
  auto* en = new PinEnumerator(this);
  en->AddRef();
  *e = en;
  return S_OK;
}

HRESULT BaseFilter::FindPin(const char16_t* id, IPin** result) {
  if (!id || !result) return E_POINTER;
  *result = nullptr;
  std::lock_guard<std::recursive_mutex> g(lock_);
  int n = pinCount();
  for (int i = 0; i < n; ++i) {
    BasePin* p = pin(i);
    if (p && p->name() == id) {
      p->AddRef();
      *result = p;
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  copyUtf16(info->achName, 128, name_.c_str());
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT BaseFilter::JoinFilterGraph(IFilterGraph* graph, const char16_t* name) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  graph_ = graph;  // not counted: the graph holds the filter
  name_ = name ? name : u"";
  return S_OK;
}

HRESULT BaseFilter::QueryVendorInfo(char16_t**) {
  return E_NOTIMPL;
}

HRESULT BaseFilter::IsDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

HRESULT BaseFilter::writeSettings(ByteWriter&) {
  return S_OK;
}
HRESULT BaseFilter::readSettings(ByteReader&, int) {
  return S_OK;
}

HRESULT BaseFilter::Save(IStream* stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  std::vector<uint8_t> bytes;
  bytes.reserve(64);
  ByteWriter w(bytes);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%011d ", settingsVersion());
  for (int i = 0; i < 12; ++i) w.u16(static_cast<uint8_t>(prefix[i]));
  HRESULT hr;
  {
    std::lock_guard<std::recursive_mutex> g(lock_);
    hr = writeSettings(w);
  }
  if (FAILED(hr)) return hr;
  ULONG written = 0;
  hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr) || written != bytes.size()) return FAILED(hr) ? hr : STG_E_WRITEFAULT;
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT BaseFilter::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  uint8_t prefixBytes[24];
  ULONG got = 0;
  HRESULT hr = stream->Read(prefixBytes, sizeof prefixBytes, &got);
  if (FAILED(hr) || got != sizeof prefixBytes) {
    platformLog(PlatformLogLevel::Warn, "settings stream shorter than its version prefix");
    return STG_E_READFAULT;
  }
  ByteReader pr(prefixBytes, sizeof prefixBytes);
  char text[13] = {};
  for (int i = 0; i < 12; ++i) {
    uint16_t c = pr.u16();
    text[i] = c < 128 ? static_cast<char>(c) : '?';
  }
  char* end = nullptr;
  long version = std::strtol(text, &end, 10);
  if (end == text || *end != ' ' || version <= 0 || version > settingsVersion()) {
    platformLog(PlatformLogLevel::Warn, "settings stream version \"%s\" not understood", text);
    return E_FAIL;
  }
  // The filter's data: at most its announced size, or whatever the stream has.
  std::vector<uint8_t> data(settingsSizeMax() ? settingsSizeMax() : 4096);
  got = 0;
  hr = stream->Read(data.data(), static_cast<ULONG>(data.size()), &got);
  if (FAILED(hr)) return hr;
  ByteReader r(data.data(), got);
  std::lock_guard<std::recursive_mutex> g(lock_);
  hr = readSettings(r, static_cast<int>(version));
  if (SUCCEEDED(hr)) {
    dirty_ = false;
    // Leave the stream just after this filter's data, for whatever follows it.
    if (r.ok() && r.position() < got) stream->Seek(-static_cast<int64_t>(got - r.position()), 1, nullptr);
  }
  return hr;
}

HRESULT BaseFilter::GetSizeMax(uint64_t* size) {
  if (!size) return E_POINTER;
  *size = settingsSizeMax() + 24;
  return S_OK;
}

HRESULT BaseFilter::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  std::vector<CLSID> list = propertyPages();
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * (list.size() ? list.size() : 1)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (const CLSID& c : list) pages->pElems[pages->cElems++] = c;
  return S_OK;
}
