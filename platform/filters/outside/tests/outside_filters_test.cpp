// The format transform, the image extractor and the image compounder in real
// graphs: hand-made pictures pushed in through the test module's source,
// every output pixel checked at a null renderer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "filters/pointer/pointer_info.h"
#include "platform/com/com_ptr.h"
#include "platform/filters/capture/capture_control.h"
#include "platform/filters/codecs/codecs.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/outside/outside_interfaces.h"
#include "platform/filters/outside/picture.h"
#include "platform/filters/outside/tests/outside_test_plugin.h"
#include "platform/filters/outside/tests/private_registry.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/filters/tests/sample_recorder.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"

using namespace outside;

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t b, g, r;
  bool operator==(const Rgb&) const = default;
};

// A picture held top-down, one Rgb per pixel, written out in any layout.
struct Picture {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  Picture(int width, int height, Rgb fill = {0, 0, 0}) : w(width), h(height), px(size_t(width) * height, fill) {}
  Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[size_t(y) * w + x]; }
  // RGB24 (or RGB32) rows padded to 4 bytes, bottom-up unless topDown.
  Bytes rgb(int bits = 24, bool topDown = false) const {
    size_t stride = dibStride(w, bits);
    Bytes out(stride * h, 0);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = &out[stride * size_t(topDown ? y : h - 1 - y)];
      for (int x = 0; x < w; ++x) {
        row[x * (bits / 8)] = at(x, y).b;
        row[x * (bits / 8) + 1] = at(x, y).g;
        row[x * (bits / 8) + 2] = at(x, y).r;
        if (bits == 32) row[x * 4 + 3] = 0xA5;
      }
    }
    return out;
  }
  // Reads a bottom-up RGB24 picture of this size.
  static Picture fromRgb24(const Bytes& data, int width, int height) {
    Picture p(width, height);
    size_t stride = dibStride(width, 24);
    if (data.size() < stride * height) return Picture(0, 0);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = &data[stride * size_t(height - 1 - y)];
      for (int x = 0; x < width; ++x) p.at(x, y) = {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
    }
    return p;
  }
};

// Pixel (x, y) = (x low byte, y, 0x40 + x high bits): every pixel differs.
Picture numbered(int w, int h) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = {uint8_t(x), uint8_t(y), uint8_t(0x40 + (x >> 8))};
  return p;
}

MediaType videoType(const GUID& subtype, int width, int height, int bits, uint32_t compression = BI_RGB) {
  VideoInfoHeader vih;
  vih.bmi.width = width;
  vih.bmi.height = height;
  vih.bmi.bitCount = uint16_t(bits);
  vih.bmi.compression = compression;
  vih.bmi.sizeImage = compression == BI_RGB ? bitmapImageSize(vih.bmi) : uint32_t(width * std::abs(height) * bits / 8);
  vih.avgTimePerFrame = 400000;
  MediaType mt(MEDIATYPE_Video, subtype, FORMAT_VideoInfo);
  mt.setFormat(makeVideoInfoBlock(vih));
  mt.setSampleSize(vih.bmi.sizeImage);
  return mt;
}
MediaType rgb24(int w, int h) {
  return videoType(MEDIASUBTYPE_RGB24, w, h, 24);
}
MediaType pointerType() {
  MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt.setFixedSizeSamples(true);
  mt.setSampleSize(71);
  return mt;
}

Bytes pointerRecord(float x, float y, uint8_t valid = 1) {
  pointing::POINTER_INFO info = pointing::initialPointerState();
  info.valid = valid;
  info.changeFlags = pointing::kChangePosition;
  info.positionX = x;
  info.positionY = y;
  auto bytes = pointing::pointerInfoBytes(info);
  return Bytes(bytes.begin(), bytes.end());
}

