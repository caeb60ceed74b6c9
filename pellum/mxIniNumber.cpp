#include "pellum/mxIniNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>

// std::from_chars and std::to_chars never look at the locale.

namespace mxIniNumber {

std::optional<unsigned> parseUInt(std::string_view t) {
  bool negative = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  std::uint64_t magnitude = 0;
  if (std::from_chars(t.data(), t.data() + t.size(), magnitude, 10).ec != std::errc()) return std::nullopt;
  if (negative) {
    if (magnitude > 2147483648u) return std::nullopt;
    return static_cast<unsigned>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 4294967295u) return std::nullopt;
  return static_cast<unsigned>(magnitude);
}

std::optional<float> parseFloat(std::string_view t) {
  if (!t.empty() && t.front() == '+') {
    t.remove_prefix(1);
    if (!t.empty() && t.front() == '-') return std::nullopt;
  }
  std::string_view digits = t.substr(!t.empty() && t.front() == '-' ? 1 : 0);
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return std::nullopt;
  float value = 0;
  if (std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general).ec != std::errc() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string formatUInt(unsigned value) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::int32_t>(value)).ptr;
  return std::string(digits, end);
}

std::optional<std::string> formatFloat(float value) {
  if (!std::isfinite(value)) return std::nullopt;
  // The largest float takes 39 digits before the point.
  char digits[64];
  auto result =
      std::to_chars(digits, digits + sizeof digits, static_cast<double>(value), std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return std::nullopt;
  return std::string(digits, result.ptr);
}

}  // namespace mxIniNumber
