#include "tools/demo_run/screenshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <memory>
#include <vector>

namespace demo {

namespace {

uint8_t channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  const unsigned long value = (pixel & mask) >> __builtin_ctzl(mask);
  const unsigned bits = unsigned(__builtin_popcountl(mask));
  return uint8_t(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
}

}  // namespace

bool saveScreenshot(const std::string& display, const std::string& path, std::string& error) {
  std::unique_ptr<Display, int (*)(Display*)> d(XOpenDisplay(display.c_str()), XCloseDisplay);
  if (!d) {
    error = "cannot open display " + display;
    return false;
  }
  const Window root = DefaultRootWindow(d.get());
  XWindowAttributes a{};
  XGetWindowAttributes(d.get(), root, &a);
  auto destroy = [](XImage* i) { XDestroyImage(i); };
  std::unique_ptr<XImage, decltype(destroy)> image(
      XGetImage(d.get(), root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap), destroy);
  if (!image) {
    error = "cannot read the screen of " + display;
    return false;
  }
  std::vector<uint8_t> rgb(size_t(a.width) * size_t(a.height) * 3);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const unsigned long pixel = XGetPixel(image.get(), x, y);
      uint8_t* out = &rgb[(size_t(y) * size_t(a.width) + size_t(x)) * 3];
      out[0] = channel(pixel, image->red_mask);
      out[1] = channel(pixel, image->green_mask);
      out[2] = channel(pixel, image->blue_mask);
    }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(a.width);
  png.height = png_uint_32(a.height);
  png.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr)) {
    error = "cannot write " + path + ": " + png.message;
    return false;
  }
  return true;
}

}  // namespace demo
