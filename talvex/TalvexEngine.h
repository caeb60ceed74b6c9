// Talvex: the sending station's engine object. It owns the graph manager
// and the status broadcaster and keeps the settings that only travel to the
// receivers; every other setting lives where it takes effect (graph manager,
// filter wrappers, status channel) and is read back from there.
//
// How a change is applied:
//   rebuild      video capture, audio capture, video encoder, audio encoder,
//                main video format, focus display: when the value changes,
//                stop, destroy, store, build, start, broadcast the status;
//   rebuild always   image-compound base and additional formats: the same
//                without the equality test;
//   status only  Loupex video format, mask type, mask size, image-compound
//                mask type and blending type: store, broadcast;
//   wrapper, then status   address, port, time to live of the media servers
//                (the pointer pair: server first, then client);
//   wrapper only rates, counts and packet sizes of the servers, and the
//                status channel's time to live and packet size;
//   move         status address and port: when the value changes, a
//                "not running" status on the old channel (while running),
//                then the whole status on the new one.
// Codes outside their tables and capture indexes outside the lists are
// refused with a line in the log and change nothing; the index -1 selects
// no device (without an audio device the audio branch is left out).
//
// Used from one thread (the caller of the control functions); no lock.
#pragma once
#include <cstdint>
#include <deque>

#include "pellum/mxObject.h"
#include "pellum/mxString.h"
#include "talvex/TalvexGraphManager.h"
#include "talvex/TalvexSettings.h"
#include "talvex/rsGraphStatusSender.h"

class Talvex : public mxObject {
  MX_OBJECT_DECLARE(Talvex, mxObject)

 public:
  // The four multicast streams. Pointer stands for the pointer server and
  // the pointer client together where both take the setting.
  enum Server { Main = 0, Sub = 1, Audio = 2, Pointer = 3 };

  static constexpr int kNoDevice = -1;

  Talvex() = default;
  Talvex(const Talvex&) = delete;
  Talvex& operator=(const Talvex&) = delete;

  // Initialises the component model, creates and initialises the graph
  // manager, builds the graph, opens the status channel, starts the graph
  // and broadcasts the first status. False when the component model or a
  // fatal component is missing (the messages were shown); the engine then
  // stays in its created state until shutdown.
  bool initialize(OAHWND owner);
  // Stops and destroys the graph, broadcasts the last status (running
  // false), closes the channel, releases the graph manager and the
  // component model. Releases only what exists.
  void shutdown();
  // Whether initialize succeeded (the settings exist).
  bool isReady() const { return ready_; }

  TalvexGraphManager* getGraphManager() const { return graph_; }
  rsGraphStatusSender* getStatusSender() const { return status_; }
  bool isValidGraph() const;

  // Status: fill the record from its sources and send it; the tick resends
  // the last record as it is.
  void fillAndSendStatus();
  void timerProcess();
  // Whether the graph counts as running for the receivers: started, and the
  // video part of the topology built.
  bool isRunning() const;

  // Devices.
  unsigned getNumVideoCaptures() const;
  unsigned getNumAudioCaptures() const;
  bool setVideoCapture(int index);
  bool setAudioCapture(int index);
  int getVideoCapture() const;
  int getAudioCapture() const;
  rsCaptureFilter* getSelectedVideoCapture() const;
  rsCaptureFilter* getSelectedAudioCapture() const;

  // Encoders and focus display.
  bool setVideoEncoder(int code);
  bool setAudioEncoder(int code);
  int getVideoEncoder() const;
  int getAudioEncoder() const;
  bool isValidVideoEncoder(int code) const;
  bool isValidAudioEncoder(int code) const;
  bool setVideoFormat(int code);
  int getVideoFormat() const;
  bool setFocusDisplay(int code);
  int getFocusDisplay() const;
  bool isValidFocusDisplay(int code) const;
  bool setLoupexVideoFormat(int code);
  int getLoupexVideoFormat() const { return loupexVideoFormat_; }
  bool setLoupexMaskType(int code);
  int getLoupexMaskType() const { return loupexMaskType_; }
  void setLoupexMaskSize(unsigned width, unsigned height);
  void getLoupexMaskSize(unsigned& width, unsigned& height) const;
  bool setImageCompoundBaseVideoFormat(int code);
  int getImageCompoundBaseVideoFormat() const;
  bool setImageCompoundAdditionalVideoFormat(int code);
  int getImageCompoundAdditionalVideoFormat() const;
  bool setImageCompoundMaskType(int code);
  int getImageCompoundMaskType() const { return compoundMaskType_; }
  bool setImageCompoundBlendingType(int code);
  int getImageCompoundBlendingType() const { return compoundBlendingType_; }

