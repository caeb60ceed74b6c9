#include "platform/filters/codecs/dv_camera.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/com/log.h"
#include "platform/filters/capture/test_pattern_image.h"
#include "platform/filters/codecs/video_types.h"
#include "platform/media/guids.h"
#include "platform/media/pin_category.h"
#include "platform/media/results.h"

DVCamera::DVCamera() : DVCamera(CLSID_DVCamera, false) {}

DVCamera::DVCamera(const CLSID& clsid, bool withPreview) : SourceFilter(clsid) {
  addStream(new DVCameraStream(this, u"Capture", PIN_CATEGORY_CAPTURE));
  if (withPreview) addStream(new DVCameraStream(this, u"Preview", PIN_CATEGORY_PREVIEW));
}

DVCameraStream::DVCameraStream(DVCamera* camera, const char16_t* name, const GUID& category)
    : SourceStream(camera, name), category_(category) {}

HRESULT DVCameraStream::checkMediaType(const MediaType& mt) {
  int w = 0, h = 0;
  return codedSizeOf(mt, VideoCodecKind::DV, &w, &h) && w == DVCamera::kWidth && h == DVCamera::kHeight
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DVCameraStream::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = makeCodedType(VideoCodecKind::DV, DVCamera::kWidth, DVCamera::kHeight, DVCamera::kFrameDuration);
  return S_OK;
}

HRESULT DVCameraStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const LONG frameBytes = static_cast<LONG>(dvFrameBytes(DVCamera::kWidth, DVCamera::kHeight));
  ALLOCATOR_PROPERTIES props{4, frameBytes, 16, 0};
  const ALLOCATOR_PROPERTIES& s = suggestedProperties();
  if (s.cBuffers > 0) props.cBuffers = s.cBuffers;
  if (s.cbBuffer > frameBytes) props.cbBuffer = s.cbBuffer;
  if (s.cbAlign > 0) props.cbAlign = s.cbAlign;
  if (s.cbPrefix > 0) props.cbPrefix = s.cbPrefix;
  props.cBuffers = std::max(props.cBuffers, request->cBuffers);
  return setAllocatorProperties(allocator, props, 1, frameBytes);
}

HRESULT DVCameraStream::onThreadStart() {
  frame_ = 0;
  picture_.assign(size_t(DVCamera::kWidth) * DVCamera::kHeight * 3, 0);
  EncoderSettings s;
  s.frameDuration = DVCamera::kFrameDuration;
  if (!encoder_.open(VideoCodecKind::DV, DVCamera::kWidth, DVCamera::kHeight, s)) return E_FAIL;
  return S_OK;
}

HRESULT DVCameraStream::onThreadStop() {
  encoder_.close();
  return S_OK;
}

HRESULT DVCameraStream::fillBuffer(IMediaSample* sample) {
  if (!encoder_.isOpen()) return E_FAIL;
  // A camera gives a frame when the frame is due, not as fast as it can;
  // the clock starts with the first frame of a run.
  if (frame_ == 0) start_ = std::chrono::steady_clock::now();
  auto due = start_ + std::chrono::microseconds(int64_t(frame_) * DVCamera::kFrameDuration / 10);
  std::this_thread::sleep_until(due);

  const int w = DVCamera::kWidth, h = DVCamera::kHeight;
  if (!renderTestPattern(frame_, VideoFormat{w, h, MEDIASUBTYPE_RGB24}, picture_.data(), picture_.size()))
    return E_FAIL;
  PictureFormat format{AV_PIX_FMT_BGR24, w, h, true};
  if (!encoder_.encode(format, picture_.data()) || encoder_.data().empty()) {
    platformLog(PlatformLogLevel::Error, "Built-in DV Camera: the DV encoder failed");
    return E_FAIL;
  }
  const std::vector<uint8_t>& dv = encoder_.data();
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  if (!data || dv.size() > static_cast<size_t>(sample->GetSize())) return E_FAIL;
  std::memcpy(data, dv.data(), dv.size());
  sample->SetActualDataLength(static_cast<LONG>(dv.size()));

  REFERENCE_TIME start = REFERENCE_TIME(frame_) * DVCamera::kFrameDuration;
  auto* camera = static_cast<DVCamera*>(filter());
  REFERENCE_TIME now = 0;
  if (camera->state() == State_Running && camera->streamTime(&now)) start = now;
  REFERENCE_TIME stop = start + DVCamera::kFrameDuration;
  sample->SetTime(&start, &stop);
  int64_t ms = frame_, me = int64_t(frame_) + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(frame_ == 0);
  ++frame_;
  return S_OK;
}

HRESULT DVCameraStream::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IKsPropertySet) {
    *object = static_cast<IKsPropertySet*>(this);
    AddRef();
    return S_OK;
  }
  return SourceStream::queryPinInterface(iid, object);
}

HRESULT DVCameraStream::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
  return pinCategorySet(set);
}

HRESULT DVCameraStream::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength, DWORD* returned) {
  return pinCategoryGet(category_, set, id, data, dataLength, returned);
}

HRESULT DVCameraStream::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  return pinCategoryQuerySupported(set, id, support);
}
