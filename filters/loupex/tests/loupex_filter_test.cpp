// The zoom filter in real graphs: a queued picture source and a queued
// pointer-record source into the filter, its output into a renderer that
// keeps the frames; pixels are checked against the zoom transform itself
// and against values worked out by hand.
#include <cmath>
#include <limits>

#include "filters/loupex/ILoupexControl.h"
#include "filters/loupex/tests/graph_fixture.h"
#include "filters/loupex/zoom_transform.h"
#include "platform/media/property_page.h"
#include "platform/media/results.h"
#include "platform/media/tests/control_values.h"
#include "platform/media/tests/property_pages.h"
#include "platform/media/tests/settings_bytes.h"

namespace {

class Loupex : public FilterGraphTest {
 protected:
  ComPtr<IBaseFilter> loupex, pictures, pointers, renderer;
  ComPtr<ILoupexControl> control;
  Frames frames;

  // pictures → zoom → renderer, pointers → zoom's pointer input (optional).
  void build(int32_t inW, int32_t inH, int32_t format, bool withPointer = true, LONG pictureBuffer = 0) {
    loupex = add(CLSID_LoupexFilter, u"Loupex");
    ASSERT_TRUE(loupex);
    control = loupex.as<ILoupexControl>();
    ASSERT_TRUE(control);
    ASSERT_EQ(control->setOutputVideoFormat(format), S_OK);
    pictures = addSource(rgbType(inW, inH), u"Pictures", pictureBuffer);
    renderer = addRenderer(frames);
    ASSERT_EQ(connectPins(pictures.get(), u"Out", loupex.get(), u"In"), S_OK);
    ASSERT_EQ(connectPins(loupex.get(), u"Out", renderer.get(), u"In"), S_OK);
    if (withPointer) {
      pointers = addSource(pointerType(), u"Pointers", 256);
      ASSERT_EQ(connectPins(pointers.get(), u"Out", loupex.get(), u"PointerIn"), S_OK);
    }
  }

  std::pair<int32_t, int32_t> maskSize() { return valueOf(control.get(), &ILoupexControl::getMaskSize); }

  // What the zoom transform makes of the picture with these settings.
  static std::vector<uint8_t> expected(const ZoomSettings& s, const std::vector<uint8_t>& in, int32_t inW,
                                       int32_t inH, int32_t outW, int32_t outH) {
    std::vector<uint8_t> out(static_cast<size_t>(outW) * outH * 3, 0xEE);
    ZoomTransform z;
    z.transform(s, RgbConstPicture::packed(in.data(), in.size(), inW, inH),
                RgbPicture::packed(out.data(), out.size(), outW, outH));
    return out;
  }
};

TEST_F(Loupex, LoadsByClassWithThreePinsFoundByTheirShortNames) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_LoupexFilter);
  ASSERT_TRUE(f);
  EXPECT_EQ(pinCount(f.get(), PINDIR_INPUT), 2);
  EXPECT_EQ(pinCount(f.get(), PINDIR_OUTPUT), 1);
  const char16_t* names[] = {u"In", u"Out", u"PointerIn"};
  const char16_t* pinNames[] = {u"XForm In", u"XForm Out", u"PointerIn"};
  for (int i = 0; i < 3; ++i) {
    ComPtr<IPin> p;
    ASSERT_EQ(f->FindPin(names[i], p.put()), S_OK);
    PIN_INFO info{};
    p->QueryPinInfo(&info);
    info.pFilter->Release();
    EXPECT_EQ(std::u16string(info.achName), pinNames[i]);
  }
  ComPtr<IPin> none;
  EXPECT_EQ(f->FindPin(u"XForm In", none.put()), VFW_E_NOT_FOUND);
  EXPECT_FALSE(none);

  // The pointer input takes only pointer records; the video input only RGB24.
  ComPtr<IPin> pin;
  f->FindPin(u"PointerIn", pin.put());
  EXPECT_EQ(pin->QueryAccept(pointerType().ptr()), S_OK);
  EXPECT_EQ(pin->QueryAccept(rgbType(64, 48).ptr()), S_FALSE);
  f->FindPin(u"In", pin.put());
  EXPECT_EQ(pin->QueryAccept(rgbType(64, 48).ptr()), S_OK);
  EXPECT_EQ(pin->QueryAccept(pointerType().ptr()), S_FALSE);
  EXPECT_EQ(pin->QueryAccept(rgbType(64, -48).ptr()), S_FALSE);  // top-down rows are not ours
  // The output offers nothing before the input is connected.
  f->FindPin(u"Out", pin.put());
  ComPtr<IEnumMediaTypes> e;
  ASSERT_EQ(pin->EnumMediaTypes(e.put()), S_OK);
  AM_MEDIA_TYPE* t = nullptr;
  EXPECT_NE(e->Next(1, &t, nullptr), S_OK);
}

