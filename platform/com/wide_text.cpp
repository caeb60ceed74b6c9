#include "platform/com/wide_text.h"

std::u16string utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80)
      cp = c, len = 1;
    else if ((c >> 5) == 6)
      cp = c & 0x1F, len = 2;
    else if ((c >> 4) == 14)
      cp = c & 0x0F, len = 3;
    else if ((c >> 3) == 30)
      cp = c & 0x07, len = 4;
    else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (i + len > s.size()) {
      out.push_back(u'\uFFFD');
      break;
    }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc >> 6) != 2) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

std::string utf16ToUtf8(const char16_t* s) {
  std::string out;
  if (!s) return out;
  for (size_t i = 0; s[i]; ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80)
      out.push_back(char(cp));
    else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

void copyUtf16(char16_t* dest, size_t capacity, const char16_t* text) {
  if (!dest || capacity == 0) return;
  size_t i = 0;
  if (text)
    for (; i + 1 < capacity && text[i]; ++i) dest[i] = text[i];
  dest[i] = 0;
}
