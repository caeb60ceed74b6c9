#include "filters/loupex/loupex_filter.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "filters/pointer/pointer_info.h"
#include "platform/com/com_ptr.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

namespace {

// The media type's picture, when it is one the zoom can take: video-info,
// uncompressed 24-bit RGB, bottom-up, of a size the transform handles.
bool rgb24Picture(const MediaType& mt, VideoInfoHeader& vih) {
  if (mt.majortype() != MEDIATYPE_Video || mt.subtype() != MEDIASUBTYPE_RGB24 ||
      mt.formattype() != FORMAT_VideoInfo)
    return false;
  if (!videoInfoOf(mt.get(), vih)) return false;
  const BitmapInfoHeader& b = vih.bmi;
  return b.bitCount == 24 && b.compression == BI_RGB && b.width > 0 && b.height > 0 &&
         b.width <= ZoomTransform::kMaxSide && b.height <= ZoomTransform::kMaxSide;
}

// Rows of a 24-bit bitmap are padded to 32 bits (no padding for widths that
// are a multiple of 4, as every output format is).
size_t rowStride(int32_t width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
}

}  // namespace

// ---------------------------------------------------------------- pointer pin

LoupexPointerPin::LoupexPointerPin(LoupexFilter* filter, const char16_t* name)
    : BaseInputPin(filter, name), loupex_(filter) {}

HRESULT LoupexPointerPin::checkMediaType(const MediaType& mt) {
  return mt.majortype() == MEDIATYPE_Stream && mt.subtype() == MEDIASUBTYPE_PointerInfo
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT LoupexPointerPin::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt->setFixedSizeSamples(true);
  mt->setSampleSize(pointing::kPointerInfoSize);
  return S_OK;
}

HRESULT LoupexPointerPin::receive(IMediaSample* sample) {
  std::lock_guard<std::mutex> g(receiveLock_);
  HRESULT hr = checkStreaming();
  if (hr != S_OK) return hr;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
  const LONG length = sample->GetActualDataLength();
  pointing::POINTER_INFO info;
  // A sample shorter than a record is dropped.
  if (length < 0 || !pointing::readPointerInfo(data, static_cast<size_t>(length), info)) return S_OK;
  if (pointing::movesFocus(info)) loupex_->pointerMoved(info.positionX, info.positionY);
  return S_OK;
}

// ---------------------------------------------------------------- filter

LoupexFilter::LoupexFilter() : TransformFilter(CLSID_LoupexFilter) {
  transform_.invalidateTable();
}

LoupexFilter::~LoupexFilter() {
  if (pointer_) pointer_->ownerRelease();
}

HRESULT LoupexFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_ILoupexControl) return getInterface(static_cast<ILoupexControl*>(this), object);
  return TransformFilter::nonDelegatingQueryInterface(iid, object);
}

void LoupexFilter::createPins() {
  TransformFilter::createPins();
  pointer_ = new LoupexPointerPin(this, u"PointerIn");
  pointer_->ownerAddRef();
}

BasePin* LoupexFilter::pin(int index) {
  if (index == 2) {
    TransformFilter::pin(0);  // the three pins are made together
    return pointer_;
  }
  return TransformFilter::pin(index);
}

HRESULT LoupexFilter::FindPin(const char16_t* id, IPin** result) {
  if (!id || !result) return E_POINTER;
  *result = nullptr;
  const std::u16string name = id;
  int index = name == u"In" ? 0 : name == u"Out" ? 1 : name == u"PointerIn" ? 2 : -1;
  if (index < 0) return VFW_E_NOT_FOUND;
  std::lock_guard<std::recursive_mutex> g(lock_);
  BasePin* p = pin(index);
  if (!p) return VFW_E_NOT_FOUND;
  p->AddRef();
  *result = p;
  return S_OK;
}

HRESULT LoupexFilter::Stop() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  bool wasActive = state_ != State_Stopped;
  HRESULT hr = TransformFilter::Stop();
  if (wasActive && pointer_) std::lock_guard<std::mutex> r(pointer_->receiveLock());  // a record in flight
  return hr;
}

