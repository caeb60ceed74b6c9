// Format transform: converts a video picture to RGB24 of a chosen size with
// libswscale (colour conversion and scaling in one pass). The codes of its
// control interface are listed in outside_interfaces.h.
//
// Input: uncompressed video with a video-info format in RGB555, RGB565,
// RGB24, RGB32 (bottom-up or top-down), YUY2, UYVY, I420 or YV12, limited by
// the input colour format (3 takes any of them) and the input video format
// (8 takes any size). Output: RGB24, bottom-up, of the output video format's
// size (8: the input's size). Codes set while the pins are connected take
// effect at the next connection.
#pragma once
#include <atomic>
#include <vector>

#include "platform/filters/outside/outside_interfaces.h"
#include "platform/media/transform_filter.h"

struct SwsContext;

class FormatTransform final : public TransformFilter, public IFormatTransformControl {
 public:
  FormatTransform();
  ~FormatTransform() override;
  HRESULT QueryInterface(REFIID iid, void** object) override { return TransformFilter::QueryInterface(iid, object); }
  ULONG AddRef() override { return TransformFilter::AddRef(); }
  ULONG Release() override { return TransformFilter::Release(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT checkInputType(const MediaType& mt) override;
  HRESULT checkTransform(const MediaType& in, const MediaType& out) override;
  HRESULT getMediaType(int position, MediaType* mt) override;
  HRESULT decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT startStreaming() override;
  HRESULT stopStreaming() override;

  HRESULT GetInputVideoFormat(int* code) override;
  HRESULT SetInputVideoFormat(int code) override;
  HRESULT GetVideoFormatName(int code, char* text, ULONG size) override;
  HRESULT GetInputVideoFormatColor(int* code) override;
  HRESULT SetInputVideoFormatColor(int code) override;
  HRESULT GetColorFormatName(int code, char* text, ULONG size) override;
  HRESULT GetOutputVideoFormat(int* code) override;
  HRESULT SetOutputVideoFormat(int code) override;
  HRESULT GetActualOutputVideoSize(LONG* width, LONG* height) override;
  HRESULT GetActualInputVideoFormat(int* code) override;
  HRESULT GetActualInputVideoFormatColor(int* code) override;
  HRESULT GetActualOutputVideoFormat(int* code) override;

 private:
  // What an input type is made of; false when the filter cannot take it.
  struct Input {
    int color = outside::kAnyColor;
    int width = 0, height = 0;  // height always positive
    bool bottomUp = false;
    int64_t frameTime = 0;
  };
  static bool describeInput(const MediaType& mt, Input* in);
  // The output size for an input of this size.
  void outputSize(const Input& in, int* width, int* height) const;

  std::atomic<int> inputFormat_{outside::kThrough};
  std::atomic<int> inputColor_{outside::kAnyColor};
  std::atomic<int> outputFormat_{outside::kThrough};
  SwsContext* sws_ = nullptr;
  Input in_;               // the connected input, while streaming
  int outW_ = 0, outH_ = 0;  // the connected output, while streaming
  std::vector<uint8_t> scratchIn_, scratchOut_;  // padded copies for odd widths
  // RGB24 pictures that change size are scaled colour by colour: split into
  // planes, each plane scaled, planes joined again (see startStreaming).
  bool startPlanarScaling();
  void stopPlanarScaling();
  void scalePlanes(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride);
  SwsContext* split_ = nullptr;
  SwsContext* scalePlanes_ = nullptr;
  SwsContext* join_ = nullptr;
  uint8_t* planesIn_ = nullptr;   // three planes of the input's size
  uint8_t* planesOut_ = nullptr;  // three planes of the output's size
};
