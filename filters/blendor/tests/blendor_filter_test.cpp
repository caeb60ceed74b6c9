// The pointer mixer in real graphs: a queued picture source and queued
// pointer-record sources into the filter, its output into a renderer that
// keeps the frames; pixels are checked against the pointer drawer itself,
// and pointer inputs come and go as connections change.
#include <cmath>
#include <limits>

#include "filters/blendor/IBlendorControl.h"
#include "filters/blendor/koPointerDraw.h"
#include "filters/loupex/tests/graph_fixture.h"
#include "platform/media/property_page.h"
#include "platform/media/results.h"
#include "platform/media/tests/property_pages.h"
#include "platform/media/tests/settings_bytes.h"

namespace {

std::u16string pinName(IPin* p) {
  PIN_INFO info{};
  p->QueryPinInfo(&info);
  if (info.pFilter) info.pFilter->Release();
  return info.achName;
}

std::vector<std::u16string> pinNames(IBaseFilter* f) {
  std::vector<std::u16string> names;
  ComPtr<IEnumPins> e;
  f->EnumPins(e.put());
  ComPtr<IPin> p;
  while (e->Next(1, p.put(), nullptr) == S_OK) names.push_back(pinName(p.get()));
  return names;
}

class Blendor : public FilterGraphTest {
 protected:
  ComPtr<IBaseFilter> blendor, pictures, renderer;
  ComPtr<IBlendorControl> control;
  std::vector<ComPtr<IBaseFilter>> pointers;
  Frames frames;

  int32_t inputs() {
    int32_t n = -1;
    control->getNumPointerInput(&n);
    return n;
  }
  int32_t colourOf(uint32_t input) {
    int32_t c = -1;
    control->getPointerColor(input, &c);
    return c;
  }
  void build(int32_t w, int32_t h, int pointerCount, LONG pictureBuffer = 0) {
    blendor = add(CLSID_BlendorFilter, u"Blendor");
    ASSERT_TRUE(blendor);
    control = blendor.as<IBlendorControl>();
    ASSERT_TRUE(control);
    pictures = addSource(rgbType(w, h), u"Pictures", pictureBuffer);
    renderer = addRenderer(frames);
    ASSERT_EQ(connectPins(pictures.get(), u"Out", blendor.get(), u"In"), S_OK);
    ASSERT_EQ(connectPins(blendor.get(), u"Out", renderer.get(), u"In"), S_OK);
    for (int i = 0; i < pointerCount; ++i) {
      std::u16string name = u"Pointer " + std::u16string(1, char16_t(u'1' + i));
      pointers.push_back(addSource(pointerType(), name.c_str(), 128));
      ASSERT_EQ(connectPins(pointers.back().get(), u"Out", blendor.get(), u"PointerInfo"), S_OK);
    }
  }
};

// What the drawer makes of a picture: each record drawn in list order.
struct Pointer {
  float x, y;
  int32_t shape, colour;
};
std::vector<uint8_t> expectedPicture(std::vector<uint8_t> picture, int32_t w, int32_t h,
                                     const std::vector<Pointer>& ps, float wx = 0, float wy = 0, float ww = 1,
                                     float wh = 1) {
  const size_t row = size_t(w) * 3, stride = (row + 3) & ~size_t(3);
  std::vector<uint8_t> packed(row * h);
  for (int y = 0; y < h; ++y) std::memcpy(&packed[y * row], &picture[y * stride], row);
  koPointerDraw d;
  d.setBitmapSize(w, h);
  d.setWindowPosition(wx, wy);
  d.setWindowSize(ww, wh);
  for (const Pointer& p : ps) {
    d.setPosition(p.x, p.y);
    d.setShape(p.shape);
    d.setColor(p.colour);
    d.draw(packed.data(), packed.size());
  }
  for (int y = 0; y < h; ++y) std::memcpy(&picture[y * stride], &packed[y * row], row);
  return picture;
}

TEST_F(Blendor, LoadsByClassAndFindsItsPins) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_BlendorFilter);
  ASSERT_TRUE(f);
  EXPECT_EQ(pinNames(f.get()), (std::vector<std::u16string>{u"XForm In", u"XForm Out", u"Input1"}));
  // Short names find the pins; each input takes only its own kind of sample.
  const struct {
    const char16_t* name;
    const char16_t* pin;
    MediaType accepted, refused;
  } pins[] = {{u"In", u"XForm In", rgbType(8, 8), pointerType()},
              {u"Out", u"XForm Out", {}, {}},
              {u"PointerInfo", u"Input1", pointerType(), rgbType(8, 8)}};
  for (const auto& p : pins) {
    ComPtr<IPin> pin;
    ASSERT_EQ(f->FindPin(p.name, pin.put()), S_OK);
    EXPECT_EQ(pinName(pin.get()), p.pin);
    if (p.accepted.majortype() == GUID_NULL) continue;
    EXPECT_EQ(pin->QueryAccept(p.accepted.ptr()), S_OK);
    EXPECT_EQ(pin->QueryAccept(p.refused.ptr()), S_FALSE);
  }
  ComPtr<IPin> p;
  EXPECT_EQ(f->FindPin(u"Input1", p.put()), VFW_E_NOT_FOUND);
  int32_t n = -1;
  f.as<IBlendorControl>()->getNumPointerInput(&n);
  EXPECT_EQ(n, 0);
}

