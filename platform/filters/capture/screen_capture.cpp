#include "platform/filters/capture/screen_capture.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr uint8_t kBadMatch = 8;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

std::string windowText(uint32_t window) {
  char text[32];
  std::snprintf(text, sizeof text, "window 0x%x", window);
  return text;
}

// Size of a window (or the root); false with the error code when the request fails.
bool windowSize(xcb_connection_t* c, uint32_t window, int* w, int* h, uint8_t* errorCode) {
  xcb_generic_error_t* e = nullptr;
  Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), &e));
  *errorCode = e ? e->error_code : 0;
  std::free(e);
  if (!g) return false;
  *w = g->width;
  *h = g->height;
  return true;
}

// The first screen's root, when its pixels are 32-bit B, G, R, X.
bool trueColourRoot(xcb_connection_t* c, uint32_t* root) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
  if (!screen || screen->root_depth != 24) return false;
  bool bits32 = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == 24) bits32 = f.data->bits_per_pixel == 32;
  if (!bits32 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == screen->root_visual)
        if (v.data->red_mask != 0xFF0000 || v.data->green_mask != 0xFF00 || v.data->blue_mask != 0xFF) return false;
  *root = screen->root;
  return true;
}

}  // namespace

ScreenDevice::~ScreenDevice() {
  close();
}

std::vector<VideoFormat> ScreenDevice::formats() {
  std::vector<PictureSize> sizes;
  if (xcb_connection_t* c = xcb_connect(nullptr, nullptr); c) {
    uint32_t root = 0;
    int w = 0, h = 0;
    uint8_t err = 0;
    if (!xcb_connection_has_error(c) && trueColourRoot(c, &root) && windowSize(c, window_ ? window_.load() : root, &w, &h, &err))
      sizes.push_back({w & ~1, h & ~1});
    xcb_disconnect(c);
  }
  sizes.insert(sizes.end(), std::begin(kFormatCodeSizes), std::end(kFormatCodeSizes));
  return formatsForSizes(sizes);
}

bool ScreenDevice::open(const VideoFormat&, REFERENCE_TIME, std::string* error) {
  close();
  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_)) {
    const char* name = std::getenv("DISPLAY");
    *error = std::string("cannot open the X display \"") + (name ? name : "") + "\"";
    close();
    return false;
  }
  uint32_t root = 0;
  if (!trueColourRoot(connection_, &root)) {
    *error = "the screen is not 24-bit true colour";
    close();
    return false;
  }
  target_ = window_ ? window_.load() : root;
  int w, h;
  uint8_t err = 0;
  if (!windowSize(connection_, target_, &w, &h, &err)) {
    *error = windowText(target_) + " does not exist";
    close();
    return false;
  }
  converter_.clear();
  return true;
}

void ScreenDevice::close() {
  if (connection_) xcb_disconnect(connection_);
  connection_ = nullptr;
}

GrabResult ScreenDevice::grab(uint64_t, std::string* error) {
  if (!connection_) {
    *error = "no X display";
    return GrabResult::Lost;
  }
  int w = 0, h = 0;
  uint8_t code = 0;
  if (!windowSize(connection_, target_, &w, &h, &code)) {
    if (xcb_connection_has_error(connection_)) {
      *error = "the X display connection was lost";
    } else {
      *error = windowText(target_) + " disappeared";
    }
    return GrabResult::Lost;
  }
  xcb_generic_error_t* e = nullptr;
  Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, target_, 0, 0, uint16_t(w), uint16_t(h), ~0u), &e));
  code = e ? e->error_code : 0;
  std::free(e);
  if (!image) {
    if (xcb_connection_has_error(connection_)) {
      *error = "the X display connection was lost";
      return GrabResult::Lost;
    }
    if (code == kBadMatch) return GrabResult::NoFrame;  // not viewable just now
    *error = windowText(target_) + " disappeared";
    return GrabResult::Lost;
  }
  size_t bytes = size_t(xcb_get_image_data_length(image.get()));
  size_t stride = size_t(w) * 4;
  if (bytes < stride * size_t(h) || image->depth != 24) return GrabResult::NoFrame;
  converter_.store(FrameConverter::Layout::Bgrx32, w, h, stride, xcb_get_image_data(image.get()));
  return GrabResult::Frame;
}

bool ScreenDevice::copyFrame(uint64_t, const VideoFormat& f, uint8_t* dst, size_t size) {
  return converter_.convert(f, dst, size);
}

ScreenCapture::ScreenCapture()
    : CaptureFilter(CLSID_ScreenCapture, std::make_unique<ScreenDevice>(), kScreenCaptureName) {
  device_ = static_cast<ScreenDevice*>(device());
}

HRESULT ScreenCapture::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IScreenCaptureControl) return getInterface(static_cast<IScreenCaptureControl*>(this), object);
  return CaptureFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT ScreenCapture::SetCaptureWindow(OAHWND window) {
  if (window < 0 || window > OAHWND(0xFFFFFFFF)) return E_INVALIDARG;
  device_->setWindow(static_cast<uint32_t>(window));
  invalidateFormats();
  return S_OK;
}

HRESULT ScreenCapture::GetCaptureWindow(OAHWND* window) {
  if (!window) return E_POINTER;
  *window = static_cast<OAHWND>(device_->window());
  return S_OK;
}
