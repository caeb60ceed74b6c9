#include "platform/filters/video_renderer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/com/log.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
#include "platform/media/results.h"
#include "platform/win/own_x_connection.h"

namespace {

// X errors on the renderer's own display connections (an owner window that
// vanished, for instance) are logged and ignored.
void logXError(int errorCode, int requestCode, unsigned long resource) {
  platformLog(PlatformLogLevel::Warn, "video renderer: X error %d (request %d) on window 0x%lx", errorCode,
              requestCode, resource);
}

int shiftOf(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}
}  // namespace

struct VideoRenderer::X11State {
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  std::vector<uint32_t> pixels;  // the image's memory (owned here, not by Xlib)
  int redShift = 16, greenShift = 8, blueShift = 0;
  bool mapped = false;

  ~X11State() {
    if (image) {
      image->data = nullptr;
      XDestroyImage(image);
    }
    if (display) {
      if (gc) XFreeGC(display, gc);
      if (window) XDestroyWindow(display, window);
      closeOwnXConnection(display);
    }
  }
};

VideoRenderer::VideoRenderer() : BaseRenderer(CLSID_VideoRenderer, u"Input") {
  watcher_ = std::thread(&VideoRenderer::watchExposure, this);
}

VideoRenderer::~VideoRenderer() {
  {
    std::lock_guard<std::mutex> g(windowLock_);
    stopWatching_ = true;
  }
  windowCreated_.notify_all();
  watcher_.join();
  destroyWindow();
}

void VideoRenderer::watchExposure() {
  std::unique_lock<std::mutex> lock(windowLock_);
  while (!stopWatching_) {
    if (!x_) {
      windowCreated_.wait(lock);
      continue;
    }
    // Events may also have been read into the queue by a draw on the
    // streaming thread, so the queue is looked at on every pass, not only
    // when the connection has data.
    bool exposed = false;
    while (XPending(x_->display) > 0) {
      XEvent event;
      XNextEvent(x_->display, &event);
      if (event.type == Expose && event.xexpose.window == x_->window) exposed = true;
    }
    if (exposed) draw();
    pollfd p{ConnectionNumber(x_->display), POLLIN, 0};
    lock.unlock();
    poll(&p, 1, 100);
    lock.lock();
  }
}

HRESULT VideoRenderer::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IVideoWindow) return getInterface(static_cast<IVideoWindow*>(this), object);
  if (iid == IID_IVideoFrameSnapshot) return getInterface(static_cast<IVideoFrameSnapshot*>(this), object);
  return BaseRenderer::nonDelegatingQueryInterface(iid, object);
}

