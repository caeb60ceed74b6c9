// koMulticastReceiver joins a group and, on a receive thread of its own,
// rebuilds the frames sent by koMulticastSender and hands each complete
// frame to a callback, counting what it receives and what is lost.
//
// Reading: a frame header (1024 bytes, header magic) starts a frame; the
// fragments of that frame (datagrams of its packet size, fragment magic) are
// assembled, repetitions ignored; the frame is delivered as soon as every
// fragment is there, without waiting for further repetitions, which are then
// skipped. The frame's end mark, or the next header, ends an incomplete
// frame: it is counted as dropped with its missing fragments, and the next
// header starts the next frame at once. Datagrams of any other size or kind
// are counted and ignored; a fragment that does not fit the frame announced
// (index, offset or length wrong) drops that frame.
//
// The header is sent once, so losing it would lose the frame however often
// its fragments are repeated. Between frames, a fragment of a frame newer
// than any seen starts that frame without its header (the fragments say all
// the header would); the sender and the wire stay as they are.
//
// The callback runs on the receive thread; the frame bytes are valid only
// during the call. Statistics getters may be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "koBase/koFrameAssembler.h"
#include "koBase/koMulticastSocket.h"
#include "koBase/koRateMeter.h"
#include "koBase/koThread.h"

using koFrameCallback = void (*)(const uint8_t* frame, uint32_t length, void* user);

class koMulticastReceiver {
 public:
  // Large enough to hold a burst of fragments while the thread is busy; the
  // kernel may cap it (a warning says so).
  static constexpr uint32_t kDefaultSocketBufferSize = 256u << 10;
  // A header whose frame number is at most this many behind the newest one
  // seen is late: a copy (ignored) or an overtaken frame (counted dropped).
  static constexpr uint32_t kLateHeaderWindow = 8;
  // A fragment may start a headerless frame at most this many frame numbers
  // ahead of the newest seen; further is a stray or a forged number.
  static constexpr uint32_t kFragmentStartWindow = 1u << 16;
  // Microseconds the receive thread waits for further fragments of a frame
  // being assembled before it blocks: fewer wake-ups for large frames, at
  // most this much more latency. The socket buffer holds far longer.
  static constexpr uint32_t kMidFrameLinger = 100;

  koMulticastReceiver();
  ~koMulticastReceiver();
  koMulticastReceiver(const koMulticastReceiver&) = delete;
  koMulticastReceiver& operator=(const koMulticastReceiver&) = delete;

  // Set while closed.
  void setFrameCallback(koFrameCallback callback, void* user) {
    _callback = callback;
    _user = user;
  }
  void setAddress(const std::string& address) { _address = address; }
  const std::string& getAddress() const { return _address; }
  void setPort(uint16_t port) { _port = port; }
  uint16_t getPort() const { return _port; }
  void setTimeToLive(uint32_t ttl) { _timeToLive = ttl; }
  uint32_t getTimeToLive() const { return _timeToLive; }
  void setInterface(const std::string& name) { _interface = name; }
  const std::string& getInterface() const { return _interface; }
  void setSocketBufferSize(uint32_t bytes) { _socketBufferSize = bytes; }
  uint32_t getSocketBufferSize() const { return _socketBufferSize; }
  void setMaxFrameLength(uint32_t bytes) { _assembler.setMaxFrameLength(bytes); }
  uint32_t getMaxFrameLength() const { return _assembler.getMaxFrameLength(); }

  // Joins (loopback on, role receive) and starts the receive thread. False
  // when already open or the group cannot be joined. Resets the statistics.
  bool open();
  // Stops and joins the receive thread, then closes. False when not open.
  // Never call it from inside the callback.
  bool close();
  bool isOpen() const { return _open; }

