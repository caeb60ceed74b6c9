// rsIngrelFilter: the multicast client filter, which receives samples from
// a multicast group and delivers them in the output type set through its
// codes. Without the filter every setter does nothing and the getters
// return: statistics 0, address empty, port, time to live and interface 0,
// media type 3, video format 8, resolution 9, audio format 3, frequency 6,
// stereo 2, bit count 3 (the "unknown" codes).
#pragma once
#include <cstdint>

#include "gravet/rsFilter.h"

struct IIngrelControl;

class rsIngrelFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsIngrelFilter, rsFilter)

 public:
  explicit rsIngrelFilter(const mxString& name);

  unsigned getReceiveRate() const;
  unsigned getFrameRate() const;
  unsigned getPacketSize() const;
  unsigned getNumDropPackets() const;
  unsigned getNumDropFrames() const;

  mxString getAddress() const;
  void setAddress(const mxString& address);
  uint16_t getPort() const;
  void setPort(uint16_t port);
  uint32_t getTimeToLive() const;
  void setTimeToLive(uint32_t ttl);
  uint32_t getIPv6InterfaceNo() const;
  void setIPv6InterfaceNo(uint32_t number);

  int getMediaType() const;
  void setMediaType(int code);
  int getVideoFormat() const;
  void setVideoFormat(int code);
  int getVideoResolution() const;
  void setVideoResolution(int code);
  int getAudioFormat() const;
  void setAudioFormat(int code);
  int getAudioFrequency() const;
  void setAudioFrequency(int code);
  int getAudioStereo() const;
  void setAudioStereo(int code);
  int getAudioBitCount() const;
  void setAudioBitCount(int code);

 protected:
  ~rsIngrelFilter() override;

 private:
  IIngrelControl* control_ = nullptr;
};
