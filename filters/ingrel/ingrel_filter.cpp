#include "filters/ingrel/ingrel_filter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "koBase/koNetwork.h"
#include "platform/com/log.h"
#include "platform/media/results.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
using RecvGuard = std::lock_guard<std::mutex>;
}  // namespace

// ---------------------------------------------------------------- pin

IngrelStream::IngrelStream(IngrelFilter* filter) : SourceStream(filter, u"Out"), owner_(filter) {}

HRESULT IngrelStream::checkMediaType(const MediaType& mt) {
  RecvGuard g(owner_->recvLock_);
  return mt == owner_->output_.mediaType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT IngrelStream::getMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  RecvGuard g(owner_->recvLock_);
  *mt = owner_->output_.mediaType();
  return S_OK;
}

HRESULT IngrelStream::setMediaType(const MediaType& mt) {
  HRESULT hr = SourceStream::setMediaType(mt);
  if (FAILED(hr)) return hr;
  RecvGuard g(owner_->recvLock_);
  owner_->connected_.classify(mt.get());
  owner_->pinConnected_ = true;
  return S_OK;
}

HRESULT IngrelStream::breakConnect() {
  {
    RecvGuard g(owner_->recvLock_);
    owner_->pinConnected_ = false;
    owner_->bufferSize_ = 0;
  }
  return SourceStream::breakConnect();
}

HRESULT IngrelStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
  LONG size;
  {
    RecvGuard g(owner_->recvLock_);
    const MediaType& mt = currentMediaType();
    size = mt.fixedSizeSamples() && mt.sampleSize() ? static_cast<LONG>(mt.sampleSize())
                                                    : static_cast<LONG>(IngrelFilter::kVariableBufferSize);
  }
  if (size <= 0) return E_FAIL;  // built types are far smaller; never ask for a negative size
  ALLOCATOR_PROPERTIES granted{};
  HRESULT hr = setAllocatorProperties(allocator, {1, size, 1, 0}, 1, size, &granted);
  if (FAILED(hr)) return hr;
  RecvGuard g(owner_->recvLock_);
  owner_->bufferSize_ = static_cast<uint32_t>(granted.cbBuffer);
  return S_OK;
}

HRESULT IngrelStream::inactive() {
  HRESULT hr = SourceStream::inactive();
  std::lock_guard<std::mutex> g(lock_);
  delivery_.reset();
  owner_->queue_.clear();
  return hr;
}

HRESULT IngrelStream::fillBuffer(IMediaSample* sample) {
  std::lock_guard<std::mutex> g(lock_);
  const auto began = std::chrono::steady_clock::now();
  std::unique_ptr<IngrelSample> s;
  if (owner_->isStreaming())
    s = owner_->queue_.pop(began + std::chrono::milliseconds(IngrelFilter::kStallMs));
  if (!s && !owner_->isStreaming()) return S_FALSE;  // stopping: nothing more to deliver
  owner_->receiving_ = s != nullptr;
  if (s) {
    owner_->queue_.recycle(delivery_.deliver(std::move(s), sample));
    return S_OK;
  }
  const int64_t waited =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count() *
      10000;
  delivery_.fill(sample, owner_->outputClassification(), waited);
  owner_->fillers_.fetch_add(1);
  return S_OK;
}

// ---------------------------------------------------------------- filter

IngrelFilter::IngrelFilter() : SourceFilter(CLSID_IngrelFilter) {
  stream_ = new IngrelStream(this);
  addStream(stream_);
  koNetworkStartup();
  codes_.buildMediaType();
  output_.classify(codes_.mediaType().get());
  received_.classify(MediaType().get());
  receiver_.setFrameCallback(onFrame, this);
  // Room for a few whole pictures: a 720x480 RGB24 frame arrives as a
  // burst of about a megabyte, faster than one thread drains it.
  receiver_.setSocketBufferSize(kReceiveBufferSize);
  if (!receiver_.open())
    platformLog(PlatformLogLevel::Warn, "multicast client: cannot join %s port %u", receiver_.getAddress().c_str(),
                receiver_.getPort());
}

