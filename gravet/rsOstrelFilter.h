// rsOstrelFilter: the multicast server filter, which sends each sample of
// its input to a multicast group. Without the filter every setter does
// nothing, every getter returns 0 and getAddress the empty string.
#pragma once
#include <cstdint>

#include "gravet/rsFilter.h"

struct IOstrelControl;

class rsOstrelFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsOstrelFilter, rsFilter)

 public:
  explicit rsOstrelFilter(const mxString& name);

  // Statistics (bits and frames per second over the last window).
  unsigned getTransmittingRate() const;
  unsigned getFrameRate() const;
  // The media classification codes of the connected input.
  int getInputMediaType() const;
  int getInputVideoFormat() const;
  int getInputVideoResolution() const;
  int getInputAudioFormat() const;
  int getInputAudioFrequency() const;
  int getInputAudioStereo() const;
  int getInputAudioBitCount() const;

  mxString getAddress() const;
  void setAddress(const mxString& address);
  uint16_t getPort() const;
  void setPort(uint16_t port);
  uint32_t getTimeToLive() const;
  void setTimeToLive(uint32_t ttl);
  unsigned getTransmittingCount() const;
  void setTransmittingCount(unsigned count);
  unsigned getMaximumTransmittingRate() const;
  void setMaximumTransmittingRate(unsigned bitsPerSecond);
  unsigned getMaximumPacketSize() const;
  void setMaximumPacketSize(unsigned bytes);
  // The server sends on the default interface: always 0, and setting it has
  // no effect.
  unsigned long getIPv6InterfaceNo() const { return 0; }
  void setIPv6InterfaceNo(unsigned long) {}

 protected:
  ~rsOstrelFilter() override;

 private:
  IOstrelControl* control_ = nullptr;
};