  // Statistics. The two rates are measured since the previous call.
  uint32_t getReceiveRate() { return _byteRate.read(8); }
  uint32_t getFrameRate() { return _frameRate.read(1); }
  uint32_t getPacketSize() const { return load(_packetSize); }
  uint32_t getFramesReceived() const { return load(_framesReceived); }
  uint32_t getFragmentsReceived() const { return load(_fragmentsReceived); }
  uint32_t getDroppedFrames() const { return load(_droppedFrames); }
  uint32_t getDroppedFragments() const { return load(_droppedFragments); }
  // Frame headers refused: packet size out of range, inconsistent fragment
  // count, or longer than the maximum frame length.
  uint32_t getRefusedFrames() const { return load(_refusedFrames); }
  // Headers behind the newest frame (duplicated or reordered on the way).
  uint32_t getLateHeaders() const { return load(_lateHeaders); }
  // Frames started from a fragment because their header was lost.
  uint32_t getHeaderlessFrames() const { return load(_headerlessFrames); }
  // Fragments that did not fit the frame announced (they drop that frame).
  uint32_t getInvalidFragments() const { return load(_invalidFragments); }
  // Fragments of another frame number while a frame was being assembled.
  uint32_t getForeignFragments() const { return load(_foreignFragments); }
  // Datagrams neither a header nor a fragment of the expected size.
  uint32_t getInvalidDatagrams() const { return load(_invalidDatagrams); }
  // Datagrams the kernel dropped for a full receive buffer.
  uint32_t getKernelDroppedDatagrams() const;
  void resetStatistics();

  // The socket while open (its interface and buffer sizes); owner's thread.
  const koMulticastSocket* getSocket() const { return _socket.get(); }

  // Handles one received datagram: the receive thread calls it for each;
  // tests and the fuzzer feed it directly, without a socket.
  void processDatagram(const uint8_t* datagram, uint32_t length);

 private:
  static uint32_t threadProc(void* self);
  void receiveLoop();
  void deliver();
  void dropCurrent();
  bool isNewer(uint32_t frameNumber) const;
  void markSeen(uint32_t frameNumber);
  bool startFromFragment(const koFrame::FragmentHeader& fragment, uint32_t length);
  static uint32_t load(const std::atomic<uint32_t>& v) { return v.load(std::memory_order_relaxed); }
  static void bump(std::atomic<uint32_t>& v, uint32_t n = 1) { v.fetch_add(n, std::memory_order_relaxed); }

  std::unique_ptr<koMulticastSocket> _socket;
  mutable std::mutex _socketLock;  // the socket against statistics readers
  std::unique_ptr<koThread> _thread;
  std::string _address = "234.5.6.7";
  uint16_t _port = 8190;
  uint32_t _timeToLive = 1;
  std::string _interface;
  uint32_t _socketBufferSize = kDefaultSocketBufferSize;
  bool _open = false;
  std::atomic<bool> _running{false};
  koFrameCallback _callback = nullptr;
  void* _user = nullptr;
  koFrameAssembler _assembler;
  bool _haveLastFrame = false;
  uint32_t _lastFrameNumber = 0;  // the newest frame number seen
  uint32_t _seenFrames = 0;       // bit i: frame _lastFrameNumber - i seen

  koRateMeter _byteRate;
  koRateMeter _frameRate;
  std::atomic<uint32_t> _packetSize{0};
  std::atomic<uint32_t> _framesReceived{0};
  std::atomic<uint32_t> _fragmentsReceived{0};
  std::atomic<uint32_t> _droppedFrames{0};
  std::atomic<uint32_t> _droppedFragments{0};
  std::atomic<uint32_t> _refusedFrames{0};
  std::atomic<uint32_t> _lateHeaders{0};
  std::atomic<uint32_t> _headerlessFrames{0};
  std::atomic<uint32_t> _invalidFragments{0};
  std::atomic<uint32_t> _foreignFragments{0};
  std::atomic<uint32_t> _invalidDatagrams{0};
  std::atomic<uint32_t> _kernelDropsBase{0};
};