HRESULT VideoRenderer::checkMediaType(const MediaType& mt) {
  if (mt.majortype() != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
  if (mt.subtype() != MEDIASUBTYPE_RGB24 && mt.subtype() != MEDIASUBTYPE_RGB32)
    return VFW_E_TYPE_NOT_ACCEPTED;
  VideoInfoHeader vih;
  if (!videoInfoOf(mt.get(), vih)) return VFW_E_TYPE_NOT_ACCEPTED;
  const BitmapInfoHeader& b = vih.bmi;
  if (b.compression != BI_RGB || (b.bitCount != 24 && b.bitCount != 32) || bitmapImageSize(b) == 0 ||
      b.width > 8192 || b.height > 8192 || b.height < -8192) {
    platformLog(PlatformLogLevel::Notice, "video renderer: refusing %dx%d %u-bit compression %u", b.width,
                b.height, b.bitCount, b.compression);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT VideoRenderer::setMediaType(const MediaType& mt) {
  VideoInfoHeader vih;
  if (!videoInfoOf(mt.get(), vih)) return VFW_E_TYPE_NOT_ACCEPTED;
  std::lock_guard<std::mutex> g(windowLock_);
  videoWidth_ = vih.bmi.width;
  bottomUp_ = vih.bmi.height > 0;
  videoHeight_ = bottomUp_ ? vih.bmi.height : -vih.bmi.height;
  bitCount_ = vih.bmi.bitCount;
  stride_ = ((videoWidth_ * bitCount_ + 31) & ~31) / 8;
  frame_.assign(size_t(videoWidth_) * videoHeight_ * 3, 0);
  sample_.clear();
  unpacked_ = true;
  haveFrame_ = false;
  if (!sizeSet_) {
    width_ = videoWidth_;
    height_ = videoHeight_;
  }
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::onStartStreaming() {
  std::lock_guard<std::mutex> g(windowLock_);
  if (autoShow_) visible_ = true;
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::doRenderSample(IMediaSample* sample) {
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  LONG length = sample->GetActualDataLength();
  std::lock_guard<std::mutex> g(windowLock_);
  size_t need = size_t(stride_) * videoHeight_;
  if (!data || length < 0 || size_t(length) < need) {
    platformLog(PlatformLogLevel::Notice, "video renderer: sample of %d bytes is shorter than a %dx%d frame",
                length, videoWidth_, videoHeight_);
    return S_OK;  // not an error for the stream: the frame is skipped
  }
  sample_.assign(data, data + need);
  unpacked_ = false;
  haveFrame_ = true;
  frames_.fetch_add(1);
  draw();
  frameShown_.notify_all();
  return S_OK;
}

namespace {

// One row from B, G, R(, X) in memory to R, G, B; the pixel size is a
// constant so that the loop compiles to plain byte moves without a
// multiply per pixel.
template <int kBytes>
void swapRow(const uint8_t* src, uint8_t* dst, int width) {
  for (int x = 0; x < width; ++x, src += kBytes, dst += 3) {
    const uint8_t b = src[0], g = src[1], r = src[2];
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
  }
}

}  // namespace

void VideoRenderer::unpack() {
  if (unpacked_ || sample_.size() < size_t(stride_) * videoHeight_) return;
  const auto row = bitCount_ == 32 ? swapRow<4> : swapRow<3>;
  for (int y = 0; y < videoHeight_; ++y) {
    const uint8_t* src = sample_.data() + size_t(bottomUp_ ? videoHeight_ - 1 - y : y) * stride_;
    row(src, frame_.data() + size_t(y) * videoWidth_ * 3, videoWidth_);
  }
  unpacked_ = true;
}

void VideoRenderer::destroyWindow() {
  std::lock_guard<std::mutex> g(windowLock_);
  delete x_;
  x_ = nullptr;
}

void VideoRenderer::updateWindow() {
  if (!owner_) {
    delete x_;
    x_ = nullptr;
    return;
  }
  if (!x_) {
    auto* x = new X11State;
    x->display = openOwnXConnection(nullptr, logXError);
    if (!x->display) {
      platformLog(PlatformLogLevel::Notice, "video renderer: no X display, rendering off-screen");
      delete x;
      return;
    }
    XWindowAttributes ownerAttrs;
    // An owner that does not exist makes the X server report an error.
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    int errorsBefore = ownXConnectionErrors();
    bool found = XQueryTree(x->display, static_cast<Window>(owner_), &root, &parent, &children, &count) &&
                 XGetWindowAttributes(x->display, static_cast<Window>(owner_), &ownerAttrs);
    XSync(x->display, False);
    if (!found || ownXConnectionErrors() != errorsBefore) {
      platformLog(PlatformLogLevel::Warn,
                  "video renderer: owner window 0x%lx not found, rendering off-screen",
                  static_cast<unsigned long>(owner_));
      if (children) XFree(children);
      delete x;
      return;
    }
    if (children) XFree(children);
    int screen = DefaultScreen(x->display);
    Visual* visual = DefaultVisual(x->display, screen);
    x->redShift = shiftOf(visual->red_mask);
    x->greenShift = shiftOf(visual->green_mask);
    x->blueShift = shiftOf(visual->blue_mask);
    XSetWindowAttributes attrs{};
    attrs.background_pixel = BlackPixel(x->display, screen);
    x->window = XCreateWindow(x->display, static_cast<Window>(owner_), left_, top_, width_ > 0 ? width_ : 1,
                              height_ > 0 ? height_ : 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixel, &attrs);
    x->gc = XCreateGC(x->display, x->window, 0, nullptr);
    XSelectInput(x->display, x->window, ExposureMask);
    x_ = x;
    windowCreated_.notify_all();
  }
  XMoveResizeWindow(x_->display, x_->window, left_, top_, width_ > 0 ? width_ : 1, height_ > 0 ? height_ : 1);
  if (visible_ && !x_->mapped) XMapRaised(x_->display, x_->window);
  if (!visible_ && x_->mapped) XUnmapWindow(x_->display, x_->window);
  x_->mapped = visible_;
  XSync(x_->display, False);
  if (haveFrame_) draw();
}

void VideoRenderer::draw() {
  if (!x_ || !x_->mapped || !haveFrame_ || width_ <= 0 || height_ <= 0) return;
  unpack();
  int w = width_, h = height_;
  if (!x_->image || x_->image->width != w || x_->image->height != h) {
    if (x_->image) {
      x_->image->data = nullptr;
      XDestroyImage(x_->image);
    }
    x_->pixels.assign(size_t(w) * h, 0);
    x_->image = XCreateImage(x_->display, DefaultVisual(x_->display, DefaultScreen(x_->display)),
                             DefaultDepth(x_->display, DefaultScreen(x_->display)), ZPixmap, 0,
                             reinterpret_cast<char*>(x_->pixels.data()), w, h, 32, w * 4);
    if (!x_->image) return;
  }
  // Nearest-neighbour scaling to the window's size.
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = frame_.data() + size_t(int64_t(y) * videoHeight_ / h) * videoWidth_ * 3;
    uint32_t* out = x_->pixels.data() + size_t(y) * w;
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = row + size_t(int64_t(x) * videoWidth_ / w) * 3;
      out[x] = (uint32_t(p[0]) << x_->redShift) | (uint32_t(p[1]) << x_->greenShift) |
               (uint32_t(p[2]) << x_->blueShift);
    }
  }
  XPutImage(x_->display, x_->window, x_->gc, x_->image, 0, 0, 0, 0, w, h);
  XSync(x_->display, False);
}

#define WINDOW_SETTER(name, field, expr)        \
  HRESULT VideoRenderer::name(LONG v) {         \
    std::lock_guard<std::mutex> g(windowLock_); \
    field = expr;                               \
    updateWindow();                             \
    return S_OK;                                \
  }
#define WINDOW_GETTER(name, expr)               \
  HRESULT VideoRenderer::name(LONG* v) {        \
    if (!v) return E_POINTER;                   \
    std::lock_guard<std::mutex> g(windowLock_); \
    *v = expr;                                  \
    return S_OK;                                \
  }

WINDOW_SETTER(put_WindowStyle, style_, v)
WINDOW_GETTER(get_WindowStyle, style_)
WINDOW_SETTER(put_AutoShow, autoShow_, v != OAFALSE)
WINDOW_GETTER(get_AutoShow, autoShow_ ? OATRUE : OAFALSE)
WINDOW_SETTER(put_Visible, visible_, v != OAFALSE)
WINDOW_GETTER(get_Visible, visible_ ? OATRUE : OAFALSE)
WINDOW_SETTER(put_Left, left_, v)
WINDOW_GETTER(get_Left, left_)
WINDOW_SETTER(put_Top, top_, v)
WINDOW_GETTER(get_Top, top_)
WINDOW_GETTER(get_Width, width_)
WINDOW_GETTER(get_Height, height_)
#undef WINDOW_SETTER
#undef WINDOW_GETTER

HRESULT VideoRenderer::put_Width(LONG v) {
  if (v <= 0) return E_INVALIDARG;
  std::lock_guard<std::mutex> g(windowLock_);
  width_ = v;
  sizeSet_ = true;
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::put_Height(LONG v) {
  if (v <= 0) return E_INVALIDARG;
  std::lock_guard<std::mutex> g(windowLock_);
  height_ = v;
  sizeSet_ = true;
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::put_Owner(OAHWND v) {
  std::lock_guard<std::mutex> g(windowLock_);
  if (v != owner_) {
    delete x_;
    x_ = nullptr;
    owner_ = v;
  }
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::get_Owner(OAHWND* v) {
  if (!v) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  *v = owner_;
  return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(LONG l, LONG t, LONG w, LONG h) {
  if (w <= 0 || h <= 0) return E_INVALIDARG;
  std::lock_guard<std::mutex> g(windowLock_);
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  sizeSet_ = true;
  updateWindow();
  return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* l, LONG* t, LONG* w, LONG* h) {
  if (!l || !t || !w || !h) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  *l = left_;
  *t = top_;
  *w = width_;
  *h = height_;
  return S_OK;
}

HRESULT VideoRenderer::GetFrameSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  *width = videoWidth_;
  *height = videoHeight_;
  return haveFrame_ ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::GetFrame(uint8_t* rgb, ULONG size) {
  if (!rgb) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  if (!haveFrame_) return VFW_E_NOT_CONNECTED;
  if (size < frame_.size()) return E_INVALIDARG;
  unpack();
  std::memcpy(rgb, frame_.data(), frame_.size());
  return S_OK;
}

HRESULT VideoRenderer::GetFrameCount(uint64_t* count) {
  if (!count) return E_POINTER;
  *count = frames_.load();
  return S_OK;
}

HRESULT VideoRenderer::WaitFrameCount(uint64_t after, DWORD timeoutMs, uint64_t* count) {
  if (!count) return E_POINTER;
  std::unique_lock<std::mutex> g(windowLock_);
  const bool passed = frameShown_.wait_for(g, std::chrono::milliseconds(timeoutMs),
                                           [&] { return frames_.load() > after; });
  *count = frames_.load();
  return passed ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::GetVideoWindow(OAHWND* window) {
  if (!window) return E_POINTER;
  std::lock_guard<std::mutex> g(windowLock_);
  *window = x_ ? static_cast<OAHWND>(x_->window) : 0;
  return S_OK;
}

HRESULT VideoRenderer::SaveFramePng(const char* path) {
  if (!path) return E_POINTER;
  std::vector<uint8_t> copy;
  int w, h;
  {
    std::lock_guard<std::mutex> g(windowLock_);
    if (!haveFrame_) return VFW_E_NOT_CONNECTED;
    unpack();
    copy = frame_;
    w = videoWidth_;
    h = videoHeight_;
  }
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    platformLog(PlatformLogLevel::Error, "video renderer: cannot write %s", path);
    return E_ACCESSDENIED;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    platformLog(PlatformLogLevel::Error, "video renderer: PNG encoding of %s failed", path);
    return E_FAIL;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, copy.data() + size_t(y) * w * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 ? S_OK : E_FAIL;
}
