// Base classes of filters and pins.
//
// A filter derives from BaseFilter and owns its pins (BaseInputPin /
// BaseOutputPin or classes derived from them). BaseFilter answers
// IBaseFilter (with IMediaFilter and IPersist) and, when the filter asks for
// it, IPersistStream and ISpecifyPropertyPages. Every virtual operation below
// is marked "Must supply" (pure) or "May supply" (has a default that a
// filter can keep).
//
// Connection (output pin Connect → input pin ReceiveConnection) proposes the
// caller's type when it is complete, otherwise the input pin's types, then
// the output pin's; the first type both pins' checkMediaType accept wins.
// Then the output pin agrees on an allocator with the input pin
// (decideBufferSize sets count, size, alignment and prefix). Running
// activates connected pins (commits allocators); stopping deactivates them,
// which makes Receive fail with VFW_E_WRONG_STATE and GetBuffer fail with
// VFW_E_NOT_COMMITTED, so streaming threads leave promptly.
//
// A filter with interfaces of its own (a control interface, IVideoWindow,
// ...) lists them among its bases after the base class, answers them in
// nonDelegatingQueryInterface (then calls the base's), and puts
// PLATFORM_DECLARE_UNKNOWN in its class body so that the IUnknown
// operations of every base go to the one reference count.
//
// Reference counts: a pin shares its filter's lifetime. Every outside
// reference on a pin also holds a reference on its filter; the filter holds
// one reference on each pin it owns and drops it when it removes the pin.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/byte_io.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/media_type.h"

class BaseFilter;

class BasePin : public IPin {
 public:
  BasePin(BaseFilter* filter, const char16_t* name, PIN_DIRECTION dir);
  BasePin(const BasePin&) = delete;
  BasePin& operator=(const BasePin&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* dir) override;
  HRESULT QueryId(char16_t** id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** e) override;
  HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // Must supply: whether the pin can carry this type (S_OK) or not (a
  // failure code, usually VFW_E_TYPE_NOT_ACCEPTED).
  virtual HRESULT checkMediaType(const MediaType& mt) = 0;
  // May supply: the preferred type at position (0, 1, ...); VFW_S_NO_MORE_ITEMS
  // past the last. Default: no types of its own.
  virtual HRESULT getMediaType(int position, MediaType* mt);
  // May supply: called once the type of a connection is chosen. Default stores it.
  virtual HRESULT setMediaType(const MediaType& mt);
  // May supply: checks the peer before types are tried. Default: opposite direction.
  virtual HRESULT checkConnect(IPin* peer);
  // May supply: finishes a connection (output pins agree on an allocator).
  virtual HRESULT completeConnect(IPin* peer);
  // May supply: undoes what checkConnect and completeConnect did.
  virtual HRESULT breakConnect();
  // May supply: the filter leaves / enters the stopped state.
  virtual HRESULT active();
  virtual HRESULT inactive();
  // May supply: further interfaces of the pin (IKsPropertySet, ...).
  virtual HRESULT queryPinInterface(REFIID iid, void** object);

  bool isConnected() const { return connected_ != nullptr; }
  IPin* connected() const { return connected_; }  // no reference added
  const MediaType& currentMediaType() const { return mt_; }
  const std::u16string& name() const { return name_; }
  PIN_DIRECTION direction() const { return dir_; }
  BaseFilter* filter() const { return filter_; }
  bool isStopped() const;

  // For the owning filter: its own reference on the pin.
  void ownerAddRef() { refs_.fetch_add(1); }
  void ownerRelease();

 protected:
  virtual ~BasePin();
  HRESULT attemptConnection(IPin* receivePin, const MediaType& mt);
  HRESULT tryTypesOf(IPin* enumeratedPin, IPin* receivePin, const AM_MEDIA_TYPE* partial);

  BaseFilter* filter_;
  std::u16string name_;
  PIN_DIRECTION dir_;
  IPin* connected_ = nullptr;
  MediaType mt_;
  std::atomic<ULONG> refs_{0};
};

class BaseInputPin : public BasePin, public IMemInputPin {
 public:
  BaseInputPin(BaseFilter* filter, const char16_t* name);

  HRESULT QueryInterface(REFIID iid, void** object) override { return BasePin::QueryInterface(iid, object); }
  ULONG AddRef() override { return BasePin::AddRef(); }
  ULONG Release() override { return BasePin::Release(); }

  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  // May supply (through IMemInputPin): default E_NOTIMPL (no requirements).
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  // Checks the streaming state, then calls receive().
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
  HRESULT ReceiveCanBlock() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // Must supply: handle one sample (on the upstream streaming thread).
  virtual HRESULT receive(IMediaSample* sample) = 0;

  HRESULT queryPinInterface(REFIID iid, void** object) override;
  HRESULT active() override;
  HRESULT inactive() override;
  HRESULT breakConnect() override;

  // S_OK when a sample may be received, S_FALSE while flushing,
  // VFW_E_WRONG_STATE while stopped.
  HRESULT checkStreaming() const;
  IMemAllocator* allocator() const { return allocator_; }
  bool readOnly() const { return readOnly_; }
  bool isFlushing() const { return flushing_.load(); }
  // Held by receive paths that must not overlap a stop.
  std::mutex& receiveLock() { return receiveLock_; }