TEST_F(Blendor, PointerInputsAppearAndDisappearWithConnections) {
  build(16, 16, 0);
  auto p1 = addSource(pointerType(), u"P1", 128), p2 = addSource(pointerType(), u"P2", 128),
       p3 = addSource(pointerType(), u"P3", 128);
  ASSERT_EQ(connectPins(p1.get(), u"Out", blendor.get(), u"PointerInfo"), S_OK);
  EXPECT_EQ(pinNames(blendor.get()),
            (std::vector<std::u16string>{u"XForm In", u"XForm Out", u"Input1", u"Input2"}));
  EXPECT_EQ(inputs(), 1);
  ASSERT_EQ(connectPins(p2.get(), u"Out", blendor.get(), u"PointerInfo"), S_OK);
  ASSERT_EQ(connectPins(p3.get(), u"Out", blendor.get(), u"PointerInfo"), S_OK);
  EXPECT_EQ(pinNames(blendor.get()), (std::vector<std::u16string>{u"XForm In", u"XForm Out", u"Input1",
                                                                  u"Input2", u"Input3", u"Input4"}));
  EXPECT_EQ(inputs(), 3);
  // New inputs are white; colours sit at their input's place.
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(colourOf(i), 7);
  control->setPointerColor(0, 1);
  control->setPointerColor(1, 2);
  control->setPointerColor(2, 4);
  EXPECT_EQ(colourOf(4), 0);  // the list's length: 0, and setting there does nothing
  control->setPointerColor(4, 3);
  EXPECT_EQ(colourOf(4), 0);

  // Disconnecting the second input removes it with its colour.
  ComPtr<IPin> in2;
  {
    ComPtr<IPin> out2 = pinOf(p2.get(), PINDIR_OUTPUT, 0);
    ASSERT_EQ(out2->ConnectedTo(in2.put()), S_OK);
    ASSERT_EQ(graph->Disconnect(out2.get()), S_OK);
    ASSERT_EQ(graph->Disconnect(in2.get()), S_OK);
  }
  EXPECT_EQ(pinNames(blendor.get()),
            (std::vector<std::u16string>{u"XForm In", u"XForm Out", u"Input1", u"Input3", u"Input4"}));
  EXPECT_EQ(pinName(in2.get()), u"Input2");  // still usable by its holder
  in2.reset();
  EXPECT_EQ(inputs(), 2);
  EXPECT_EQ(colourOf(1), 4);
  ComPtr<IPin> newest;
  ASSERT_EQ(blendor->FindPin(u"PointerInfo", newest.put()), S_OK);
  EXPECT_EQ(pinName(newest.get()), u"Input4");
  // Connecting again makes "Input5".
  ASSERT_EQ(connectPins(p2.get(), u"Out", blendor.get(), u"PointerInfo"), S_OK);
  EXPECT_EQ(pinNames(blendor.get()).back(), u"Input5");
  // The graph runs with the new set of inputs.
  ASSERT_EQ(run(), S_OK);
  queue(pictures.get(), std::vector<uint8_t>(16 * 16 * 3, 9));
  ASSERT_TRUE(frames.waitFor(1));
}