IngrelFilter::~IngrelFilter() {
  streaming_ = false;
  queue_.wake();
  stream_->stopThread();
  if (receiver_.isOpen()) receiver_.close();
  koNetworkShutdown();
}

HRESULT IngrelFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IIngrelControl) return getInterface(static_cast<IIngrelControl*>(this), object);
  return SourceFilter::nonDelegatingQueryInterface(iid, object);
}

void IngrelFilter::onFrame(const uint8_t* frame, uint32_t length, void* self) {
  static_cast<IngrelFilter*>(self)->handleFrame(frame, length);
}

void IngrelFilter::handleFrame(const uint8_t* frame, uint32_t length) {
  IngrelParsedRecord p;
  if (!ingrelParseRecord(frame, length, &p)) {
    malformed_.fetch_add(1);
    RecvGuard g(recvLock_);
    if (lastSampleNumber_ != -1) pendingDiscontinuity_ = true;
    return;
  }
  const koSampleRecord& r = p.record;
  RecvGuard g(recvLock_);
  // A sample is missing before this one when the numbers jump (or go back:
  // the sender restarted) or when a record since the last sample was refused.
  const bool gap = lastSampleNumber_ != -1 &&
                   (r.sampleNumber != static_cast<uint32_t>(lastSampleNumber_ + 1) || pendingDiscontinuity_);
  pendingDiscontinuity_ = lastSampleNumber_ != -1 || pendingDiscontinuity_;
  lastSampleNumber_ = r.sampleNumber;
  userDataLength_ = r.userDataLength;
  std::memcpy(userData_, r.userData, r.userDataLength);
  received_ = std::move(p.received);

  const bool classified = received_.fullyClassified();
  if (automaticType_ && !pinConnected_ && !streaming_) ingrelAdoptType(received_, &codes_, &output_);
  typesMatch_ = classified && received_.sameAs(output_) && (!pinConnected_ || received_.sameAs(connected_));
  if (!typesMatch_) {
    mismatched_.fetch_add(1);
    return;
  }
  const MediaClassification& target = pinConnected_ ? connected_ : output_;
  uint32_t limit = bufferSize_;
  if (!pinConnected_ || limit == 0)
    limit = target.mediaType().fixedSizeSamples() && target.mediaType().sampleSize()
                ? target.mediaType().sampleSize()
                : kVariableBufferSize;
  if (!ingrelDataFits(target, limit, r.dataLength)) {
    malformed_.fetch_add(1);
    return;
  }
  timestamp_ = r.clockTime;
  if (!streaming_) return;
  std::unique_ptr<IngrelSample> s = queue_.acquire();
  ingrelMakeSample(r, gap, s.get());
  pendingDiscontinuity_ = false;
  if (queue_.push(std::move(s))) discarded_.fetch_add(1);
}

MediaClassification IngrelFilter::outputClassification() {
  RecvGuard g(recvLock_);
  return pinConnected_ ? connected_ : output_;
}

HRESULT IngrelFilter::Run(REFERENCE_TIME start) {
  {
    RecvGuard g(recvLock_);
    streaming_ = true;
    receiving_ = false;
    lastSampleNumber_ = -1;
    pendingDiscontinuity_ = false;
    timestamp_ = 0;
    discarded_ = 0;
    malformed_ = 0;
    mismatched_ = 0;
    fillers_ = 0;
    queue_.rearm();
  }
  receiver_.resetStatistics();
  return SourceFilter::Run(start);
}

HRESULT IngrelFilter::Stop() {
  {
    RecvGuard g(recvLock_);
    streaming_ = false;
    receiving_ = false;
    queue_.clear();
  }
  queue_.wake();
  HRESULT hr = SourceFilter::Stop();
  queue_.clear();
  return hr;
}

HRESULT IngrelFilter::GetState(DWORD msTimeout, FILTER_STATE* state) {
  HRESULT hr = SourceFilter::GetState(msTimeout, state);
  if (SUCCEEDED(hr) && state && *state == State_Paused) return VFW_S_CANT_CUE;
  return hr;
}