HRESULT LoupexFilter::checkInputType(const MediaType& mt) {
  VideoInfoHeader vih;
  return rgb24Picture(mt, vih) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT LoupexFilter::checkTransform(const MediaType& in, const MediaType& out) {
  VideoInfoHeader vin, vout;
  if (!rgb24Picture(in, vin) || !rgb24Picture(out, vout)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (vout.source.right != vout.bmi.width || vout.source.bottom != vout.bmi.height)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT LoupexFilter::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  TransformInputPin* in = inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  VideoInfoHeader vin;
  if (!videoInfoOf(in->currentMediaType().get(), vin)) return E_UNEXPECTED;
  int32_t format;
  {
    std::lock_guard<std::recursive_mutex> g(settingsLock_);
    format = outputFormat_;
  }
  const LoupexOutputFormat& f = kLoupexOutputFormats[format];
  VideoInfoHeader vih;  // a new, zero-filled block
  vih.bmi.size = kBitmapInfoHeaderSize;
  vih.bmi.bitCount = vin.bmi.bitCount;
  vih.bmi.xPelsPerMeter = vin.bmi.xPelsPerMeter;
  vih.bmi.yPelsPerMeter = vin.bmi.yPelsPerMeter;
  vih.bmi.clrUsed = vin.bmi.clrUsed;
  vih.bmi.clrImportant = vin.bmi.clrImportant;
  vih.bmi.compression = BI_RGB;
  vih.bmi.width = f.width;
  vih.bmi.height = f.height;
  vih.bmi.planes = 1;
  vih.bmi.sizeImage = bitmapImageSize(vih.bmi);
  vih.source = {0, 0, f.width, f.height};
  *mt = MediaType(MEDIATYPE_Video, subtypeFromBitmapHeader(vih.bmi), FORMAT_VideoInfo);
  mt->setFormat(makeVideoInfoBlock(vih));
  mt->setSampleSize(vih.bmi.sizeImage);
  mt->setFixedSizeSamples(true);
  mt->setTemporalCompression(false);
  return S_OK;
}

HRESULT LoupexFilter::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  TransformInputPin* in = inputPin();
  TransformOutputPin* out = outputPin();
  if (!in || !in->isConnected() || !out) return E_UNEXPECTED;
  LONG size = static_cast<LONG>(out->currentMediaType().sampleSize());
  if (!in->currentMediaType().fixedSizeSamples()) size = std::max<LONG>(size, 100000);
  ALLOCATOR_PROPERTIES props{std::max<LONG>(1, request->cBuffers), size, std::max<LONG>(1, request->cbAlign),
                             request->cbPrefix};
  return setAllocatorProperties(allocator, props, 1, size);
}

void LoupexFilter::fitMaskTo(const MediaType& mt) {
  VideoInfoHeader vih;
  if (!videoInfoOf(mt.get(), vih)) return;
  const int32_t width = vih.bmi.width, height = vih.bmi.height < 0 ? -vih.bmi.height : vih.bmi.height;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  int32_t w = zoom_.maskWidth, h = zoom_.maskHeight;
  // A mask is never reduced below one pixel (a one-pixel-wide picture).
  if (w >= width) w = std::max(1, width - 1);
  if (h >= height) h = std::max(1, height - 1);
  if (w != zoom_.maskWidth || h != zoom_.maskHeight) {
    zoom_.maskWidth = w;
    zoom_.maskHeight = h;
    transform_.invalidateTable();
  }
}

HRESULT LoupexFilter::setMediaType(PIN_DIRECTION, const MediaType& mt) {
  fitMaskTo(mt);
  return S_OK;
}

HRESULT LoupexFilter::completeConnect(PIN_DIRECTION dir, IPin*) {
  // A new input type makes a new output type: reconnect the output.
  if (dir == PINDIR_INPUT && outputPin() && outputPin()->isConnected() &&
      !(inputPin()->currentMediaType() == outputPin()->currentMediaType()))
    reconnectOutput();
  return S_OK;
}

void LoupexFilter::reconnectOutput() {
  TransformOutputPin* out = outputPin();
  if (!out || !out->isConnected() || !graph()) return;
  graph()->Reconnect(out);
}

HRESULT LoupexFilter::transform(IMediaSample* in, IMediaSample* out) {
  std::lock_guard<std::mutex> r(receiveLock_);
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  VideoInfoHeader vin, vout;
  if (!videoInfoOf(inputPin()->currentMediaType().get(), vin) ||
      !videoInfoOf(outputPin()->currentMediaType().get(), vout))
    return E_UNEXPECTED;
  uint8_t *src = nullptr, *dst = nullptr;
  if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)) || !dst) return E_UNEXPECTED;
  const LONG inLength = std::max<LONG>(0, in->GetActualDataLength());
  const LONG outSize = std::max<LONG>(0, out->GetSize());
  RgbConstPicture inPic{src, src ? static_cast<size_t>(inLength) : 0, vin.bmi.width, vin.bmi.height,
                        rowStride(vin.bmi.width)};
  RgbPicture outPic{dst, static_cast<size_t>(outSize), vout.bmi.width, vout.bmi.height,
                    rowStride(vout.bmi.width)};
  if (!outPic.fits()) return S_FALSE;  // a buffer smaller than the picture: drop the frame

  ZoomSettings s = zoom_;
  s.pointerConnected = pointer_ && pointer_->isConnected();
  s.pointerX = pointerX_;
  s.pointerY = pointerY_;
  // An input shorter than its media type says gives a black picture.
  transform_.transform(s, inPic, outPic);
  const size_t image = outPic.stride * static_cast<size_t>(outPic.height);
  out->SetActualDataLength(static_cast<LONG>(std::min<size_t>(image, static_cast<size_t>(outSize))));
  return S_OK;
}