// One filter under test between push sources (one per input pin) and a
// null renderer.
class Rig {
 public:
  explicit Rig(REFCLSID clsid) {
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph_.putVoid());
    filter = createFilter(clsid);
    sink_ = createFilter(CLSID_NullRenderer);
    if (graph_ && filter && sink_) {
      graph_->AddFilter(filter.get(), u"filter");
      graph_->AddFilter(sink_.get(), u"sink");
      sink.attachTo(sink_.get());
    }
  }
  ~Rig() {
    if (graph_) graph_.as<IMediaControl>()->Stop();
  }
  // Adds a source of this type on input pin `input`; the connection's result.
  HRESULT feed(int input, const MediaType& mt) {
    ComPtr<IBaseFilter> source = addSource(mt);
    if (!source) return E_FAIL;
    if (sources_.size() <= size_t(input)) sources_.resize(input + 1);
    sources_[input] = source;
    return connect(graph_.get(), source.get(), 0, filter.get(), input);
  }
  HRESULT finish() { return connect(graph_.get(), filter.get(), 0, sink_.get(), 0); }
  // Sources of these types on the inputs in order, the renderer, and run.
  HRESULT start(std::initializer_list<MediaType> inputs) {
    int input = 0;
    for (const MediaType& mt : inputs)
      if (HRESULT hr = feed(input++, mt); hr != S_OK) return hr;
    HRESULT hr = finish();
    return hr == S_OK ? run() : hr;
  }
  HRESULT addToGraph(IBaseFilter* other) { return graph_->AddFilter(other, nullptr); }
  // A push source of this type in the graph, not connected.
  ComPtr<IBaseFilter> addSource(const MediaType& mt) {
    ComPtr<IBaseFilter> source = createFilter(CLSID_PushSource);
    if (!source) return {};
    source.as<IPushSource>()->SetMediaType(mt.ptr());
    graph_->AddFilter(source.get(), nullptr);
    return source;
  }
  HRESULT link(IBaseFilter* from, int output, IBaseFilter* to, int input) {
    return connect(graph_.get(), from, output, to, input);
  }
  // Connects output `output` of another filter in the graph to input 0.
  HRESULT connectFrom(IBaseFilter* other, int output) { return connect(graph_.get(), other, output, filter.get(), 0); }
  HRESULT run() { return graph_.as<IMediaControl>()->Run(); }
  HRESULT stop() { return graph_.as<IMediaControl>()->Stop(); }
  HRESULT push(int input, const Bytes& data, const REFERENCE_TIME* start = nullptr) {
    return sources_[input].as<IPushSource>()->Push(data.data(), LONG(data.size()), start);
  }
  // The type the filter's output was connected with.
  bool outputSize(int* w, int* h) {
    ComPtr<IPin> pin = pinOf(filter.get(), PINDIR_OUTPUT, 0);
    return rgb24Size(connectionType(pin.get()), w, h);
  }
  Picture lastPicture(int w, int h) { return Picture::fromRgb24(sink.last().data, w, h); }
  uint64_t count() { return sink.count(); }

  ComPtr<IBaseFilter> filter;
  SampleRecorder sink{1};  // what reached the renderer: the newest sample

 private:
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> sink_;
  std::vector<ComPtr<IBaseFilter>> sources_;
};

class OutsideFilters : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registry_ = new PrivateRegistry;
    // One session for the whole run, never ended: the codec and capture
    // modules stay loaded to the end (the libraries they link keep global
    // state that an unload would lose).
    session_ = new ComSession;
    // The test module first: the real compounder then replaces its stand-in.
    ASSERT_TRUE(registry_->add(OUTSIDE_TEST_MODULE));
    ASSERT_TRUE(registry_->add(OUTSIDE_FILTERS_MODULE));
    ASSERT_TRUE(registry_->add(PLATFORM_FILTERS_MODULE));
    ASSERT_TRUE(registry_->add(PLATFORM_CAPTURE_MODULE));
    // The codecs module loses global state of the libraries it links when it
    // is unloaded (registration loads and unloads it): keep it loaded.
    ASSERT_NE(dlopen(PLATFORM_CODECS_MODULE, RTLD_NOW | RTLD_NODELETE), nullptr);
    ASSERT_TRUE(registry_->add(PLATFORM_CODECS_MODULE));
  }
  static void TearDownTestSuite() {
    delete registry_;
    registry_ = nullptr;
  }
  ComSession com;
  static inline PrivateRegistry* registry_ = nullptr;
  static inline ComSession* session_ = nullptr;
};

// One int code asked of a control interface.
template <class C>
int codeOf(const ComPtr<C>& control, HRESULT (C::*get)(int*)) {
  int code = -1;
  (control.get()->*get)(&code);
  return code;
}

// The w x h window of p at (left, top).
Picture crop(const Picture& p, int left, int top, int w, int h) {
  Picture out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.at(x, y) = p.at(left + x, top + y);
  return out;
}

