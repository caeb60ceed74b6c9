// Morvane: the receiver engine object, one per process. It owns the graph
// manager, the status listener, the engine lock and the GUI callback, and
// follows the sender's status: each status message that changes something
// stops and dismantles the graph, applies the changed fields, rebuilds and
// restarts the graph when the sender runs, and then tells the GUI.
//
// Threads: every operation is called on the caller's (GUI) thread except
// the status handler, which runs on the listener's receive thread. The
// handler holds the engine lock while it reconfigures and rebuilds (about a
// second); the pointer, colour, shape and video window operations take the
// same lock. The callback, the problems met while building and the log
// line of each change are delivered after the lock is released, on the
// receive thread; the callback must hand its work on and return.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "morvane/MorvaneGraphManager.h"
#include "morvane/ScreenGeometry.h"
#include "morvane/rsGraphStatusReceiver.h"
#include "pellum/mxObject.h"

class Morvane : public mxObject {
  MX_OBJECT_DECLARE(Morvane, mxObject)

 public:
  using Callback = int (*)(const char* message, int32_t number, void* user);
  // The callback numbers: a resize request, a problem text.
  static constexpr int32_t kResizeNumber = 0;
  static constexpr int32_t kProblemNumber = 1;
  static constexpr const char* kResizeForm = "ResizeForm";

  Morvane() = default;
  Morvane(const Morvane&) = delete;
  Morvane& operator=(const Morvane&) = delete;

  // Starts the component model for the thread, creates and initialises the
  // graph manager (probe included) and opens the status listener. False
  // when the component model or a component the receiver cannot do without
  // is missing; what was made stays until shutdown.
  bool initialize(OAHWND owner);
  // Closes the listener (no handler runs after it), stops and dismantles
  // the graph, releases everything; only what exists is released.
  void shutdown();

  // Whether initialize succeeded (the graph and its filters exist).
  bool isReady() const { return !graph_.isNull(); }

  // ---- status and callback
  bool isSenderRunning() const { return senderRunning_.load(std::memory_order_acquire); }
  void setCallback(Callback callback, void* user);
  // Pointer geometry from the desktop; never waits for a rebuild.
  void timerProcess();

  // ---- remote pointer clients (index 0..2) and own pointer server
  void setPointerClientAddress(int index, const char* address);
  mxString getPointerClientAddress(int index);
  void setPointerClientPort(int index, uint16_t port);
  uint16_t getPointerClientPort(int index);
  void setPointerClientTimeToLive(int index, uint32_t ttl);
  uint32_t getPointerClientTimeToLive(int index);
  void setPointerServerAddress(const char* address);
  mxString getPointerServerAddress();
  void setPointerServerPort(uint16_t port);
  uint16_t getPointerServerPort();
  void setPointerServerTimeToLive(uint32_t ttl);
  uint32_t getPointerServerTimeToLive();
  void setPointerServerMaxTransmittingRate(uint32_t rate);
  uint32_t getPointerServerMaxTransmittingRate();
  void setPointerServerTransmittingCount(uint32_t count);
  uint32_t getPointerServerTransmittingCount();
  void setPointerServerPacketSize(uint32_t bytes);
  uint32_t getPointerServerPacketSize();

  // ---- appearance
  void setPointerColor(int index, int color);
  int getPointerColor(int index);
  void setPointerShape(int shape);
  int getPointerShape();

  // ---- video window (relative to the owner window)
  void setVideoWindowPosition(int x, int y);
  void getVideoWindowPosition(int& x, int& y);
  void setVideoWindowSize(unsigned width, unsigned height);
  void getVideoWindowSize(unsigned& width, unsigned& height);

  // ---- status channel: each setter closes, stores, reopens (also for an
  // unchanged value) and returns whether the listener opened.
  bool setStatusAddress(const char* address);
  mxString getStatusAddress() const;
  bool setStatusPort(uint16_t port);
  uint16_t getStatusPort() const;
  bool setStatusTimeToLive(uint32_t ttl);
  uint32_t getStatusTimeToLive() const;
  bool setStatusIPv6InterfaceId(int id);
  int getStatusIPv6InterfaceId() const;

  // ---- statistics of a client (0 main video, 1 second video, 2 audio),
  // read without the lock.
  enum StatisticEnum { ReceiveRate, FrameRate, DropPackets, DropFrames, PacketSize };
  unsigned getClientStatistic(int client, StatisticEnum which) const;

  // ---- for tools and tests
  MorvaneGraphManager* getGraphManager() const { return graph_.get(); }
  rsGraphStatusReceiver* getListener() const { return listener_.get(); }
  // Status changes handled so far (each ends with the callback).
  uint32_t getHandledChanges() const { return handled_.load(std::memory_order_acquire); }
  // The change mask of the last handled change.
  uint32_t getLastChangeMask() const { return lastMask_.load(std::memory_order_acquire); }

 protected:
  ~Morvane() override;

 private:
  static void statusChanged(int mask, void* data);
  void handleStatusChange(uint32_t mask);
  void deliver(const std::vector<std::string>& problems);
  template <class Change>
  bool reopenListener(const char* what, Change change);

  mutable std::recursive_mutex lock_;  // the engine lock
  mxObjectPtr<MorvaneGraphManager> graph_;
  mxObjectPtr<rsGraphStatusReceiver> listener_;
  OAHWND owner_ = 0;
  bool comStarted_ = false;

  std::mutex callbackLock_;
  Callback callback_ = nullptr;
  void* callbackUser_ = nullptr;
  std::atomic<bool> senderRunning_{false};
  std::atomic<uint32_t> handled_{0};
  std::atomic<uint32_t> lastMask_{0};

  ScreenGeometry screen_;  // used by timerProcess only (GUI thread)
};

// The text of a change mask: the names of the changed fields
// ("running, focusDisplay"), or "first record, every field".
std::string describeStatusChange(uint32_t mask);
