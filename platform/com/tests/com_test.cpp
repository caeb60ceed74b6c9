// The component model: identifiers, the registry file, creation of objects
// from a real plug-in module, failures that leave the pointer empty, and
// unloading of the module.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/com/tests/test_plugin.h"
#include "platform/com/wide_text.h"

namespace {

constexpr GUID kVideo = makeGuid("{73646976-0000-0010-8000-00AA00389B71}");

TEST(Guid, TextAndBinaryForms) {
  EXPECT_EQ(guidToString(kVideo), "{73646976-0000-0010-8000-00AA00389B71}");
  GUID g;
  ASSERT_TRUE(guidFromString("{70e102b0-5556-11ce-97c0-00aa0055595a}", g));
  EXPECT_EQ(guidToString(g), "{70E102B0-5556-11CE-97C0-00AA0055595A}");
  uint8_t bytes[16];
  guidToBytes(kVideo, bytes);
  const uint8_t expected[16] = {0x76, 0x69, 0x64, 0x73, 0x00, 0x00, 0x10, 0x00,
                                0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  EXPECT_EQ(0, memcmp(bytes, expected, 16));
  EXPECT_EQ(guidFromBytes(bytes), kVideo);

  GUID untouched = kVideo;
  for (const char* bad : {"", "{73646976-0000-0010-8000-00AA00389B7}", "73646976-0000-0010-8000-00AA00389B71",
                          "{73646976-0000-0010-8000-00AA00389B7G}", "{73646976+0000-0010-8000-00AA00389B71}"})
    EXPECT_FALSE(guidFromString(bad, untouched)) << bad;
  EXPECT_FALSE(guidFromString(nullptr, untouched));
  EXPECT_EQ(untouched, kVideo);
}

TEST(WideText, RoundTrip) {
  std::string s = "VideoServer(Main) 着目点";
  EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(s).c_str()), s);
  char16_t field[4];
  copyUtf16(field, 4, u"abcdef");
  EXPECT_EQ(std::u16string(field), u"abc");
}

class TempRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("comreg-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "registry.txt").string();
    const char* old = std::getenv("POINTSHARE_CLASS_REGISTRY");
    old_ = old ? old : "";
    setenv("POINTSHARE_CLASS_REGISTRY", path_.c_str(), 1);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    if (old_.empty())
      unsetenv("POINTSHARE_CLASS_REGISTRY");
    else
      setenv("POINTSHARE_CLASS_REGISTRY", old_.c_str(), 1);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
  std::string path_, old_;
};

TEST_F(TempRegistry, RecordsRoundTripAndReplace) {
  ClassRegistry reg;
  ClassRecord r{CLSID_ComTestObject, "/x/y.so", "Thing", 0x600000, {}};
  r.pins.push_back({false, {{kVideo, GUID_NULL}}});
  r.pins.push_back({true, {}});
  ASSERT_TRUE(reg.addClass(r));
  r.name = "Thing 2";
  ASSERT_TRUE(reg.addClass(r));
  ASSERT_TRUE(reg.addMember({kVideo, CLSID_ComTestObject, "Camera", 0x200000, "/dev/video0"}));

  ClassRegistry again;
  ASSERT_TRUE(again.load());
  ASSERT_EQ(again.classes().size(), 1u);
  EXPECT_EQ(again.classes()[0].name, "Thing 2");
  EXPECT_EQ(again.classes()[0].merit, 0x600000u);
  ASSERT_EQ(again.classes()[0].pins.size(), 2u);
  EXPECT_TRUE(again.classes()[0].pins[1].output);
  EXPECT_EQ(again.classes()[0].pins[0].types[0].major, kVideo);
  auto members = again.membersOf(kVideo);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].instance, "/dev/video0");
  ASSERT_TRUE(again.removeMembers(kVideo, CLSID_ComTestObject));
  ASSERT_TRUE(again.removeClass(CLSID_ComTestObject));
  ClassRegistry empty;
  ASSERT_TRUE(empty.load());
  EXPECT_TRUE(empty.classes().empty());
  EXPECT_TRUE(empty.members().empty());
}

TEST_F(TempRegistry, MalformedLinesAreSkipped) {
  std::ofstream(path_) << "class\t{bad}\tx\ty\t1\t\n"
                       << "class\t" << guidToString(CLSID_ComTestObject) << "\t/m.so\tName\t10\tin:\n"
                       << "member\tonly-two\n";
  ClassRegistry reg;
  ASSERT_TRUE(reg.load());
  ASSERT_EQ(reg.classes().size(), 1u);
  EXPECT_EQ(reg.classes()[0].merit, 0x10u);
}

