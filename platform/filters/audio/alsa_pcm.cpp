#include "platform/filters/audio/alsa_pcm.h"

#include <cerrno>
#include <cstdio>

int AlsaPcm::open(const std::string& name, bool capture, const PcmFormat& f, unsigned latencyUs) {
  close();
  if (!f.valid()) return -EINVAL;
  snd_pcm_t* pcm = nullptr;
  int err = snd_pcm_open(&pcm, name.c_str(), capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                         SND_PCM_NONBLOCK);
  if (err < 0) return err;
  err = snd_pcm_set_params(pcm, f.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                           SND_PCM_ACCESS_RW_INTERLEAVED, f.channels, f.rate, 1, latencyUs);
  if (err < 0) {
    snd_pcm_close(pcm);
    return err;
  }
  if (capture) {
    err = snd_pcm_start(pcm);
    if (err < 0 && err != -EBADFD) {
      snd_pcm_close(pcm);
      return err;
    }
  }
  pcm_ = pcm;
  frameBytes_ = f.frameBytes();
  return 0;
}

void AlsaPcm::close(bool drain) {
  if (!pcm_) return;
  if (drain && snd_pcm_stream(pcm_) == SND_PCM_STREAM_PLAYBACK && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING) {
    // Lets the queued sound play out, but never waits on a stuck device for
    // more than a second.
    if (snd_pcm_drain(pcm_) == -EAGAIN)
      for (int i = 0; i < 20 && snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING; ++i) snd_pcm_wait(pcm_, 50);
  }
  snd_pcm_drop(pcm_);
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
}

long AlsaPcm::write(const uint8_t* data, size_t frames, const std::function<bool()>& stop) {
  return transfer(const_cast<uint8_t*>(data), frames, false, stop);
}

long AlsaPcm::read(uint8_t* data, size_t frames, const std::function<bool()>& stop) {
  return transfer(data, frames, true, stop);
}

long AlsaPcm::transfer(uint8_t* data, size_t frames, bool capture, const std::function<bool()>& stop) {
  if (!pcm_) return -EBADFD;
  size_t done = 0;
  while (done < frames && !stop()) {
    uint8_t* p = data + done * frameBytes_;
    snd_pcm_sframes_t n =
        capture ? snd_pcm_readi(pcm_, p, frames - done) : snd_pcm_writei(pcm_, p, frames - done);
    if (n == -EAGAIN || n == 0) {
      int w = snd_pcm_wait(pcm_, 50);
      if (w < 0 && snd_pcm_recover(pcm_, w, 1) < 0) return w;
      continue;
    }
    if (n < 0) {
      // Under- or overrun, a suspend, an interrupted call: start again.
      if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return static_cast<long>(n);
      if (capture) snd_pcm_start(pcm_);
      continue;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<long>(done);
}

std::string alsaErrorText(int error) {
  return snd_strerror(error);
}

std::vector<AlsaDevice> listAlsaCaptureDevices() {
  std::vector<AlsaDevice> out;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    char hw[32];
    std::snprintf(hw, sizeof hw, "hw:%d", card);
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, hw, 0) < 0) continue;
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    std::string cardName = hw;
    if (snd_ctl_card_info(ctl, info) == 0) cardName = snd_ctl_card_info_get_name(info);
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
      snd_pcm_info_t* pcmInfo = nullptr;
      snd_pcm_info_alloca(&pcmInfo);
      snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pcmInfo, 0);
      snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_CAPTURE);
      if (snd_ctl_pcm_info(ctl, pcmInfo) < 0) continue;  // no capture on this device
      char pcmName[48];
      std::snprintf(pcmName, sizeof pcmName, "plughw:%d,%d", card, device);
      std::string friendly = cardName + ": " + snd_pcm_info_get_name(pcmInfo);
      // Two identical cards: keep the names apart.
      int same = 1;
      for (const AlsaDevice& d : out)
        if (d.friendlyName.rfind(friendly, 0) == 0) ++same;
      if (same > 1) friendly += " (" + std::to_string(same) + ")";
      out.push_back({friendly, pcmName});
    }
    snd_ctl_close(ctl);
  }
  return out;
}