template <typename Change>
void IngrelFilter::reconfigure(Change change) {
  Guard g(lock_);
  const bool wasOpen = receiver_.isOpen();
  if (wasOpen) receiver_.close();
  change();
  if (!receiver_.open())
    platformLog(PlatformLogLevel::Warn, "multicast client: cannot join %s port %u", receiver_.getAddress().c_str(),
                receiver_.getPort());
}

// ---------------------------------------------------------------- settings

HRESULT IngrelFilter::writeSettings(ByteWriter& out) {
  IngrelSettings s;
  Guard f(lock_);  // the address, port and stored values change under it
  s.timestampReset = timestampReset_;
  s.x = x_;
  s.y = y_;
  s.width = width_;
  s.height = height_;
  s.address = receiver_.getAddress();
  s.port = receiver_.getPort();
  s.timeToLive = receiver_.getTimeToLive();
  {
    RecvGuard g(recvLock_);
    s.automaticType = automaticType_;
    s.kind = codes_.kind;
    s.videoFormat = codes_.videoFormat;
    s.resolution = codes_.resolution;
    s.audioFormat = codes_.audioFormat;
    s.bitCount = codes_.bitCount;
    s.frequency = codes_.frequency;
    s.channels = codes_.channels;
  }
  s.write(out);
  return S_OK;
}

HRESULT IngrelFilter::readSettings(ByteReader& in, int) {
  // Everything is read before anything is applied: a bad stream leaves the
  // filter as it was.
  IngrelSettings s;
  if (!s.read(in)) {
    platformLog(PlatformLogLevel::Warn, "multicast client: settings stream malformed or cut short");
    return E_FAIL;
  }
  Guard g(lock_);
  timestampReset_ = s.timestampReset;
  x_ = s.x;
  y_ = s.y;
  width_ = s.width;
  height_ = s.height;
  const bool wasOpen = receiver_.isOpen();
  if (wasOpen) receiver_.close();
  receiver_.setAddress(s.address);
  receiver_.setPort(s.port);
  receiver_.setTimeToLive(s.timeToLive);
  if (wasOpen) receiver_.open();
  RecvGuard r(recvLock_);
  automaticType_ = s.automaticType;
  codes_.kind = s.kind;
  codes_.videoFormat = s.videoFormat;
  codes_.resolution = s.resolution;
  codes_.audioFormat = s.audioFormat;
  codes_.bitCount = s.bitCount;
  codes_.frequency = s.frequency;
  codes_.channels = s.channels;
  if (codes_.buildMediaType()) output_.classify(codes_.mediaType().get());
  return S_OK;
}

std::vector<CLSID> IngrelFilter::propertyPages() const {
  return {CLSID_IngrelCommunicationPage, CLSID_IngrelMediaTypePage, CLSID_IngrelFrameControlPage,
          CLSID_IngrelAdditionalInfoPage};
}

// ---------------------------------------------------------------- IIngrelControl

#define INGREL_OUT(p) \
  if (!(p)) return E_POINTER