void expectSame(const Picture& got, const Picture& want, int tolerance = 0) {
  ASSERT_EQ(got.w, want.w);
  ASSERT_EQ(got.h, want.h);
  int bad = 0;
  for (int y = 0; y < want.h && bad < 10; ++y)
    for (int x = 0; x < want.w && bad < 10; ++x) {
      const Rgb &g = got.at(x, y), &w = want.at(x, y);
      if (std::abs(g.r - w.r) > tolerance || std::abs(g.g - w.g) > tolerance || std::abs(g.b - w.b) > tolerance) {
        ++bad;
        ADD_FAILURE() << "pixel " << x << "," << y << ": got " << int(g.r) << "/" << int(g.g) << "/" << int(g.b)
                      << " want " << int(w.r) << "/" << int(w.g) << "/" << int(w.b);
      }
    }
}

}  // namespace

// ---------------------------------------------------------------- format transform

TEST_F(OutsideFilters, FormatTransformKeepsRgbPicturesExactly) {
  Picture p = numbered(6, 3);  // rows of 18 bytes, padded to 20
  for (bool topDown : {false, true}) {
    for (int bits : {24, 32}) {
      SCOPED_TRACE(testing::Message() << "bits " << bits << (topDown ? " top-down" : " bottom-up"));
      Rig rig(CLSID_FormatTransform);
      const GUID& sub = bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32;
      ASSERT_EQ(rig.feed(0, videoType(sub, 6, topDown ? -3 : 3, bits)), S_OK);
      ASSERT_EQ(rig.finish(), S_OK);
      int w = 0, h = 0;
      ASSERT_TRUE(rig.outputSize(&w, &h));
      EXPECT_EQ(std::pair(w, h), std::pair(6, 3));  // always bottom-up
      auto control = rig.filter.as<IFormatTransformControl>();
      EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualInputVideoFormatColor), bits == 24 ? kRGB24 : kRGB32);
      EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualOutputVideoFormat), kThrough);
      EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualInputVideoFormat), kThrough);  // 6x3 is no listed size
      ASSERT_EQ(rig.run(), S_OK);
      ASSERT_EQ(rig.push(0, p.rgb(bits, topDown)), S_OK);
      ASSERT_EQ(rig.count(), 1u);
      expectSame(rig.lastPicture(6, 3), p);
    }
  }
}

TEST_F(OutsideFilters, FormatTransformConvertsRgb555AndYuv) {
  // RGB555: pure colours expand to full 8-bit values.
  {
    Rig rig(CLSID_FormatTransform);
    ASSERT_EQ(rig.start({videoType(MEDIASUBTYPE_RGB555, 4, 1, 16)}), S_OK);
    const uint16_t px[4] = {0x7C00, 0x03E0, 0x001F, 0x0000};  // red, green, blue, black
    Bytes data(8);
    for (int i = 0; i < 4; ++i) {
      data[2 * i] = uint8_t(px[i]);
      data[2 * i + 1] = uint8_t(px[i] >> 8);
    }
    ASSERT_EQ(rig.push(0, data), S_OK);
    Picture want(4, 1);
    want.at(0, 0) = {0, 0, 255};
    want.at(1, 0) = {0, 255, 0};
    want.at(2, 0) = {255, 0, 0};
    expectSame(rig.lastPicture(4, 1), want, 8);
  }
  // YUY2 (top-down): a white row over a black row; studio range.
  {
    Rig rig(CLSID_FormatTransform);
    ASSERT_EQ(rig.start({videoType(MEDIASUBTYPE_YUY2, 4, 2, 16, makeFourcc('Y', 'U', 'Y', '2'))}), S_OK);
    Bytes data = {235, 128, 235, 128, 235, 128, 235, 128, 16, 128, 16, 128, 16, 128, 16, 128};
    ASSERT_EQ(rig.push(0, data), S_OK);
    Picture want(4, 2, {0, 0, 0});
    for (int x = 0; x < 4; ++x) want.at(x, 0) = {255, 255, 255};
    expectSame(rig.lastPicture(4, 2), want, 3);
  }
  // I420 and YV12 carry U and V in opposite order: both must give red.
  for (bool yv12 : {false, true}) {
    SCOPED_TRACE(yv12 ? "YV12" : "I420");
    Rig rig(CLSID_FormatTransform);
    const GUID sub = yv12 ? fourccSubtype(makeFourcc('Y', 'V', '1', '2')) : MEDIASUBTYPE_I420;
    uint32_t cc = yv12 ? makeFourcc('Y', 'V', '1', '2') : makeFourcc('I', '4', '2', '0');
    ASSERT_EQ(rig.start({videoType(sub, 4, 2, 12, cc)}), S_OK);
    Bytes data(8, 81);  // luma of red
    Bytes u(2, 90), v(2, 240);
    const Bytes& first = yv12 ? v : u;
    const Bytes& second = yv12 ? u : v;
    data.insert(data.end(), first.begin(), first.end());
    data.insert(data.end(), second.begin(), second.end());
    ASSERT_EQ(rig.push(0, data), S_OK);
    Picture got = rig.lastPicture(4, 2);
    ASSERT_EQ(got.w, 4);
    for (const Rgb& c : got.px) {
      EXPECT_GT(c.r, 230);
      EXPECT_LT(c.g, 25);
      EXPECT_LT(c.b, 25);
    }
  }
}