TEST_F(Blendor, ThreePointersDrawnExactlyAtThePictureEdges) {
  const int32_t w = 64, h = 48;
  build(w, h, 3);
  control->setPointerColor(0, 4);  // red
  control->setPointerColor(1, 0);  // black
  control->setPointerColor(2, 3);  // sky blue
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(w, h, 11);

  // No records yet: a plain copy.
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(1));
  EXPECT_EQ(frames.at(0), picture);

  // An arrow partly off the right edge, a star on the top-left corner, a
  // crosshair partly below the bottom; later inputs over earlier ones.
  std::vector<Pointer> ps = {{0.95f, 0.5f, 0, 4}, {0.0f, 0.0f, 5, 0}, {0.02f, 0.99f, 4, 3}};
  for (size_t i = 0; i < 3; ++i)
    send(pointers[i].get(), recordBytes(ps[i].x, ps[i].y, 1, 0x0080, ps[i].shape));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(2));
  auto out = frames.at(1);
  EXPECT_EQ(out, expectedPicture(picture, w, h, ps));
  EXPECT_NE(out, picture);
  // Records that do not draw: valid 0, a NaN position, and a short sample
  // (dropped: the record before it stays).
  send(pointers[0].get(), recordBytes(0.5f, 0.5f, 0));
  send(pointers[1].get(), recordBytes(std::nanf(""), 0.5f, 1, 0x80, 2));
  auto shortRecord = recordBytes(0.5f, 0.5f, 1, 0x80, 1);
  shortRecord.resize(40);
  send(pointers[2].get(), shortRecord);
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(3));
  EXPECT_EQ(frames.at(2), expectedPicture(picture, w, h, {ps[2]}));

  // Shape and colour indexes out of range and huge positions never write
  // outside the picture (the renderer would see a wrong length or ASan a
  // write past the buffer).
  send(pointers[0].get(), recordBytes(1e30f, -1e30f, 1, 0x80, 99));
  send(pointers[1].get(), recordBytes(0.5f, 0.5f, 1, 0x80, -1));
  send(pointers[2].get(), recordBytes(std::numeric_limits<float>::infinity(), 0.1f, 1, 0x80, 3));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(4));
  // An unknown shape keeps the drawer's last one (the crosshair of the
  // frame before); the infinite position draws nothing.
  EXPECT_EQ(frames.at(3), expectedPicture(picture, w, h, {{1e30f, -1e30f, 4, 4}, {0.5f, 0.5f, 4, 0}}));
}

TEST_F(Blendor, RecordsFramesAndSettingsFromSeveralThreads) {
  build(64, 48, 2);
  ASSERT_EQ(run(), S_OK);
  auto picture = patternPicture(64, 48, 4);
  const int frameCount = 60;
  for (int i = 0; i < frameCount; ++i) {
    queue(pointers[0].get(), recordBytes(i / 60.0f, 0.5f, 1, 0x80, i % 6));
    queue(pointers[1].get(), recordBytes(0.5f, i / 60.0f, 1, 0x80, 5 - i % 6));
    queue(pictures.get(), picture);
    control->setPointerColor(i % 2, i % 8);
    control->setWindowPosition(i / 600.0f, 0.0f);
  }
  ASSERT_TRUE(frames.waitFor(frameCount));
  for (int i = 0; i < frameCount; ++i) EXPECT_EQ(frames.at(i).size(), size_t(64) * 48 * 3);
}

TEST_F(Blendor, WindowPlacementAndPaddedRows) {
  // 33 pixels: rows of 99 bytes padded to 100.
  const int32_t w = 33, h = 21;
  build(w, h, 1, 4096);
  control->setWindowPosition(0.25f, 0.25f);
  control->setWindowSize(0.5f, 0.5f);
  ASSERT_EQ(run(), S_OK);
  const size_t image = size_t(100) * h;
  std::vector<uint8_t> picture(image);
  for (size_t i = 0; i < image; ++i) picture[i] = uint8_t(i * 7);
  send(pointers[0].get(), recordBytes(0.5f, 0.5f, 1, 0x80, 2));
  queue(pictures.get(), picture);
  ASSERT_TRUE(frames.waitFor(1));
  EXPECT_EQ(frames.at(0), expectedPicture(picture, w, h, {{0.5f, 0.5f, 2, 7}}, 0.25f, 0.25f, 0.5f, 0.5f));
  // Too short and too long pictures: copied as far as they go, the rest black.
  queue(pictures.get(), std::vector<uint8_t>(image / 3, 0x40));
  queue(pictures.get(), std::vector<uint8_t>(image + 500, 0x40));
  ASSERT_TRUE(frames.waitFor(3));
  auto shortOut = frames.at(1);
  ASSERT_EQ(shortOut.size(), image);
  EXPECT_EQ(shortOut[0], 0x40);
  EXPECT_EQ(shortOut[image - 1], 0);
  EXPECT_EQ(frames.at(2).size(), image);
}