  // Multicast servers.
  rsOstrelFilter* getServer(Server server) const;
  void setServerAddress(Server server, const mxString& address);
  mxString getServerAddress(Server server) const;
  void setServerPort(Server server, uint16_t port);
  uint16_t getServerPort(Server server) const;
  void setServerTimeToLive(Server server, unsigned ttl);
  unsigned getServerTimeToLive(Server server) const;
  void setServerMaxTransmittingRate(Server server, unsigned bitsPerSecond);
  unsigned getServerMaxTransmittingRate(Server server) const;
  void setServerTransmittingCount(Server server, unsigned count);
  unsigned getServerTransmittingCount(Server server) const;
  void setServerPacketSize(Server server, unsigned bytes);
  unsigned getServerPacketSize(Server server) const;
  // Meters: each read starts the server's next measuring window.
  unsigned getServerTransmittingRate(Server server) const;
  unsigned getServerFrameRate(Server server) const;

  // Status channel. A channel that could not be opened is tried again when
  // one of its settings changes.
  void setStatusAddress(const mxString& address);
  mxString getStatusAddress() const;
  void setStatusPort(uint16_t port);
  uint16_t getStatusPort() const;
  void setStatusTimeToLive(unsigned ttl);
  unsigned getStatusTimeToLive() const;
  void setStatusPacketSize(unsigned bytes);
  unsigned getStatusPacketSize() const;
  bool isStatusChannelOpen() const;

  // Preview window, relative to the owner.
  void setVideoWindowPosition(int x, int y);
  void getVideoWindowPosition(int& x, int& y) const;
  void setVideoWindowSize(unsigned width, unsigned height);
  void getVideoWindowSize(unsigned& width, unsigned& height) const;

  // Settings file (TalvexIniFile.cpp, keys in TalvexSettings.h). Reading
  // applies each key through its setter, in the file's order; writing goes
  // to a temporary file that replaces the target only when every key was
  // written.
  bool readIniFile(const char* path);
  bool writeIniFile(const char* path);
  // The values the settings file holds, as they are now.
  TalvexSettings settings() const;

  // Graph rebuilds made by setters since initialisation, and the settings
  // that caused the latest ones (oldest first, at most kRebuildLogSize).
  static constexpr size_t kRebuildLogSize = 64;
  unsigned getNumRebuilds() const { return numRebuilds_; }
  const std::deque<const char*>& getRecentRebuilds() const { return recentRebuilds_; }

 protected:
  ~Talvex() override;

 private:
  template <class Store>
  void rebuild(const char* setting, Store store);
  bool openStatusChannel();
  void reopenStatusChannelIfClosed();
  // Before the status channel moves: "not running" on the old one.
  void leaveStatusChannel();
  // How often a status that no tick repeats goes out (the last one at
  // shutdown, the one left on a channel the sender moves away from).
  static constexpr int kLastWordRepeats = 3;

  mxObjectPtr<TalvexGraphManager> graph_;
  mxObjectPtr<rsGraphStatusSender> status_;
  bool comInitialized_ = false;
  bool ready_ = false;
  unsigned numRebuilds_ = 0;
  std::deque<const char*> recentRebuilds_;

  // Settings that only travel in the status.
  int loupexVideoFormat_ = 4;  // 320x240
  int loupexMaskType_ = 0;     // Rectangle
  unsigned loupexMaskWidth_ = 160;
  unsigned loupexMaskHeight_ = 120;
  int compoundMaskType_ = 0;      // Rectangle
  int compoundBlendingType_ = 0;  // Simple
};

// The engine the control functions drive (null while none exists): for
// programs and tests built together with the engine's objects.
Talvex* TalvexRunningEngine();