TEST_F(OutsideFilters, FormatTransformScalesRgb24ColourByColour) {
  // RGB24 that changes size is scaled one colour plane at a time. Red rises
  // across, green down, blue stays: a 640x480 picture brought to CIF keeps
  // each colour where it was, with the ramps' values at the scaled positions.
  // A picture shorter than its type says is dropped, not read past its end.
  const int sw = 640, sh = 480, dw = 352, dh = 288;
  Picture p(sw, sh);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) p.at(x, y) = {77, uint8_t(y * 255 / (sh - 1)), uint8_t(x * 255 / (sw - 1))};
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Rig rig(CLSID_FormatTransform);
    auto control = rig.filter.as<IFormatTransformControl>();
    control->SetOutputVideoFormat(kCIF);
    ASSERT_EQ(rig.start({videoType(MEDIASUBTYPE_RGB24, sw, topDown ? -sh : sh, 24)}), S_OK);
    EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualOutputVideoFormat), kCIF);
    EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualInputVideoFormat), k640x480);
    LONG ow = 0, oh = 0;
    control->GetActualOutputVideoSize(&ow, &oh);
    EXPECT_EQ(std::pair(ow, oh), std::pair(LONG(dw), LONG(dh)));
    Bytes picture = p.rgb(24, topDown);
    ASSERT_EQ(rig.push(0, picture), S_OK);
    picture.pop_back();
    ASSERT_EQ(rig.push(0, picture), S_OK);
    EXPECT_EQ(rig.count(), 1u);
    Picture got = rig.lastPicture(dw, dh);
    ASSERT_EQ(got.w, dw);
    auto ramp = [](int at, int from, int to) {  // the source value at the centre of output pixel `at`
      double s = std::clamp((at + 0.5) * from / to - 0.5, 0.0, from - 1.0);
      return s * 255 / (from - 1);
    };
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) {
        const Rgb& g = got.at(x, y);
        ASSERT_EQ(g.b, 77) << x << "," << y;
        ASSERT_NEAR(g.r, ramp(x, sw, dw), 2) << x << "," << y;
        ASSERT_NEAR(g.g, ramp(y, sh, dh), 2) << x << "," << y;
      }
  }
}

TEST_F(OutsideFilters, FormatTransformInputRestrictions) {
  // The input limited to a colour format or a size; compressed video is never taken.
  const struct {
    int colour, size;
    MediaType type;
    bool taken;
  } cases[] = {{kRGB24, -1, videoType(MEDIASUBTYPE_YUY2, 4, 2, 16, makeFourcc('Y', 'U', 'Y', '2')), false},
               {-1, kSQCIF, rgb24(4, 2), false},
               {-1, kSQCIF, rgb24(128, 96), true},
               {-1, -1, videoType(MEDIASUBTYPE_MP42, 128, 96, 24, makeFourcc('M', 'P', '4', '2')), false}};
  for (const auto& c : cases) {
    Rig rig(CLSID_FormatTransform);
    auto control = rig.filter.as<IFormatTransformControl>();
    if (c.colour >= 0) control->SetInputVideoFormatColor(c.colour);
    if (c.size >= 0) control->SetInputVideoFormat(c.size);
    EXPECT_EQ(rig.feed(0, c.type) == S_OK, c.taken) << guidToString(c.type.subtype());
    if (c.taken) {
      EXPECT_EQ(codeOf(control, &IFormatTransformControl::GetActualInputVideoFormat), kSQCIF);
    }
  }
  // Names of the codes.
  Rig rig(CLSID_FormatTransform);
  auto control = rig.filter.as<IFormatTransformControl>();
  char name[32];
  ASSERT_EQ(control->GetColorFormatName(kAnyColor, name, sizeof name), S_OK);
  EXPECT_STREQ(name, "Any");
  ASSERT_EQ(control->GetVideoFormatName(kCIF, name, sizeof name), S_OK);
  EXPECT_STREQ(name, "CIF(352x288)");
  EXPECT_NE(control->GetVideoFormatName(9, name, sizeof name), S_OK);
}

