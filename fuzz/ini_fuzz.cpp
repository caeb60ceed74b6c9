// Fuzzes the settings-file reader and editor: any bytes as a file image,
// looked up and edited with names taken from the input itself. An edit must
// either be refused or leave an image in which the written value reads back
// (and a leading byte-order mark is kept). Values read are also taken as
// numbers: what parses must be finite and survive a write and a read.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pellum/mxIniNumber.h"
#include "platform/win/private_profile.h"

namespace {

void checkNumbers(const std::string& text) {
  if (auto u = mxIniNumber::parseUInt(text)) {
    if (mxIniNumber::parseUInt(mxIniNumber::formatUInt(*u)) != u) std::abort();
  }
  if (auto f = mxIniNumber::parseFloat(text)) {
    if (!std::isfinite(*f)) std::abort();
    auto formatted = mxIniNumber::formatFloat(*f);
    auto back = formatted ? mxIniNumber::parseFloat(*formatted) : std::nullopt;
    // Six decimals: small values come back rounded, large ones exact.
    if (!back || std::fabs(*back - *f) > 1e-6f + std::fabs(*f) * 1e-6f) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // The first line names section, key and value ("section|key|value"); the
  // rest is the file image.
  size_t eol = input.find('\n');
  std::string head = eol == std::string::npos ? input : input.substr(0, eol);
  std::string image = eol == std::string::npos ? std::string() : input.substr(eol + 1);
  size_t a = head.find('|');
  size_t b = a == std::string::npos ? std::string::npos : head.find('|', a + 1);
  std::string section = a == std::string::npos ? head : head.substr(0, a);
  std::string key = a == std::string::npos ? "k" : head.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
  std::string value = b == std::string::npos ? "v" : head.substr(b + 1);
  // Names and values reach the editor as C texts: they end at a NUL.
  key = key.substr(0, key.find('\0'));

  if (auto found = platform::win::findProfileValue(image, section, key)) checkNumbers(*found);
  checkNumbers(value);

  std::string edited = image;
  if (platform::win::editProfileImage(edited, section, key.c_str(), value.c_str())) {
    auto back = platform::win::findProfileValue(edited, section, key);
    // Blanks around the value are not stored.
    std::string expect = value.substr(0, value.find('\0'));
    expect.erase(0, expect.find_first_not_of(" \t"));
    expect.erase(expect.find_last_not_of(" \t") + 1);
    if (!back || *back != expect) std::abort();  // what was written must read back
    if (image.rfind("\xEF\xBB\xBF", 0) == 0 && edited.rfind("\xEF\xBB\xBF", 0) != 0) std::abort();
  }
  std::string removed = image;
  if (platform::win::editProfileImage(removed, section, key.c_str(), nullptr)) {
    if (platform::win::findProfileValue(removed, section, key)) std::abort();  // the key is gone
  }
  std::string noSection = image;
  if (platform::win::editProfileImage(noSection, section, nullptr, nullptr)) {
    if (platform::win::findProfileValue(noSection, section, key)) std::abort();
  }
  return 0;
}
