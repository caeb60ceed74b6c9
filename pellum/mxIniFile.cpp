#include "pellum/mxIniFile.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pellum/mxNotify.h"
#include "platform/win/private_profile.h"

namespace {

constexpr size_t kReadArea = 260;  // values come back with at most 259 bytes

std::string text(const mxString& s) { return s.c_str() ? s.c_str() : ""; }

// Cuts a value to the read area, never in the middle of a UTF-8 sequence.
std::string fitReadArea(std::string value) {
  if (value.size() < kReadArea) return value;
  size_t cut = kReadArea - 1;
  // When the first byte left out continues a character, leave out that
  // whole character (at most three bytes back to its lead byte).
  for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80; ++back)
    --cut;
  value.resize(cut);
  return value;
}

// Numbers are read and written in the C locale's form whatever the process
// locale is (a GUI toolkit may set one with a decimal comma): std::from_chars
// and std::to_chars never look at the locale.

// The decimal number at the start of the text. A leading '-' negates it
// modulo 2^32, which is how writeUInt stores values above 2147483647; a text
// without digits or a number outside -2147483648..4294967295 gives nothing.
std::optional<unsigned> parseUInt(std::string_view t) {
  bool negative = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  std::uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), magnitude, 10);
  (void)end;
  if (error != std::errc()) return std::nullopt;
  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<unsigned>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 4294967295u) return std::nullopt;
  return static_cast<unsigned>(magnitude);
}

// The decimal number at the start of the text (digits, a point, an
// exponent). Hexadecimal, infinite and not-a-number values, and numbers
// beyond a float's range, give nothing.
std::optional<float> parseFloat(std::string_view t) {
  if (!t.empty() && t.front() == '+') {
    t.remove_prefix(1);
    if (!t.empty() && t.front() == '-') return std::nullopt;
  }
  std::string_view digits = t.substr(!t.empty() && t.front() == '-' ? 1 : 0);
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return std::nullopt;
  float value = 0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  (void)end;
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

mxString mxIniFile::readString(const mxString& section, const mxString& key, const mxString& def) const {
  if (filename_.isEmpty() || section.isEmpty() || key.isEmpty()) return def;
  auto value = platform::win::readProfileString(text(filename_), text(section), text(key));
  if (!value) return def;
  return mxString(fitReadArea(*value).c_str());
}

unsigned mxIniFile::readUInt(const mxString& section, const mxString& key, unsigned def) const {
  if (filename_.isEmpty() || section.isEmpty() || key.isEmpty()) return def;
  auto value = platform::win::readProfileString(text(filename_), text(section), text(key));
  if (!value) return def;
  return parseUInt(*value).value_or(def);
}

float mxIniFile::readFloat(const mxString& section, const mxString& key, float def) const {
  if (filename_.isEmpty() || section.isEmpty() || key.isEmpty()) return def;
  auto value = platform::win::readProfileString(text(filename_), text(section), text(key));
  if (!value) return def;
  return parseFloat(fitReadArea(*value)).value_or(def);
}

bool mxIniFile::writeString(const mxString& section, const mxString& key, const mxString& value) const {
  if (filename_.isEmpty() || section.isEmpty()) {
    mxNotify::post(mxNotify::Warn, "mxIniFile::writeString(); no file or section name");
    return false;
  }
  bool ok = platform::win::writeProfileString(text(filename_), text(section), key.c_str(), value.c_str());
  if (!ok) {
    mxString message;
    message.format("mxIniFile::writeString(); cannot write [%s] %s in ", section.c_str(),
                   key.c_str() ? key.c_str() : "");
    mxNotify::post(mxNotify::Warn, message + filename_);
  }
  return ok;
}

bool mxIniFile::writeUInt(const mxString& section, const mxString& key, unsigned value) const {
  char digits[16];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits - 1, static_cast<int>(value));
  (void)error;  // an int always fits
  *end = '\0';
  return writeString(section, key, mxString(digits));
}

bool mxIniFile::writeFloat(const mxString& section, const mxString& key, float value) const {
  if (!std::isfinite(value)) {
    // It would read back as the caller's default, not as this value.
    mxString message;
    message.format("mxIniFile::writeFloat(); cannot store a non-finite number as [%s] %s in ", text(section).c_str(),
                   text(key).c_str());
    mxNotify::post(mxNotify::Warn, message + filename_);
    return false;
  }
  // Six decimals, as "%f" in the C locale; the largest float needs 46 bytes.
  char digits[64];
  auto [end, error] =
      std::to_chars(digits, digits + sizeof digits - 1, static_cast<double>(value), std::chars_format::fixed, 6);
  (void)error;
  *end = '\0';
  return writeString(section, key, mxString(digits));
}