 protected:
  ~BaseInputPin() override;
  IMemAllocator* allocator_ = nullptr;
  bool readOnly_ = false;
  std::atomic<bool> active_{false};
  std::atomic<bool> flushing_{false};
  std::mutex receiveLock_;
};

class BaseOutputPin : public BasePin, public IAMBufferNegotiation {
 public:
  BaseOutputPin(BaseFilter* filter, const char16_t* name);

  HRESULT QueryInterface(REFIID iid, void** object) override { return BasePin::QueryInterface(iid, object); }
  ULONG AddRef() override { return BasePin::AddRef(); }
  ULONG Release() override { return BasePin::Release(); }

  HRESULT SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) override;
  HRESULT GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT EndOfStream() override { return E_UNEXPECTED; }
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }

  // Must supply: set the allocator's properties (count, size, alignment,
  // prefix) through IMemAllocator::SetProperties and check what was granted.
  // request holds the input pin's requirements (or zeros).
  virtual HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // May supply: whether the pin offers IAMBufferNegotiation (capture pins do).
  virtual bool offersBufferNegotiation() const { return false; }

  HRESULT queryPinInterface(REFIID iid, void** object) override;
  HRESULT checkConnect(IPin* peer) override;
  HRESULT completeConnect(IPin* peer) override;
  HRESULT breakConnect() override;
  HRESULT active() override;
  HRESULT inactive() override;

  // Streaming helpers.
  HRESULT getDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
  HRESULT deliver(IMediaSample* sample);
  HRESULT deliverEndOfStream();
  HRESULT deliverBeginFlush();
  HRESULT deliverEndFlush();
  HRESULT deliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* allocator() const { return allocator_; }
  IMemInputPin* inputPin() const { return inputPin_; }
  // The properties suggested through IAMBufferNegotiation (zeros: none).
  const ALLOCATOR_PROPERTIES& suggestedProperties() const { return suggested_; }

 protected:
  ~BaseOutputPin() override;
  HRESULT decideAllocator(IMemInputPin* pin, IMemAllocator** allocator);

  IMemAllocator* allocator_ = nullptr;
  IMemInputPin* inputPin_ = nullptr;
  ALLOCATOR_PROPERTIES suggested_{0, 0, 0, 0};
};

class BaseFilter : public IBaseFilter,
                   public IPersistStream,
                   public ISpecifyPropertyPages,
                   public UnknownBase {
 public:
  BaseFilter(const CLSID& clsid);
  ~BaseFilter() override;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return nonDelegatingAddRef(); }
  ULONG Release() override { return nonDelegatingRelease(); }
  // May supply: add the filter's own interfaces, then call this.
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IPersist
  HRESULT GetClassID(CLSID* clsid) override;
  // IMediaFilter. May supply (call the base from the override): Stop
  // deactivates the pins, Pause activates connected pins when leaving
  // Stopped, Run pauses first when stopped and records the start time.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT EnumPins(IEnumPins** e) override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) override;
  HRESULT QueryVendorInfo(char16_t** info) override;
  // IPersistStream: the settings stream is a 24-byte version prefix (the
  // version as "%011d " in 12 UTF-16 characters) and the filter's fields.
  HRESULT IsDirty() override;
  HRESULT Load(IStream* stream) override;
  HRESULT Save(IStream* stream, BOOL clearDirty) override;
  HRESULT GetSizeMax(uint64_t* size) override;
  // ISpecifyPropertyPages
  HRESULT GetPages(CAUUID* pages) override;

  // Must supply: the pins, by index in the filter's pin order.
  virtual int pinCount() = 0;
  virtual BasePin* pin(int index) = 0;

  // May supply: persisted settings. A version of 0 (the default) means the
  // filter offers no IPersistStream.
  virtual int settingsVersion() const { return 0; }
  virtual uint64_t settingsSizeMax() const { return 0; }
  virtual HRESULT writeSettings(ByteWriter& out);
  // The reader is bounded by the stream's data; a short stream shows as a
  // failed reader.
  virtual HRESULT readSettings(ByteReader& in, int version);
  // May supply: property page classes in order. Empty (the default) means
  // the filter offers no ISpecifyPropertyPages.
  virtual std::vector<CLSID> propertyPages() const { return {}; }

  FILTER_STATE state() const { return state_.load(); }
  REFERENCE_TIME startTime() const { return start_; }
  // Current stream time (clock time − start time), or false without a clock.
  bool streamTime(REFERENCE_TIME* t);
  IReferenceClock* clock() const { return clock_; }  // no reference added
  IFilterGraph* graph() const { return graph_; }     // no reference added
  const std::u16string& filterName() const { return name_; }
  std::recursive_mutex& filterLock() { return lock_; }
  void setDirty(bool dirty) { dirty_ = dirty; }
  // Call after adding or removing pins so that pin enumerators refresh.
  void incrementPinVersion() { pinVersion_.fetch_add(1); }
  int pinVersion() const { return pinVersion_.load(); }

 protected:
  std::recursive_mutex lock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME start_ = 0;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;
  std::u16string name_;
  CLSID clsid_;
  std::atomic<bool> dirty_{false};
  std::atomic<int> pinVersion_{0};
};

// Helper for decideBufferSize: applies request to the allocator and checks
// that at least minBuffers buffers of at least minSize bytes were granted.
HRESULT setAllocatorProperties(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request, LONG minBuffers,
                               LONG minSize, ALLOCATOR_PROPERTIES* granted = nullptr);
