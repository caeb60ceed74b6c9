#include "filters/ostrel/ostrel_filter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "koBase/koNetwork.h"
#include "koBase/koSampleRecord.h"
#include "platform/com/log.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
using ValuesGuard = std::lock_guard<std::mutex>;
}  // namespace

// A control call that changes what the sending thread uses: it interrupts
// the pacing of a frame in flight, so that the send lock comes free at
// once, and holds the send lock and the values lock. The interruption ends
// before the send lock is released, so the next frame is paced normally.
class OstrelFilter::Change {
 public:
  explicit Change(OstrelFilter& f) : f_(f) {
    f_.sender_.beginInterrupt();
    f_.sendLock_.lock();
    f_.valuesLock_.lock();
  }
  ~Change() {
    f_.valuesLock_.unlock();
    f_.sender_.endInterrupt();
    f_.sendLock_.unlock();
  }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;

 private:
  OstrelFilter& f_;
};

void OstrelFilter::closeSender() {
  if (sender_.isOpen()) sender_.close();
  open_ = false;
}

void OstrelFilter::openSender() {
  if (!sender_.isOpen() && !sender_.open())
    platformLog(PlatformLogLevel::Warn, "multicast server: cannot open %s port %u", sender_.getAddress().c_str(),
                sender_.getPort());
  open_ = sender_.isOpen();
}

template <typename T, typename Get>
bool OstrelFilter::unchanged(Get get, T value) {
  ValuesGuard g(valuesLock_);
  return get() == value;
}

OstrelFilter::OstrelFilter() : BaseRenderer(CLSID_OstrelFilter, u"Input") {
  koNetworkStartup();
  input_.kind = MediaKind_Unknown;
  input_.videoFormat = VideoFormat_Unknown;
  input_.resolution = Resolution_Unknown;
  input_.audioFormat = AudioFormat_Unknown;
  input_.frequency = Frequency_Unknown;
  input_.channels = Channel_Unknown;
  input_.bitCount = BitCount_Unknown;
  typeBytes_.reserve(koSampleRecord::kMediaTypeSize);
}

OstrelFilter::~OstrelFilter() {
  closeSender();
  koNetworkShutdown();
}

HRESULT OstrelFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IOstrelControl) return getInterface(static_cast<IOstrelControl*>(this), object);
  return BaseRenderer::nonDelegatingQueryInterface(iid, object);
}

HRESULT OstrelFilter::checkMediaType(const MediaType& mt) {
  MediaClassification c;
  c.classify(mt.get());
  return c.fullyClassified() ? S_OK : E_INVALIDARG;
}

HRESULT OstrelFilter::setMediaType(const MediaType& mt) {
  Change c(*this);
  inputType_ = mt;
  input_.classify(mt.get());
  connected_ = true;
  return S_OK;
}

HRESULT OstrelFilter::breakConnect() {
  Change c(*this);
  connected_ = false;
  inputType_.clear();
  input_.classify(MediaType().get());
  return S_OK;
}

HRESULT OstrelFilter::Run(REFERENCE_TIME start) {
  HRESULT hr = BaseRenderer::Run(start);
  if (FAILED(hr)) return hr;
  Change c(*this);
  sampleNumber_ = 0;
  previousClockTime_ = -1;
  clockTime_ = 0;
  running_ = true;
  openSender();
  return hr;
}

HRESULT OstrelFilter::Stop() {
  // The renderer's Stop waits for the sample in flight: cut its pacing short
  // first.
  sender_.beginInterrupt();
  HRESULT hr = BaseRenderer::Stop();
  {
    Change c(*this);
    closeSender();
    running_ = false;
  }
  sender_.endInterrupt();
  return hr;
}

HRESULT OstrelFilter::doRenderSample(IMediaSample* sample) {
  Guard g(sendLock_);
  if (!sender_.isOpen()) return S_OK;

  koSampleRecord r;
  r.sampleNumber = sampleNumber_++;
  r.userDataLength = userDataLength_;
  std::memcpy(r.userData, userData_, userDataLength_);
  typeBytes_.clear();
  ByteWriter tw(typeBytes_);
  writeMediaTypeRecord(tw, inputType_.get());
  std::memcpy(r.mediaType, typeBytes_.data(), koSampleRecord::kMediaTypeSize);
  r.format = inputType_.format();
  r.formatLength = inputType_.formatLength();

  REFERENCE_TIME now = 0;
  if (!clock_ || FAILED(clock_->GetTime(&now))) now = 0;
  r.previousClockTime = previousClockTime_;
  r.clockTime = now;
  previousClockTime_ = now;
  clockTime_ = now;

  REFERENCE_TIME start = 0, stop = 0;
  HRESULT t = sample->GetTime(&start, &stop);
  r.startTimeValid = t != VFW_E_SAMPLE_TIME_NOT_SET;
  r.stopTimeValid = t != VFW_E_SAMPLE_TIME_NOT_SET && t != VFW_S_NO_STOP_TIME;
  r.startTime = r.startTimeValid ? start : 0;
  r.stopTime = r.stopTimeValid ? stop : 0;
  int64_t mediaStart = 0, mediaStop = 0;
  r.mediaStartValid = r.mediaStopValid = sample->GetMediaTime(&mediaStart, &mediaStop) != VFW_E_MEDIA_TIME_NOT_SET;
  r.mediaStart = r.mediaStartValid ? mediaStart : 0;
  r.mediaStop = r.mediaStartValid ? mediaStop : 0;
  r.syncPoint = sample->IsSyncPoint() == S_OK;
  r.discontinuity = sample->IsDiscontinuity() == S_OK;
  r.preroll = sample->IsPreroll() == S_OK;

  // The actual length is trusted only within the buffer.
  uint8_t* data = nullptr;
  LONG length = sample->GetActualDataLength();
  if (FAILED(sample->GetPointer(&data)) || !data || length < 0) length = 0;
  length = std::min(length, sample->GetSize());
  r.data = data;
  r.dataLength = static_cast<uint32_t>(std::max<LONG>(length, 0));

  record_.clear();
  if (!koWriteSampleRecord(record_, r)) return S_OK;
  sender_.send(record_.data(), record_.length());
  return S_OK;
}