// ---------------------------------------------------------------- image extractor

TEST_F(OutsideFilters, ExtractorCutsTheWindowAtThePointer) {
  const int W = 320, H = 240;
  Picture p = numbered(W, H);
  Rig rig(CLSID_ImageExtract);
  auto control = rig.filter.as<IImageExtractControl>();
  control->SetOutputVideoFormat(kSQCIF);
  ASSERT_EQ(rig.start({rgb24(W, H), pointerType()}), S_OK);
  int w = 0, h = 0;
  ASSERT_TRUE(rig.outputSize(&w, &h));
  ASSERT_EQ(std::pair(w, h), std::pair(128, 96));

  auto expectWindow = [&](int left, int top) {
    expectSame(rig.lastPicture(128, 96), crop(p, left, top, 128, 96));
    LONG l = -1, t = -1, ww = 0, hh = 0;
    control->GetWindow(&l, &t, &ww, &hh);
    EXPECT_EQ(std::vector<LONG>({l, t, ww, hh}), std::vector<LONG>({left, top, 128, 96}));
  };

  // No pointer yet: the window is centred.
  ASSERT_EQ(rig.push(0, p.rgb()), S_OK);
  expectWindow(96, 72);
  // The pointer moves the window (centre 80,180 -> 16,132).
  ASSERT_EQ(rig.push(1, pointerRecord(0.25f, 0.75f)), S_OK);
  ASSERT_EQ(rig.push(0, p.rgb()), S_OK);
  expectWindow(16, 132);
  float fx = 0, fy = 0;
  control->GetFocus(&fx, &fy);
  EXPECT_EQ(std::pair(fx, fy), std::pair(0.25f, 0.75f));
  // At the top right corner the window stays inside the picture.
  ASSERT_EQ(rig.push(1, pointerRecord(1.0f, 0.0f)), S_OK);
  ASSERT_EQ(rig.push(0, p.rgb(24, false)), S_OK);
  expectWindow(192, 0);
  // Records that are not valid, carry no number, or are cut short are ignored.
  ASSERT_EQ(rig.push(1, pointerRecord(0.5f, 0.5f, 0)), S_OK);
  ASSERT_EQ(rig.push(1, pointerRecord(std::numeric_limits<float>::quiet_NaN(), 0.5f)), S_OK);
  Bytes cut = pointerRecord(0.5f, 0.5f);
  cut.resize(70);
  ASSERT_EQ(rig.push(1, cut), S_OK);
  ASSERT_EQ(rig.push(0, p.rgb()), S_OK);
  expectWindow(192, 0);
  // Far outside the picture: clamped to the bottom left.
  ASSERT_EQ(rig.push(1, pointerRecord(-3.0f, 7.0f)), S_OK);
  ASSERT_EQ(rig.push(0, p.rgb()), S_OK);
  expectWindow(0, 144);
}

TEST_F(OutsideFilters, ExtractorThroughAndTopDownInput) {
  Picture p = numbered(130, 97);
  Rig rig(CLSID_ImageExtract);
  rig.filter.as<IImageExtractControl>()->SetOutputVideoFormat(kThrough);
  ASSERT_EQ(rig.start({rgb24(130, -97), pointerType()}), S_OK);  // top-down input
  ASSERT_EQ(rig.push(1, pointerRecord(0.9f, 0.1f)), S_OK);
  ASSERT_EQ(rig.push(0, p.rgb(24, true)), S_OK);
  expectSame(rig.lastPicture(130, 97), p);  // the whole picture, whatever the pointer
  // A picture smaller than the window: centred, black around it.
  Rig small(CLSID_ImageExtract);
  small.filter.as<IImageExtractControl>()->SetOutputVideoFormat(kSQCIF);
  Picture q = numbered(100, 90);
  ASSERT_EQ(small.start({rgb24(100, 90)}), S_OK);  // the pointer pin may stay unconnected
  ASSERT_EQ(small.push(0, q.rgb()), S_OK);
  Picture want(128, 96);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 100; ++x) want.at(x + 14, y + 3) = q.at(x, y);
  expectSame(small.lastPicture(128, 96), want);
}

// ---------------------------------------------------------------- image compounder

