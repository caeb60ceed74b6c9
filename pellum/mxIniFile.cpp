#include "pellum/mxIniFile.h"

#include <string>

#include "pellum/mxIniNumber.h"
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
  // Blanks the cut leaves at the end go too: the writer drops them.
  while (cut > 0 && (value[cut - 1] == ' ' || value[cut - 1] == '\t')) --cut;
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
  return mxIniNumber::parseUInt(*value).value_or(def);
}

float mxIniFile::readFloat(const mxString& section, const mxString& key, float def) const {
  if (filename_.isEmpty() || section.isEmpty() || key.isEmpty()) return def;
  auto value = platform::win::readProfileString(text(filename_), text(section), text(key));
  if (!value) return def;
  return mxIniNumber::parseFloat(fitReadArea(*value)).value_or(def);
}

uint16_t mxIniFile::readPort(const char* program, const char* section, uint16_t current) const {
  const unsigned v = readUInt(section, "Port", current);
  if (v <= 0xFFFF) return uint16_t(v);
  mxNotify::post(mxNotify::Warn, "%s: settings file %s: [%s] Port=%u is not a port; kept %u", program,
                 filename_.c_str(), section, v, unsigned(current));
  return current;
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
  return writeString(section, key, mxString(mxIniNumber::formatUInt(value).c_str()));
}

bool mxIniFile::writeFloat(const mxString& section, const mxString& key, float value) const {
  auto formatted = mxIniNumber::formatFloat(value);
  if (!formatted) {
    // It would read back as the caller's default, not as this value.
    mxString message;
    message.format("mxIniFile::writeFloat(); cannot store a number that is not finite as [%s] %s in ",
                   text(section).c_str(), text(key).c_str());
    mxNotify::post(mxNotify::Warn, message + filename_);
    return false;
  }
  return writeString(section, key, mxString(formatted->c_str()));
}
