// Video Renderer: shows uncompressed RGB video (24 or 32 bits) in an X11
// child window of the owner window given through IVideoWindow, scaled to the
// window's size. Without an owner window, or without a display, it renders
// off-screen. In both cases it keeps the last frame, which
// IVideoFrameSnapshot reads or saves as a PNG file.
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/renderer.h"

inline constexpr IID IID_IVideoFrameSnapshot = makeGuid("{4C1D7A02-93B8-4F0E-A6D5-2E6B0F3C8A12}");

struct IVideoFrameSnapshot : IUnknown {
  virtual HRESULT GetFrameSize(LONG* width, LONG* height) = 0;  // 3
  // The last frame, top-down, 3 bytes per pixel in R, G, B order.
  virtual HRESULT GetFrame(uint8_t* rgb, ULONG size) = 0;  // 4
  virtual HRESULT SaveFramePng(const char* path) = 0;      // 5
  virtual HRESULT GetFrameCount(uint64_t* count) = 0;      // 6
  // The X11 window the renderer draws into (0 when off-screen).
  virtual HRESULT GetVideoWindow(OAHWND* window) = 0;  // 7
  // Waits until the frame count passes `after` or timeoutMs pass, and gives
  // the count: S_OK when it passed, S_FALSE on the timeout. Lets a reader
  // take each frame as it is shown without polling the count.
  virtual HRESULT WaitFrameCount(uint64_t after, DWORD timeoutMs, uint64_t* count) = 0;  // 8

 protected:
  ~IVideoFrameSnapshot() = default;
};
PLATFORM_INTERFACE_ID(IVideoFrameSnapshot, IID_IVideoFrameSnapshot);

class VideoRenderer final : public BaseRenderer, public IVideoWindow, public IVideoFrameSnapshot {
 public:
  VideoRenderer();
  ~VideoRenderer() override;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return BaseRenderer::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return BaseRenderer::AddRef(); }
  ULONG Release() override { return BaseRenderer::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT checkMediaType(const MediaType& mt) override;
  HRESULT setMediaType(const MediaType& mt) override;
  HRESULT doRenderSample(IMediaSample* sample) override;
  HRESULT onStartStreaming() override;

  HRESULT put_WindowStyle(LONG v) override;
  HRESULT get_WindowStyle(LONG* v) override;
  HRESULT put_AutoShow(LONG v) override;
  HRESULT get_AutoShow(LONG* v) override;
  HRESULT put_Visible(LONG v) override;
  HRESULT get_Visible(LONG* v) override;
  HRESULT put_Left(LONG v) override;
  HRESULT get_Left(LONG* v) override;
  HRESULT put_Width(LONG v) override;
  HRESULT get_Width(LONG* v) override;
  HRESULT put_Top(LONG v) override;
  HRESULT get_Top(LONG* v) override;
  HRESULT put_Height(LONG v) override;
  HRESULT get_Height(LONG* v) override;
  HRESULT put_Owner(OAHWND v) override;
  HRESULT get_Owner(OAHWND* v) override;
  HRESULT SetWindowPosition(LONG l, LONG t, LONG w, LONG h) override;
  HRESULT GetWindowPosition(LONG* l, LONG* t, LONG* w, LONG* h) override;

  HRESULT GetFrameSize(LONG* width, LONG* height) override;
  HRESULT GetFrame(uint8_t* rgb, ULONG size) override;
  HRESULT SaveFramePng(const char* path) override;
  HRESULT GetFrameCount(uint64_t* count) override;
  HRESULT GetVideoWindow(OAHWND* window) override;
  HRESULT WaitFrameCount(uint64_t after, DWORD timeoutMs, uint64_t* count) override;

 private:
  struct X11State;
  void updateWindow();  // creates, moves, shows or hides the child window (under windowLock_)
  void destroyWindow();
  void draw();  // puts the last frame into the window (under windowLock_)
  void unpack();  // brings frame_ up to the last sample kept (under windowLock_)
  // Repaints the window from the last frame when it is exposed (uncovered,
  // mapped, resized), also while no frames arrive: the renderer's thread.
  void watchExposure();

  std::mutex windowLock_;
  std::condition_variable windowCreated_;
  bool stopWatching_ = false;  // under windowLock_
  std::thread watcher_;
  X11State* x_ = nullptr;
  OAHWND owner_ = 0;
  LONG style_ = 0, left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = false, autoShow_ = true, sizeSet_ = false;

  // Connected format.
  int videoWidth_ = 0, videoHeight_ = 0, bitCount_ = 0, stride_ = 0;
  bool bottomUp_ = true;
  // The last sample is kept as it came and turned into top-down RGB only
  // when someone looks at it (window, snapshot), not for every frame.
  std::vector<uint8_t> sample_;  // last sample's picture bytes
  bool unpacked_ = true;         // frame_ holds sample_'s picture
  std::vector<uint8_t> frame_;   // last frame, top-down RGB
  bool haveFrame_ = false;
  std::atomic<uint64_t> frames_{0};
  std::condition_variable frameShown_;  // frames_ went up (with windowLock_)
};