HRESULT OstrelFilter::writeSettings(ByteWriter& out) {
  OstrelSettings s;
  ValuesGuard g(valuesLock_);
  s.userDataLength = userDataLength_;
  std::memcpy(s.userData, userData_, sizeof userData_);
  s.address = sender_.getAddress();
  s.port = sender_.getPort();
  s.timeToLive = sender_.getTimeToLive();
  s.packetSize = sender_.getPacketSize();
  s.maximumRate = sender_.getMaximumRate();
  s.repeatCount = sender_.getRepeatCount();
  s.systemBufferSize = sender_.getSystemBufferSize();
  s.clockMinimumInterval = static_cast<float>(sender_.getClockMinimumInterval());
  s.write(out);
  return S_OK;
}

HRESULT OstrelFilter::readSettings(ByteReader& in, int) {
  // Everything is read before anything is applied: a bad stream leaves the
  // filter as it was.
  OstrelSettings s;
  if (!s.read(in)) {
    platformLog(PlatformLogLevel::Warn, "multicast server: settings stream malformed or cut short");
    return E_FAIL;
  }
  Change c(*this);
  closeSender();
  userDataLength_ = s.userDataLength;
  std::memcpy(userData_, s.userData, sizeof userData_);
  sender_.setAddress(s.address);
  sender_.setPort(s.port);
  sender_.setTimeToLive(s.timeToLive);
  sender_.setPacketSize(s.packetSize);
  sender_.setMaximumRate(s.maximumRate ? s.maximumRate : 1);
  sender_.setRepeatCount(s.repeatCount);
  sender_.setSystemBufferSize(s.systemBufferSize ? s.systemBufferSize : 1);
  sender_.setClockMinimumInterval(s.clockMinimumInterval);
  return S_OK;
}

std::vector<CLSID> OstrelFilter::propertyPages() const {
  return {CLSID_OstrelCommunicationPage, CLSID_OstrelFrameControlPage, CLSID_OstrelUserDataPage};
}

// ---- IOstrelControl

HRESULT OstrelFilter::GetSocketOpen(BOOL* open) {
  if (!open) return E_POINTER;
  *open = open_.load() ? TRUE : FALSE;
  return S_OK;
}

HRESULT OstrelFilter::GetTimestamp(int64_t* clockTime) {
  if (!clockTime) return E_POINTER;
  *clockTime = clockTime_.load();
  return S_OK;
}

HRESULT OstrelFilter::GetTransmittingRate(uint32_t* v) {
  if (!v) return E_POINTER;
  *v = sender_.getTransmittingRate();
  return S_OK;
}

HRESULT OstrelFilter::GetFrameRate(uint32_t* v) {
  if (!v) return E_POINTER;
  *v = sender_.getFrameRate();
  return S_OK;
}

HRESULT OstrelFilter::GetPacketsSent(uint32_t* v) {
  if (!v) return E_POINTER;
  *v = sender_.getFragmentsSent();
  return S_OK;
}

HRESULT OstrelFilter::GetFramesSent(uint32_t* v) {
  if (!v) return E_POINTER;
  *v = sender_.getFramesSent();
  return S_OK;
}

HRESULT OstrelFilter::inputCode(int* out, int MediaClassification::*code, int unknown) {
  if (!out) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *out = connected_ ? input_.*code : unknown;
  return S_OK;
}

HRESULT OstrelFilter::GetInputMediaKind(int* c) {
  return inputCode(c, &MediaClassification::kind, MediaKind_Unknown);
}
HRESULT OstrelFilter::GetInputVideoFormat(int* c) {
  return inputCode(c, &MediaClassification::videoFormat, VideoFormat_Unknown);
}
HRESULT OstrelFilter::GetInputVideoResolution(int* c) {
  return inputCode(c, &MediaClassification::resolution, Resolution_Unknown);
}
HRESULT OstrelFilter::GetInputAudioFormat(int* c) {
  return inputCode(c, &MediaClassification::audioFormat, AudioFormat_Unknown);
}
HRESULT OstrelFilter::GetInputAudioFrequency(int* c) {
  return inputCode(c, &MediaClassification::frequency, Frequency_Unknown);
}
HRESULT OstrelFilter::GetInputAudioChannels(int* c) {
  return inputCode(c, &MediaClassification::channels, Channel_Unknown);
}
HRESULT OstrelFilter::GetInputAudioBitCount(int* c) {
  return inputCode(c, &MediaClassification::bitCount, BitCount_Unknown);
}

