// The settings-file editor on file images, the registry store's files, the
// message-box hook and the debugger output.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/win/debug_output.h"
#include "platform/win/message_box.h"
#include "platform/win/private_profile.h"
#include "platform/win/registry_store.h"

namespace pw = platform::win;

namespace {

TEST(PrivateProfile, EditsKeepTheRestOfTheFile) {
  std::string image = "; settings\n[A]\nx=1\n\n[B]\ny=2\n";
  ASSERT_TRUE(pw::editProfileImage(image, "A", "z", "3"));
  EXPECT_EQ(image, "; settings\n[A]\nx=1\nz=3\n\n[B]\ny=2\n");
  ASSERT_TRUE(pw::editProfileImage(image, "b", "Y", "20"));
  EXPECT_EQ(image, "; settings\n[A]\nx=1\nz=3\n\n[B]\nY=20\n");
  ASSERT_TRUE(pw::editProfileImage(image, "C", "k", "v"));
  EXPECT_EQ(image, "; settings\n[A]\nx=1\nz=3\n\n[B]\nY=20\n\n[C]\nk=v\n");
  ASSERT_TRUE(pw::editProfileImage(image, "A", nullptr, nullptr));
  EXPECT_EQ(image, "; settings\n[B]\nY=20\n\n[C]\nk=v\n");  // the section's lines go with it
  ASSERT_TRUE(pw::editProfileImage(image, "B", "Y", nullptr));
  EXPECT_EQ(image, "; settings\n[B]\n\n[C]\nk=v\n");
  EXPECT_FALSE(pw::editProfileImage(image, "", "k", "v"));
  EXPECT_FALSE(pw::editProfileImage(image, " A", "k", "v"));
  EXPECT_FALSE(pw::editProfileImage(image, "A", ";k", "v"));
  EXPECT_FALSE(pw::editProfileImage(image, "A", "k", "v\r"));
  EXPECT_FALSE(pw::editProfileImage(image, " ", "k", "v"));
  ASSERT_TRUE(pw::editProfileImage(image, "B", "k", " v\t"));  // stored as it reads back
  EXPECT_EQ(image, "; settings\n[B]\nk=v\n\n[C]\nk=v\n");
  EXPECT_EQ(pw::findProfileValue("[S]\nk=a=b\n", "S", "k").value_or("?"), "a=b");
  EXPECT_EQ(pw::findProfileValue("[S]\r\nk = v \r\n", "s", "K").value_or("?"), "v");
  // A value ends at a NUL or at a carriage return inside the line, without
  // the blanks before it: what is read can be written back.
  EXPECT_EQ(pw::findProfileValue(std::string("[S]\nk=a \0b\n", 11), "S", "k").value_or("?"), "a");
  EXPECT_EQ(pw::findProfileValue("[S]\nk=ff1\r5::2\n", "S", "k").value_or("?"), "ff1");
  EXPECT_FALSE(pw::findProfileValue("k=v\n", "", "k"));
}

TEST(PrivateProfile, ConcurrentWritersNeverLeaveAHalfFile) {
  std::string dir = std::filesystem::temp_directory_path() / ("pp-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string file = dir + "/c.ini";
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i)
        pw::writeProfileString(file, "S" + std::to_string(t), "k", std::to_string(i).c_str());
    });
  // A reader meanwhile always sees a whole file.
  for (int i = 0; i < 200; ++i) {
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!all.empty()) {
      EXPECT_EQ(all.back(), '\n');
    }
  }
  for (auto& t : threads) t.join();
  std::filesystem::remove_all(dir);
}

TEST(RegistryStore, LayoutAndValues) {
  std::string dir = std::filesystem::temp_directory_path() / ("reg-test-" + std::to_string(::getpid()));
  ::setenv("POINTSHARE_REGISTRY_DIR", dir.c_str(), 1);
  EXPECT_EQ(pw::registryDirectory(), dir);
  auto key = pw::RegistryKey::create(pw::RegistryRoot::CurrentUser, "Software\\A/B\\..\\values");
  ASSERT_TRUE(key);
  // Odd names stay inside the store and cannot clash with its files.
  EXPECT_EQ(key->folder(), dir + "/HKEY_CURRENT_USER/software/a%2Fb/%2E%2E/values");
  pw::RegistryValue v{pw::RegistryType::Binary, std::string("\0\x01\xff\n", 4)};
  EXPECT_TRUE(key->setValue("Bin", v));
  auto back = key->queryValue("bin");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->data, v.data);
  EXPECT_EQ(back->type, pw::RegistryType::Binary);
  EXPECT_TRUE(key->setValue("", pw::RegistryValue{pw::RegistryType::String, ""}));
  EXPECT_TRUE(key->queryValue(""));
  auto parent = pw::RegistryKey::create(pw::RegistryRoot::CurrentUser, "Software");
  EXPECT_TRUE(parent->deleteSubKey("A/B"));
  EXPECT_FALSE(parent->deleteSubKey("A/B"));
  EXPECT_FALSE(key->setValue("x", v));  // its folder is gone
  EXPECT_FALSE(key->createSubKey("y"));
  ::unsetenv("POINTSHARE_REGISTRY_DIR");
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(pw::registryDirectory(), "/xdg/pointshare/registry");
  ::unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(dir);
}

TEST(MessageBox, HookOrStandardError) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(pw::showMessageBox("Title", "No filter found", pw::MessageBoxType::Error), pw::MessageBoxResult::Ok);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[MessageBox] Title : No filter found\n");
  std::string seen;
  pw::setMessageBoxHook([&](const std::string& title, const std::string& text, pw::MessageBoxType type) {
    seen = title + "|" + text + "|" + std::to_string(static_cast<int>(type));
    return pw::MessageBoxResult::Yes;
  });
  EXPECT_EQ(pw::showMessageBox("T", "受信", pw::MessageBoxType::Question), pw::MessageBoxResult::Yes);
  EXPECT_EQ(seen, "T|受信|3");
  pw::setMessageBoxHook(nullptr);
  ::testing::internal::CaptureStderr();
  pw::outputDebugString("line\n");
  pw::outputDebugString(nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "line\n");
}

}  // namespace