TEST_F(Loupex, ControlInterfaceSetters) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_LoupexFilter);
  ILoupexControl* c = f.as<ILoupexControl>().get();
  ASSERT_TRUE(c);
  auto ps = f.as<IPersistStream>();
  EXPECT_EQ(ps->IsDirty(), S_FALSE);
  // A zero (or negative) size changes nothing and marks nothing.
  EXPECT_EQ(c->setMaskSize(0, 50), S_OK);
  EXPECT_EQ(c->setMaskSize(50, -1), S_OK);
  EXPECT_EQ(valueOf(c, &ILoupexControl::getMaskSize), std::pair(128, 96));
  EXPECT_EQ(ps->IsDirty(), S_FALSE);
  c->setMaskSize(200, 100);
  EXPECT_EQ(valueOf(c, &ILoupexControl::getMaskSize), std::pair(200, 100));
  EXPECT_EQ(ps->IsDirty(), S_OK);
  // Out-of-range formats are clamped to the table.
  c->setOutputVideoFormat(99);
  EXPECT_EQ(valueOf(c, &ILoupexControl::getOutputVideoFormat), 7);
  c->setOutputVideoFormat(-3);
  EXPECT_EQ(valueOf(c, &ILoupexControl::getOutputVideoFormat), 0);
  EXPECT_EQ(c->getMask(nullptr), E_POINTER);
}

TEST_F(Loupex, SettingsStreamLayoutAndRoundTrip) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_LoupexFilter);
  auto c = f.as<ILoupexControl>();
  c->setOutputVideoFormat(6);
  c->setMask(1);
  c->setMaskPosition(-5, 300);
  c->setMaskSize(160, 120);
  c->setPointerInputDisabled(1);
  auto ps = f.as<IPersistStream>();
  uint64_t max = 0;
  ps->GetSizeMax(&max);
  EXPECT_EQ(max, 24u + 25);
  const std::vector<uint8_t> bytes = saveSettings(f.get());
  EXPECT_EQ(ps->IsDirty(), S_FALSE);
  std::vector<uint8_t> expect = settingsPrefix();
  expect.insert(expect.end(), {6, 0, 0, 0,   1, 0, 0, 0,   0xFB, 0xFF, 0xFF, 0xFF, 0x2C,
                               1, 0, 0, 160, 0, 0, 0, 120, 0,    0,    0,    1});
  EXPECT_EQ(bytes, expect);

  ComPtr<IBaseFilter> g = createFilter(CLSID_LoupexFilter);
  ASSERT_EQ(loadSettings(g.get(), bytes), S_OK);
  ILoupexControl* d = g.as<ILoupexControl>().get();
  EXPECT_EQ(
      std::tuple(valueOf(d, &ILoupexControl::getOutputVideoFormat), valueOf(d, &ILoupexControl::getMask),
                 valueOf(d, &ILoupexControl::getMaskPosition), valueOf(d, &ILoupexControl::getMaskSize),
                 valueOf(d, &ILoupexControl::getPointerInputDisabled)),
      std::tuple(6, 1, std::pair(-5, 300), std::pair(160, 120), 1));

  // A stream cut inside the fields fails and a stored zero size or an
  // out-of-range format is not taken over as it is.
  EXPECT_TRUE(FAILED(loadSettings(g.get(), std::vector<uint8_t>(bytes.begin(), bytes.end() - 3))));
  std::vector<uint8_t> odd = bytes;
  odd[24] = 42;                     // format 42
  odd[24 + 16] = odd[24 + 17] = 0;  // width 0
  ASSERT_EQ(loadSettings(g.get(), odd), S_OK);
  EXPECT_EQ(valueOf(d, &ILoupexControl::getOutputVideoFormat), 7);
  EXPECT_EQ(valueOf(d, &ILoupexControl::getMaskSize).first, 160);
}

