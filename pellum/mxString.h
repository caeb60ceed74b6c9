// mxString: an 8-bit text in the station's code page (UTF-8 here; bytes are
// passed through as they are). The empty string has no storage: c_str() is
// then null, and every operation that leaves zero bytes frees the block.
#pragma once

#include <cstdint>

class mxString {
 public:
  mxString() = default;
  mxString(const char* text);  // NOLINT: implicit by design
  // The first `count` bytes of `bytes` (which need no NUL); stops at a NUL.
  mxString(const char* bytes, unsigned count);
  mxString(const mxString& other);
  mxString(mxString&& other) noexcept;
  explicit mxString(int value);     // "%d"
  explicit mxString(float value);   // "%f"
  explicit mxString(double value);  // "%lf"
  ~mxString();

  mxString& operator=(const char* text);
  mxString& operator=(const mxString& other);
  mxString& operator=(mxString&& other) noexcept;

  // The text, or null for the empty string.
  const char* c_str() const { return data_; }
  // The byte at an index; no bounds check (as with a plain array).
  char& operator[](int index) { return data_[index]; }
  const char& operator[](int index) const { return data_[index]; }

  unsigned length() const;
  // Cuts the text to at most n bytes (0 empties it); never lengthens it.
  void length(unsigned n);
  bool isEmpty() const { return data_ == nullptr; }
  bool operator!() const { return data_ == nullptr; }
  void makeEmpty();

  // ASCII letters only, byte by byte, in place / as a copy.
  void toLower();
  void toUpper();
  mxString lowerCase() const;
  mxString upperCase() const;

  // The number at the start of the text, or the default when the text is
  // empty or does not start with one.
  int toInt(int def = 0) const;
  float toFloat(float def = 0.0f) const;
  double toDouble(double def = 0.0) const;

  // Inserts s before byte pos; nothing happens when pos >= length().
  void insert(const mxString& s, unsigned pos);
  mxString& operator+=(const char* text);
  mxString& operator+=(const mxString& other);
  // Replaces the first occurrence of `what` only.
  void replace(const mxString& what, mxString with);

  // The tail from pos (empty when pos >= length()).
  mxString subString(unsigned pos) const;
  // n bytes from pos; empty when they do not all exist (never clipped).
  mxString subString(unsigned pos, unsigned n) const;

  // Formats like printf into a 512-byte area and assigns the result; a
  // longer result is cut to 511 bytes.
  mxString& format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  uint32_t hash() const;

 private:
  void assign(const char* bytes, unsigned count);
  char* data_ = nullptr;
};

mxString operator+(const mxString& a, const mxString& b);

// Byte-wise comparisons (strcmp order, bytes unsigned). An empty string or a
// null text on either side makes every comparison false except !=, which is
// true, even for two empty strings.
bool operator==(const mxString& a, const mxString& b);
bool operator!=(const mxString& a, const mxString& b);
bool operator<(const mxString& a, const mxString& b);
bool operator>(const mxString& a, const mxString& b);
bool operator<=(const mxString& a, const mxString& b);
bool operator>=(const mxString& a, const mxString& b);
bool operator==(const mxString& a, const char* b);
bool operator!=(const mxString& a, const char* b);
bool operator<(const mxString& a, const char* b);
bool operator>(const mxString& a, const char* b);
bool operator<=(const mxString& a, const char* b);
bool operator>=(const mxString& a, const char* b);
bool operator==(const char* a, const mxString& b);
bool operator!=(const char* a, const mxString& b);
bool operator<(const char* a, const mxString& b);
bool operator>(const char* a, const mxString& b);
bool operator<=(const char* a, const mxString& b);
bool operator>=(const char* a, const mxString& b);