HRESULT IngrelFilter::GetSocketOpen(BOOL* open) {
  INGREL_OUT(open);
  Guard g(lock_);
  *open = receiver_.isOpen() ? TRUE : FALSE;
  return S_OK;
}
HRESULT IngrelFilter::GetReceiving(BOOL* v) {
  INGREL_OUT(v);
  *v = receiving_.load() ? TRUE : FALSE;
  return S_OK;
}
HRESULT IngrelFilter::GetTypesMatch(BOOL* v) {
  INGREL_OUT(v);
  RecvGuard g(recvLock_);
  *v = typesMatch_ ? TRUE : FALSE;
  return S_OK;
}
HRESULT IngrelFilter::GetTimestamp(int64_t* v) {
  INGREL_OUT(v);
  *v = timestamp_.load();
  return S_OK;
}
HRESULT IngrelFilter::GetReceiveRate(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getReceiveRate();
  return S_OK;
}
HRESULT IngrelFilter::GetFrameRate(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getFrameRate();
  return S_OK;
}
HRESULT IngrelFilter::GetPacketSize(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getPacketSize();
  return S_OK;
}
HRESULT IngrelFilter::GetPacketsReceived(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getFragmentsReceived();
  return S_OK;
}
HRESULT IngrelFilter::GetFramesReceived(uint32_t* v) {
  INGREL_OUT(v);
  const uint32_t frames = receiver_.getFramesReceived(), discarded = discarded_.load();
  *v = frames > discarded ? frames - discarded : 0;
  return S_OK;
}
HRESULT IngrelFilter::GetDroppedPackets(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getDroppedFragments();
  return S_OK;
}
HRESULT IngrelFilter::GetDroppedFrames(uint32_t* v) {
  INGREL_OUT(v);
  *v = receiver_.getDroppedFrames() + discarded_.load();
  return S_OK;
}
HRESULT IngrelFilter::GetDiscardedSamples(uint32_t* v) {
  INGREL_OUT(v);
  *v = discarded_.load();
  return S_OK;
}
HRESULT IngrelFilter::GetUserData(uint8_t* data, uint32_t* length) {
  INGREL_OUT(data);
  INGREL_OUT(length);
  RecvGuard g(recvLock_);
  std::memcpy(data, userData_, userDataLength_);
  *length = userDataLength_;
  return S_OK;
}
HRESULT IngrelFilter::GetReceivedTypeText(char* text) {
  INGREL_OUT(text);
  std::snprintf(text, kIngrelTypeTextArea, "%s", "### TODO ###");
  return S_OK;
}
HRESULT IngrelFilter::GetAddress(char* address) {
  INGREL_OUT(address);
  Guard g(lock_);
  const std::string& a = receiver_.getAddress();
  std::snprintf(address, kIngrelAddressArea, "%s", a.empty() ? "-" : a.c_str());
  return S_OK;
}
HRESULT IngrelFilter::SetAddress(const char* address) {
  if (!address || !*address) return S_OK;
  Guard g(lock_);
  std::string a(address, strnlen(address, kIngrelMaxAddress));
  if (a == receiver_.getAddress()) return S_OK;
  reconfigure([&] { receiver_.setAddress(a); });
  return S_OK;
}
HRESULT IngrelFilter::GetPort(uint16_t* v) {
  INGREL_OUT(v);
  Guard g(lock_);
  *v = receiver_.getPort();
  return S_OK;
}
HRESULT IngrelFilter::SetPort(uint16_t port) {
  Guard g(lock_);
  if (port == receiver_.getPort()) return S_OK;
  reconfigure([&] { receiver_.setPort(port); });
  return S_OK;
}
HRESULT IngrelFilter::GetTimeToLive(uint32_t* v) {
  INGREL_OUT(v);
  Guard g(lock_);
  *v = receiver_.getTimeToLive();
  return S_OK;
}
HRESULT IngrelFilter::SetTimeToLive(uint32_t ttl) {
  Guard g(lock_);
  if (ttl == receiver_.getTimeToLive()) return S_OK;
  reconfigure([&] { receiver_.setTimeToLive(ttl); });
  return S_OK;
}
HRESULT IngrelFilter::GetIPv6InterfaceNo(uint32_t* v) {
  INGREL_OUT(v);
  *v = 0;
  return S_OK;
}
HRESULT IngrelFilter::SetIPv6InterfaceNo(uint32_t) {
  return S_OK;
}

HRESULT IngrelFilter::getCode(int* out, int MediaClassification::*code) {
  INGREL_OUT(out);
  RecvGuard g(recvLock_);
  *out = codes_.*code;
  return S_OK;
}

HRESULT IngrelFilter::setCode(int MediaClassification::*code, int value) {
  Guard f(lock_);
  RecvGuard g(recvLock_);
  codes_.*code = value;
  // Codes that name no type leave the previous output type in place.
  if (codes_.buildMediaType()) output_.classify(codes_.mediaType().get());
  return S_OK;
}