TEST_F(Loupex, SqcifOutputReducesTheDefaultMaskAndCopiesEqualSizes) {
  build(128, 96, 0);
  EXPECT_EQ(maskSize(), std::pair(127, 95));
  // The output type: SQCIF, RGB24, image size, source rectangle.
  ComPtr<IPin> out;
  loupex->FindPin(u"Out", out.put());
  MediaType mt = connectionType(out.get());
  VideoInfoHeader vih;
  ASSERT_TRUE(videoInfoOf(mt.get(), vih));
  EXPECT_EQ(mt.subtype(), MEDIASUBTYPE_RGB24);
  EXPECT_EQ(std::tuple(vih.bmi.width, vih.bmi.height, vih.bmi.sizeImage, mt.sampleSize()),
            std::tuple(128, 96, 128u * 96 * 3, 128u * 96 * 3));
  EXPECT_EQ(vih.source, (Rect32{0, 0, 128, 96}));
  EXPECT_EQ(vih.target, Rect32{});

  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(128, 96);
  send(pointers.get(), recordBytes(0.7f, 0.2f));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(1));
  EXPECT_EQ(frames.at(0), picture);  // equal sizes: a byte copy, no focus window
  // Sample properties come along.
  EXPECT_EQ(frames.mediaStarts[0], 0);
  EXPECT_TRUE(frames.discontinuities[0]);
}

TEST_F(Loupex, ZoomFollowsThePointerAsTheTransformComputesIt) {
  const int32_t inW = 360, inH = 240;
  build(inW, inH, 3);  // 160 x 120
  control->setMaskSize(64, 48);
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(inW, inH, 7);
  ZoomSettings s;
  s.maskWidth = 64;
  s.maskHeight = 48;
  s.pointerConnected = true;

  size_t n = 0;
  for (int32_t type : {0, 1}) {
    control->setMask(type);
    s.maskType = type;
    for (auto [px, py] : {std::pair{0.5f, 0.5f}, {0.1f, 0.8f}, {-5.0f, 7.0f}}) {
      send(pointers.get(), recordBytes(px, py));
      queue(pictures.get(), picture);
      ASSERT_TRUE(frames.waitFor(++n));
      s.pointerX = px;
      s.pointerY = py;
      EXPECT_EQ(frames.at(n - 1), expected(s, picture, inW, inH, 160, 120)) << type << " " << px << "," << py;
    }
  }

  // Records that do not move the window: valid 0, no position flag, NaN,
  // infinity, and a sample shorter than a record.
  s.maskType = 0;
  control->setMask(0);
  send(pointers.get(), recordBytes(0.25f, 0.75f));
  send(pointers.get(), recordBytes(0.9f, 0.9f, 0));
  send(pointers.get(), recordBytes(0.9f, 0.9f, 1, 0x0004));
  send(pointers.get(), recordBytes(std::nanf(""), 0.1f));
  send(pointers.get(), recordBytes(std::numeric_limits<float>::infinity(), 0.1f));
  auto shortRecord = recordBytes(0.9f, 0.1f);
  shortRecord.resize(70);
  send(pointers.get(), shortRecord);
  send(pointers.get(), {});
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(++n));
  s.pointerX = 0.25f;
  s.pointerY = 0.75f;
  EXPECT_EQ(frames.at(n - 1), expected(s, picture, inW, inH, 160, 120));

  // Fixed mode: records are still taken but the fixed position is used.
  control->setPointerInputDisabled(1);
  control->setMaskPosition(10, 20);
  send(pointers.get(), recordBytes(0.8f, 0.8f));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(++n));
  s.fixedMode = true;
  s.fixedX = 10;
  s.fixedY = 20;
  EXPECT_EQ(frames.at(n - 1), expected(s, picture, inW, inH, 160, 120));
  control->setPointerInputDisabled(0);
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(++n));
  s.fixedMode = false;
  s.pointerX = 0.8f;
  s.pointerY = 0.8f;
  EXPECT_EQ(frames.at(n - 1), expected(s, picture, inW, inH, 160, 120));
}

