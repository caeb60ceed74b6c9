// Framework pieces on their own: allocators and samples, the clock, slot
// positions, persistence streams and property pages.
#include <gtest/gtest.h>

#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/allocator.h"
#include "platform/media/base_filter.h"
#include "platform/media/clock.h"
#include "platform/media/media.h"  // the umbrella header compiles on its own
#include "platform/media/memory_stream.h"
#include "platform/media/property_page.h"
#include "platform/media/results.h"

namespace {

TEST(Allocator, CountSizeAlignmentAndPrefix) {
  ComPtr<IMemAllocator> a = ComPtr<IMemAllocator>::adopt(MemAllocator::create());
  ALLOCATOR_PROPERTIES req{3, 1000, 64, 16}, got{};
  ASSERT_EQ(a->SetProperties(&req, &got), S_OK);
  EXPECT_EQ(got.cBuffers, 3);
  EXPECT_EQ(got.cbBuffer, 1000);
  EXPECT_EQ(got.cbAlign, 64);
  EXPECT_EQ(got.cbPrefix, 16);
  IMediaSample* s0 = nullptr;
  EXPECT_EQ(a->GetBuffer(&s0, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  ASSERT_EQ(a->Commit(), S_OK);
  IMediaSample* s[3] = {};
  for (auto& p : s) ASSERT_EQ(a->GetBuffer(&p, nullptr, nullptr, 0), S_OK);
  for (auto* p : s) {
    uint8_t* data = nullptr;
    p->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 64, 0u);
    EXPECT_EQ(p->GetSize(), 1000);
    data[-16] = 1;  // the prefix is ours to use
    data[999] = 2;
  }
  EXPECT_EQ(a->GetBuffer(&s0, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  EXPECT_EQ(a->SetProperties(&req, &got), VFW_E_ALREADY_COMMITTED);

  // A waiting GetBuffer is woken by a returned sample, and by Decommit.
  IMediaSample* waited = nullptr;
  std::thread t([&] { EXPECT_EQ(a->GetBuffer(&waited, nullptr, nullptr, 0), S_OK); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  s[0]->Release();
  t.join();
  ASSERT_TRUE(waited);
  IMediaSample* never = nullptr;
  std::thread t2([&] { EXPECT_EQ(a->GetBuffer(&never, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  a->Decommit();
  t2.join();
  EXPECT_EQ(never, nullptr);
  waited->Release();
  s[1]->Release();
  s[2]->Release();

  ALLOCATOR_PROPERTIES bad{1, 10, 3, 0};
  EXPECT_EQ(a->SetProperties(&bad, &got), VFW_E_BADALIGN);
  ALLOCATOR_PROPERTIES huge{100000, 100000, 1, 0};
  EXPECT_EQ(a->SetProperties(&huge, &got), E_OUTOFMEMORY);
  ALLOCATOR_PROPERTIES negative{-1, 10, 1, 0};
  EXPECT_EQ(a->SetProperties(&negative, &got), E_INVALIDARG);
}

TEST(Allocator, SampleProperties) {
  ComPtr<IMemAllocator> a = ComPtr<IMemAllocator>::adopt(MemAllocator::create());
  ALLOCATOR_PROPERTIES req{1, 100, 1, 0}, got{};
  a->SetProperties(&req, &got);
  a->Commit();
  IMediaSample* s = nullptr;
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  REFERENCE_TIME st = 5, sp = 9;
  EXPECT_EQ(s->GetTime(&st, &sp), VFW_E_SAMPLE_TIME_NOT_SET);
  s->SetTime(&st, nullptr);
  REFERENCE_TIME a1 = 0, a2 = 0;
  EXPECT_EQ(s->GetTime(&a1, &a2), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(a1, 5);
  s->SetTime(&st, &sp);
  EXPECT_EQ(s->GetTime(&a1, &a2), S_OK);
  EXPECT_EQ(a2, 9);
  int64_t m1 = 0, m2 = 0;
  EXPECT_EQ(s->GetMediaTime(&m1, &m2), VFW_E_MEDIA_TIME_NOT_SET);
  EXPECT_EQ(s->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s->SetActualDataLength(-1), E_INVALIDARG);
  EXPECT_EQ(s->SetActualDataLength(100), S_OK);
  s->SetSyncPoint(TRUE);
  s->SetDiscontinuity(TRUE);
  s->SetPreroll(TRUE);
  s->Release();
  // A sample back from the allocator starts clean.
  ASSERT_EQ(a->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(s->GetActualDataLength(), 0);
  EXPECT_EQ(s->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(s->IsDiscontinuity(), S_FALSE);
  EXPECT_EQ(s->IsPreroll(), S_FALSE);
  EXPECT_EQ(s->GetTime(&a1, &a2), VFW_E_SAMPLE_TIME_NOT_SET);
  s->Release();
  a->Decommit();
}

TEST(Clock, MonotonicIn100ns) {
  ComPtr<IReferenceClock> c = ComPtr<IReferenceClock>::adopt(new SystemClock);
  c->AddRef();
  REFERENCE_TIME t1 = 0, t2 = 0;
  c->GetTime(&t1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  c->GetTime(&t2);
  EXPECT_GE(t2 - t1, 200000);  // at least 20 ms
  EXPECT_LT(t2 - t1, 20000000);
  c.detach()->Release();
}

TEST(Slots, InterfaceOperationsSitAtTheirPositions) {
  // put_Width is slot 11 of IVideoWindow; GetActualDataLength slot 11 of IMediaSample.
  struct Probe final : IVideoWindow {
    LONG width = 0;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT put_WindowStyle(LONG) override { return 3; }
    HRESULT get_WindowStyle(LONG*) override { return 4; }
    HRESULT put_AutoShow(LONG) override { return 5; }
    HRESULT get_AutoShow(LONG*) override { return 6; }
    HRESULT put_Visible(LONG) override { return 7; }
    HRESULT get_Visible(LONG*) override { return 8; }
    HRESULT put_Left(LONG) override { return 9; }
    HRESULT get_Left(LONG*) override { return 10; }
    HRESULT put_Width(LONG) override { return 11; }
    HRESULT get_Width(LONG*) override { return 12; }
    HRESULT put_Top(LONG) override { return 13; }
    HRESULT get_Top(LONG*) override { return 14; }
    HRESULT put_Height(LONG) override { return 15; }
    HRESULT get_Height(LONG*) override { return 16; }
    HRESULT put_Owner(OAHWND) override { return 17; }
    HRESULT get_Owner(OAHWND*) override { return 18; }
    HRESULT SetWindowPosition(LONG, LONG, LONG, LONG) override { return 19; }
    HRESULT GetWindowPosition(LONG*, LONG*, LONG*, LONG*) override { return 20; }
  } probe;
  void** vtable = *reinterpret_cast<void***>(static_cast<IVideoWindow*>(&probe));
  using Fn = HRESULT (*)(IVideoWindow*, LONG);
  for (int slot : {3, 5, 7, 9, 11, 13, 15}) EXPECT_EQ(reinterpret_cast<Fn>(vtable[slot])(&probe, 0), slot);
}

// A filter with settings, pages and no pins.
constexpr CLSID kSettingsFilter = makeGuid("{0A0B0C0D-0000-4000-8000-000000000001}");
constexpr CLSID kPage1 = makeGuid("{0A0B0C0D-0000-4000-8000-000000000002}");

class SettingsFilter final : public BaseFilter {
 public:
  SettingsFilter() : BaseFilter(kSettingsFilter) {}
  int pinCount() override { return 0; }
  BasePin* pin(int) override { return nullptr; }
  int settingsVersion() const override { return 1; }
  uint64_t settingsSizeMax() const override { return 4 + 4 + 64; }
  HRESULT writeSettings(ByteWriter& out) override {
    out.i32(number);
    out.u32(static_cast<uint32_t>(text.size()));
    out.bytes(text.data(), text.size());
    return S_OK;
  }
  HRESULT readSettings(ByteReader& in, int) override {
    int32_t n = in.i32();
    if (in.failed()) return E_FAIL;
    number = n;  // fields read so far stay applied
    uint32_t len = in.u32();
    if (len > 64) return E_FAIL;
    const uint8_t* p = in.take(len);
    if (!p) return E_FAIL;
    text.assign(reinterpret_cast<const char*>(p), len);
    return S_OK;
  }
  std::vector<CLSID> propertyPages() const override { return pages; }
  int32_t number = 0;
  std::string text;
  std::vector<CLSID> pages;
};

TEST(Persistence, SaveLoadWithVersionPrefix) {
  auto* f = new SettingsFilter;
  ComPtr<IBaseFilter> hold(f);
  f->number = -2;
  f->text = "234.5.6.7";
  f->setDirty(true);
  ComPtr<IPersistStream> ps = hold.as<IPersistStream>();
  ASSERT_TRUE(ps);
  EXPECT_EQ(ps->IsDirty(), S_OK);
  uint64_t max = 0;
  ps->GetSizeMax(&max);
  EXPECT_EQ(max, 24u + 72);
  ComPtr<MemoryStream> stream = ComPtr<MemoryStream>::adopt(MemoryStream::create());
  ASSERT_EQ(ps->Save(stream.get(), TRUE), S_OK);
  EXPECT_EQ(ps->IsDirty(), S_FALSE);
  const std::vector<uint8_t>& bytes = stream->bytes();
  ASSERT_EQ(bytes.size(), 24u + 4 + 4 + 9);
  const char prefix[] = "00000000001 ";
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(bytes[2 * i], prefix[i]);
    EXPECT_EQ(bytes[2 * i + 1], 0);
  }
  EXPECT_EQ(bytes[24], 0xFE);
  EXPECT_EQ(bytes[27], 0xFF);

  auto* g = new SettingsFilter;
  ComPtr<IBaseFilter> hold2(g);
  ComPtr<MemoryStream> in = ComPtr<MemoryStream>::adopt(MemoryStream::create(bytes));
  ASSERT_EQ(hold2.as<IPersistStream>()->Load(in.get()), S_OK);
  EXPECT_EQ(g->number, -2);
  EXPECT_EQ(g->text, "234.5.6.7");

  // Two filters' settings back to back in one stream.
  ComPtr<MemoryStream> both = ComPtr<MemoryStream>::adopt(MemoryStream::create());
  f->number = 11;
  ASSERT_EQ(ps->Save(both.get(), TRUE), S_OK);
  f->number = 22;
  f->text = "second";
  ASSERT_EQ(ps->Save(both.get(), TRUE), S_OK);
  both->Seek(0, 0, nullptr);
  ASSERT_EQ(hold2.as<IPersistStream>()->Load(both.get()), S_OK);
  EXPECT_EQ(g->number, 11);
  ASSERT_EQ(hold2.as<IPersistStream>()->Load(both.get()), S_OK);
  EXPECT_EQ(g->number, 22);
  EXPECT_EQ(g->text, "second");

  // Cut short: the fields before the cut are applied, the load fails.
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 24 + 6);
  g->number = 0;
  in = ComPtr<MemoryStream>::adopt(MemoryStream::create(cut));
  EXPECT_TRUE(FAILED(hold2.as<IPersistStream>()->Load(in.get())));
  EXPECT_EQ(g->number, -2);
  // A later version, a broken prefix, an empty stream.
  std::vector<uint8_t> later = bytes;
  later[20] = '2';
  in = ComPtr<MemoryStream>::adopt(MemoryStream::create(later));
  EXPECT_TRUE(FAILED(hold2.as<IPersistStream>()->Load(in.get())));
  later[22] = 'x';
  in = ComPtr<MemoryStream>::adopt(MemoryStream::create(later));
  EXPECT_TRUE(FAILED(hold2.as<IPersistStream>()->Load(in.get())));
  in = ComPtr<MemoryStream>::adopt(MemoryStream::create());
  EXPECT_EQ(hold2.as<IPersistStream>()->Load(in.get()), STG_E_READFAULT);
}

class SettingsPage final : public PropertyPage {
 public:
  SettingsPage() : PropertyPage("通信設定", 100) {
    addField(1, PageField_Number, "ポート番号");
    addField(2, PageField_Text, "アドレス");
    addField(3, PageField_Monitor, "ソケットオープン");
    addField(4, PageField_Button, "取得");
    addField(5, PageField_Choice, "解像度", "", "SQCIF(128x96)\nQCIF(176x144)");
  }
  HRESULT onConnect(IUnknown* object) override {
    ComPtr<IBaseFilter> f;
    if (FAILED(object->QueryInterface(IID_IBaseFilter, f.putVoid()))) return E_NOINTERFACE;
    filter_ = static_cast<SettingsFilter*>(f.get());
    setValue(1, std::to_string(filter_->number));
    setValue(2, filter_->text);
    return S_OK;
  }
  HRESULT onDisconnect() override {
    filter_ = nullptr;
    return S_OK;
  }
  HRESULT onApply() override {
    filter_->number = std::atoi(value(1).c_str());
    filter_->text = value(2);
    return S_OK;
  }
  HRESULT onFieldChanged(LONG id) override {
    if (id == 4) ++pressed;
    return PropertyPage::onFieldChanged(id);
  }
  HRESULT onRefresh() override {
    setValue(3, "成功");
    return S_OK;
  }
  int pressed = 0;

 private:
  SettingsFilter* filter_ = nullptr;
};

HRESULT recordFrame(OAHWND, LONG x, LONG y, const char*, ULONG objects, IUnknown**, ULONG pages,
                    const CLSID* ids) {
  return x == 30 && y == 30 && objects == 1 && pages == 1 && ids[0] == kPage1 ? S_OK : E_FAIL;
}

TEST(PropertyPages, FieldsConnectEditApply) {
  auto* f = new SettingsFilter;
  ComPtr<IBaseFilter> filter(f);
  EXPECT_FALSE(filter.as<ISpecifyPropertyPages>());  // no pages listed
  f->pages = {kPage1};
  ComPtr<ISpecifyPropertyPages> spp = filter.as<ISpecifyPropertyPages>();
  ASSERT_TRUE(spp);
  CAUUID pages{};
  ASSERT_EQ(spp->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_EQ(pages.pElems[0], kPage1);

  f->number = 8190;
  f->text = "234.5.6.7";
  auto* page = new SettingsPage;
  ComPtr<IPropertyPage> p(page);
  EXPECT_EQ(p->Apply(), E_UNEXPECTED);  // not connected
  IUnknown* objects[1] = {filter.get()};
  ASSERT_EQ(p->SetObjects(1, objects), S_OK);
  PROPPAGEINFO info{};
  p->GetPageInfo(&info);
  EXPECT_STREQ(info.title, "通信設定");
  EXPECT_EQ(info.refreshMs, 100u);
  ULONG count = 0;
  p->GetFieldCount(&count);
  ASSERT_EQ(count, 5u);
  PROPPAGEFIELD field{};
  ASSERT_EQ(p->GetField(0, &field), S_OK);
  EXPECT_STREQ(field.value, "8190");
  EXPECT_STREQ(field.label, "ポート番号");
  EXPECT_EQ(p->GetField(5, &field), E_INVALIDARG);
  EXPECT_EQ(p->IsPageDirty(), S_FALSE);

  EXPECT_EQ(p->SetFieldValue(3, "x"), E_ACCESSDENIED);  // a monitor is read-only
  EXPECT_EQ(p->SetFieldValue(99, "x"), E_INVALIDARG);
  EXPECT_EQ(p->SetFieldValue(4, ""), S_OK);
  EXPECT_EQ(page->pressed, 1);
  EXPECT_EQ(p->IsPageDirty(), S_FALSE);  // a button changes nothing by itself
  ASSERT_EQ(p->SetFieldValue(1, "8200"), S_OK);
  EXPECT_EQ(p->IsPageDirty(), S_OK);
  EXPECT_EQ(f->number, 8190);  // not before Apply
  ASSERT_EQ(p->Apply(), S_OK);
  EXPECT_EQ(f->number, 8200);
  EXPECT_EQ(p->IsPageDirty(), S_FALSE);
  p->Refresh();
  p->GetField(2, &field);
  EXPECT_STREQ(field.value, "成功");
  p->GetField(4, &field);
  EXPECT_STREQ(field.value, "0");
  EXPECT_EQ(p->SetObjects(0, nullptr), S_OK);

  EXPECT_EQ(OleCreatePropertyFrame(0, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems), E_NOTIMPL);
  setPropertyFrameHandler(recordFrame);
  EXPECT_EQ(OleCreatePropertyFrame(0, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems), S_OK);
  setPropertyFrameHandler(nullptr);
  CoTaskMemFree(pages.pElems);
}

}  // namespace
