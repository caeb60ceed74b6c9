#include "filters/blendor/blendor_filter.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/com/wide_text.h"
#include "platform/media/guids.h"
#include "platform/media/records.h"
#include "platform/media/results.h"

namespace {

constexpr int32_t kWhite = 7;

size_t rowStride(int32_t width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
}

bool rgb24Picture(const MediaType& mt, VideoInfoHeader& vih) {
  if (mt.majortype() != MEDIATYPE_Video || mt.subtype() != MEDIASUBTYPE_RGB24 ||
      mt.formattype() != FORMAT_VideoInfo)
    return false;
  if (!videoInfoOf(mt.get(), vih)) return false;
  const BitmapInfoHeader& b = vih.bmi;
  // Bottom-up rows only: the pointers are drawn counting rows from the bottom.
  return b.bitCount == 24 && b.compression == BI_RGB && b.width > 0 && b.height > 0 && b.width <= 65535 &&
         b.height <= 65535;
}

}  // namespace

// ---------------------------------------------------------------- pointer input

BlendorPointerPin::BlendorPointerPin(BlendorFilter* filter, const char16_t* name)
    : BaseInputPin(filter, name), blendor_(filter) {}

HRESULT BlendorPointerPin::checkMediaType(const MediaType& mt) {
  return mt.majortype() == MEDIATYPE_Stream && mt.subtype() == MEDIASUBTYPE_PointerInfo &&
                 (mt.formattype() == FORMAT_None || mt.formattype() == GUID_NULL)
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT BlendorPointerPin::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt->setFixedSizeSamples(true);
  mt->setSampleSize(pointing::kPointerInfoSize);
  return S_OK;
}

HRESULT BlendorPointerPin::completeConnect(IPin* peer) {
  HRESULT hr = BaseInputPin::completeConnect(peer);
  if (SUCCEEDED(hr)) blendor_->pointerConnected(this);
  return hr;
}

HRESULT BlendorPointerPin::breakConnect() {
  {
    // A pointer that is no longer connected is not drawn.
    std::lock_guard<std::mutex> g(recordLock_);
    record_ = pointing::POINTER_INFO{};
  }
  const bool wasConnected = isConnected();
  HRESULT hr = BaseInputPin::breakConnect();
  if (wasConnected) blendor_->pointerDisconnecting(this);
  return hr;
}

HRESULT BlendorPointerPin::receive(IMediaSample* sample) {
  std::lock_guard<std::mutex> g(receiveLock_);
  HRESULT hr = checkStreaming();
  if (hr != S_OK) return hr;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
  const LONG length = sample->GetActualDataLength();
  pointing::POINTER_INFO info;
  // A sample shorter than a record is dropped; the previous record stays.
  if (length < 0 || !pointing::readPointerInfo(data, static_cast<size_t>(length), info)) return S_OK;
  std::lock_guard<std::mutex> r(recordLock_);
  record_ = info;
  return S_OK;
}

pointing::POINTER_INFO BlendorPointerPin::record() {
  std::lock_guard<std::mutex> g(recordLock_);
  return record_;
}

// ---------------------------------------------------------------- filter

BlendorFilter::BlendorFilter() : TransformFilter(CLSID_BlendorFilter), pointerPins_(16), colours_(16) {
  pointerPins_.reserve(16);
  colours_.reserve(16);
  addPointerInput();
}

BlendorFilter::~BlendorFilter() {
  for (uint32_t i = 0; i < pointerPins_.size(); ++i) pointerPins_[i]->ownerRelease();
}

HRESULT BlendorFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IBlendorControl) return getInterface(static_cast<IBlendorControl*>(this), object);
  return TransformFilter::nonDelegatingQueryInterface(iid, object);
}

int BlendorFilter::pinCount() {
  return 2 + static_cast<int>(pointerPins_.size());
}

