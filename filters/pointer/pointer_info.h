// POINTER_INFO: the 71-byte pointer record carried by every pointer stream.
//
// Byte image (little-endian, packed, floats are IEEE 754 single):
//   0 valid u8 | 1 changeFlags u16 | 3 shape i32 | 7 screenWidth i32 |
//   11 screenHeight i32 | 15 cursorX i32 | 19 cursorY i32 | 23 buttons u16 |
//   25 wheel i16 | 27 originX f32 | 31 originY f32 | 35 sizeX f32 |
//   39 sizeY f32 | 43 positionX f32 | 47 positionY f32 |
//   51 commandSequence i32 | 55 command[16] (zero-terminated, byte 70 always 0)
//
// The struct below is the in-memory form only; it is never copied to or from
// the wire as a block. Use writePointerInfo / readPointerInfo.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pointing {

inline constexpr size_t kPointerInfoSize = 71;
inline constexpr size_t kPointerCommandSize = 16;  // including the terminating zero

// Bits of POINTER_INFO::changeFlags: which field groups differ from the
// previously emitted record.
enum PointerChange : uint16_t {
  kChangeShape = 0x0001,
  kChangeScreenSize = 0x0002,
  kChangeCursor = 0x0004,
  kChangeButtons = 0x0008,
  kChangeWheel = 0x0010,
  kChangeOrigin = 0x0020,
  kChangeSize = 0x0040,
  kChangePosition = 0x0080,
  kChangeCommand = 0x0100,
};

// Pointer shapes; their drawings belong to the pointer mixer.
enum PointerShape : int32_t {
  kShapeStandard = 0,
  kShapeArrow = 1,
  kShapeCircle = 2,
  kShapeSquare = 3,
  kShapeCrosshair = 4,
  kShapeStar = 5,
};
inline constexpr int32_t kPointerShapeCount = 6;

// The label the user interfaces show for a shape; empty for an index out of range.
std::string_view pointerShapeLabel(int32_t shape);

struct POINTER_INFO {
  uint8_t valid = 0;
  uint16_t changeFlags = 0;
  int32_t shape = 0;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t cursorX = 0;
  int32_t cursorY = 0;
  uint16_t buttons = 0;
  int16_t wheel = 0;
  float originX = 0.0f;
  float originY = 0.0f;
  float sizeX = 0.0f;
  float sizeY = 0.0f;
  float positionX = 0.0f;
  float positionY = 0.0f;
  int32_t commandSequence = 0;
  char command[kPointerCommandSize] = {};
};
// A value-initialised POINTER_INFO is the cleared record (all 71 bytes zero).

// The sampler's state on creation: shape 0, origin (0, 0), size (1, 1),
// command "erase", sequence 0, everything else 0.
POINTER_INFO initialPointerState();

// Writes the 71-byte image. Returns false (and writes nothing) when size < 71.
bool writePointerInfo(const POINTER_INFO& info, uint8_t* out, size_t size);
std::array<uint8_t, kPointerInfoSize> pointerInfoBytes(const POINTER_INFO& info);

// Reads one record from the first 71 bytes of a sample. A sample shorter than
// 71 bytes is rejected: returns false and leaves out untouched. The command
// text is always returned zero-terminated. Other values are returned as
// carried; consumers check the ones they use (NaN positions, shape ranges).
bool readPointerInfo(const uint8_t* data, size_t size, POINTER_INFO& out);

// Sets the command text: at most 15 characters, the rest of the 16 bytes zero.
void setPointerCommand(POINTER_INFO& info, std::string_view text);
std::string_view pointerCommand(const POINTER_INFO& info);

// originX + sizeX * (cursor / screen), the quotient in extended precision with
// the screen size taken as unsigned. A zero screen size gives the origin
// (the quotient is taken as 0) rather than an infinity.
float normalisedPosition(float origin, float size, int32_t cursor, int32_t screen);

// Whether a received record moves a follower's point of attention: valid,
// with the position flagged as changed, and a position of finite numbers
// (a record carrying NaN or an infinity is ignored like an unchanged one).
bool movesFocus(const POINTER_INFO& info);

// Compares current with emitted field group by field group in the order of
// the change flags, copies every differing group into emitted and sets its
// bit in emitted.changeFlags. The command text is copied only together with
// a differing commandSequence. Floats are compared by their bit patterns, so
// that a NaN does not count as a change on every comparison.
// Returns the bits set by this call.
uint16_t copyChangedFields(POINTER_INFO& emitted, const POINTER_INFO& current);

}  // namespace pointing