TEST_F(Loupex, FocusWindowAtTheTopLeftAndBlackForAnUnknownMask) {
  const int32_t inW = 320, inH = 240, outW = 160, outH = 120, mw = 40, mh = 30;
  build(inW, inH, 3);
  control->setMaskSize(mw, mh);
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(inW, inH, 3);
  send(pointers.get(), recordBytes(0.0f, 0.0f));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(1));
  auto out = frames.at(0);
  ASSERT_EQ(out.size(), size_t(outW) * outH * 3);
  // The window's top-left is the picture's: output rows from outH - mh
  // up take input rows from inH - mh up, columns 0 to mw - 1, unchanged.
  for (int y = 0; y < mh; ++y)
    for (int x = 0; x < mw * 3; ++x)
      ASSERT_EQ(out[(size_t(outH - mh + y) * outW) * 3 + x], picture[(size_t(inH - mh + y) * inW) * 3 + x])
          << y << " " << x;
  // Pixel (80, 10) lies in the bottom band only: s = 10 / 90, dx = 0,
  // dy = 210 - 90 = 120, Rx = Ry = 2: source column
  // trunc(80 s^2 + 80 (1 - s^2) 2) = 159, row trunc(130 s^2 + 10 (1 - s^2) 2) = 21.
  const size_t at = (size_t(10) * outW + 80) * 3, from = (size_t(21) * inW + 159) * 3;
  for (int c = 0; c < 3; ++c) EXPECT_EQ(out[at + c], picture[from + c]);

  control->setMask(2);
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(2));
  out = frames.at(1);
  ASSERT_EQ(out.size(), size_t(outW) * outH * 3);
  EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0));
}

TEST_F(Loupex, WithoutAPointerInputTheFixedPositionIsUsed) {
  const int32_t inW = 176, inH = 144;
  build(inW, inH, 3, /*withPointer=*/false);
  control->setMaskSize(50, 40);
  control->setMaskPosition(100, 10);
  control->setMask(1);
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(inW, inH, 5);
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(1));
  ZoomSettings s;
  s.maskType = 1;
  s.maskWidth = 50;
  s.maskHeight = 40;
  s.fixedX = 100;
  s.fixedY = 10;
  EXPECT_EQ(frames.at(0), expected(s, picture, inW, inH, 160, 120));
}

TEST_F(Loupex, BadPicturesNeverOverrun) {
  // The source's samples are shorter or longer than the type says; the
  // mask is larger than the input; the input is odd-sized and tiny.
  const int32_t inW = 33, inH = 7;
  build(inW, inH, 2, true, 4096);           // CIF output from a tiny picture
  EXPECT_EQ(maskSize(), std::pair(32, 6));  // reduced to below the input
  control->setMaskSize(5000, 5000);
  EXPECT_EQ(maskSize(), std::pair(32, 6));
  ASSERT_EQ(run(), S_OK);
  const size_t image = ((inW * 3 + 3) & ~3) * inH;
  std::vector<uint8_t> full(image, 0x55), shortPicture(image / 2, 0x55), longPicture(image + 1000, 0x55);
  for (int32_t type : {0, 1}) {
    control->setMask(type);
    send(pointers.get(), recordBytes(0.99f, 0.01f));
    queue(pictures.get(), full);
    queue(pictures.get(), shortPicture);
    queue(pictures.get(), longPicture);
  }
  ASSERT_TRUE(frames.waitFor(6));
  for (size_t i = 0; i < 6; ++i) {
    auto out = frames.at(i);
    ASSERT_EQ(out.size(), size_t(352) * 288 * 3);
    if (i % 3 == 1) {
      EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0)) << i;  // short input: black
    }
  }
}