BasePin* BlendorFilter::pin(int index) {
  if (index < 2) return TransformFilter::pin(index);
  const uint32_t i = static_cast<uint32_t>(index - 2);
  return i < pointerPins_.size() ? pointerPins_[i] : nullptr;
}

HRESULT BlendorFilter::FindPin(const char16_t* id, IPin** result) {
  if (!id || !result) return E_POINTER;
  *result = nullptr;
  std::lock_guard<std::recursive_mutex> g(lock_);
  const std::u16string name = id;
  BasePin* p = nullptr;
  if (name == u"In")
    p = pin(0);
  else if (name == u"Out")
    p = pin(1);
  else if (name == u"PointerInfo" && pointerPins_.size() > 0)
    p = pointerPins_[pointerPins_.size() - 1];  // the newest pointer input
  if (!p) return VFW_E_NOT_FOUND;
  p->AddRef();
  *result = p;
  return S_OK;
}

HRESULT BlendorFilter::Stop() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  const bool wasActive = state_ != State_Stopped;
  HRESULT hr = TransformFilter::Stop();
  if (wasActive)
    for (uint32_t i = 0; i < pointerPins_.size(); ++i)
      std::lock_guard<std::mutex> r(pointerPins_[i]->receiveLock());  // a record in flight
  return hr;
}

void BlendorFilter::addPointerInput() {
  if (pointerPins_.size() >= kMaxPointerInputs) return;
  const std::u16string name = utf8ToUtf16("Input" + std::to_string(++created_));
  auto* p = new BlendorPointerPin(this, name.c_str());
  p->ownerAddRef();
  pointerPins_.append(p);
  {
    std::lock_guard<std::mutex> d(drawLock_);
    if (colours_.size() < pointerPins_.size()) colours_.append(kWhite);
  }
  incrementPinVersion();
}

void BlendorFilter::removePointerInput(BlendorPointerPin* pin) {
  for (uint32_t i = 0; i < pointerPins_.size(); ++i) {
    if (pointerPins_[i] != pin) continue;
    pointerPins_.removeAt(i);
    {
      std::lock_guard<std::mutex> d(drawLock_);
      if (i < colours_.size()) colours_.removeAt(i);
    }
    incrementPinVersion();
    pin->ownerRelease();
    return;
  }
}

void BlendorFilter::pointerConnected(BlendorPointerPin*) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  uint32_t free = 0;
  for (uint32_t i = 0; i < pointerPins_.size(); ++i)
    if (!pointerPins_[i]->isConnected()) ++free;
  if (free != 1) addPointerInput();
}

void BlendorFilter::pointerDisconnecting(BlendorPointerPin* pin) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  // The pin still counts as connected inside its own breakConnect.
  uint32_t freeOthers = 0;
  for (uint32_t i = 0; i < pointerPins_.size(); ++i)
    if (pointerPins_[i] != pin && !pointerPins_[i]->isConnected()) ++freeOthers;
  if (freeOthers > 0) removePointerInput(pin);
}

