#include "platform/filters/audio/audio_capture.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/com/log.h"
#include "platform/media/clock.h"
#include "platform/media/guids.h"
#include "platform/media/pin_category.h"
#include "platform/media/results.h"

namespace {

constexpr LONG kDefaultBuffers = 4;

// Position 0 is 44.1 kHz stereo 16-bit; then every rate, stereo and mono,
// 16 and 8 bits.
bool formatAt(int position, PcmFormat& f) {
  if (position == 0) {
    f = PcmFormat{};
    return true;
  }
  int i = position - 1;
  constexpr int kRates = sizeof(kPcmRates) / sizeof(kPcmRates[0]);
  if (i < 0 || i >= kRates * 4) return false;
  f.rate = kPcmRates[i / 4];
  f.channels = (i % 4) / 2 == 0 ? 2 : 1;
  f.bits = i % 2 == 0 ? 16 : 8;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- pin

AudioCapturePin::AudioCapturePin(AudioCaptureFilter* filter) : SourceStream(filter, u"Capture"), capture_(filter) {}

HRESULT AudioCapturePin::checkMediaType(const MediaType& mt) {
  PcmFormat f;
  if (!pcmFormatOf(mt, f)) return VFW_E_TYPE_NOT_ACCEPTED;
  for (uint32_t rate : kPcmRates)
    if (rate == f.rate) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioCapturePin::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  PcmFormat f;
  if (!formatAt(position, f)) return VFW_S_NO_MORE_ITEMS;
  *mt = makePcmType(f);
  return S_OK;
}

HRESULT AudioCapturePin::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  PcmFormat f;
  if (!pcmFormatOf(currentMediaType(), f)) return VFW_E_TYPE_NOT_ACCEPTED;
  const ALLOCATOR_PROPERTIES& s = suggestedProperties();
  ALLOCATOR_PROPERTIES props{kDefaultBuffers, static_cast<LONG>(currentMediaType().sampleSize()), 1, 0};
  if (s.cBuffers > 0) props.cBuffers = s.cBuffers;
  if (s.cbBuffer > 0) props.cbBuffer = s.cbBuffer;
  if (s.cbAlign > 0) props.cbAlign = s.cbAlign;
  if (s.cbPrefix > 0) props.cbPrefix = s.cbPrefix;
  if (request->cBuffers > props.cBuffers) props.cBuffers = request->cBuffers;
  if (request->cbAlign > props.cbAlign) props.cbAlign = request->cbAlign;
  // Whole sample frames only, at least one.
  LONG frame = static_cast<LONG>(f.frameBytes());
  props.cbBuffer = std::max(frame, props.cbBuffer / frame * frame);
  return setAllocatorProperties(allocator, props, 1, frame);
}

HRESULT AudioCapturePin::onThreadStart() {
  position_ = 0;
  PcmFormat f;
  if (!pcmFormatOf(currentMediaType(), f)) return E_UNEXPECTED;
  return capture_->startCapture(f);
}

HRESULT AudioCapturePin::onThreadStop() {
  capture_->stopCapture();
  return S_OK;
}

HRESULT AudioCapturePin::fillBuffer(IMediaSample* sample) {
  PcmFormat f;
  if (!pcmFormatOf(currentMediaType(), f)) return E_UNEXPECTED;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  size_t frames = static_cast<size_t>(sample->GetSize()) / f.frameBytes();
  if (frames == 0) return E_UNEXPECTED;
  HRESULT hr = capture_->capture(data, frames, f);
  if (hr != S_OK) return hr;
  sample->SetActualDataLength(static_cast<LONG>(frames * f.frameBytes()));
  REFERENCE_TIME start = static_cast<REFERENCE_TIME>(position_ * 10000000ull / f.rate);
  REFERENCE_TIME stop = static_cast<REFERENCE_TIME>((position_ + frames) * 10000000ull / f.rate);
  sample->SetTime(&start, &stop);
  int64_t ms = static_cast<int64_t>(position_), me = static_cast<int64_t>(position_ + frames);
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(position_ == 0);
  position_ += frames;
  return S_OK;
}

HRESULT AudioCapturePin::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IKsPropertySet) {
    AddRef();
    *object = static_cast<IKsPropertySet*>(this);
    return S_OK;
  }
  return SourceStream::queryPinInterface(iid, object);
}

HRESULT AudioCapturePin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
  return pinCategorySet(set);
}

HRESULT AudioCapturePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength, DWORD* returned) {
  return pinCategoryGet(PIN_CATEGORY_CAPTURE, set, id, data, dataLength, returned);
}

HRESULT AudioCapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  return pinCategoryQuerySupported(set, id, support);
}

// ---------------------------------------------------------------- filter

AudioCaptureFilter::AudioCaptureFilter(const CLSID& clsid) : SourceFilter(clsid) {
  addStream(new AudioCapturePin(this));
}