HRESULT OstrelFilter::GetAddress(char* address) {
  if (!address) return E_POINTER;
  ValuesGuard g(valuesLock_);
  const std::string& a = sender_.getAddress();
  std::snprintf(address, kOstrelAddressArea, "%s", a.empty() ? "-" : a.c_str());
  return S_OK;
}

HRESULT OstrelFilter::SetAddress(const char* address) {
  if (!address || !*address) return S_OK;
  std::string a(address, strnlen(address, kOstrelMaxAddress));
  if (unchanged([&] { return sender_.getAddress(); }, a)) return S_OK;
  Change c(*this);
  closeSender();
  sender_.setAddress(a);
  if (running_) openSender();
  return S_OK;
}

HRESULT OstrelFilter::GetPort(uint16_t* port) {
  if (!port) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *port = sender_.getPort();
  return S_OK;
}

HRESULT OstrelFilter::SetPort(uint16_t port) {
  if (unchanged([&] { return sender_.getPort(); }, port)) return S_OK;
  Change c(*this);
  closeSender();
  sender_.setPort(port);
  if (running_) openSender();
  return S_OK;
}

HRESULT OstrelFilter::GetTimeToLive(uint32_t* ttl) {
  if (!ttl) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *ttl = sender_.getTimeToLive();
  return S_OK;
}

HRESULT OstrelFilter::SetTimeToLive(uint32_t ttl) {
  if (unchanged([&] { return sender_.getTimeToLive(); }, ttl)) return S_OK;
  Change c(*this);
  closeSender();
  sender_.setTimeToLive(ttl);
  if (running_) openSender();
  return S_OK;
}

HRESULT OstrelFilter::GetRepeatCount(uint32_t* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = sender_.getRepeatCount();
  return S_OK;
}
HRESULT OstrelFilter::SetRepeatCount(uint32_t v) {
  if (unchanged([&] { return sender_.getRepeatCount(); }, v ? v : 1)) return S_OK;
  Change c(*this);
  sender_.setRepeatCount(v ? v : 1);
  return S_OK;
}
HRESULT OstrelFilter::GetMaximumRate(uint32_t* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = sender_.getMaximumRate();
  return S_OK;
}
HRESULT OstrelFilter::SetMaximumRate(uint32_t v) {
  if (unchanged([&] { return sender_.getMaximumRate(); }, v ? v : 1)) return S_OK;
  Change c(*this);
  sender_.setMaximumRate(v ? v : 1);
  return S_OK;
}
HRESULT OstrelFilter::GetSystemBufferSize(uint32_t* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = sender_.getSystemBufferSize();
  return S_OK;
}
HRESULT OstrelFilter::SetSystemBufferSize(uint32_t v) {
  if (unchanged([&] { return sender_.getSystemBufferSize(); }, v ? v : 1)) return S_OK;
  Change c(*this);
  sender_.setSystemBufferSize(v ? v : 1);
  return S_OK;
}
HRESULT OstrelFilter::GetClockMinimumInterval(float* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = static_cast<float>(sender_.getClockMinimumInterval());
  return S_OK;
}
HRESULT OstrelFilter::SetClockMinimumInterval(float v) {
  Change c(*this);
  sender_.setClockMinimumInterval(v);
  return S_OK;
}
HRESULT OstrelFilter::MeasureClock() {
  Change c(*this);
  sender_.measureClock();
  return S_OK;
}
HRESULT OstrelFilter::GetPacketSize(uint32_t* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = sender_.getPacketSize();
  return S_OK;
}
HRESULT OstrelFilter::SetPacketSize(uint32_t v) {
  Change c(*this);
  sender_.setPacketSize(v);
  return S_OK;
}
HRESULT OstrelFilter::GetUserDataLength(uint32_t* v) {
  if (!v) return E_POINTER;
  ValuesGuard g(valuesLock_);
  *v = userDataLength_;
  return S_OK;
}
HRESULT OstrelFilter::SetUserDataLength(uint32_t v) {
  if (unchanged([&] { return userDataLength_; }, std::min(v, kOstrelMaxUserData))) return S_OK;
  Change c(*this);
  userDataLength_ = std::min(v, kOstrelMaxUserData);
  return S_OK;
}
HRESULT OstrelFilter::GetUserData(uint8_t* data) {
  if (!data) return E_POINTER;
  ValuesGuard g(valuesLock_);
  std::memcpy(data, userData_, userDataLength_);
  return S_OK;
}
HRESULT OstrelFilter::SetUserData(const uint8_t* data) {
  if (!data) return E_POINTER;
  Change c(*this);
  std::memcpy(userData_, data, userDataLength_);
  return S_OK;
}
