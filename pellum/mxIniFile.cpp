#include "pellum/mxIniFile.h"

#include <cstdio>
#include <string>

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
  const char* p = value->c_str();
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  unsigned result = 0;  // wraps modulo 2^32, like a 32-bit register
  for (; *p >= '0' && *p <= '9'; ++p) result = result * 10u + static_cast<unsigned>(*p - '0');
  return negative ? 0u - result : result;
}

float mxIniFile::readFloat(const mxString& section, const mxString& key, float def) const {
  mxString stored = readString(section, key, mxString(def));
  float value;
  if (stored.isEmpty() || std::sscanf(stored.c_str(), "%f", &value) != 1) return def;
  return value;
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
  return writeString(section, key, mxString(static_cast<int>(value)));
}

bool mxIniFile::writeFloat(const mxString& section, const mxString& key, float value) const {
  return writeString(section, key, mxString(value));
}
