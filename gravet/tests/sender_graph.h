// A sender-shaped graph for the tests and the rebuild benchmark: the
// test-pattern camera, the format transform, an Infinite Pin Tee and the
// video renderer, and, when asked for, the MPEG-4 V2 encoder and a
// multicast server filter on the tee's second output. Filters are created
// once in initialize and kept across rebuilds, as the engines do.
#pragma once
#include <cstring>
#include <string>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "gravet/rsFilterEnumerator.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsGraphManager.h"
#include "gravet/rsOstrelFilter.h"
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsVideoRenderFilter.h"
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/filters/video_renderer.h"
#include "platform/media/guids.h"

// Opens the protected graph operations to the tests.
class TestGraphManager : public rsGraphManager {
 public:
  explicit TestGraphManager(OAHWND owner = 0) : rsGraphManager(owner) {}
  bool buildGraph() override { return true; }
  bool destroyGraph() override {
    removeAllFilters();
    return true;
  }
  using rsGraphManager::addFilter;
  using rsGraphManager::addToRot;
  using rsGraphManager::connectFilter;
  using rsGraphManager::disconnectFilter;
  using rsGraphManager::ErrMsg;
  using rsGraphManager::getGraphBuilder;
  using rsGraphManager::removeAllFilters;
  using rsGraphManager::removeFilter;
  using rsGraphManager::removeFromRot;

  // A filter of the graph by its name (a new reference), or empty.
  ComPtr<IBaseFilter> findFilter(const char* name) const {
    ComPtr<IBaseFilter> f;
    if (getGraphBuilder()) getGraphBuilder()->FindFilterByName(utf8ToUtf16(name).c_str(), f.put());
    return f;
  }
  // Frames the named video renderer has drawn (0 without it).
  uint64_t renderedFrames(const char* name = "VideoRender") const {
    ComPtr<IVideoFrameSnapshot> snapshot = findFilter(name).as<IVideoFrameSnapshot>();
    uint64_t n = 0;
    if (snapshot) snapshot->GetFrameCount(&n);
    return n;
  }
};

// The Null Renderer, as the end of an encoder branch without a server.
class rsNullRenderFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsNullRenderFilter, rsFilter)

 public:
  explicit rsNullRenderFilter(const mxString& name) : rsFilter(name) { createFilter(CLSID_NullRenderer); }

 protected:
  ~rsNullRenderFilter() override = default;
};

class SenderShapedGraph : public TestGraphManager {
 public:
  // withSender: add the encoder and after it the multicast server (which
  // opens a socket: only inside the network lab), or the Null Renderer when
  // withServer is false or the server cannot be made.
  explicit SenderShapedGraph(bool withSender = false, bool withServer = true)
      : withSender_(withSender), withServer_(withServer) {}

  bool initialize() override {
    if (!TestGraphManager::initialize()) return false;
    mxObjectPtr<rsCaptureEnumerator> cameras = new rsCaptureEnumerator(rsCaptureEnumerator::VideoInputDevice);
    mxObjectPtr<rsFilter> f;
    while (cameras->nextFilter(f))
      if (std::strcmp(f->getName().c_str(), "Test Pattern Camera") == 0) camera = f;
    mxObjectPtr<rsFormatTransFilter> t = new rsFormatTransFilter("FormatTransform(Main)");
    t->setOutputVideoFormat(2);  // CIF
    transform = t.get();
    tee = new rsInfPinTeeFilter("VideoInfinitePinTee");
    renderer = new rsVideoRenderFilter("VideoRender");
    if (withSender_) {
      mxObjectPtr<rsCodecEnumerator> codecs = new rsCodecEnumerator(rsCodecEnumerator::VideoCompressor);
      while (codecs->nextFilter(f))
        if (std::strcmp(f->getName().c_str(), "Microsoft MPEG-4 Video Codec V2") == 0) encoder = f;
      if (withServer_) {
        mxObjectPtr<rsOstrelFilter> s = new rsOstrelFilter("VideoServer(Main)");
        s->setAddress("234.5.6.7");
        s->setPort(8190);
        s->setMaximumTransmittingRate(400000000);
        if (s->isValid()) server = s.get();
      }
      if (server.isNull()) server = new rsNullRenderFilter("NullRender");
    }
    return !camera.isNull() && transform->isValid() && tee->isValid() && renderer->isValid() &&
           (!withSender_ || !encoder.isNull());
  }

  bool shutdown() override {
    camera = nullptr;
    transform = nullptr;
    tee = nullptr;
    renderer = nullptr;
    encoder = nullptr;
    server = nullptr;
    return TestGraphManager::shutdown();
  }

  bool buildGraph() override {
    addFilter(camera);
    addFilter(transform);
    addFilter(tee);
    addFilter(renderer);
    bool ok = connectFilter(camera, 0, transform, 0) && connectFilter(transform, 0, tee, 0) &&
              connectFilter(tee, 0, renderer, 0);
    if (ok && !encoder.isNull()) {
      addFilter(encoder);
      ok = connectFilter(tee, 1, encoder, 0);
      if (ok && !server.isNull()) {
        addFilter(server);
        ok = connectFilter(encoder, 0, server, 0);
      }
    }
    return ok;
  }

  mxObjectPtr<rsFilter> camera, transform, tee, renderer, encoder, server;

 private:
  bool withSender_, withServer_;
};
