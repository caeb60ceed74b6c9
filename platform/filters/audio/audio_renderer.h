// The audio renderer: plays interleaved PCM (8 or 16 bits, mono or stereo)
// on ALSA's "default" PCM. When that device cannot be opened (no sound card,
// or it is busy) or fails while playing (it disappeared), the renderer goes
// on with a null output that consumes the samples in real time on the
// graph's clock and drops them, so a graph never fails for lack of a sound
// card. Which output is used is logged once, and again only when it changes.
#pragma once
#include <mutex>
#include <string>

#include "platform/filters/audio/alsa_pcm.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/pcm_format.h"
#include "platform/media/renderer.h"

class AudioRenderer final : public BaseRenderer, public IAudioRendererInfo {
 public:
  AudioRenderer();
  HRESULT QueryInterface(REFIID iid, void** object) override { return BaseRenderer::QueryInterface(iid, object); }
  ULONG AddRef() override { return BaseRenderer::AddRef(); }
  ULONG Release() override { return BaseRenderer::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT doRenderSample(IMediaSample* sample) override;
  HRESULT onStartStreaming() override;
  HRESULT onStopStreaming() override;

  HRESULT GetOutputKind(AudioOutputKind* kind) override;
  HRESULT GetDeviceName(char* name, ULONG size) override;
  HRESULT GetFramesPlayed(uint64_t* frames) override;
  HRESULT SetDeviceName(const char* name) override;

 private:
  bool stopRequested();
  void useOutput(AudioOutputKind kind, const std::string& why);
  HRESULT playNull(uint64_t bytes);
  REFERENCE_TIME now();

  PcmFormat format_;
  AlsaPcm pcm_;
  std::atomic<AudioOutputKind> kind_{AudioOutput_None};
  AudioOutputKind logged_ = AudioOutput_None;
  std::atomic<uint64_t> framesPlayed_{0};
  REFERENCE_TIME due_ = 0;  // null output: when the samples taken so far have played
  bool dueSet_ = false;
  std::mutex nameLock_;
  std::string deviceName_ = "default";
};
