#include "platform/media/media_type.h"

#include <cstring>
#include <utility>

#include "platform/com/runtime.h"

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src) return E_POINTER;
  *dst = *src;
  if (src->cbFormat && src->pbFormat) {
    dst->pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(src->cbFormat));
    if (!dst->pbFormat) {
      dst->cbFormat = 0;
      dst->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  } else {
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
  }
  if (dst->pUnk) dst->pUnk->AddRef();
  return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, src))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  FreeMediaType(*mt);
  CoTaskMemFree(mt);
}

MediaType::MediaType() : mt_{} {
  mt_.bFixedSizeSamples = 1;
  mt_.lSampleSize = 1;
}

MediaType::MediaType(const AM_MEDIA_TYPE& mt) : mt_{} {
  if (FAILED(CopyMediaType(&mt_, &mt))) mt_ = AM_MEDIA_TYPE{};
}

MediaType::MediaType(const GUID& major, const GUID& subtype, const GUID& format) : MediaType() {
  mt_.majortype = major;
  mt_.subtype = subtype;
  mt_.formattype = format;
}

MediaType::MediaType(const MediaType& o) : MediaType(o.mt_) {}
MediaType::MediaType(MediaType&& o) noexcept : mt_(std::exchange(o.mt_, AM_MEDIA_TYPE{})) {}

MediaType& MediaType::operator=(const MediaType& o) {
  return *this = o.mt_;
}

MediaType& MediaType::operator=(const AM_MEDIA_TYPE& o) {
  if (&o == &mt_) return *this;
  AM_MEDIA_TYPE copy{};
  if (FAILED(CopyMediaType(&copy, &o))) copy = AM_MEDIA_TYPE{};
  FreeMediaType(mt_);
  mt_ = copy;
  return *this;
}

MediaType& MediaType::operator=(MediaType&& o) noexcept {
  if (this != &o) {
    FreeMediaType(mt_);
    mt_ = std::exchange(o.mt_, AM_MEDIA_TYPE{});
  }
  return *this;
}

MediaType::~MediaType() {
  FreeMediaType(mt_);
}

bool MediaType::setFormat(const void* data, size_t length) {
  uint8_t* block = nullptr;
  if (length) {
    block = static_cast<uint8_t*>(CoTaskMemAlloc(length));
    if (!block) return false;
    if (data)
      std::memcpy(block, data, length);
    else
      std::memset(block, 0, length);
  }
  if (mt_.pbFormat) CoTaskMemFree(mt_.pbFormat);
  mt_.pbFormat = block;
  mt_.cbFormat = static_cast<ULONG>(length);
  return true;
}

void MediaType::resetFormat() {
  if (mt_.pbFormat) CoTaskMemFree(mt_.pbFormat);
  mt_.pbFormat = nullptr;
  mt_.cbFormat = 0;
}

void MediaType::clear() {
  FreeMediaType(mt_);
  mt_ = AM_MEDIA_TYPE{};
}

bool MediaType::mediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype) return false;
  if (a.bFixedSizeSamples != b.bFixedSizeSamples || a.bTemporalCompression != b.bTemporalCompression ||
      a.lSampleSize != b.lSampleSize || a.cbFormat != b.cbFormat)
    return false;
  if (a.cbFormat == 0) return true;
  if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
  return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MediaType::matchesPartial(const AM_MEDIA_TYPE& p) const {
  if (p.majortype != GUID_NULL && p.majortype != mt_.majortype) return false;
  if (p.subtype != GUID_NULL && p.subtype != mt_.subtype) return false;
  if (p.formattype != GUID_NULL) {
    if (p.formattype != mt_.formattype || p.cbFormat != mt_.cbFormat) return false;
    if (p.cbFormat && (!p.pbFormat || !mt_.pbFormat || std::memcmp(p.pbFormat, mt_.pbFormat, p.cbFormat)))
      return false;
  }
  return true;
}

bool MediaType::isPartiallySpecified() const {
  return mt_.majortype == GUID_NULL || mt_.formattype == GUID_NULL;
}