void LoupexFilter::pointerMoved(float x, float y) {
  std::lock_guard<std::mutex> r(receiveLock_);
  pointerX_ = x;
  pointerY_ = y;
}

void LoupexFilter::pointerPosition(float& x, float& y) {
  std::lock_guard<std::mutex> r(receiveLock_);
  x = pointerX_;
  y = pointerY_;
}

// ---------------------------------------------------------------- settings

HRESULT LoupexFilter::writeSettings(ByteWriter& out) {
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  out.i32(outputFormat_);
  out.i32(zoom_.maskType);
  out.i32(zoom_.fixedX);
  out.i32(zoom_.fixedY);
  out.i32(zoom_.maskWidth);
  out.i32(zoom_.maskHeight);
  out.u8(zoom_.fixedMode ? 1 : 0);
  return S_OK;
}

HRESULT LoupexFilter::readSettings(ByteReader& in, int) {
  const int32_t format = in.i32(), type = in.i32(), x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  const uint8_t fixed = in.u8();
  if (in.failed()) return E_FAIL;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  outputFormat_ = std::clamp(format, 0, kLoupexOutputFormatCount - 1);
  zoom_.maskType = type;
  zoom_.fixedX = x;
  zoom_.fixedY = y;
  if (w > 0 && h > 0) {
    zoom_.maskWidth = w;
    zoom_.maskHeight = h;
    for (int i = 0; i < 2; ++i)
      if (BasePin* p = TransformFilter::pin(i); p && p->isConnected()) fitMaskTo(p->currentMediaType());
    transform_.invalidateTable();
  }
  zoom_.fixedMode = fixed != 0;
  return S_OK;
}

// ---------------------------------------------------------------- ILoupexControl

HRESULT LoupexFilter::getOutputVideoFormat(int32_t* format) {
  if (!format) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  *format = outputFormat_;
  return S_OK;
}

HRESULT LoupexFilter::setOutputVideoFormat(int32_t format) {
  format = std::clamp(format, 0, kLoupexOutputFormatCount - 1);
  {
    std::lock_guard<std::recursive_mutex> g(settingsLock_);
    if (format == outputFormat_) return S_OK;
    outputFormat_ = format;
    setDirty(true);
  }
  // Outside the settings lock: reconnecting stops nothing but takes the
  // graph's and the filter's locks.
  reconnectOutput();
  return S_OK;
}

HRESULT LoupexFilter::getMask(int32_t* type) {
  if (!type) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  *type = zoom_.maskType;
  return S_OK;
}

HRESULT LoupexFilter::setMask(int32_t type) {
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  if (type != zoom_.maskType) {
    zoom_.maskType = type;
    setDirty(true);
  }
  return S_OK;
}

HRESULT LoupexFilter::getMaskPosition(int32_t* x, int32_t* y) {
  if (!x || !y) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  *x = zoom_.fixedX;
  *y = zoom_.fixedY;
  return S_OK;
}

HRESULT LoupexFilter::setMaskPosition(int32_t x, int32_t y) {
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  if (x != zoom_.fixedX || y != zoom_.fixedY) {
    zoom_.fixedX = x;
    zoom_.fixedY = y;
    setDirty(true);
  }
  return S_OK;
}

HRESULT LoupexFilter::getMaskSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  *width = zoom_.maskWidth;
  *height = zoom_.maskHeight;
  return S_OK;
}

HRESULT LoupexFilter::setMaskSize(int32_t width, int32_t height) {
  // Zero or negative sizes are no mask at all: nothing changes.
  if (width <= 0 || height <= 0) return S_OK;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  if (width == zoom_.maskWidth && height == zoom_.maskHeight) return S_OK;
  zoom_.maskWidth = width;
  zoom_.maskHeight = height;
  for (int i = 0; i < 2; ++i)
    if (BasePin* p = TransformFilter::pin(i); p && p->isConnected()) fitMaskTo(p->currentMediaType());
  transform_.invalidateTable();
  setDirty(true);
  return S_OK;
}

HRESULT LoupexFilter::getPointerInputDisabled(uint8_t* disabled) {
  if (!disabled) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  *disabled = zoom_.fixedMode ? 1 : 0;
  return S_OK;
}

HRESULT LoupexFilter::setPointerInputDisabled(uint8_t disabled) {
  std::lock_guard<std::recursive_mutex> g(settingsLock_);
  if ((disabled != 0) != zoom_.fixedMode) {
    zoom_.fixedMode = disabled != 0;
    setDirty(true);
  }
  return S_OK;
}
