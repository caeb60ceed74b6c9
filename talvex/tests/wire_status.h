// The sender's status message as a receiver sees it on the wire, decoded on
// its own (not through the status record class): 1 byte running; int32
// focus display; then per stream a text (uint32 length and that many bytes)
// and a uint16 port, the video streams with two int32 (format, resolution),
// the audio stream with one int32 (format); then seven int32. All
// little-endian, unaligned, no padding. StatusListener keeps every message
// that arrives on the status channel.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tarnil/TarnilReceiver.h"

struct WireStatus {
  uint8_t running = 0;
  int32_t focusDisplay = 0;
  std::string mainAddress;
  uint16_t mainPort = 0;
  int32_t mainFormat = 0, mainResolution = 0;
  std::string subAddress;
  uint16_t subPort = 0;
  int32_t subFormat = 0, subResolution = 0;
  std::string audioAddress;
  uint16_t audioPort = 0;
  int32_t audioFormat = 0;
  std::string pointerAddress;
  uint16_t pointerPort = 0;
  int32_t loupexFormat = 0, loupexMask = 0, loupexWidth = 0, loupexHeight = 0;
  int32_t videoFormat = 0, compoundMask = 0, compoundBlending = 0;

  bool operator==(const WireStatus&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const WireStatus& s) {
  return out << "{running " << int(s.running) << ", focus " << s.focusDisplay << ", main " << s.mainAddress
             << ":" << s.mainPort << " " << s.mainFormat << "/" << s.mainResolution << ", sub "
             << s.subAddress << ":" << s.subPort << " " << s.subFormat << "/" << s.subResolution << ", audio "
             << s.audioAddress << ":" << s.audioPort << " " << s.audioFormat << ", pointer "
             << s.pointerAddress << ":" << s.pointerPort << ", loupex " << s.loupexFormat << " "
             << s.loupexMask << " " << s.loupexWidth << "x" << s.loupexHeight << ", video format "
             << s.videoFormat << ", compound " << s.compoundMask << " " << s.compoundBlending << "}";
}

// Decodes one message; nothing for a message that is cut short.
inline std::optional<WireStatus> decodeWireStatus(const std::vector<uint8_t>& m) {
  size_t at = 0;
  bool ok = true;
  auto take = [&](size_t n) -> const uint8_t* {
    if (!ok || m.size() - at < n) {
      ok = false;
      return nullptr;
    }
    const uint8_t* p = m.data() + at;
    at += n;
    return p;
  };
  auto u32 = [&]() -> uint32_t {
    const uint8_t* p = take(4);
    return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
  };
  auto i32 = [&]() { return int32_t(u32()); };
  auto u16 = [&]() -> uint16_t {
    const uint8_t* p = take(2);
    return p ? uint16_t(p[0] | p[1] << 8) : 0;
  };
  auto text = [&]() -> std::string {
    const uint32_t n = u32();
    const uint8_t* p = take(n);
    return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
  };
  WireStatus s;
  const uint8_t* running = take(1);
  s.running = running ? *running : 0;
  s.focusDisplay = i32();
  s.mainAddress = text();
  s.mainPort = u16();
  s.mainFormat = i32();
  s.mainResolution = i32();
  s.subAddress = text();
  s.subPort = u16();
  s.subFormat = i32();
  s.subResolution = i32();
  s.audioAddress = text();
  s.audioPort = u16();
  s.audioFormat = i32();
  s.pointerAddress = text();
  s.pointerPort = u16();
  s.loupexFormat = i32();
  s.loupexMask = i32();
  s.loupexWidth = i32();
  s.loupexHeight = i32();
  s.videoFormat = i32();
  s.compoundMask = i32();
  s.compoundBlending = i32();
  if (!ok || at != m.size()) return std::nullopt;
  return s;
}

// Every status message that arrives, raw and decoded.
class StatusListener : public TarnilReceiver {
 public:
  void receiveStatus(const unsigned char* message, unsigned length) override {
    std::lock_guard<std::mutex> g(lock_);
    raw_.emplace_back(message, message + length);
    arrived_.notify_all();
  }
  size_t count() {
    std::lock_guard<std::mutex> g(lock_);
    return raw_.size();
  }
  // Waits until there are at least n messages.
  bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    std::unique_lock<std::mutex> g(lock_);
    return arrived_.wait_for(g, timeout, [&] { return raw_.size() >= n; });
  }
  std::vector<uint8_t> raw(size_t i) {
    std::lock_guard<std::mutex> g(lock_);
    return raw_.at(i);
  }
  WireStatus status(size_t i) {
    auto decoded = decodeWireStatus(raw(i));
    EXPECT_TRUE(decoded.has_value()) << "message " << i << " does not decode";
    return decoded.value_or(WireStatus{});
  }

 protected:
  ~StatusListener() override = default;  // the channel closes before (TarnilReceiver)

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<std::vector<uint8_t>> raw_;
};