namespace {

// The base with the cut-out laid over it at (left, top) with these weights.
Picture composed(const Picture& base, const Picture& add, int left, int top, int mask, int blending) {
  Picture out = base;
  std::vector<uint16_t> w = maskWeights(add.w, add.h, mask, blending);
  for (int y = 0; y < add.h; ++y)
    for (int x = 0; x < add.w; ++x) {
      int bx = left + x, by = top + y;
      if (bx < 0 || by < 0 || bx >= base.w || by >= base.h) continue;
      unsigned wt = w[size_t(y) * add.w + x];
      auto mix = [&](uint8_t a, uint8_t b) { return uint8_t((a * wt + b * (256 - wt) + 128) >> 8); };
      Rgb& o = out.at(bx, by);
      const Rgb& a = add.at(x, y);
      o = {mix(a.b, o.b), mix(a.g, o.g), mix(a.r, o.r)};
    }
  return out;
}

}  // namespace

TEST_F(OutsideFilters, CompounderLaysTheCutOutAtThePointer) {
  Picture base(160, 120, {100, 110, 120});
  Picture add = numbered(32, 24);
  Rig rig(CLSID_ImageCompound);
  auto control = rig.filter.as<IImageCompoundControl>();
  ASSERT_EQ(rig.start({rgb24(160, 120), rgb24(32, -24), pointerType()}), S_OK);
  int w = 0, h = 0;
  ASSERT_TRUE(rig.outputSize(&w, &h));
  EXPECT_EQ(std::pair(w, h), std::pair(160, 120));
  LONG bw = 0, bh = 0;
  control->GetAdditionalVideoSize(&bw, &bh);
  EXPECT_EQ(std::pair(bw, bh), std::pair(LONG(32), LONG(24)));

  // Before a cut-out arrives the base passes unchanged.
  ASSERT_EQ(rig.push(0, base.rgb()), S_OK);
  expectSame(rig.lastPicture(160, 120), base);

  // Centred by default (64, 48), then following the pointer.
  ASSERT_EQ(rig.push(1, add.rgb(24, true)), S_OK);
  ASSERT_EQ(rig.push(0, base.rgb()), S_OK);
  expectSame(rig.lastPicture(160, 120), composed(base, add, 64, 48, kMaskRectangle, kBlendSimple));
  ASSERT_EQ(rig.push(2, pointerRecord(0.1f, 0.9f)), S_OK);  // centre 16,108 -> 0,96
  ASSERT_EQ(rig.push(0, base.rgb()), S_OK);
  expectSame(rig.lastPicture(160, 120), composed(base, add, 0, 96, kMaskRectangle, kBlendSimple));
  LONG l = -1, t = -1, pw = 0, ph = 0;
  control->GetPlacement(&l, &t, &pw, &ph);
  EXPECT_EQ(std::vector<LONG>({l, t, pw, ph}), std::vector<LONG>({0, 96, 32, 24}));

  // Every mask with both blendings.
  ASSERT_EQ(rig.push(2, pointerRecord(0.5f, 0.25f)), S_OK);  // 80,30 -> 64,18
  for (int mask : {kMaskRectangle, kMaskEllipse, kMaskCheckers})
    for (int blending : {kBlendSimple, kBlendVaguely}) {
      SCOPED_TRACE(testing::Message() << "mask " << mask << " blending " << blending);
      control->SetMask(mask);
      control->SetBlending(blending);
      ASSERT_EQ(rig.push(0, base.rgb()), S_OK);
      Picture got = rig.lastPicture(160, 120);
      expectSame(got, composed(base, add, 64, 18, mask, blending));
      // Spot checks against hand-worked values.
      if (mask == kMaskRectangle && blending == kBlendVaguely) {
        // Corner pixel of the cut-out: 1/8 of it over 7/8 of the base.
        EXPECT_EQ(got.at(64, 18).g, (add.at(0, 0).g * 32 + 110 * 224 + 128) >> 8);
        EXPECT_EQ(got.at(64 + 16, 18 + 12), add.at(16, 12));
      }
      if (mask == kMaskEllipse) {
        EXPECT_EQ(got.at(64, 18), base.at(64, 18));  // the corner is outside the ellipse
        if (blending == kBlendSimple) {
          EXPECT_EQ(got.at(80, 30), add.at(16, 12));
        }
      }
      if (mask == kMaskCheckers && blending == kBlendSimple) {
        EXPECT_EQ(got.at(64 + 3, 18 + 3), add.at(3, 3));
        EXPECT_EQ(got.at(64 + 11, 18 + 3), base.at(0, 0));
        EXPECT_EQ(got.at(64 + 11, 18 + 11), add.at(11, 11));
      }
    }
}

