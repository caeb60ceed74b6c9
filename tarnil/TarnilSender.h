// TarnilSender: multicasts the sender's status, one message at a time, as
// one frame on the status group ("234.5.6.7", port 8930, time-to-live 1 by
// default). A derived class builds the message and sends it with _send from
// its sendStatus. The sender has no thread of its own: everything runs on
// the caller's thread, so it may be freed in any way (destroy(), its last
// mxObjectPtr, or delete) once no call of that thread is in progress; the
// destructor closes an open channel.
#pragma once

#include <cstdint>

#include "pellum/mxObject.h"
#include "pellum/mxString.h"

class koMulticastSender;

class TarnilSender : public mxObject {
  MX_OBJECT_DECLARE(TarnilSender, mxObject)

 public:
  static constexpr uint16_t kDefaultPort = 8930;

  TarnilSender();
  ~TarnilSender() override;
  TarnilSender(const TarnilSender&) = delete;
  TarnilSender& operator=(const TarnilSender&) = delete;

  // Address, port and time-to-live: a change closes and reopens an open
  // channel; on a closed one it is only stored.
  void setAddress(const mxString& address);
  mxString getAddress() const;
  void setPort(uint16_t port);
  uint16_t getPort() const;
  void setTimeToLive(uint32_t ttl);
  uint32_t getTimeToLive() const;
  // Clamped to 512..8192; takes effect with the next message.
  void setPacketSize(uint32_t size);
  uint32_t getPacketSize() const;

  // False when already open or the group cannot be used.
  bool open();
  // False when not open.
  bool close();
  bool isOpen() const;

  // Sends the derived class's status; nothing here.
  virtual void sendStatus() {}

 protected:
  // Sends the message as one frame; nothing is sent while closed.
  void _send(const unsigned char* message, unsigned length);

 private:
  koMulticastSender* _sender;
};
