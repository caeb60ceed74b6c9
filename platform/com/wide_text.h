// Conversions between the 8-bit text of the system (UTF-8) and the 16-bit
// text the media interfaces use for filter and pin names.
#pragma once
#include <string>

std::u16string utf8ToUtf16(const std::string& text);
std::string utf16ToUtf8(const char16_t* text);
// Copies text into a fixed 16-bit field, truncating and always terminating.
void copyUtf16(char16_t* dest, size_t capacity, const char16_t* text);