TEST_F(OutsideFilters, CompounderKeepsToItsFrameRate) {
  Picture base(128, 96, {1, 2, 3});
  Rig rig(CLSID_ImageCompound);
  auto control = rig.filter.as<IImageCompoundControl>();
  ASSERT_EQ(rig.start({rgb24(128, 96), rgb24(16, -16), pointerType()}), S_OK);
  control->SetFrameRate(25);  // one picture in 40 ms
  for (int i = 0; i < 10; ++i) {
    REFERENCE_TIME t = REFERENCE_TIME(i) * 100000;  // every 10 ms
    ASSERT_EQ(rig.push(0, base.rgb(), &t), S_OK);
  }
  ULONG delivered = 0, skipped = 0;
  control->GetFramesDelivered(&delivered);
  control->GetFramesSkipped(&skipped);
  EXPECT_EQ(std::vector<uint64_t>({delivered, skipped, rig.count()}), std::vector<uint64_t>({3, 7, 3}));  // 0, 40, 80 ms
  // At 0 every picture passes.
  control->SetFrameRate(0);
  for (int i = 10; i < 14; ++i) {
    REFERENCE_TIME t = REFERENCE_TIME(i) * 100000;
    ASSERT_EQ(rig.push(0, base.rgb(), &t), S_OK);
  }
  EXPECT_EQ(rig.count(), 7u);
}

TEST_F(OutsideFilters, ExtractorFollowsAPointerMovingOnAnotherThread) {
  // Pointer records arrive on their own thread while pictures stream in:
  // every picture is cut whole at one of the two positions, never torn.
  const int W = 320, H = 240;
  Picture p = numbered(W, H);
  Rig rig(CLSID_ImageExtract);
  rig.filter.as<IImageExtractControl>()->SetOutputVideoFormat(kSQCIF);
  ASSERT_EQ(rig.start({rgb24(W, H), pointerType()}), S_OK);
  std::atomic<bool> done{false};
  std::thread mover([&] {
    Bytes a = pointerRecord(0.0f, 0.0f), b = pointerRecord(1.0f, 1.0f);
    for (int i = 0; !done; ++i) rig.push(1, i % 2 ? a : b);
  });
  Bytes frame = p.rgb();
  int atA = 0, atB = 0;
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(rig.push(0, frame), S_OK);
    Picture got = rig.lastPicture(128, 96);
    ASSERT_EQ(got.w, 128);
    // The window's top left pixel says where it was cut; the rest must agree.
    int left = got.at(0, 0).b + ((got.at(0, 0).r - 0x40) << 8), top = got.at(0, 0).g;
    ASSERT_TRUE((left == 0 && top == 0) || (left == W - 128 && top == H - 96) || (left == 96 && top == 72))
        << left << "," << top;
    (left == 0 ? atA : atB)++;
    for (int y = 0; y < 96; y += 7)
      for (int x = 0; x < 128; x += 5) ASSERT_EQ(got.at(x, y), p.at(left + x, top + y));
  }
  done = true;
  mover.join();
  EXPECT_EQ(atA + atB, 200);
}

