// mxIniFile: a settings file of sections and Key=Value lines. Nothing is
// cached: every read and write goes to the file at once. Section and key
// names compare without regard to ASCII case. Give a full path.
#pragma once

#include "pellum/mxString.h"

class mxIniFile {
 public:
  mxIniFile() = default;
  explicit mxIniFile(const mxString& filename) : filename_(filename) {}

  void setFilename(const mxString& filename) { filename_ = filename; }
  const mxString& getFilename() const { return filename_; }

  // The stored text (at most 259 bytes, never a cut multi-byte character),
  // or the default when the file, section or key is missing.
  mxString readString(const mxString& section, const mxString& key, const mxString& def) const;
  // The decimal number at the start of the stored text (a leading '-'
  // negates it, modulo 2^32; no digits give 0), or the default.
  unsigned readUInt(const mxString& section, const mxString& key, unsigned def) const;
  // The stored number, or the default when missing, empty or not a number.
  float readFloat(const mxString& section, const mxString& key, float def) const;

  // Writes key=value, creating file and section as needed. An empty value
  // removes the key; an empty key removes the whole section. The file is
  // replaced atomically; false (with a line in the notification log) when
  // it cannot be written or the names cannot be stored.
  bool writeString(const mxString& section, const mxString& key, const mxString& value) const;
  // "%d": values above 2147483647 are written negative and read back the same.
  bool writeUInt(const mxString& section, const mxString& key, unsigned value) const;
  // "%f": six decimals.
  bool writeFloat(const mxString& section, const mxString& key, float value) const;

 private:
  mxString filename_;
};
