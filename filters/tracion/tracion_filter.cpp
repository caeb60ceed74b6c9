#include "filters/tracion/tracion_filter.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "filters/pointer/x11_pointer_source.h"
#include "platform/com/log.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace {

MediaType pointerStreamType() {
  MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_PointerInfo, FORMAT_None);
  mt.setFixedSizeSamples(true);
  mt.setTemporalCompression(false);
  mt.setSampleSize(pointing::kPointerInfoSize);
  return mt;
}

// The sampler's diagnostics (no display, no button device) go to the
// notification log, each said once by the source.
std::unique_ptr<pointing::PointerSource> x11Source(const std::string& displayName) {
  return std::make_unique<pointing::X11PointerSource>(displayName, [](const std::string& line) {
    platformLog(PlatformLogLevel::Notice, "Pointer Position: %s", line.c_str());
  });
}

}  // namespace

// ---------------------------------------------------------------- output pin

TracionStream::TracionStream(TracionFilter* filter) : SourceStream(filter, u"Out"), tracion_(filter) {}

HRESULT TracionStream::queryPinInterface(REFIID iid, void** object) {
  if (iid == IID_IQualityControl) {
    AddRef();
    *object = static_cast<IQualityControl*>(this);
    return S_OK;
  }
  return SourceStream::queryPinInterface(iid, object);
}

HRESULT TracionStream::checkMediaType(const MediaType& mt) {
  return mt.majortype() == MEDIATYPE_Stream && mt.subtype() == MEDIASUBTYPE_PointerInfo &&
                 (mt.formattype() == FORMAT_None || mt.formattype() == GUID_NULL)
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TracionStream::getMediaType(int position, MediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = pointerStreamType();
  return S_OK;
}

HRESULT TracionStream::decideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const LONG size = static_cast<LONG>(pointing::kPointerInfoSize);
  ALLOCATOR_PROPERTIES props{std::max<LONG>(1, request->cBuffers), size, std::max<LONG>(1, request->cbAlign),
                             request->cbPrefix};
  ALLOCATOR_PROPERTIES granted{};
  HRESULT hr = allocator->SetProperties(&props, &granted);
  if (FAILED(hr)) return hr;
  return granted.cBuffers >= 1 && granted.cbBuffer >= size ? S_OK : E_FAIL;
}

HRESULT TracionStream::active() {
  cancel_.reset();  // before the thread starts, so that a stop right after it still counts
  return SourceStream::active();
}

HRESULT TracionStream::onThreadStart() {
  tracion_->sampler().startStream();
  return S_OK;
}

HRESULT TracionStream::fillBuffer(IMediaSample* sample) {
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_UNEXPECTED;
  const LONG size = sample->GetSize();
  if (size < static_cast<LONG>(pointing::kPointerInfoSize)) return E_FAIL;
  // Blocks for up to the keep-alive period; false once the filter stops.
  if (!tracion_->sampler().nextRecord(data, static_cast<size_t>(size), cancel_)) return S_FALSE;
  sample->SetTime(nullptr, nullptr);
  sample->SetMediaTime(nullptr, nullptr);
  sample->SetActualDataLength(static_cast<LONG>(pointing::kPointerInfoSize));
  sample->SetSyncPoint(TRUE);
  return S_OK;
}

HRESULT TracionStream::Notify(IBaseFilter*, Quality) {
  platformLog(PlatformLogLevel::Info, "Notify() called.");
  return S_OK;
}

HRESULT TracionStream::SetSink(IQualityControl*) {
  return S_OK;
}

// ---------------------------------------------------------------- filter

TracionFilter::TracionFilter(const std::string& displayName)
    : SourceFilter(CLSID_TracionFilter), stream_(new TracionStream(this)), sampler_(x11Source(displayName)) {
  addStream(stream_);
}

HRESULT TracionFilter::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_ITracionControl) return getInterface(static_cast<ITracionControl*>(this), object);
  return SourceFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT TracionFilter::Stop() {
  stream_->cancel();  // out of the sampling sleep before the thread is joined
  sampler_.interruptRead();  // and out of a read the X server does not answer
  return SourceFilter::Stop();
}

HRESULT TracionFilter::writeSettings(ByteWriter& out) {
  float ox, oy, sx, sy;
  sampler_.origin(ox, oy);
  sampler_.size(sx, sy);
  const std::string command = sampler_.command();  // at most 15 characters
  out.i32(sampler_.shape());
  out.u32(sampler_.interval());
  out.f32(ox);
  out.f32(oy);
  out.f32(sx);
  out.f32(sy);
  out.u32(static_cast<uint32_t>(command.size() + 1));
  out.bytes(command.data(), command.size());
  out.u8(0);
  return S_OK;
}