TEST_F(OutsideFilters, FormatTransformTakesEveryFormatOfTheTestPatternCamera) {
  // The built-in camera's pictures in each format it offers, scaled to CIF.
  ComPtr<IBaseFilter> probe = createFilter(CLSID_TestPatternCamera);
  ASSERT_TRUE(probe);
  auto capture = probe.as<IVideoCaptureControl>();
  ASSERT_TRUE(capture);
  LONG formats = 0;
  ASSERT_EQ(capture->GetFormatCount(&formats), S_OK);
  ASSERT_GT(formats, 0);
  std::vector<MediaType> types;
  for (LONG i = 0; i < formats; ++i) {
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(capture->GetFormat(i, &mt), S_OK);
    types.emplace_back(mt);
    FreeMediaType(mt);
  }
  probe = nullptr;
  int tried = 0;
  for (const MediaType& type : types) {
    if (type.subtype() != MEDIASUBTYPE_RGB24 && type.subtype() != MEDIASUBTYPE_YUY2 &&
        type.subtype() != MEDIASUBTYPE_I420)
      continue;
    SCOPED_TRACE(guidToString(type.subtype()));
    ++tried;
    Rig rig(CLSID_FormatTransform);
    rig.filter.as<IFormatTransformControl>()->SetOutputVideoFormat(kCIF);
    ComPtr<IBaseFilter> camera = createFilter(CLSID_TestPatternCamera);
    ASSERT_EQ(camera.as<IVideoCaptureControl>()->SetFormat(type.ptr()), S_OK);
    ASSERT_EQ(rig.addToGraph(camera.get()), S_OK);
    ASSERT_EQ(rig.connectFrom(camera.get(), 0), S_OK);
    ASSERT_EQ(rig.finish(), S_OK);
    EXPECT_EQ(codeOf(rig.filter.as<IFormatTransformControl>(), &IFormatTransformControl::GetActualInputVideoFormatColor),
              type.subtype() == MEDIASUBTYPE_RGB24 ? kRGB24 : type.subtype() == MEDIASUBTYPE_YUY2 ? kYUY2 : kI420);
    ASSERT_EQ(rig.run(), S_OK);
    for (int i = 0; i < 200 && rig.count() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_EQ(rig.stop(), S_OK);
    ASSERT_GE(rig.count(), 3u);
    Picture got = rig.lastPicture(352, 288);
    ASSERT_EQ(got.w, 352);
    int lit = 0;
    for (const Rgb& c : got.px) lit += (c.r | c.g | c.b) != 0;
    EXPECT_GT(lit, 352 * 288 / 4);  // a picture, not a black frame
  }
  EXPECT_GT(tried, 0);
}

TEST_F(OutsideFilters, CompounderTakesTheCutOutFromTheMpeg4Decoder) {
  // The receiver's second stream: the cut-out comes through the MPEG-4 V2
  // encoder and decoder into the compounder, which lays it over the base.
  Picture cutOut(176, 144);
  for (int y = 0; y < 144; ++y)
    for (int x = 0; x < 176; ++x) cutOut.at(x, y) = {uint8_t(x), uint8_t(y), 128};
  Picture base(352, 288, {60, 60, 60});
  Rig rig(CLSID_ImageCompound);
  ASSERT_EQ(rig.feed(0, rgb24(352, 288)), S_OK);
  ComPtr<IBaseFilter> source = rig.addSource(rgb24(176, 144));
  ComPtr<IBaseFilter> encoder = createFilter(CLSID_MP42Encoder);
  ComPtr<IBaseFilter> decoder = createFilter(CLSID_MP42Decoder);
  ASSERT_TRUE(source && encoder && decoder);
  ASSERT_EQ(rig.addToGraph(encoder.get()), S_OK);
  ASSERT_EQ(rig.addToGraph(decoder.get()), S_OK);
  ASSERT_EQ(rig.link(source.get(), 0, encoder.get(), 0), S_OK);
  ASSERT_EQ(rig.link(encoder.get(), 0, decoder.get(), 0), S_OK);
  ASSERT_EQ(rig.link(decoder.get(), 0, rig.filter.get(), 1), S_OK);
  ASSERT_EQ(rig.feed(2, pointerType()), S_OK);
  ASSERT_EQ(rig.finish(), S_OK);
  ASSERT_EQ(rig.run(), S_OK);
  ASSERT_EQ(rig.push(2, pointerRecord(0.5f, 0.5f)), S_OK);
  Bytes frame = cutOut.rgb();
  for (int i = 0; i < 12; ++i) {
    REFERENCE_TIME t = REFERENCE_TIME(i) * 400000;
    ASSERT_EQ(source.as<IPushSource>()->Push(frame.data(), LONG(frame.size()), &t), S_OK);
  }
  LONG aw = 0, ah = 0;
  rig.filter.as<IImageCompoundControl>()->GetAdditionalVideoSize(&aw, &ah);
  EXPECT_EQ(std::pair(aw, ah), std::pair(LONG(176), LONG(144)));
  ASSERT_EQ(rig.push(0, base.rgb()), S_OK);
  Picture got = rig.lastPicture(352, 288);
  ASSERT_EQ(got.w, 352);
  // Inside the placed window (88, 72) the decoded cut-out, close to the
  // original; outside it the base, exactly.
  double error = 0;
  for (int y = 0; y < 144; ++y)
    for (int x = 0; x < 176; ++x) {
      const Rgb &g = got.at(88 + x, 72 + y), &w = cutOut.at(x, y);
      error += std::abs(g.r - w.r) + std::abs(g.g - w.g) + std::abs(g.b - w.b);
    }
  EXPECT_LT(error / (176 * 144 * 3), 8.0);
  for (int y = 0; y < 288; y += 3)
    for (int x = 0; x < 352; x += 3) {
      if (x >= 88 && x < 88 + 176 && y >= 72 && y < 72 + 144) continue;
      ASSERT_EQ(got.at(x, y), base.at(x, y)) << x << "," << y;
    }
}
