#include "filters/pointer/pointer_info.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "filters/pointer/le_bytes.h"

namespace pointing {

std::string_view pointerShapeLabel(int32_t shape) {
  static constexpr std::string_view kLabels[kPointerShapeCount] = {"標準", "矢", "円", "四角", "照準", "星"};
  if (shape < 0 || shape >= kPointerShapeCount) return {};
  return kLabels[shape];
}

POINTER_INFO initialPointerState() {
  POINTER_INFO info;
  info.sizeX = 1.0f;
  info.sizeY = 1.0f;
  setPointerCommand(info, "erase");
  return info;
}

bool writePointerInfo(const POINTER_INFO& info, uint8_t* out, size_t size) {
  if (out == nullptr || size < kPointerInfoSize) return false;
  LeWriter w(out, size);
  w.u8(info.valid);
  w.u16(info.changeFlags);
  w.i32(info.shape);
  w.i32(info.screenWidth);
  w.i32(info.screenHeight);
  w.i32(info.cursorX);
  w.i32(info.cursorY);
  w.u16(info.buttons);
  w.i16(info.wheel);
  w.f32(info.originX);
  w.f32(info.originY);
  w.f32(info.sizeX);
  w.f32(info.sizeY);
  w.f32(info.positionX);
  w.f32(info.positionY);
  w.i32(info.commandSequence);
  uint8_t command[kPointerCommandSize];
  std::memcpy(command, info.command, kPointerCommandSize);
  command[kPointerCommandSize - 1] = 0;
  w.bytes(command, kPointerCommandSize);
  return w.ok() && w.position() == kPointerInfoSize;
}

std::array<uint8_t, kPointerInfoSize> pointerInfoBytes(const POINTER_INFO& info) {
  std::array<uint8_t, kPointerInfoSize> bytes{};
  writePointerInfo(info, bytes.data(), bytes.size());
  return bytes;
}

bool readPointerInfo(const uint8_t* data, size_t size, POINTER_INFO& out) {
  if (data == nullptr || size < kPointerInfoSize) return false;
  LeReader r(data, kPointerInfoSize);
  POINTER_INFO info;
  info.valid = r.u8();
  info.changeFlags = r.u16();
  info.shape = r.i32();
  info.screenWidth = r.i32();
  info.screenHeight = r.i32();
  info.cursorX = r.i32();
  info.cursorY = r.i32();
  info.buttons = r.u16();
  info.wheel = r.i16();
  info.originX = r.f32();
  info.originY = r.f32();
  info.sizeX = r.f32();
  info.sizeY = r.f32();
  info.positionX = r.f32();
  info.positionY = r.f32();
  info.commandSequence = r.i32();
  uint8_t command[kPointerCommandSize];
  r.bytes(command, kPointerCommandSize);
  if (!r.ok()) return false;
  command[kPointerCommandSize - 1] = 0;
  std::memcpy(info.command, command, kPointerCommandSize);
  out = info;
  return true;
}

void setPointerCommand(POINTER_INFO& info, std::string_view text) {
  std::memset(info.command, 0, kPointerCommandSize);
  const size_t n = std::min(text.size(), kPointerCommandSize - 1);
  std::memcpy(info.command, text.data(), n);
}

std::string_view pointerCommand(const POINTER_INFO& info) {
  return std::string_view(info.command, strnlen(info.command, kPointerCommandSize));
}

float normalisedPosition(float origin, float size, int32_t cursor, int32_t screen) {
  const uint32_t extent = static_cast<uint32_t>(screen);
  const long double quotient = extent == 0 ? 0.0L : static_cast<long double>(cursor) / extent;
  return static_cast<float>(origin + size * quotient);
}

bool movesFocus(const POINTER_INFO& info) {
  return info.valid != 0 && (info.changeFlags & kChangePosition) != 0 && std::isfinite(info.positionX) &&
         std::isfinite(info.positionY);
}

namespace {
bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }
}  // namespace

uint16_t copyChangedFields(POINTER_INFO& emitted, const POINTER_INFO& current) {
  uint16_t flags = 0;
  if (emitted.shape != current.shape) {
    emitted.shape = current.shape;
    flags |= kChangeShape;
  }
  if (emitted.screenWidth != current.screenWidth || emitted.screenHeight != current.screenHeight) {
    emitted.screenWidth = current.screenWidth;
    emitted.screenHeight = current.screenHeight;
    flags |= kChangeScreenSize;
  }
  if (emitted.cursorX != current.cursorX || emitted.cursorY != current.cursorY) {
    emitted.cursorX = current.cursorX;
    emitted.cursorY = current.cursorY;
    flags |= kChangeCursor;
  }
  if (emitted.buttons != current.buttons) {
    emitted.buttons = current.buttons;
    flags |= kChangeButtons;
  }
  if (emitted.wheel != current.wheel) {
    emitted.wheel = current.wheel;
    flags |= kChangeWheel;
  }
  if (!sameBits(emitted.originX, current.originX) || !sameBits(emitted.originY, current.originY)) {
    emitted.originX = current.originX;
    emitted.originY = current.originY;
    flags |= kChangeOrigin;
  }
  if (!sameBits(emitted.sizeX, current.sizeX) || !sameBits(emitted.sizeY, current.sizeY)) {
    emitted.sizeX = current.sizeX;
    emitted.sizeY = current.sizeY;
    flags |= kChangeSize;
  }
  if (!sameBits(emitted.positionX, current.positionX) || !sameBits(emitted.positionY, current.positionY)) {
    emitted.positionX = current.positionX;
    emitted.positionY = current.positionY;
    flags |= kChangePosition;
  }
  if (emitted.commandSequence != current.commandSequence) {
    emitted.commandSequence = current.commandSequence;
    std::memcpy(emitted.command, current.command, kPointerCommandSize);
    emitted.command[kPointerCommandSize - 1] = 0;
    flags |= kChangeCommand;
  }
  emitted.changeFlags |= flags;
  return flags;
}

}  // namespace pointing
