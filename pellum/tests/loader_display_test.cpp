// mxDLLLoader over real modules built for this test, and the nearest-mode
// choice of mxDisplaySetting on hand-made mode lists.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "pellum/mxDLLLoader.h"
#include "pellum/mxDisplaySetting.h"
#include "pellum/tests/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// A folder with copies of the test modules and a file that is no library.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"pellum_test_plugin_alpha.so", "pellum_test_plugin_beta.so", "pellum_test_plugin_plain.so"})
      fs::copy_file(fs::path(PELLUM_TEST_PLUGIN_DIR) / name, fs::path(dir_.path()) / name);
    std::ofstream(dir_.file("broken.so")) << "not a library";
    std::ofstream(dir_.file("other.txt")) << "ignored";
    paths_.append(dir_.path().c_str());
  }
  TempDir dir_;
  mxArray<mxString> paths_;
};

const char* pluginName(mxLibraryHandle library) {
  auto fn = reinterpret_cast<const char* (*)()>(::dlsym(library, "pellum_test_plugin_name"));
  return fn ? fn() : nullptr;
}

TEST_F(LoaderTest, LoadsEachLibraryOnce) {
  mxDLLLoader loader("so", paths_);
  EXPECT_STREQ(loader.getExtension().c_str(), "so");
  EXPECT_EQ(loader.getPaths().getSize(), 1u);
  loader.search();
  ASSERT_EQ(loader.getNumDLLs(), 3u);  // broken.so is skipped silently
  EXPECT_STREQ(pluginName(loader.getInstance(0)), "alpha");  // listed by name
  EXPECT_STREQ(pluginName(loader.getInstance(1)), "beta");
  EXPECT_EQ(pluginName(loader.getInstance(2)), nullptr);
  EXPECT_EQ(loader.getInstance(3), nullptr);
  EXPECT_STREQ(loader.getFilename(1).c_str(), dir_.file("pellum_test_plugin_beta.so").c_str());

  loader.search();  // nothing new
  EXPECT_EQ(loader.getNumDLLs(), 3u);

  // A new file: only it is loaded by the next search.
  fs::copy_file(dir_.file("pellum_test_plugin_alpha.so"), dir_.file("zeta.so"));
  loader.search();
  ASSERT_EQ(loader.getNumDLLs(), 4u);
  EXPECT_STREQ(loader.getFilename(3).c_str(), dir_.file("zeta.so").c_str());
  EXPECT_STREQ(pluginName(loader.getInstance(3)), "alpha");

  loader.freeAll();
  EXPECT_EQ(loader.getNumDLLs(), 0u);
  loader.search();  // after freeAll everything is new again
  EXPECT_EQ(loader.getNumDLLs(), 4u);
}

// Takes the modules that name themselves, or none at all.
class PickyLoader : public mxDLLLoader {
 public:
  using mxDLLLoader::mxDLLLoader;
  int checked = 0;
  bool rejectAll = false;

 protected:
  bool check(mxLibraryHandle library) override {
    ++checked;
    return !rejectAll && ::dlsym(library, "pellum_test_plugin_name") != nullptr;
  }
};

TEST_F(LoaderTest, DerivedLoadersChoose) {
  PickyLoader picky("so", paths_);
  picky.search();
  EXPECT_EQ(picky.checked, 3);
  EXPECT_EQ(picky.getNumDLLs(), 2u);
  picky.search();  // the rejected one is tried again: it was never entered
  EXPECT_EQ(picky.checked, 4);
  EXPECT_EQ(picky.getNumDLLs(), 2u);

  PickyLoader none("so", paths_);
  none.rejectAll = true;
  none.search();
  EXPECT_EQ(none.getNumDLLs(), 0u);

  mxDLLLoader other("txt", paths_);
  other.search();
  EXPECT_EQ(other.getNumDLLs(), 0u);
}

TEST(mxDLLLoaderDefaults, ExtensionAndProgramDirectory) {
  mxDLLLoader loader;
  EXPECT_STREQ(loader.getExtension().c_str(), "so");
  ASSERT_EQ(loader.getPaths().getSize(), 1u);
  EXPECT_STREQ(loader.getPaths()[0].c_str(),
               fs::read_symlink("/proc/self/exe").parent_path().c_str());
  mxDLLLoader dll(mxString("dll"));
  EXPECT_STREQ(dll.getExtension().c_str(), "dll");
  dll.search();  // no such files next to the test program
  EXPECT_EQ(dll.getNumDLLs(), 0u);
}

using Mode = mxDisplaySetting::mxMode;

mxArray<Mode> modes(std::initializer_list<Mode> list) {
  mxArray<Mode> a;
  for (const Mode& m : list) a.append(m);
  return a;
}

TEST(mxDisplaySettingNearest, Selection) {
  EXPECT_EQ(mxDisplaySetting::findNearest(mxArray<Mode>(), Mode{640, 480, 24, 60}), -1);
  // An exact match wins even when an earlier mode is as near by the sum.
  auto list = modes({{800, 600, 24, 60}, {640, 480, 24, 60}, {800, 600, 24, 75}});
  EXPECT_EQ(mxDisplaySetting::findNearest(list, Mode{800, 600, 24, 75}), 2);
  EXPECT_EQ(mxDisplaySetting::findNearest(list, Mode{640, 480, 24, 60}), 1);
  // Equal distances: the earlier mode in the list.
  auto tie = modes({{1024, 768, 24, 70}, {1024, 768, 24, 50}, {1280, 1024, 24, 60}});
  EXPECT_EQ(mxDisplaySetting::findNearest(tie, Mode{1024, 768, 24, 60}), 0);
  // Distance is the sum of all four differences.
  auto mixed = modes({{1280, 1024, 24, 60}, {1024, 768, 16, 60}, {1024, 768, 24, 85}});
  EXPECT_EQ(mxDisplaySetting::findNearest(mixed, Mode{1024, 768, 24, 60}), 1);  // 512, 8, 25
  EXPECT_EQ(mxDisplaySetting::findNearest(mixed, Mode{1024, 768, 32, 80}), 2);  // 548, 36, 13
  // Far-off requests do not overflow.
  EXPECT_EQ(mxDisplaySetting::findNearest(mixed, Mode{2147483647, 2147483647, -2147483647 - 1, 0}), 0);
}

}  // namespace