HRESULT BlendorFilter::checkInputType(const MediaType& mt) {
  VideoInfoHeader vih;
  return rgb24Picture(mt, vih) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT BlendorFilter::checkTransform(const MediaType& in, const MediaType& out) {
  VideoInfoHeader vin, vout;
  if (!rgb24Picture(in, vin) || out.formattype() != FORMAT_VideoInfo) return VFW_E_TYPE_NOT_ACCEPTED;
  if (in.formatLength() < kVideoInfoHeaderSize || out.formatLength() < kVideoInfoHeaderSize)
    return VFW_E_TYPE_NOT_ACCEPTED;
  if (!videoInfoOf(out.get(), vout) || !(vin.bmi == vout.bmi)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT BlendorFilter::getMediaType(int position, MediaType* mt) {
  TransformInputPin* in = inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = in->currentMediaType();
  return S_OK;
}

HRESULT BlendorFilter::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  TransformInputPin* in = inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  VideoInfoHeader vih;
  if (!videoInfoOf(in->currentMediaType().get(), vih)) return E_UNEXPECTED;
  const LONG size =
      static_cast<LONG>(std::max<uint32_t>(in->currentMediaType().sampleSize(), bitmapImageSize(vih.bmi)));
  ALLOCATOR_PROPERTIES props{std::max<LONG>(1, request->cBuffers), size, std::max<LONG>(1, request->cbAlign),
                             request->cbPrefix};
  return setAllocatorProperties(allocator, props, 1, size);
}

HRESULT BlendorFilter::setMediaType(PIN_DIRECTION dir, const MediaType& mt) {
  if (dir != PINDIR_OUTPUT) return S_OK;
  VideoInfoHeader vih;
  if (!videoInfoOf(mt.get(), vih)) return VFW_E_TYPE_NOT_ACCEPTED;
  std::lock_guard<std::mutex> d(drawLock_);
  width_ = vih.bmi.width;
  height_ = vih.bmi.height;
  draw_.setBitmapSize(width_, height_);
  return S_OK;
}

HRESULT BlendorFilter::transform(IMediaSample* in, IMediaSample* out) {
  uint8_t *src = nullptr, *dst = nullptr;
  if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)) || !dst) return E_UNEXPECTED;
  const size_t inLength = src ? static_cast<size_t>(std::max<LONG>(0, in->GetActualDataLength())) : 0;
  const size_t outSize = static_cast<size_t>(std::max<LONG>(0, out->GetSize()));
  size_t image;
  {
    std::lock_guard<std::mutex> d(drawLock_);
    image = rowStride(width_) * static_cast<size_t>(height_);
  }
  const size_t length = std::min(image, outSize);
  const size_t copied = std::min(inLength, length);
  if (copied) std::memcpy(dst, src, copied);
  if (copied < length) std::memset(dst + copied, 0, length - copied);  // a short input leaves black
  out->SetActualDataLength(static_cast<LONG>(length));
  if (length == image) drawPointers(dst, length);
  return S_OK;
}

void BlendorFilter::drawPointers(uint8_t* picture, size_t length) {
  std::lock_guard<std::mutex> d(drawLock_);
  const size_t row = static_cast<size_t>(width_) * 3, stride = rowStride(width_);
  const size_t packedLength = row * static_cast<size_t>(height_);
  uint8_t* target = picture;
  bool repack = stride != row;
  bool any = false;
  for (uint32_t i = 0; i < pointerPins_.size(); ++i) {
    const pointing::POINTER_INFO r = pointerPins_[i]->record();
    if (!r.valid) continue;
    if (!any && repack) {
      // The drawer takes rows without padding: draw into a packed copy.
      packed_.resize(packedLength);
      for (int32_t y = 0; y < height_; ++y) std::memcpy(&packed_[y * row], picture + y * stride, row);
      target = packed_.data();
    }
    any = true;
    draw_.setPosition(r.positionX, r.positionY);
    draw_.setShape(r.shape);
    draw_.setColor(i < colours_.size() ? colours_[i] : kWhite);
    draw_.draw(target, repack ? packedLength : std::min(length, packedLength));
  }
  if (any && repack)
    for (int32_t y = 0; y < height_; ++y) std::memcpy(picture + y * stride, &packed_[y * row], row);
}

// ---------------------------------------------------------------- settings

uint64_t BlendorFilter::settingsSizeMax() const {
  if (loading_) return 36 + 4 * uint64_t(kMaxPointerInputs);
  std::lock_guard<std::mutex> d(drawLock_);
  return 36 + 4 * static_cast<uint64_t>(colours_.size());
}

HRESULT BlendorFilter::Load(IStream* stream) {
  // A stored stream may hold more colours than this filter has now.
  loading_ = true;
  HRESULT hr = TransformFilter::Load(stream);
  loading_ = false;
  return hr;
}

