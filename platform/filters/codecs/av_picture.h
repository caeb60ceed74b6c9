// Pictures as the media framework carries them (one buffer per frame, RGB
// rows bottom-up and padded to 32 bits, YUV top-down) described for
// libswscale, and a cached conversion between two such pictures or from a
// decoded frame.
#pragma once
#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

struct SwsContext;

struct PictureFormat {
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int width = 0;
  int height = 0;
  bool bottomUp = false;  // first row in memory is the lowest row of the picture
  bool operator==(const PictureFormat&) const = default;
};

// Bytes one picture of this format takes in a buffer (0 when unsupported).
size_t pictureSize(const PictureFormat& f);
// Plane pointers and line strides of a picture stored at base (a bottom-up
// picture gets its last row and a negative stride). False when unsupported.
bool pictureLayout(const PictureFormat& f, const uint8_t* base, uint8_t* planes[4], int strides[4]);

class PictureConverter {
 public:
  PictureConverter() = default;
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;
  ~PictureConverter();

  // Buffer to buffer, scaling when the sizes differ.
  bool convert(const PictureFormat& from, const uint8_t* src, const PictureFormat& to, uint8_t* dst);
  // A decoded (or to-be-encoded) frame to a buffer.
  bool convert(const AVFrame* frame, const PictureFormat& to, uint8_t* dst);
  // A buffer into a frame whose format, size and planes are set.
  bool convert(const PictureFormat& from, const uint8_t* src, AVFrame* frame);

 private:
  bool prepare(int sw, int sh, AVPixelFormat sf, int dw, int dh, AVPixelFormat df);
  // libswscale writes (and reads) whole blocks of pixels past the end of a
  // row whose width is not a multiple of 16; such pictures go through this
  // buffer, whose rows have room to spare.
  struct Staging {
    uint8_t* planes[4] = {};
    int strides[4] = {};
    PictureFormat format;
    ~Staging();
    bool fit(const PictureFormat& f);
  };
  static bool needsStaging(const PictureFormat& f) { return f.width % 16 != 0; }
  SwsContext* sws_ = nullptr;
  Staging staging_;
};
