#include "filters/blendor/koPointerShapes.h"

#include <array>
#include <string_view>

namespace {

// Each shape drawn as letters, top row first, column 0 on the left:
// . transparent, K black, H white, L light grey, G grey, O orange,
// B brown, D dark brown, Y yellow.
struct ShapeGrid {
  int hotX;
  int hotY;
  std::array<std::string_view, koPointerShapeSide> rows;
};

constexpr ShapeGrid kGrids[koPointerShapeCount] = {
    // 0 standard arrow
    {0,
     0,
     {"KKKKKKKKKKKKKK..", "KHHHHHHHHHHHK...", "KLHHHHHHHHHK....", "KLLHHHHHHHK.....", "KLLLHHHHHK......",
      "KLLLLHHHHHK.....", "KLLLLLHHHHHK....", "KLLLLLLHHHHHK...", "KLLLLLLLHHHHHK..", "KLLLKLLLLHHHHHK.",
      "KLLK.KLLLLHHHHHK", "KLK...KLLLLHHHK.", "KK.....KLLLLHK..", "K.......KLLLK...", ".........KLK....",
      "..........K....."}},
    // 1 feathered arrow
    {0,
     0,
     {"KKKK............", "KHHHKK..........", "KGLHHHK.........", "KGGLHHHK........", ".KGGBOK.........",
      ".KGGBBOK........", "..KGKBBOK.......", "...K.KBBOKKKK...", "......KBBOBBBK..", ".......KBBOBBBK.",
      ".......KDBBOBBBK", ".......KBDBBOBBB", ".......KBDDBKKKK", "........KDBDK...", ".........KBDK...",
      "..........KDK..."}},
    // 2 circle
    {7,
     7,
     {".....LLHHLL.....", "...LHHLLLLHHL...", "..LHL......LHL..", ".LH..........HL.", ".HL..........LH.",
      "LH............HL", "LL............LL", "HL.....LL.....LH", "HL.....LL.....LH", "LL............LL",
      "LH............HL", ".HL..........LH.", ".LH..........HL.", "..LHL......LHL..", "...LHHLLLLHHL...",
      ".....LLHHLL....."}},
    // 3 square
    {7,
     7,
     {"LLLLLLLLLLLLLLLL", "LHHHHHHHHHHHHHHL", "LHLLLLLLLLLLLLHL", "LHL..........LHL", "LHL..........LHL",
      "LHL..........LHL", "LHL..........LHL", "LHL....LL....LHL", "LHL....LL....LHL", "LHL..........LHL",
      "LHL..........LHL", "LHL..........LHL", "LHL..........LHL", "LHLLLLLLLLLLLLHL", "LHHHHHHHHHHHHHHL",
      "LLLLLLLLLLLLLLLL"}},
    // 4 crosshair
    {7,
     7,
     {".....LLHHLL.....", "...LHHLLLLHHL...", "..LHL......LHL..", ".LH..........HL.", ".HL....HH....LH.",
      "LH.....HH.....HL", "LL.....HH.....LL", "HL..HHHHHHHH..LH", "HL..HHHHHHHH..LH", "LL.....HH.....LL",
      "LH.....HH.....HL", ".HL....HH....LH.", ".LH..........HL.", "..LHL......LHL..", "...LHHLLLLHHL...",
      ".....LLHHLL....."}},
    // 5 star
    {7,
     7,
     {".......HH.......", ".......HH.......", "......HYYH......", "......HYYH......", ".....HYYYYH.....",
      "HHHHHHYYYYHHHHHH", ".HYYYYY..YYYYYH.", "...HYY....YYH...", "...HYY....YYH...", "...HYYY..YYYH...",
      "..HYYYYHHYYYYH..", "..HYYYH..HYYYH..", ".HYYHH....HHYYH.", ".HYH........HYH.", "HHH..........HHH",
      "H..............H"}},
};

constexpr bool gridsWellFormed() {
  for (const ShapeGrid& g : kGrids)
    for (std::string_view row : g.rows)
      if (row.size() != koPointerShapeSide) return false;
  return true;
}
static_assert(gridsWellFormed(), "every shape row has 16 pixels");

// Blue, green, red of a letter.
constexpr std::array<uint8_t, 3> bgr(char letter) {
  switch (letter) {
    case 'K': return {0, 0, 0};
    case 'H': return {255, 255, 255};
    case 'L': return {192, 192, 192};
    case 'G': return {128, 128, 128};
    case 'O': return {64, 128, 255};
    case 'B': return {0, 64, 128};
    case 'D': return {0, 46, 91};
    case 'Y': return {0, 255, 255};
    default: return {255, 0, 255};  // transparent
  }
}

struct ShapeTable {
  koPointerShapeBitmap shapes[koPointerShapeCount];
  ShapeTable() {
    for (int s = 0; s < koPointerShapeCount; ++s) {
      koPointerShapeBitmap& b = shapes[s];
      b.hotX = kGrids[s].hotX;
      b.hotY = kGrids[s].hotY;
      for (int t = 0; t < koPointerShapeSide; ++t) {
        const int stored = koPointerShapeSide - 1 - t;  // bottom-up
        for (int c = 0; c < koPointerShapeSide; ++c) {
          const auto p = bgr(kGrids[s].rows[t][c]);
          uint8_t* px = b.pixels + (stored * koPointerShapeSide + c) * 3;
          px[0] = p[0];
          px[1] = p[1];
          px[2] = p[2];
        }
      }
    }
  }
};

constexpr koPointerColour kColours[koPointerColourCount] = {
    {0, 0, 0, "黒", "Black"},          {0, 0, 255, "青", "Blue"},      {0, 255, 0, "緑", "Green"},
    {0, 255, 255, "水色", "SkyBlue"},  {255, 0, 0, "赤", "Red"},       {255, 0, 255, "紫", "Purple"},
    {255, 255, 0, "黄色", "Yellow"},   {255, 255, 255, "白", "White"},
};

}  // namespace

const koPointerShapeBitmap* koPointerShape(int index) {
  static const ShapeTable table;
  if (index < 0 || index >= koPointerShapeCount) return nullptr;
  return &table.shapes[index];
}

const koPointerColour* koPointerColourAt(int index) {
  if (index < 0 || index >= koPointerColourCount) return nullptr;
  return &kColours[index];
}
