#include "platform/filters/audio/audio_renderer.h"

#include <cstdio>

#include "platform/com/log.h"
#include "platform/media/clock.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

AudioRenderer::AudioRenderer() : BaseRenderer(CLSID_DSoundRender, u"Audio Input pin (rendered)") {
  // The output itself sets the pace (the device, or the null output's clock).
  setSyncToClock(false);
}

HRESULT AudioRenderer::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAudioRendererInfo) return getInterface(static_cast<IAudioRendererInfo*>(this), object);
  return BaseRenderer::nonDelegatingQueryInterface(iid, object);
}

HRESULT AudioRenderer::checkMediaType(const MediaType& mt) {
  PcmFormat f;
  return pcmFormatOf(mt, f) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioRenderer::setMediaType(const MediaType& mt) {
  return pcmFormatOf(mt, format_) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

void AudioRenderer::useOutput(AudioOutputKind kind, const std::string& why) {
  kind_ = kind;
  if (kind == logged_) return;
  logged_ = kind;
  std::string device;
  {
    std::lock_guard<std::mutex> g(nameLock_);
    device = deviceName_;
  }
  if (kind == AudioOutput_Alsa)
    platformLog(PlatformLogLevel::Notice, "audio renderer: playing on ALSA device \"%s\"", device.c_str());
  else
    platformLog(PlatformLogLevel::Notice, "audio renderer: ALSA device \"%s\" not usable (%s); using the null output",
                device.c_str(), why.c_str());
}

HRESULT AudioRenderer::onStartStreaming() {
  framesPlayed_ = 0;
  dueSet_ = false;
  if (!input_->isConnected()) {  // nothing to play: leave the device alone
    kind_ = AudioOutput_None;
    return S_OK;
  }
  std::string device;
  {
    std::lock_guard<std::mutex> g(nameLock_);
    device = deviceName_;
  }
  int err = format_.valid() ? pcm_.open(device, false, format_) : -EINVAL;
  if (err < 0)
    useOutput(AudioOutput_Null, alsaErrorText(err));
  else
    useOutput(AudioOutput_Alsa, {});
  return S_OK;
}

HRESULT AudioRenderer::onStopStreaming() {
  // Called with no sample in flight: what was queued still plays out.
  pcm_.close(true);
  return S_OK;
}

bool AudioRenderer::stopRequested() {
  std::lock_guard<std::mutex> w(waitLock_);
  return stopping_;
}

REFERENCE_TIME AudioRenderer::now() {
  REFERENCE_TIME t = 0;
  if (IReferenceClock* c = clock_; c && SUCCEEDED(c->GetTime(&t))) return t;
  return monotonicTime100ns();
}

HRESULT AudioRenderer::playNull(uint64_t bytes) {
  // A device without a buffer: a sample is taken when the previous ones
  // have played; after a pause in the stream the output starts afresh.
  REFERENCE_TIME t = now();
  if (!dueSet_ || t > due_) {
    due_ = t;
    dueSet_ = true;
  }
  {
    std::unique_lock<std::mutex> w(waitLock_);
    for (;;) {
      if (stopping_) return VFW_E_WRONG_STATE;
      t = now();
      if (t >= due_) break;
      wake_.wait_for(w, std::chrono::microseconds((due_ - t) / 10 + 1));
    }
  }
  due_ += pcmDuration(format_, bytes);
  framesPlayed_ += bytes / format_.frameBytes();
  return S_OK;
}

HRESULT AudioRenderer::doRenderSample(IMediaSample* sample) {
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data || !format_.valid()) return S_OK;
  LONG length = sample->GetActualDataLength();
  if (length <= 0) return S_OK;
  size_t frames = static_cast<size_t>(length) / format_.frameBytes();
  if (frames == 0) return S_OK;
  if (kind_ == AudioOutput_Alsa) {
    long n = pcm_.write(data, frames, [this] { return stopRequested(); });
    if (n >= 0) {
      framesPlayed_ += static_cast<uint64_t>(n);
      return S_OK;
    }
    // The device failed for good: carry on without it.
    pcm_.close();
    useOutput(AudioOutput_Null, alsaErrorText(static_cast<int>(n)));
    dueSet_ = false;
  }
  return playNull(frames * format_.frameBytes());
}

HRESULT AudioRenderer::GetOutputKind(AudioOutputKind* kind) {
  if (!kind) return E_POINTER;
  *kind = kind_;
  return S_OK;
}

HRESULT AudioRenderer::GetDeviceName(char* name, ULONG size) {
  if (!name || size == 0) return E_POINTER;
  std::lock_guard<std::mutex> g(nameLock_);
  std::snprintf(name, size, "%s", deviceName_.c_str());
  return deviceName_.size() < size ? S_OK : E_OUTOFMEMORY;
}

HRESULT AudioRenderer::GetFramesPlayed(uint64_t* frames) {
  if (!frames) return E_POINTER;
  *frames = framesPlayed_;
  return S_OK;
}

HRESULT AudioRenderer::SetDeviceName(const char* name) {
  if (!name || !*name) return E_INVALIDARG;
  std::lock_guard<std::mutex> g(nameLock_);
  deviceName_ = name;
  return S_OK;
}
