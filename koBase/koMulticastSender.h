// koMulticastSender multicasts frames: each frame as one 1024-byte frame
// header followed by its fragments, the run of fragments repeated the repeat
// count, the last datagram of the last run carrying the end mark, every
// datagram paced to the maximum rate. send() blocks until the last datagram
// has been handed to the socket.
//
// Used by one thread at a time (its owner serialises send, open, close and
// the setters); the statistics getters and the interruption may be called
// from any thread.
//
// Pacing a frame at a low rate takes long (a 1024-byte datagram at 1024
// bit/s, eight seconds), and the owner holds its lock through send(). A
// thread that needs that lock (to stop, to change a setting) begins an
// interruption first: the frame in flight stops at its next pacing sleep,
// the rest of it is not sent (receivers count it as dropped) and send()
// returns false; the owner's lock is then free. The thread ends the
// interruption once it is done with the lock, before releasing it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "koBase/koMulticastSocket.h"
#include "koBase/koPacketizer.h"
#include "koBase/koRateLimiter.h"
#include "koBase/koRateMeter.h"

class koMulticastSender {
 public:
  static constexpr uint32_t kDefaultSocketBufferSize = 8192;

  koMulticastSender();
  ~koMulticastSender();
  koMulticastSender(const koMulticastSender&) = delete;
  koMulticastSender& operator=(const koMulticastSender&) = delete;

  // Opens a send socket on the group (loopback off, role send). False when
  // already open or the socket cannot be opened. Resets the statistics.
  bool open();
  // False when not open.
  bool close();
  bool isOpen() const { return _socket != nullptr; }

  // Sends one frame; false when closed or when an interruption cut it
  // short. Individual datagrams that fail are missing on the wire (counted
  // in getFailedDatagrams). A frame cut short counts the fragments that
  // went out, but not as a frame sent.
  bool send(const void* frame, uint32_t length);

  // Any thread; nest like the limiter's (koRateLimiter).
  void beginInterrupt() { _limiter.beginInterrupt(); }
  void endInterrupt() { _limiter.endInterrupt(); }

  // Address, port, time-to-live and interface take effect at the next open.
  void setAddress(const std::string& address) { _address = address; }
  const std::string& getAddress() const { return _address; }
  void setPort(uint16_t port) { _port = port; }
  uint16_t getPort() const { return _port; }
  void setTimeToLive(uint32_t ttl) { _timeToLive = ttl; }
  uint32_t getTimeToLive() const { return _timeToLive; }
  void setInterface(const std::string& name) { _interface = name; }
  const std::string& getInterface() const { return _interface; }
  // Kernel send buffer in bytes (8192 by default).
  void setSocketBufferSize(uint32_t bytes) { _socketBufferSize = bytes; }
  uint32_t getSocketBufferSize() const { return _socketBufferSize; }

  // 0 stores 1.
  void setRepeatCount(uint32_t count) { _repeatCount = count ? count : 1; }
  uint32_t getRepeatCount() const { return _repeatCount; }
  // Clamped to 512..8192; takes effect with the next frame.
  void setPacketSize(uint32_t size) { _packetizer.setPacketSize(size); }
  uint32_t getPacketSize() const { return _packetizer.getPacketSize(); }
  void setMaximumRate(uint32_t bitsPerSecond) { _limiter.setMaximumRate(bitsPerSecond); }
  uint32_t getMaximumRate() const { return _limiter.getMaximumRate(); }
  void setSystemBufferSize(uint32_t bits) { _limiter.setSystemBufferSize(bits); }
  uint32_t getSystemBufferSize() const { return _limiter.getSystemBufferSize(); }
  void setClockMinimumInterval(double seconds) { _limiter.setClockMinimumInterval(seconds); }
  double getClockMinimumInterval() const { return _limiter.getClockMinimumInterval(); }
  void measureClock() { _limiter.measureClock(); }
  void setPacing(bool on) { _limiter.setEnabled(on); }
  const koRateLimiter& getLimiter() const { return _limiter; }

  // Statistics. The two rates are measured since the previous call.
  uint32_t getTransmittingRate() { return _byteRate.read(8); }
  uint32_t getFrameRate() { return _frameRate.read(1); }
  uint32_t getFramesSent() const { return _framesSent.load(std::memory_order_relaxed); }
  uint32_t getFragmentsSent() const { return _fragmentsSent.load(std::memory_order_relaxed); }
  uint32_t getFailedDatagrams() const { return _failedDatagrams.load(std::memory_order_relaxed); }
  uint32_t getFrameNumber() const { return _packetizer.getFrameNumber(); }
  void resetStatistics();

  // The socket while open (for its interface and buffer sizes).
  const koMulticastSocket* getSocket() const { return _socket.get(); }

 private:
  // False when the pacing after it was interrupted.
  bool sendDatagram(const void* data, uint32_t length);

  std::unique_ptr<koMulticastSocket> _socket;
  std::string _address = "234.5.6.7";
  uint16_t _port = 8190;
  uint32_t _timeToLive = 1;
  std::string _interface;
  uint32_t _socketBufferSize = kDefaultSocketBufferSize;
  uint32_t _repeatCount = 1;
  koRateLimiter _limiter;
  koPacketizer _packetizer;
  uint8_t _header[koFrame::kHeaderSize] = {};
  koRateMeter _byteRate;
  koRateMeter _frameRate;
  std::atomic<uint32_t> _framesSent{0};
  std::atomic<uint32_t> _fragmentsSent{0};
  std::atomic<uint32_t> _failedDatagrams{0};
};
