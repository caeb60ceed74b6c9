// A PCM of alsa-lib, opened in non-blocking mode so that a busy device is
// reported at once and every wait can be cut short by the caller, plus the
// list of capture devices of the machine's sound cards.
#pragma once
#include <alsa/asoundlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/filters/audio/pcm_format.h"

class AlsaPcm {
 public:
  AlsaPcm() = default;
  AlsaPcm(const AlsaPcm&) = delete;
  AlsaPcm& operator=(const AlsaPcm&) = delete;
  ~AlsaPcm() { close(); }

  // Opens the PCM and sets interleaved format f with about latencyUs of
  // buffering (ALSA converts rate and format where the PCM allows).
  // 0 or a negative error code (alsaErrorText tells what it means).
  int open(const std::string& name, bool capture, const PcmFormat& f, unsigned latencyUs = 200000);
  // Playback: lets what is queued play out first (drain = true) or drops it.
  void close(bool drain = false);
  bool isOpen() const { return pcm_ != nullptr; }

  // Writes (plays) / reads (records) whole frames, waiting in steps of at
  // most 50 ms for the device and giving up when stop() answers true.
  // Under- and overruns are recovered. The frames moved, or a negative error
  // code when the device failed for good (it disappeared, for instance).
  long write(const uint8_t* data, size_t frames, const std::function<bool()>& stop);
  long read(uint8_t* data, size_t frames, const std::function<bool()>& stop);

 private:
  long transfer(uint8_t* data, size_t frames, bool capture, const std::function<bool()>& stop);
  snd_pcm_t* pcm_ = nullptr;
  uint32_t frameBytes_ = 0;
};

std::string alsaErrorText(int error);

struct AlsaDevice {
  std::string friendlyName;  // "<card name>: <device name>"
  std::string pcmName;       // "plughw:<card>,<device>"
};
// Capture devices of every sound card present, in card and device order.
std::vector<AlsaDevice> listAlsaCaptureDevices();
