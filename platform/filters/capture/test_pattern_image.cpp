#include "platform/filters/capture/test_pattern_image.h"

#include <cstring>
#include <vector>

#include "platform/filters/capture/test_pattern_code.h"
#include "platform/media/guids.h"

namespace {

constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGrey{128, 128, 128};

// 5x7 digits, one byte per row, bit 4 the leftmost column.
constexpr uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};
constexpr int kDigitCount = 8;

// Geometry that depends only on the frame and the size.
struct Layout {
  int width, height;
  uint64_t frame;
  uint32_t code;
  int band;
  int barOffset;
  int boxSize, boxX, boxY;
  int cell, textX, textY, textW, textH;
  char digits[kDigitCount];

  Layout(uint64_t n, int w, int h) : width(w), height(h), frame(n) {
    code = test_pattern::encodeFrameCode(n);
    band = test_pattern::codeBandHeight(h);
    int step = w / 80 > 0 ? w / 80 : 1;
    barOffset = static_cast<int>((n % uint64_t(w)) * uint64_t(step) % uint64_t(w));
    boxSize = h / 6 > 0 ? h / 6 : 1;
    int boxStep = w / 106 > 0 ? w / 106 : 1;
    int travel = w - boxSize > 0 ? w - boxSize : 1;
    boxX = static_cast<int>((n % uint64_t(travel)) * uint64_t(boxStep) % uint64_t(travel));
    boxY = (h - boxSize) / 2;
    cell = h / 60 > 0 ? h / 60 : 1;
    textW = (kDigitCount * 6 + 1) * cell;
    textH = 9 * cell;
    textX = cell;
    textY = h - textH - cell;
    uint64_t v = n % 100000000;
    for (int i = kDigitCount - 1; i >= 0; --i, v /= 10) digits[i] = static_cast<char>(v % 10);
  }

  // Rows with the same key are the same pixels: the rows of one code row in
  // the band, and below it the bar rows with and without the square. Rows
  // that cross the frame counter are all different (-1).
  int rowKey(int y) const {
    if (y < band) return 2 + y / test_pattern::codeRowHeight(height);
    if (y >= textY && y < textY + textH) return -1;
    return y >= boxY && y < boxY + boxSize ? 1 : 0;
  }
  // Whether row y may be copied from row `from` (an earlier row).
  bool sameRow(int y, int from) const { return from >= 0 && rowKey(y) >= 0 && rowKey(y) == rowKey(from); }

  Rgb pixel(int x, int y) const {
    if (y < band) {
      int row = y / test_pattern::codeRowHeight(height);
      int col = x * test_pattern::kCodeColumns / width;
      // Block edges are col*width/16; find the block whose range holds x.
      while (col > 0 && x < col * width / test_pattern::kCodeColumns) --col;
      while (col < test_pattern::kCodeColumns - 1 && x >= (col + 1) * width / test_pattern::kCodeColumns)
        ++col;
      int bit = row * test_pattern::kCodeColumns + col;
      return (code >> bit) & 1 ? kWhite : kBlack;
    }
    if (x >= textX && x < textX + textW && y >= textY && y < textY + textH) {
      int cx = (x - textX) / cell - 1, cy = (y - textY) / cell - 1;
      if (cx < 0 || cy < 0 || cy >= 7) return kBlack;
      int d = cx / 6, col = cx % 6;
      if (d >= kDigitCount || col >= 5) return kBlack;
      return (kDigits[int(digits[d])][cy] >> (4 - col)) & 1 ? kWhite : kBlack;
    }
    if (x >= boxX && x < boxX + boxSize && y >= boxY && y < boxY + boxSize) return kGrey;
    int bx = x + barOffset;
    if (bx >= width) bx -= width;
    return kBars[bx * 8 / width];
  }
};

}  // namespace

void rgbToYuv(Rgb c, uint8_t* y, uint8_t* u, uint8_t* v) {
  int r = c.r, g = c.g, b = c.b;
  *y = static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
  *u = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
  *v = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

Rgb testPatternPixel(uint64_t frame, int width, int height, int x, int y) {
  if (width <= 0 || height <= 0) return kBlack;
  return Layout(frame, width, height).pixel(x, y);
}

bool renderTestPattern(uint64_t frame, const VideoFormat& f, uint8_t* dst, size_t size) {
  size_t need = pictureBytes(f);
  if (need == 0 || size < need || !dst) return false;
  const Layout layout(frame, f.width, f.height);
  const int w = f.width, h = f.height;
  std::vector<Rgb> row(static_cast<size_t>(w));
  auto fillRow = [&](int y) {
    for (int x = 0; x < w; ++x) row[size_t(x)] = layout.pixel(x, y);
  };
  if (f.subtype == MEDIASUBTYPE_RGB24) {
    size_t stride = rgb24Stride(w);
    for (int y = 0; y < h; ++y) {
      uint8_t* p = dst + stride * size_t(h - 1 - y);
      if (layout.sameRow(y, y - 1)) {
        std::memcpy(p, p + stride, stride);  // bottom-up: row y - 1 lies one stride above
        continue;
      }
      fillRow(y);
      for (int x = 0; x < w; ++x, p += 3) {
        p[0] = row[size_t(x)].b;
        p[1] = row[size_t(x)].g;
        p[2] = row[size_t(x)].r;
      }
      for (size_t pad = size_t(w) * 3; pad < stride; ++pad) dst[stride * size_t(h - 1 - y) + pad] = 0;
    }
    return true;
  }
  if (f.subtype == MEDIASUBTYPE_YUY2) {
    for (int y = 0; y < h; ++y) {
      uint8_t* p = dst + size_t(y) * size_t(w) * 2;
      if (layout.sameRow(y, y - 1)) {
        std::memcpy(p, p - size_t(w) * 2, size_t(w) * 2);
        continue;
      }
      fillRow(y);
      for (int x = 0; x < w; x += 2, p += 4) {
        uint8_t y0, y1, u, v, u1, v1;
        rgbToYuv(row[size_t(x)], &y0, &u, &v);
        rgbToYuv(row[size_t(x) + 1], &y1, &u1, &v1);
        p[0] = y0;
        p[1] = u;
        p[2] = y1;
        p[3] = v;
      }
    }
    return true;
  }
  // I420: Y plane, then U and V planes of half width and height.
  uint8_t* yPlane = dst;
  uint8_t* uPlane = dst + size_t(w) * size_t(h);
  uint8_t* vPlane = uPlane + size_t(w / 2) * size_t(h / 2);
  for (int y = 0; y < h; ++y) {
    // A copied row also copies its chroma row when the one before it was
    // of the same kind.
    if (layout.sameRow(y, y - 1) && (y & 1 ? true : layout.sameRow(y, y - 2))) {
      std::memcpy(yPlane + size_t(y) * size_t(w), yPlane + size_t(y - 1) * size_t(w), size_t(w));
      if (!(y & 1))
        for (uint8_t* plane : {uPlane, vPlane})
          std::memcpy(plane + size_t(y / 2) * size_t(w / 2), plane + size_t(y / 2 - 1) * size_t(w / 2),
                      size_t(w / 2));
      continue;
    }
    fillRow(y);
    for (int x = 0; x < w; ++x) {
      uint8_t yy, u, v;
      rgbToYuv(row[size_t(x)], &yy, &u, &v);
      yPlane[size_t(y) * size_t(w) + size_t(x)] = yy;
      if (!(x & 1) && !(y & 1)) {
        size_t ci = size_t(y / 2) * size_t(w / 2) + size_t(x / 2);
        uPlane[ci] = u;
        vPlane[ci] = v;
      }
    }
  }
  return true;
}
