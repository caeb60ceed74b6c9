// mxIniFile: a settings file of sections and Key=Value lines. Nothing is
// cached: every read and write goes to the file at once. Section and key
// names compare without regard to ASCII case. Give a full path.
#pragma once

#include <cstdint>

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
  // Numbers are read and written in the C locale's form, whatever locale
  // the process has set.
  //
  // The decimal number at the start of the stored text (a leading '-'
  // negates it modulo 2^32, so "-1" reads as 4294967295), or the default
  // when the key is missing, the text has no digits or the number lies
  // outside -2147483648..4294967295.
  unsigned readUInt(const mxString& section, const mxString& key, unsigned def) const;
  // The decimal number at the start of the stored text, or the default when
  // missing, empty, not a decimal number, out of a float's range or not
  // finite ("nan", "inf").
  float readFloat(const mxString& section, const mxString& key, float def) const;
  // The section's "Port" (readUInt's number). A number above 65535 keeps
  // current and is said as a warning, the program's name first.
  uint16_t readPort(const char* program, const char* section, uint16_t current) const;

  // Writes key=value, creating file and section as needed; blanks around
  // the value are dropped, as the reader would drop them. An empty value
  // removes the key; an empty key removes the whole section. The file (or
  // the file a symbolic link leads to) is replaced atomically, or rewritten
  // in place where its folder cannot be written; concurrent writers, also
  // in other processes, are serialised. False (with a line in the
  // notification log) when the file cannot be written or a name or the
  // value cannot be stored (a line break).
  bool writeString(const mxString& section, const mxString& key, const mxString& value) const;
  // "%d": values above 2147483647 are written negative and read back the same.
  bool writeUInt(const mxString& section, const mxString& key, unsigned value) const;
  // "%f": six decimals. A non-finite value is not written (false).
  bool writeFloat(const mxString& section, const mxString& key, float value) const;

 private:
  mxString filename_;
};