HRESULT IngrelFilter::GetOutputMediaKind(int* c) {
  return getCode(c, &MediaClassification::kind);
}
HRESULT IngrelFilter::SetOutputMediaKind(int c) {
  return setCode(&MediaClassification::kind, c);
}
HRESULT IngrelFilter::GetOutputVideoFormat(int* c) {
  return getCode(c, &MediaClassification::videoFormat);
}
HRESULT IngrelFilter::SetOutputVideoFormat(int c) {
  return setCode(&MediaClassification::videoFormat, c);
}
HRESULT IngrelFilter::GetOutputResolution(int* c) {
  return getCode(c, &MediaClassification::resolution);
}
HRESULT IngrelFilter::SetOutputResolution(int c) {
  return setCode(&MediaClassification::resolution, c);
}
HRESULT IngrelFilter::GetOutputAudioFormat(int* c) {
  return getCode(c, &MediaClassification::audioFormat);
}
HRESULT IngrelFilter::SetOutputAudioFormat(int c) {
  return setCode(&MediaClassification::audioFormat, c);
}
HRESULT IngrelFilter::GetOutputFrequency(int* c) {
  return getCode(c, &MediaClassification::frequency);
}
HRESULT IngrelFilter::SetOutputFrequency(int c) {
  return setCode(&MediaClassification::frequency, c);
}
HRESULT IngrelFilter::GetOutputChannels(int* c) {
  return getCode(c, &MediaClassification::channels);
}
HRESULT IngrelFilter::SetOutputChannels(int c) {
  return setCode(&MediaClassification::channels, c);
}
HRESULT IngrelFilter::GetOutputBitCount(int* c) {
  return getCode(c, &MediaClassification::bitCount);
}
HRESULT IngrelFilter::SetOutputBitCount(int c) {
  return setCode(&MediaClassification::bitCount, c);
}

HRESULT IngrelFilter::GetAutomaticType(BOOL* v) {
  INGREL_OUT(v);
  RecvGuard g(recvLock_);
  *v = automaticType_ ? TRUE : FALSE;
  return S_OK;
}
HRESULT IngrelFilter::SetAutomaticType(BOOL v) {
  Guard f(lock_);
  RecvGuard g(recvLock_);
  automaticType_ = v != 0;
  return S_OK;
}
HRESULT IngrelFilter::GetTimestampReset(BOOL* v) {
  INGREL_OUT(v);
  Guard g(lock_);
  *v = timestampReset_ ? TRUE : FALSE;
  return S_OK;
}
HRESULT IngrelFilter::SetTimestampReset(BOOL v) {
  Guard g(lock_);
  timestampReset_ = v != 0;
  return S_OK;
}
HRESULT IngrelFilter::GetPicturePosition(float* x, float* y) {
  INGREL_OUT(x);
  INGREL_OUT(y);
  Guard g(lock_);
  *x = x_;
  *y = y_;
  return S_OK;
}
HRESULT IngrelFilter::SetPicturePosition(float x, float y) {
  Guard g(lock_);
  x_ = x;
  y_ = y;
  return S_OK;
}
HRESULT IngrelFilter::GetPictureSize(float* w, float* h) {
  INGREL_OUT(w);
  INGREL_OUT(h);
  Guard g(lock_);
  *w = width_;
  *h = height_;
  return S_OK;
}
HRESULT IngrelFilter::SetPictureSize(float w, float h) {
  Guard g(lock_);
  width_ = w;
  height_ = h;
  return S_OK;
}
HRESULT IngrelFilter::GetRefusedRecords(uint32_t* malformed, uint32_t* mismatched) {
  INGREL_OUT(malformed);
  INGREL_OUT(mismatched);
  *malformed = malformed_.load();
  *mismatched = mismatched_.load();
  return S_OK;
}
HRESULT IngrelFilter::GetFillerCount(uint32_t* v) {
  INGREL_OUT(v);
  *v = fillers_.load();
  return S_OK;
}