TEST_F(Blendor, SettingsStreamAndPage) {
  ComPtr<IBaseFilter> f = createFilter(CLSID_BlendorFilter);
  auto c = f.as<IBlendorControl>();
  float x = -1, y = -1;
  c->setWindowPosition(0.5f, 0.25f);
  c->setWindowSize(2.0f, 1.0f);
  c->setMappingPosition(0.0f, -1.0f);
  c->setPointerColor(0, 6);
  uint64_t max = 0;
  f.as<IPersistStream>()->GetSizeMax(&max);
  EXPECT_EQ(max, 24u + 36 + 4);
  const std::vector<uint8_t> bytes = saveSettings(f.get());
  const std::vector<uint8_t> expect = {0,    0,    0, 0x3F, 0, 0, 0x80, 0x3E, 0,    0, 0, 0x40, 0,    0, 0x80,
                                       0x3F, 0,    0, 0,    0, 0, 0,    0x80, 0xBF, 0, 0, 0x80, 0x3F, 0, 0,
                                       0x80, 0x3F, 1, 0,    0, 0, 6,    0,    0,    0};
  ASSERT_EQ(bytes.size(), 24u + expect.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 24, bytes.end()), expect);

  // Three colours stored: the filter keeps them for inputs yet to come.
  std::vector<uint8_t> three(bytes.begin(), bytes.begin() + 24 + 32);
  for (int32_t v : {3, 5, 2, 1})
    for (int k = 0; k < 4; ++k) three.push_back(uint8_t(v >> (8 * k)));
  ComPtr<IBaseFilter> g = createFilter(CLSID_BlendorFilter);
  auto gc = g.as<IBlendorControl>();
  ASSERT_EQ(loadSettings(g.get(), three), S_OK);
  int32_t colour = 0;
  gc->getPointerColor(2, &colour);
  EXPECT_EQ(colour, 1);
  gc->getWindowPosition(&x, &y);
  EXPECT_EQ(x, 0.5f);
  // A negative or huge count, or fewer colours than counted, fail.
  for (int32_t bad : {-1, 5000, 9}) {
    std::vector<uint8_t> b(three.begin(), three.begin() + 24 + 32);
    for (int k = 0; k < 4; ++k) b.push_back(uint8_t(bad >> (8 * k)));
    b.insert(b.end(), 12, 0);
    EXPECT_TRUE(FAILED(loadSettings(g.get(), b))) << bad;
  }

  // The page: no connected input, so the colour boxes are disabled.
  auto pages = openPropertyPages(f.get(), {CLSID_BlendorPropertyPage}, {"Blendorフィルタ"});
  ASSERT_EQ(pages.size(), 1u);
  IPropertyPage* page = pages[0].get();
  EXPECT_STREQ(findPageField(page, 1001).value, "0.500");
  EXPECT_STREQ(findPageField(page, 1012).value, "0.250");
  EXPECT_STREQ(findPageField(page, 1002).value, "2.000");
  for (LONG id : {1003, 1024, 1027}) EXPECT_FALSE(findPageField(page, id).enabled) << id;
  ASSERT_EQ(page->SetFieldValue(1013, "0.75"), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ASSERT_EQ(page->Apply(), S_OK);
  c->getWindowSize(&x, &y);
  EXPECT_EQ(x, 2.0f);
  EXPECT_EQ(y, 0.75f);
  page->SetObjects(0, nullptr);
}

TEST_F(Blendor, PageEditsTheColourOfEachConnectedInput) {
  build(16, 16, 2);
  auto pages = openPropertyPages(blendor.get(), {CLSID_BlendorPropertyPage}, {"Blendorフィルタ"});
  ASSERT_EQ(pages.size(), 1u);
  IPropertyPage* page = pages[0].get();
  EXPECT_STREQ(findPageField(page, 1024).choices, "入力:0\n入力:1");
  page->SetFieldValue(1024, "1");
  page->SetFieldValue(1027, "2");
  EXPECT_EQ(colourOf(1), 7);  // not before Apply
  ASSERT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(colourOf(1), 2);
  EXPECT_EQ(colourOf(0), 7);
  page->SetObjects(0, nullptr);
}

}  // namespace