HRESULT AudioCaptureFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) return getInterface(static_cast<IPersistPropertyBag*>(this), object);
  return SourceFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT AudioCaptureFilter::Load(IPropertyBag* bag, void*) {
  char path[256];
  if (bag && SUCCEEDED(bag->Read("DevicePath", path, sizeof path))) devicePath_ = path;
  return S_OK;
}

HRESULT AudioCaptureFilter::Pause() {
  if (state() == State_Stopped) stopping_ = false;
  return SourceFilter::Pause();
}

HRESULT AudioCaptureFilter::Stop() {
  {
    std::lock_guard<std::mutex> g(waitLock_);
    stopping_ = true;
  }
  wake_.notify_all();
  return SourceFilter::Stop();
}

// ---------------------------------------------------------------- ALSA

AlsaCaptureFilter::AlsaCaptureFilter() : AudioCaptureFilter(CLSID_AlsaAudioCapture) {}

HRESULT AlsaCaptureFilter::startCapture(const PcmFormat& f) {
  failed_ = false;
  int err = pcm_.open(pcmName(), true, f);
  if (err < 0) {
    failed_ = true;
    platformLog(PlatformLogLevel::Error, "audio capture: cannot open ALSA device \"%s\" (%s); no sound is recorded",
                pcmName().c_str(), alsaErrorText(err).c_str());
  } else {
    platformLog(PlatformLogLevel::Info, "audio capture: recording from ALSA device \"%s\" at %u Hz, %u channels",
                pcmName().c_str(), f.rate, f.channels);
  }
  return S_OK;
}

void AlsaCaptureFilter::stopCapture() {
  pcm_.close();
}

HRESULT AlsaCaptureFilter::capture(uint8_t* data, size_t frames, const PcmFormat&) {
  if (failed_) return S_FALSE;
  long n = pcm_.read(data, frames, [this] { return stopping(); });
  if (n < 0) {
    failed_ = true;
    platformLog(PlatformLogLevel::Error, "audio capture: ALSA device \"%s\" failed (%s); the sound stream ends",
                pcmName().c_str(), alsaErrorText(static_cast<int>(n)).c_str());
    pcm_.close();
    return S_FALSE;
  }
  if (static_cast<size_t>(n) < frames) return S_FALSE;  // stopped while waiting
  return S_OK;
}

// ---------------------------------------------------------------- tone

ToneMicrophone::ToneMicrophone() : AudioCaptureFilter(CLSID_TestToneMicrophone) {}

HRESULT ToneMicrophone::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_ITestToneControl) return getInterface(static_cast<ITestToneControl*>(this), object);
  return AudioCaptureFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT ToneMicrophone::startCapture(const PcmFormat&) {
  phase_ = 0;
  frames_ = 0;
  started_ = monotonicTime100ns();
  return S_OK;
}

HRESULT ToneMicrophone::capture(uint8_t* data, size_t frames, const PcmFormat& f) {
  // A microphone hands over a buffer once it has been filled in real time.
  uint64_t done = frames_.load() + frames;
  REFERENCE_TIME due = started_ + static_cast<REFERENCE_TIME>(done * 10000000ull / f.rate);
  {
    std::unique_lock<std::mutex> g(waitLock_);
    for (;;) {
      if (stopping_) return S_FALSE;
      REFERENCE_TIME now = monotonicTime100ns();
      if (now >= due) break;
      wake_.wait_for(g, std::chrono::microseconds((due - now) / 10 + 1));
    }
  }
  const double step = double(frequency_.load()) / f.rate;
  const double amplitude = level_.load() / 1000.0;
  for (size_t i = 0; i < frames; ++i) {
    double v = amplitude * std::sin(2 * std::numbers::pi * phase_);
    phase_ += step;
    phase_ -= std::floor(phase_);
    for (unsigned c = 0; c < f.channels; ++c) {
      if (f.bits == 16) {
        auto s = static_cast<int16_t>(std::lround(v * 32767));
        *data++ = static_cast<uint8_t>(s & 0xFF);
        *data++ = static_cast<uint8_t>((s >> 8) & 0xFF);
      } else {
        *data++ = static_cast<uint8_t>(std::lround(128 + v * 127));
      }
    }
  }
  frames_ = done;
  return S_OK;
}

HRESULT ToneMicrophone::SetFrequency(ULONG hertz) {
  if (hertz == 0 || hertz > 24000) return E_INVALIDARG;
  frequency_ = hertz;
  return S_OK;
}

HRESULT ToneMicrophone::GetFrequency(ULONG* hertz) {
  if (!hertz) return E_POINTER;
  *hertz = frequency_;
  return S_OK;
}

HRESULT ToneMicrophone::SetLevel(ULONG thousandths) {
  if (thousandths > 1000) return E_INVALIDARG;
  level_ = thousandths;
  return S_OK;
}

HRESULT ToneMicrophone::GetLevel(ULONG* thousandths) {
  if (!thousandths) return E_POINTER;
  *thousandths = level_;
  return S_OK;
}

HRESULT ToneMicrophone::GetFramesCaptured(uint64_t* n) {
  if (!n) return E_POINTER;
  *n = frames_;
  return S_OK;
}