HRESULT BlendorFilter::writeSettings(ByteWriter& out) {
  std::lock_guard<std::mutex> d(drawLock_);
  float v[8];
  draw_.getWindowPosition(v[0], v[1]);
  draw_.getWindowSize(v[2], v[3]);
  draw_.getMappingPosition(v[4], v[5]);
  draw_.getMappingSize(v[6], v[7]);
  for (float f : v) out.f32(f);
  out.i32(static_cast<int32_t>(colours_.size()));
  for (uint32_t i = 0; i < colours_.size(); ++i) out.i32(colours_[i]);
  return S_OK;
}

HRESULT BlendorFilter::readSettings(ByteReader& in, int) {
  float v[8];
  for (float& f : v) f = in.f32();
  const int32_t n = in.i32();
  if (in.failed()) return E_FAIL;
  // As many colours as there can be inputs, and all of them present.
  if (n < 0 || static_cast<uint32_t>(n) > kMaxPointerInputs || in.remaining() < 4 * static_cast<size_t>(n))
    return E_FAIL;
  std::lock_guard<std::recursive_mutex> g(lock_);
  std::lock_guard<std::mutex> d(drawLock_);
  draw_.setWindowPosition(v[0], v[1]);
  draw_.setWindowSize(v[2], v[3]);
  draw_.setMappingPosition(v[4], v[5]);
  draw_.setMappingSize(v[6], v[7]);
  colours_.setSize(static_cast<uint32_t>(n));
  for (int32_t i = 0; i < n; ++i) colours_[i] = std::clamp(in.i32(), 0, 7);
  // Inputs that exist keep a colour each.
  while (colours_.size() < pointerPins_.size()) colours_.append(kWhite);
  return S_OK;
}

// ---------------------------------------------------------------- IBlendorControl

#define BLENDOR_GET_PAIR(name, getter)              \
  HRESULT BlendorFilter::name(float* x, float* y) { \
    if (!x || !y) return E_POINTER;                 \
    std::lock_guard<std::recursive_mutex> g(lock_); \
    std::lock_guard<std::mutex> d(drawLock_);       \
    draw_.getter(*x, *y);                           \
    return S_OK;                                    \
  }
#define BLENDOR_SET_PAIR(name, setter)              \
  HRESULT BlendorFilter::name(float x, float y) {   \
    std::lock_guard<std::recursive_mutex> g(lock_); \
    std::lock_guard<std::mutex> d(drawLock_);       \
    draw_.setter(x, y);                             \
    setDirty(true);                                 \
    return S_OK;                                    \
  }

BLENDOR_GET_PAIR(getWindowPosition, getWindowPosition)
BLENDOR_SET_PAIR(setWindowPosition, setWindowPosition)
BLENDOR_GET_PAIR(getWindowSize, getWindowSize)
BLENDOR_SET_PAIR(setWindowSize, setWindowSize)
BLENDOR_GET_PAIR(getMappingPosition, getMappingPosition)
BLENDOR_SET_PAIR(setMappingPosition, setMappingPosition)
BLENDOR_GET_PAIR(getMappingSize, getMappingSize)
BLENDOR_SET_PAIR(setMappingSize, setMappingSize)

HRESULT BlendorFilter::getNumPointerInput(int32_t* count) {
  if (!count) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  *count = pointerPins_.size() > 0 ? static_cast<int32_t>(pointerPins_.size()) - 1 : 0;
  return S_OK;
}

HRESULT BlendorFilter::getPointerColor(uint32_t index, int32_t* colour) {
  if (!colour) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  std::lock_guard<std::mutex> d(drawLock_);
  *colour = index < colours_.size() ? colours_[index] : 0;
  return S_OK;
}

HRESULT BlendorFilter::setPointerColor(uint32_t index, int32_t colour) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  std::lock_guard<std::mutex> d(drawLock_);
  if (index < colours_.size()) {
    colours_[index] = std::clamp(colour, 0, 7);  // a colour the drawer knows
    setDirty(true);
  }
  return S_OK;
}