TEST_F(TempRegistry, CreateFromPluginQueryAndUnload) {
  ASSERT_EQ(registerServerModule(COM_TEST_PLUGIN), S_OK);
  ComPtr<ITestCounter> counter;
  ASSERT_EQ(CoCreateInstance(CLSID_ComTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                             counter.putVoid()),
            S_OK);
  ASSERT_TRUE(counter);
  EXPECT_TRUE(CoIsModuleLoaded(COM_TEST_PLUGIN));
  counter->Add(5);
  counter->Add(2);
  int32_t v = 0;
  counter->Get(&v);
  EXPECT_EQ(v, 7);

  // Operations sit at their declared slots: 3, 4, 5 after the three of IUnknown.
  using GetFn = HRESULT (*)(ITestCounter*, int32_t*);
  void** vtable = *reinterpret_cast<void***>(counter.get());
  v = 0;
  EXPECT_EQ(reinterpret_cast<GetFn>(vtable[4])(counter.get(), &v), S_OK);
  EXPECT_EQ(v, 7);

  // Same identity through IUnknown; a missing interface leaves the pointer empty.
  ComPtr<IUnknown> unk = counter.as<IUnknown>();
  EXPECT_EQ(static_cast<void*>(unk.get()), static_cast<void*>(counter.get()));
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(counter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  // While an object lives the module stays; after the last release it goes.
  CoFreeUnusedLibraries();
  EXPECT_TRUE(CoIsModuleLoaded(COM_TEST_PLUGIN));
  unk.reset();
  counter.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(CoIsModuleLoaded(COM_TEST_PLUGIN));
  EXPECT_EQ(dlopen(COM_TEST_PLUGIN, RTLD_NOW | RTLD_NOLOAD), nullptr);

  // And it loads again on demand.
  ASSERT_EQ(CoCreateInstance(CLSID_ComTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                             counter.putVoid()),
            S_OK);
  counter.reset();
  ASSERT_EQ(registerServerModule(COM_TEST_PLUGIN, true), S_OK);
  ClassRegistry reg;
  ASSERT_TRUE(reg.load());
  EXPECT_FALSE(reg.findClass(CLSID_ComTestObject));
}

TEST_F(TempRegistry, FailuresLeaveThePointerEmpty) {
  // Every failed creation answers its own code and leaves the pointer empty.
  auto create = [](const CLSID& clsid, const IID& iid) {
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &p);
    EXPECT_EQ(p, nullptr);
    return hr;
  };
  EXPECT_EQ(create(CLSID_ComTestObject, IID_IUnknown), REGDB_E_CLASSNOTREG);  // not registered
  // Registered, but the module does not exist or is not a module.
  ClassRegistry reg;
  ASSERT_TRUE(reg.addClass({CLSID_ComTestObject, (dir_ / "missing.so").string(), "x", 0, {}}));
  EXPECT_EQ(create(CLSID_ComTestObject, IID_IUnknown), CO_E_DLLNOTFOUND);
  std::ofstream((dir_ / "garbage.so").string()) << "not an ELF file";
  ASSERT_TRUE(reg.addClass({CLSID_ComTestObject, (dir_ / "garbage.so").string(), "x", 0, {}}));
  EXPECT_EQ(create(CLSID_ComTestObject, IID_IUnknown), CO_E_DLLNOTFOUND);
  // Registered and loadable, but the object has no such interface, or its
  // creation fails; a module that does not serve the class asked for.
  ASSERT_EQ(registerServerModule(COM_TEST_PLUGIN), S_OK);
  EXPECT_EQ(create(CLSID_ComTestObject, IID_IClassFactory), E_NOINTERFACE);
  EXPECT_EQ(create(CLSID_ComTestFailing, IID_IUnknown), E_OUTOFMEMORY);
  ASSERT_TRUE(reg.addClass({CLSID_ComTestFailing, COM_TEST_PLUGIN, "x", 0, {}}));
  ASSERT_TRUE(reg.addClass({kVideo, COM_TEST_PLUGIN, "x", 0, {}}));
  EXPECT_EQ(create(kVideo, IID_IUnknown), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
  CoFreeUnusedLibraries();
}

TEST(Runtime, InitializationIsCountedAndRequired) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  EXPECT_TRUE(CoIsInitialized());
  CoUninitialize();
  EXPECT_FALSE(CoIsInitialized());
  CoUninitialize();  // unbalanced: ignored
  EXPECT_FALSE(CoIsInitialized());
}

}  // namespace
