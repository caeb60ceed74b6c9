// koMulticastSocket: one UDP socket joined to one IPv4 or IPv6 multicast
// group, to send, to receive or both, with blocking send and receive calls
// that another thread cancels through the socket's two named timers.
//
// A blocked call waits with poll on the socket together with its cancel
// timer's descriptor: when the socket is ready first the transfer goes on;
// when the timer fires the call returns -1 (cancelled).
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "koBase/koTimer.h"

enum SocketRole : uint32_t { SOCKET_ROLE_SEND = 0, SOCKET_ROLE_RECEIVE = 1, SOCKET_ROLE_BOTH = 2 };

struct koSocketParameters {
  std::string address;           // numeric multicast group, "234.5.6.7" or "ff15::7"
  uint16_t port = 0;
  uint32_t timeToLive = 1;       // IPv4 TTL / IPv6 hop limit; above 255 is taken as 255
  bool loopback = false;         // see open()
  uint32_t systemBufferSize = 8192;  // kernel receive and/or send buffer, bytes
  SocketRole role = SOCKET_ROLE_SEND;
  std::string interfaceName;     // "" = the interface the route to the group takes
};

class koMulticastSocket {
 public:
  static constexpr uint32_t kMaxAddressLength = 128;

  koMulticastSocket();
  ~koMulticastSocket();
  koMulticastSocket(const koMulticastSocket&) = delete;
  koMulticastSocket& operator=(const koMulticastSocket&) = delete;

  // Creates, binds (wildcard address and the port, address reuse on) and
  // joins. Only numeric multicast addresses are accepted. Loopback: sending
  // sockets always loop their datagrams back to this station (every receiver
  // of the system asks for loopback, and here it is the sender's socket that
  // decides it); IPv6 groups always loop. The socket only ever receives
  // datagrams of its own group. False on any failure, with one log line
  // saying what failed; the half-made socket is closed at once.
  bool open(const koSocketParameters& parameters);

  // 1 = all bytes sent, 0 = failure, -1 = cancelled. While the socket's
  // buffer is full it waits until there is room; while the interface's
  // queue is full (ENOBUFS) it pauses and sends again, for at most
  // kDeviceBusyMaxWaitUs per datagram, then fails.
  int send(const void* data, uint32_t length);
  static constexpr uint32_t kDeviceBusyFirstPauseUs = 100;
  static constexpr uint32_t kDeviceBusyMaxPauseUs = 2000;
  static constexpr uint32_t kDeviceBusyMaxWaitUs = 100000;
  // Fills exactly length bytes, accumulating datagrams when one is shorter
  // than what is left. 1 = filled, 0 = failure (also a datagram longer than
  // what is left, or an empty datagram), -1 = cancelled.
  int receive(void* buffer, uint32_t length);
  // Receives exactly one datagram of at most capacity bytes; *length gets
  // its size. 1 = received, 0 = failure (a longer datagram is consumed and
  // refused, *length then tells its real size), -1 = cancelled.
  // lingerMicroseconds: when nothing is queued, first sleep this long and
  // look again before blocking. A receiver that expects more datagrams at
  // once (the rest of a frame) then takes them in one wake-up instead of
  // being woken for each; the price is at most that much latency.
  int receiveDatagram(void* buffer, uint32_t capacity, uint32_t* length, uint32_t lingerMicroseconds = 0);

  // Waits up to ms milliseconds unless the receive-cancel timer fires first:
  // a pause between retries that cancelReceive still ends at once. -1 when
  // cancelled, 1 when the time has passed.
  int pauseReceive(uint32_t ms);

  // Arm the cancel timers: the blocked (or next blocking) call returns -1
  // after ms milliseconds.
  bool cancelSend(uint32_t ms);
  bool cancelReceive(uint32_t ms);

  bool close();
  bool isOpen() const { return _socket >= 0; }

  // The descriptor (-1 while closed), e.g. for socket options in tests.
  int getHandle() const { return _socket; }
  int getFamily() const;
  bool isLastReceiveComplete() const { return _lastReceiveComplete; }
  const sockaddr_storage& getSourceAddress() const { return _sourceAddress; }
  uint32_t getSourceAddressLength() const { return _sourceAddressLength; }
  // Interface the group was joined on (receivers) or is sent on.
  unsigned getInterfaceIndex() const { return _interfaceIndex; }
  const std::string& getInterfaceName() const { return _interfaceName; }
  // Effective kernel buffer sizes as read back after open (0 if unused).
  uint32_t getReceiveBufferSize() const { return _receiveBufferSize; }
  uint32_t getSendBufferSize() const { return _sendBufferSize; }
  bool isLoopback() const { return _loopback; }
  // Datagrams the kernel dropped because this socket's receive buffer was
  // full: reported with each datagram received after a drop (SO_RXQ_OVFL),
  // and asked of the kernel when called (so also when no datagram followed).
  uint32_t getKernelDrops() const;
  // Sends the interface's full queue refused (each retried, see send).
  uint32_t getDeviceBusyCount() const { return _deviceBusy.load(std::memory_order_relaxed); }
  bool canCancel() const { return _sendCancel.hasHandle() && _receiveCancel.hasHandle(); }

 private:
  enum class Wait { Ready, Cancelled, Failed };
  Wait waitFor(short events, koTimer& cancel);
  // One recvmsg: bytes, or -1 with errno; notes drop counts and truncation.
  long receiveOnce(void* buffer, uint32_t capacity, bool* truncated);
  bool fail(const char* what);
  // Waits that long unless the timer fires first (false then).
  static bool pause(koTimer& cancel, uint32_t microseconds);
  // Reads and drops the error reports queued on the socket (IP_RECVERR);
  // true when there was one.
  bool takeErrorReports();

  int _socket = -1;
  koTimer _sendCancel;
  koTimer _receiveCancel;
  sockaddr_storage _groupAddress{};
  uint32_t _groupAddressLength = 0;
  sockaddr_storage _sourceAddress{};
  uint32_t _sourceAddressLength = 0;
  bool _lastReceiveComplete = false;
  bool _loopback = false;
  bool _reportsErrors = false;  // IP_RECVERR on (sending sockets)
  unsigned _interfaceIndex = 0;
  std::string _interfaceName;
  std::string _description;  // "group port" for log lines
  uint32_t _receiveBufferSize = 0;
  uint32_t _sendBufferSize = 0;
  std::atomic<uint32_t> _kernelDrops{0};
  std::atomic<uint32_t> _deviceBusy{0};
};
