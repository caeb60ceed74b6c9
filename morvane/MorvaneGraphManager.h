// MorvaneGraphManager: the receiving station's graph. It owns the fifteen
// filter wrappers (created once, named in the graph) and the decoders found
// on the machine, builds one of three topologies (focus display None,
// Loupex, ImageCompound) with the remote pointers P1..P3 mixed in and the
// station's own pointer sent out, and applies the sender's status to its
// filters.
//
// Not synchronised: the engine serialises every call with its lock.
// Problems met while building (connection failures) are not shown from
// here: they are queued, and the engine hands them on once it no longer
// holds its lock. Problems met by initialize are shown at once (it runs on
// the caller's thread before the status listener exists).
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "gravet/rsBlendorFilter.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsGraphStatus.h"
#include "gravet/rsImageCompoundFilter.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsLoupexFilter.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsTracionFilter.h"
#include "gravet/rsVideoRenderFilter.h"

class MorvaneGraphManager : public rsGraphManager {
  MX_OBJECT_DECLARE(MorvaneGraphManager, rsGraphManager)

 public:
  enum FocusDisplayEnum { None = 0, Loupex = 1, ImageCompound = 2 };
  // Style of the video window: a clipping child of the owner window.
  static constexpr long kVideoWindowStyle = 0x46000000L;
  // The pause of the initial probe and of each restart.
  static constexpr unsigned kSettleMs = 500;
  static constexpr int kNumPointerClients = 3;
  static constexpr int kWhite = 7;

  explicit MorvaneGraphManager(OAHWND owner);

  // Finds decoders, creates the wrappers, reports what is missing (false
  // when something the receiver cannot do without is missing), sets the
  // start values and runs the probe graph once for half a second.
  bool initialize() override;
  // Empties the decoder lists, releases the wrappers and the graph.
  bool shutdown() override;
  // Builds the topology of focusDisplay; false when a connection failed
  // (every connection is still attempted, each failure queued as a problem).
  bool buildGraph() override;
  // Hides the video window, clears its owner and removes every filter.
  bool destroyGraph() override;

  // Applies the fields of the status whose bits are set in mask (bits 1 to
  // 21, table order; bit 0 is the engine's).
  void applyStatus(const rsGraphStatus& status, uint32_t mask);

  int getFocusDisplay() const { return focusDisplay_; }
  int getMainDecoder() const { return mainDecoder_; }
  int getSubDecoder() const { return subDecoder_; }
  int getAudioDecoder() const { return audioDecoder_; }

  // Colours of P1..P3 as the engine keeps them: they survive rebuilds (the
  // mixer's pointer inputs come and go with its connections) and are set on
  // "Blendor" after every build. An index outside 0..2 reads 0 and ignores
  // a set; a colour outside 0..7 is ignored.
  void setPointerColor(int index, int color);
  int getPointerColor(int index) const;

  // The problems queued since the last call (connection failures), in the
  // order they happened.
  std::vector<std::string> takeProblems();

  // The wrappers, for the engine's settings and statistics.
  rsIngrelFilter* videoClientMain() const { return videoClientMain_.get(); }
  rsIngrelFilter* videoClientSub() const { return videoClientSub_.get(); }
  rsIngrelFilter* audioClient() const { return audioClient_.get(); }
  rsIngrelFilter* pointerFocusClient() const { return pointerFocusClient_.get(); }
  rsIngrelFilter* pointerClient(int index) const;  // 0..2 for P1..P3, else null
  rsOstrelFilter* pointerServer() const { return pointerServer_.get(); }
  rsBlendorFilter* blendor() const { return blendor_.get(); }
  rsTracionFilter* tracion() const { return tracion_.get(); }
  rsVideoRenderFilter* videoRender() const { return videoRender_.get(); }
  rsLoupexFilter* loupex() const { return loupex_.get(); }
  rsImageCompoundFilter* imageCompound() const { return imageCompound_.get(); }
  rsFormatTransFilter* formatTrans() const { return formatTrans_.get(); }

 protected:
  ~MorvaneGraphManager() override;

 private:
  void discover();
  bool reportMissing();
  void setStartValues();
  // connectFilter, queueing the text when the connection fails.
  bool connect(mxObjectPtr<rsFilter> from, unsigned output, mxObjectPtr<rsFilter> to, unsigned input,
               const char* failure);
  void queue(const char* text);
  bool buildNone(rsFilter* decoder);
  bool buildLoupex(rsFilter* decoder);
  bool buildImageCompound(rsFilter* decoder, rsFilter* subDecoder);
  void addCommonTailFilters();
  bool buildCommonTail();
  bool buildAudio();
  void applyColors();
  static rsFilter* findIn(const std::vector<mxObjectPtr<rsFilter>>& list, const char* friendlyName);
  rsFilter* videoDecoder(const std::vector<mxObjectPtr<rsFilter>>& list, int code) const;
  // Client format and decoder for a video format code of the status.
  void applyVideoFormat(rsIngrelFilter* client, int& decoder, int format);
  void applyResolution(rsIngrelFilter* client, int resolution, const char* stream);

  int mainDecoder_ = 0;
  int subDecoder_ = 0;
  int audioDecoder_ = 0;
  int focusDisplay_ = None;
  std::vector<mxObjectPtr<rsFilter>> mainDecoders_, subDecoders_, audioDecoders_;

  mxObjectPtr<rsVideoRenderFilter> videoRender_;
  mxObjectPtr<rsAudioRenderFilter> audioRender_;
  mxObjectPtr<rsIngrelFilter> videoClientMain_, videoClientSub_, audioClient_, pointerFocusClient_;
  mxObjectPtr<rsIngrelFilter> pointerClients_[kNumPointerClients];
  mxObjectPtr<rsOstrelFilter> pointerServer_;
  mxObjectPtr<rsFormatTransFilter> formatTrans_;
  mxObjectPtr<rsImageCompoundFilter> imageCompound_;
  mxObjectPtr<rsLoupexFilter> loupex_;
  mxObjectPtr<rsBlendorFilter> blendor_;
  mxObjectPtr<rsTracionFilter> tracion_;

  int colors_[kNumPointerClients] = {kWhite, kWhite, kWhite};
  unsigned long rotRegistration_ = 0;
  bool registered_ = false;

  std::mutex problemsLock_;
  std::vector<std::string> problems_;
};
