// TalvexGraphManager: the sending station's media graph. It finds the
// capture devices and codecs of the machine, creates the wrappers of every
// filter the sender can use once (they live until shutdown, across
// rebuilds), and for the current settings wires one of the 22 video
// topologies (focus-display mode x analog or DV camera x preview pin or not
// x encoder) plus the audio branch.
//
// Used from the engine's calling thread only; not synchronised.
#pragma once
#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsImageExtractFilter.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsTracionFilter.h"
#include "gravet/rsVideoRenderFilter.h"
#include "pellum/mxArray.h"

class TalvexGraphManager : public rsGraphManager {
  MX_OBJECT_DECLARE(TalvexGraphManager, rsGraphManager)

 public:
  using FilterList = mxArray<mxObjectPtr<rsFilter>>;

  // The window style and position the preview gets in its owner.
  static constexpr long kVideoWindowStyle = 0x44000000L;  // child, clipping its siblings
  // How long the audio probe lets the audio branch run at initialisation.
  static constexpr unsigned kAudioProbeMs = 100;

  explicit TalvexGraphManager(OAHWND owner);

  // Finds and creates the filters, reports what is missing (one box per
  // missing component; the fatal ones make it fail after all checks ran),
  // sets the start values and probes the audio branch.
  bool initialize() override;
  // Empties the lists and releases every filter, then the graph.
  bool shutdown() override;
  // Wires the topology of the current settings; the result (the AND of every
  // connection) is also kept as isGraphValid().
  bool buildGraph() override;
  // Hides the preview, takes it from its owner and removes every filter.
  bool destroyGraph() override;

  // Settings held here (stored as given; the engine checks them).
  int getVideoCaptureIndex() const { return videoCaptureIndex_; }
  void setVideoCaptureIndex(int index) { videoCaptureIndex_ = index; }
  int getAudioCaptureIndex() const { return audioCaptureIndex_; }
  void setAudioCaptureIndex(int index) { audioCaptureIndex_ = index; }
  int getVideoEncoder() const { return videoEncoder_; }
  void setVideoEncoder(int code) { videoEncoder_ = code; }
  int getAudioEncoder() const { return audioEncoder_; }
  void setAudioEncoder(int code) { audioEncoder_ = code; }
  int getFocusDisplay() const { return focusDisplay_; }
  void setFocusDisplay(int code) { focusDisplay_ = code; }

  // The result of the last buildGraph, and of its video part alone.
  bool isGraphValid() const { return graphValid_; }
  bool isVideoValid() const { return videoValid_; }

  unsigned getNumVideoCaptures() const { return videoCaptures_.getSize(); }
  unsigned getNumAudioCaptures() const { return audioCaptures_.getSize(); }
  // Device i of a list, or null outside it.
  rsCaptureFilter* getVideoCapture(int index) const { return captureAt(videoCaptures_, index); }
  rsCaptureFilter* getAudioCapture(int index) const { return captureAt(audioCaptures_, index); }
  // Whether an encoder list holds a codec of that friendly name.
  bool hasVideoEncoder(const char* friendlyName) const { return findCodec(videoEncoders_, friendlyName); }
  bool hasAudioEncoder(const char* friendlyName) const { return findCodec(audioEncoders_, friendlyName); }

  rsOstrelFilter* getVideoServerMain() const { return videoServerMain_; }
  rsOstrelFilter* getVideoServerSub() const { return videoServerSub_; }
  rsOstrelFilter* getAudioServer() const { return audioServer_; }
  rsOstrelFilter* getPointerServer() const { return pointerServer_; }
  rsIngrelFilter* getPointerClient() const { return pointerClient_; }
  rsFormatTransFilter* getFormatTransformMain() const { return formatTransformMain_; }
  rsFormatTransFilter* getFormatTransformSub() const { return formatTransformSub_; }
  rsImageExtractFilter* getImageExtract() const { return imageExtract_; }

 protected:
  ~TalvexGraphManager() override;

 private:
  // The picture's source: a pin of the camera, or the Smart Tee's output 1.
  struct Source {
    rsFilter* filter;
    int pin;  // -1: none
  };

  bool discoverFilters();
  void setStartValues();
  void probeAudio();
  bool buildVideo();
  bool buildAudio(rsCaptureFilter* capture);
  // connectFilter for possibly empty wrappers and pin numbers of -1.
  bool link(rsFilter* from, int output, rsFilter* to, int input);
  void add(rsFilter* filter) { addFilter(mxObjectPtr<rsFilter>(filter)); }

  static rsCaptureFilter* captureAt(const FilterList& list, int index);
  static rsFilter* findCodec(const FilterList& list, const char* friendlyName);

  int videoCaptureIndex_ = 0;
  int audioCaptureIndex_ = 0;
  int videoEncoder_ = 1;
  int audioEncoder_ = 0;
  int focusDisplay_ = 0;
  bool graphValid_ = false;
  bool videoValid_ = false;
  unsigned long rotRegistration_ = 0;

  FilterList videoCaptures_, audioCaptures_, videoEncoders_, subVideoEncoders_, audioEncoders_;

  mxObjectPtr<rsFilter> dvDecoder_;
  mxObjectPtr<rsVideoRenderFilter> videoRender_;
  mxObjectPtr<rsAudioRenderFilter> audioRender_;
  mxObjectPtr<rsOstrelFilter> videoServerMain_, videoServerSub_, audioServer_, pointerServer_;
  mxObjectPtr<rsIngrelFilter> pointerClient_;
  mxObjectPtr<rsFormatTransFilter> formatTransformMain_, formatTransformSub_;
  mxObjectPtr<rsImageExtractFilter> imageExtract_;
  mxObjectPtr<rsTracionFilter> tracion_;
  mxObjectPtr<rsInfPinTeeFilter> videoTee_, dvTee_, audioTee_;
  mxObjectPtr<rsSmartTeeFilter> smartTee_;
};
