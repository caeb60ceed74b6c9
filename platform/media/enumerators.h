// Enumerators of pins and media types handed out by the base classes.
#pragma once
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/base_filter.h"

// Lists the filter's pins as they were when created or last reset.
class PinEnumerator final : public IEnumPins, public UnknownBase {
 public:
  explicit PinEnumerator(BaseFilter* filter);
  ~PinEnumerator() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** e) override;

 private:
  void snapshot();
  void clear();
  BaseFilter* filter_;
  std::vector<IPin*> pins_;
  size_t pos_ = 0;
};

// Lists a pin's preferred types (BasePin::getMediaType) one position at a time.
class MediaTypeEnumerator final : public IEnumMediaTypes, public UnknownBase {
 public:
  explicit MediaTypeEnumerator(BasePin* pin, int position = 0);
  ~MediaTypeEnumerator() override;
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** e) override;

 private:
  BasePin* pin_;
  int pos_;
};