TEST_F(Loupex, ChangingTheOutputFormatReconnectsTheOutput) {
  build(720, 480, 6);
  ComPtr<IPin> out;
  loupex->FindPin(u"Out", out.put());
  auto sizeOf = [&] {
    VideoInfoHeader vih;
    videoInfoOf(connectionType(out.get()).get(), vih);
    return std::pair{vih.bmi.width, vih.bmi.height};
  };
  EXPECT_EQ(sizeOf(), (std::pair{640, 480}));
  control->setOutputVideoFormat(2);
  EXPECT_EQ(sizeOf(), (std::pair{352, 288}));
  // A new input while the output stays connected: the output is made again
  // from the new input (and the mask fitted to it).
  ComPtr<IPin> in, upstream;
  loupex->FindPin(u"In", in.put());
  ASSERT_EQ(in->ConnectedTo(upstream.put()), S_OK);
  ASSERT_EQ(graph->Disconnect(upstream.get()), S_OK);
  ASSERT_EQ(graph->Disconnect(in.get()), S_OK);
  auto small = addSource(rgbType(100, 80), u"Small pictures");
  ASSERT_EQ(connectPins(small.get(), u"Out", loupex.get(), u"In"), S_OK);
  EXPECT_TRUE(out->ConnectedTo(upstream.put()) == S_OK);
  EXPECT_EQ(sizeOf(), (std::pair{352, 288}));
  EXPECT_EQ(maskSize(), std::pair(99, 79));
  ASSERT_EQ(graph->Disconnect(pinOf(small.get(), PINDIR_OUTPUT, 0).get()), S_OK);
  ASSERT_EQ(graph->Disconnect(in.get()), S_OK);
  ASSERT_EQ(connectPins(pictures.get(), u"Out", loupex.get(), u"In"), S_OK);
  ASSERT_EQ(run(), S_OK);
  queue(pictures.get(), patternPicture(720, 480));
  ASSERT_TRUE(frames.waitFor(1));
  EXPECT_EQ(frames.at(0).size(), size_t(352) * 288 * 3);
}

TEST_F(Loupex, RecordsFramesAndSettingsFromSeveralThreads) {
  // Pointer records and pictures stream on their own threads while the
  // settings change from this one; every frame comes out whole.
  build(360, 240, 4);
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(360, 240, 9);
  const int frameCount = 40;
  for (int i = 0; i < frameCount; ++i) {
    queue(pointers.get(), recordBytes(i / 40.0f, 1.0f - i / 40.0f));
    queue(pictures.get(), picture);
    control->setMask(i % 2);
    control->setMaskSize(40 + i, 30 + i);
    control->setPointerInputDisabled(i % 3 == 0);
  }
  ASSERT_TRUE(frames.waitFor(frameCount));
  for (int i = 0; i < frameCount; ++i) EXPECT_EQ(frames.at(i).size(), size_t(320) * 240 * 3);
}

TEST_F(Loupex, PropertyPageChangesTheFilterAtOnce) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_LoupexFilter);
  auto pages = openPropertyPages(f.get(), {CLSID_LoupexPropertyPage}, {"Non-linear Zoom"});
  ASSERT_EQ(pages.size(), 1u);
  IPropertyPage* page = pages[0].get();
  ILoupexControl* c = f.as<ILoupexControl>().get();
  ASSERT_EQ(page->SetFieldValue(1004, "4"), S_OK);
  EXPECT_EQ(valueOf(c, &ILoupexControl::getOutputVideoFormat), 4);
  page->SetFieldValue(1005, "1");
  EXPECT_EQ(valueOf(c, &ILoupexControl::getMask), 1);
  page->SetFieldValue(1010, "77");
  EXPECT_EQ(valueOf(c, &ILoupexControl::getMaskSize), std::pair(77, 96));
  page->SetFieldValue(1007, "x");  // not a number: 0
  page->SetFieldValue(1006, "12");
  EXPECT_EQ(valueOf(c, &ILoupexControl::getMaskPosition), std::pair(12, 0));
  page->SetFieldValue(1009, "1");
  EXPECT_EQ(valueOf(c, &ILoupexControl::getPointerInputDisabled), 1);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
}

}  // namespace
