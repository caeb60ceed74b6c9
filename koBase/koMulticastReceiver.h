// koMulticastReceiver joins a group and, on a receive thread of its own,
// rebuilds the frames sent by koMulticastSender and hands each complete
// frame to a callback, counting what it receives and what is lost.
//
// Reading: every usable frame header (1024 bytes, header magic, a packet
// size within 512..8192, a fragment count that fits its length, not longer
// than the maximum frame) starts a frame, whatever its number: frame numbers
// are per sender, a sender that starts again numbers from 1, and several
// senders may share a group. The fragments of that frame (datagrams of its
// packet size, fragment magic) are assembled, repetitions ignored; the frame
// is delivered as soon as every fragment is there, without waiting for
// further repetitions, which are then skipped. The frame's end mark, or the
// next usable header, ends an incomplete frame: it is counted as dropped with
// its missing fragments. A header that is not usable is counted and ignored
// like any other stray datagram: the frame in progress goes on. Datagrams of
// any other size or kind are counted and ignored; a fragment that does not
// fit the frame announced (index, offset or length wrong) drops that frame.
//
// Copies: the network may duplicate a header, and a header's copy followed by
// the frame's remaining repetitions would assemble the frame once more. A
// complete frame with the number, length and bytes of one of the last few
// delivered is such a copy and is not delivered again; an incomplete one that
// has the number and size of one of them is counted as a copy, not as
// dropped. So nothing but the very same bytes under the same number is ever
// held back. A header of the frame in progress (its number, packet size and
// fragment count) announces that frame again: what was taken of it is
// assembled afresh (a restarted sender may number a different frame alike),
// and it is counted once.
//
// Reordering: a header overtaken on the way ends the frame that overtook it,
// whose fragments may then start it again. A frame counts once as dropped
// however often it ends incomplete, and one of the last few counted as
// dropped that is then delivered after all moves from the dropped count to
// the received count.
//
// The header is sent once, so losing it would lose the frame however often
// its fragments are repeated. Between frames, a fragment of a frame ahead of
// the last one announced starts that frame without its header (the fragments
// say all the header would); older numbers are the skipped repetitions of
// frames already taken. This repair never stands in the way of a header.
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
  // Frames delivered, and frames counted as dropped, remembered to recognise
  // their copies and their late returns.
  static constexpr uint32_t kRecentFrames = 8;
  // A fragment may start a headerless frame at most this many frame numbers
  // ahead of the last one announced; further is a stray or a forged number.
  static constexpr uint32_t kFragmentStartWindow = 1u << 16;
  // Microseconds the receive thread waits for further fragments of a frame
  // being assembled before it blocks: fewer wake-ups for large frames, at
  // most this much more latency. The socket buffer holds far longer.
  static constexpr uint32_t kMidFrameLinger = 100;
  // Longest pause, in milliseconds, between tries of a socket that fails.
  static constexpr uint32_t kMaxRetryPause = 500;

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
  // Copies of a frame already delivered (see above): not delivered again and
  // not counted as received or dropped.
  uint32_t getDuplicateFrames() const { return load(_duplicateFrames); }
  // Frames started from a fragment because their header was lost.
  uint32_t getHeaderlessFrames() const { return load(_headerlessFrames); }
  // Fragments that did not fit the frame announced (they drop that frame).
  uint32_t getInvalidFragments() const { return load(_invalidFragments); }
  // Fragments of another frame number while a frame was being assembled.
  uint32_t getForeignFragments() const { return load(_foreignFragments); }
  // Datagrams neither a header nor a fragment of the expected size.
  uint32_t getInvalidDatagrams() const { return load(_invalidDatagrams); }
  // Receives that failed in the socket itself (not a stray datagram).
  uint32_t getReceiveErrors() const { return load(_receiveErrors); }
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
  // What tells frames apart on the wire: number, packet size and count.
  struct FrameId {
    uint32_t number, packetSize, fragmentCount;
    bool operator==(const FrameId&) const = default;
  };
  struct Recent {
    FrameId id;
    uint32_t length;
    uint64_t digest;
  };
  struct Lost {
    FrameId id;
    uint32_t missing;  // fragments counted as dropped with it
    uint32_t epoch;    // of the statistics it was counted in
    bool counted;      // false once delivered after all
  };
  FrameId currentId() const;
  const Recent* findRecent(const FrameId& id) const;
  void countLost(const FrameId& id, uint32_t missing);
  void reviveLost(const FrameId& id);
  void dropCurrent();
  bool isNewer(uint32_t frameNumber) const;
  bool startFromFragment(const koFrame::FragmentHeader& fragment, uint32_t length);
  static uint32_t load(const std::atomic<uint32_t>& v) { return v.load(std::memory_order_relaxed); }
  static void bump(std::atomic<uint32_t>& v, uint32_t n = 1) { v.fetch_add(n, std::memory_order_relaxed); }
  static void takeBack(std::atomic<uint32_t>& v, uint32_t n);

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
  uint32_t _lastFrameNumber = 0;       // of the frame last announced or started
  Recent _recent[kRecentFrames] = {};  // the frames last delivered
  Lost _lost[kRecentFrames] = {};      // the frames last counted as dropped
  uint32_t _lostCount = 0, _lostNext = 0;
  uint32_t _recentCount = 0, _recentNext = 0;
  bool _memoryShort = false;  // said once in the log

  koRateMeter _byteRate;
  koRateMeter _frameRate;
  std::atomic<uint32_t> _packetSize{0};
  std::atomic<uint32_t> _framesReceived{0};
  std::atomic<uint32_t> _fragmentsReceived{0};
  std::atomic<uint32_t> _droppedFrames{0};
  std::atomic<uint32_t> _droppedFragments{0};
  std::atomic<uint32_t> _refusedFrames{0};
  std::atomic<uint32_t> _duplicateFrames{0};
  std::atomic<uint32_t> _receiveErrors{0};
  std::atomic<uint32_t> _statisticsEpoch{0};  // one more at each reset
  std::atomic<uint32_t> _headerlessFrames{0};
  std::atomic<uint32_t> _invalidFragments{0};
  std::atomic<uint32_t> _foreignFragments{0};
  std::atomic<uint32_t> _invalidDatagrams{0};
  std::atomic<uint32_t> _kernelDropsBase{0};
};
