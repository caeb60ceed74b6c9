// Media types: what a connection carries (major type, subtype, sample
// properties) and its format block (a video-info or wave-format record, or
// nothing). AM_MEDIA_TYPE is the plain record passed through interfaces; its
// format block is allocated with CoTaskMemAlloc. MediaType owns one and
// copies deeply.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/com/unknown.h"

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  uint8_t* pbFormat;
};

// Deep copy into an empty (or freed) target. E_OUTOFMEMORY leaves dst empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees the format block and releases pUnk; the record itself stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// A new record (CoTaskMemAlloc) holding a deep copy, or nullptr.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);
// Frees a record made by CreateMediaType.
void DeleteMediaType(AM_MEDIA_TYPE* mt);

class MediaType {
 public:
  MediaType();
  MediaType(const AM_MEDIA_TYPE& mt);  // NOLINT: deep copy
  MediaType(const GUID& major, const GUID& subtype, const GUID& format = GUID_NULL);
  MediaType(const MediaType& o);
  MediaType(MediaType&& o) noexcept;
  MediaType& operator=(const MediaType& o);
  MediaType& operator=(const AM_MEDIA_TYPE& o);
  MediaType& operator=(MediaType&& o) noexcept;
  ~MediaType();

  const AM_MEDIA_TYPE& get() const { return mt_; }
  AM_MEDIA_TYPE* ptr() { return &mt_; }
  const AM_MEDIA_TYPE* ptr() const { return &mt_; }

  const GUID& majortype() const { return mt_.majortype; }
  const GUID& subtype() const { return mt_.subtype; }
  const GUID& formattype() const { return mt_.formattype; }
  void setMajortype(const GUID& g) { mt_.majortype = g; }
  void setSubtype(const GUID& g) { mt_.subtype = g; }
  void setFormattype(const GUID& g) { mt_.formattype = g; }
  bool fixedSizeSamples() const { return mt_.bFixedSizeSamples != 0; }
  bool temporalCompression() const { return mt_.bTemporalCompression != 0; }
  ULONG sampleSize() const { return mt_.lSampleSize; }
  void setFixedSizeSamples(bool v) { mt_.bFixedSizeSamples = v; }
  void setTemporalCompression(bool v) { mt_.bTemporalCompression = v; }
  void setSampleSize(ULONG n) { mt_.lSampleSize = n; }

  const uint8_t* format() const { return mt_.pbFormat; }
  ULONG formatLength() const { return mt_.cbFormat; }
  // Replaces the format block with a copy of the bytes; false on allocation failure.
  bool setFormat(const void* data, size_t length);
  void setFormat(const std::vector<uint8_t>& block) { setFormat(block.data(), block.size()); }
  void resetFormat();
  void clear();

  // Equal in every field and in the format bytes.
  bool operator==(const MediaType& o) const { return mediaTypesEqual(mt_, o.mt_); }
  static bool mediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
  // Whether this type fits a partial type: GUID_NULL fields of the pattern
  // match anything.
  bool matchesPartial(const AM_MEDIA_TYPE& pattern) const;
  // True while the major type or the format type is still open (GUID_NULL).
  bool isPartiallySpecified() const;

 private:
  AM_MEDIA_TYPE mt_;
};