HRESULT TracionFilter::readSettings(ByteReader& in, int) {
  const int32_t shape = in.i32();
  const uint32_t interval = in.u32();
  const float ox = in.f32(), oy = in.f32(), sx = in.f32(), sy = in.f32();
  const uint32_t length = in.u32();
  if (in.failed()) return E_FAIL;
  // The writer never stores more than 16 bytes of text.
  if (length > pointing::kPointerCommandSize) return E_FAIL;
  const uint8_t* text = in.take(length);
  if (!text && length) return E_FAIL;
  sampler_.setShape(shape);
  sampler_.setInterval(interval);  // kept within 1 to 100 like every other setting of it
  sampler_.setOrigin(ox, oy);
  sampler_.setSize(sx, sy);
  const char* chars = reinterpret_cast<const char*>(text);
  sampler_.setCommand(std::string(chars ? chars : "", chars ? strnlen(chars, length) : 0));
  return S_OK;
}

// ---------------------------------------------------------------- ITracionControl

HRESULT TracionFilter::getScreenSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  const pointing::POINTER_INFO p = sampler_.currentPointer();
  *width = p.screenWidth;
  *height = p.screenHeight;
  return S_OK;
}

HRESULT TracionFilter::getTracion(int32_t* x, int32_t* y) {
  if (!x || !y) return E_POINTER;
  const pointing::POINTER_INFO p = sampler_.currentPointer();
  *x = p.cursorX;
  *y = p.cursorY;
  return S_OK;
}

HRESULT TracionFilter::getButtonStatus(uint16_t* buttons) {
  if (!buttons) return E_POINTER;
  *buttons = sampler_.currentPointer().buttons;
  return S_OK;
}

HRESULT TracionFilter::getWheelStatus(uint16_t* wheel) {
  if (!wheel) return E_POINTER;
  *wheel = static_cast<uint16_t>(sampler_.currentPointer().wheel);
  return S_OK;
}

HRESULT TracionFilter::getNormalizedTracion(float* x, float* y) {
  if (!x || !y) return E_POINTER;
  const pointing::POINTER_INFO p = sampler_.currentPointer();
  *x = p.positionX;
  *y = p.positionY;
  return S_OK;
}

HRESULT TracionFilter::getPointerShape(int32_t* shape) {
  if (!shape) return E_POINTER;
  *shape = sampler_.shape();
  return S_OK;
}

HRESULT TracionFilter::setPointerShape(int32_t shape) {
  sampler_.setShape(shape);
  setDirty(true);
  return S_OK;
}

HRESULT TracionFilter::getNormalizedOrigin(float* x, float* y) {
  if (!x || !y) return E_POINTER;
  sampler_.origin(*x, *y);
  return S_OK;
}

HRESULT TracionFilter::setNormalizedOrigin(float x, float y) {
  sampler_.setOrigin(x, y);
  setDirty(true);
  return S_OK;
}

HRESULT TracionFilter::getNormalizedSize(float* x, float* y) {
  if (!x || !y) return E_POINTER;
  sampler_.size(*x, *y);
  return S_OK;
}

HRESULT TracionFilter::setNormalizedSize(float x, float y) {
  sampler_.setSize(x, y);
  setDirty(true);
  return S_OK;
}

HRESULT TracionFilter::getOutputInterval(uint32_t* ms) {
  if (!ms) return E_POINTER;
  *ms = sampler_.interval();
  return S_OK;
}

HRESULT TracionFilter::setOutputInterval(uint32_t ms) {
  sampler_.setInterval(ms);
  setDirty(true);
  return S_OK;
}

HRESULT TracionFilter::getCommand(char* text) {
  if (!text) return E_POINTER;
  const std::string command = sampler_.command();
  std::memcpy(text, command.c_str(), command.size() + 1);  // at most 16 bytes
  return S_OK;
}

HRESULT TracionFilter::setCommand(const char* text) {
  if (!text) return E_POINTER;
  sampler_.setCommand(std::string(text, strnlen(text, pointing::kPointerCommandSize)));
  setDirty(true);
  return S_OK;
}

HRESULT TracionFilter::sendCommand() {
  sampler_.sendCommand();
  return S_OK;
}
