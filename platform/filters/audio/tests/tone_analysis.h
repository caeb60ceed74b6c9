// Measuring a tone in 16-bit interleaved PCM: its frequency from the
// positive-going zero crossings (interpolated), its RMS level, and the
// power at one frequency (Goertzel).
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

// Channel `channel` of interleaved 16-bit PCM bytes, as floats in -1..1.
inline std::vector<double> channelOf(const std::vector<uint8_t>& pcm, unsigned channels, unsigned channel = 0) {
  std::vector<double> out;
  const size_t frameBytes = 2u * channels;
  for (size_t i = 0; i + frameBytes <= pcm.size(); i += frameBytes) {
    int16_t v;
    std::memcpy(&v, &pcm[i + 2 * channel], 2);
    out.push_back(v / 32768.0);
  }
  return out;
}

inline std::vector<double> toneSamples(double hz, double rate, size_t n, double amplitude) {
  std::vector<double> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate);
  return s;
}

inline std::vector<uint8_t> toPcm16(const std::vector<double>& s, unsigned channels) {
  std::vector<uint8_t> out;
  for (double v : s) {
    auto q = static_cast<int16_t>(std::lround(v * 32767));
    for (unsigned c = 0; c < channels; ++c) {
      out.push_back(static_cast<uint8_t>(q & 0xFF));
      out.push_back(static_cast<uint8_t>((q >> 8) & 0xFF));
    }
  }
  return out;
}

// Frequency in Hz from positive-going zero crossings; 0 when fewer than
// two. A crossing counts only after the signal has been below -hysteresis,
// so that coding noise around zero does not add crossings.
inline double zeroCrossingFrequency(const std::vector<double>& s, double rate, double hysteresis = 0.02) {
  double first = -1, last = -1;
  int crossings = 0;
  bool armed = false;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] < -hysteresis) armed = true;
    if (armed && s[i - 1] < 0 && s[i] >= 0) {
      double t = double(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (first < 0) first = t;
      last = t;
      ++crossings;
      armed = false;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) / ((last - first) / rate);
}

inline double rmsOf(const std::vector<double>& s) {
  double sum = 0;
  for (double v : s) sum += v * v;
  return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// Power of one frequency (normalised by the length).
inline double goertzelPower(const std::vector<double>& s, double hz, double rate) {
  const double w = 2 * std::numbers::pi * hz / rate, k = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (double v : s) {
    double s0 = v + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  double p = s1 * s1 + s2 * s2 - k * s1 * s2;
  return p / (double(s.size()) * double(s.size()));
}

inline std::vector<double> slice(const std::vector<double>& s, size_t from, size_t count) {
  if (from >= s.size()) return {};
  return std::vector<double>(s.begin() + static_cast<std::ptrdiff_t>(from),
                             s.begin() + static_cast<std::ptrdiff_t>(std::min(s.size(), from + count)));
}
