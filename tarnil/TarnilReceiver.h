// TarnilReceiver: listens on the status group and hands each complete status
// message to receiveStatus, on the transport's receive thread. A derived
// class handles the message (the bytes are valid only during the call) and
// guards what it touches.
//
// Lifetime: a receiver is a counted object. Hold it through mxObjectPtr or
// free it with destroy(); either ends in _destroy, which this class
// overrides (final) to close the channel, waiting for a receiveStatus in
// progress to return, before any destructor runs. So no call reaches a
// derived object once its destruction has begun, and a derived class has
// nothing to do for it: it needs no close() in its destructor. The
// destructor is protected so that a receiver is neither deleted directly
// nor kept on the stack, which would destroy the derived part while the
// receive thread may still be calling into it; keep the destructors of
// derived classes protected too (or at least never delete one directly).
// A receiver still open when this class's destructor runs was freed the
// wrong way: that is reported in the log, and the channel closed.
//
// Never free a receiver, nor call close(), from receiveStatus: both wait for
// the receive thread, which is the caller.
#pragma once

#include <cstdint>

#include "pellum/mxObject.h"
#include "pellum/mxString.h"

class koMulticastReceiver;

using TarnilStatusChangeProc = void (*)(int change, void* data);

class TarnilReceiver : public mxObject {
  MX_OBJECT_DECLARE(TarnilReceiver, mxObject)

 public:
  static constexpr uint16_t kDefaultPort = 8930;

  explicit TarnilReceiver(TarnilStatusChangeProc proc = nullptr, void* data = nullptr);
  TarnilReceiver(const TarnilReceiver&) = delete;
  TarnilReceiver& operator=(const TarnilReceiver&) = delete;

  // Stored for the derived class; this class never calls the procedure.
  void setStatusChangeProc(TarnilStatusChangeProc proc) { _statusChangeProc = proc; }
  TarnilStatusChangeProc getStatusChangeProc() const { return _statusChangeProc; }
  void setStatusChangeData(void* data) { _statusChangeData = data; }
  void* getStatusChangeData() const { return _statusChangeData; }

  // A change closes and reopens an open channel; on a closed one it is only
  // stored.
  void setAddress(const mxString& address);
  mxString getAddress() const;
  void setPort(uint16_t port);
  uint16_t getPort() const;
  void setTimeToLive(uint32_t ttl);
  uint32_t getTimeToLive() const;
  // Accepted and ignored: the group is joined where the route to it leads.
  void setIPv6InterfaceId(int) {}
  int getIPv6InterfaceId() const { return 0; }

  // Joins the group and starts the receive thread. False when already open
  // or the group cannot be joined.
  bool open();
  // Stops the receive thread and closes; never call it from receiveStatus.
  bool close();
  bool isOpen() const;

  // Handles one message; nothing here.
  virtual void receiveStatus(const unsigned char* /*message*/, unsigned /*length*/) {}

  // The transport's counters, for monitors.
  uint32_t getFramesReceived() const;
  uint32_t getDroppedFrames() const;

 protected:
  ~TarnilReceiver() override;
  // Closes the channel, then deletes: see Lifetime above.
  void _destroy() final;

  void receive(const unsigned char* message, unsigned length) { receiveStatus(message, length); }
  static void receiveProc(const uint8_t* message, uint32_t length, void* user);

 private:
  koMulticastReceiver* _receiver;
  TarnilStatusChangeProc _statusChangeProc;
  void* _statusChangeData;
};
