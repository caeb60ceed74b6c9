// The pointer input pin of the image extractor and the image compounder: it
// takes pointer-record samples and keeps the position of the last valid
// record (normalised, 0..1 of the picture; the centre until one arrives).
#pragma once
#include <mutex>

#include "platform/media/base_filter.h"

namespace outside {

class Focus {
 public:
  void set(float x, float y);
  void get(float* x, float* y) const;
  void reset();

 private:
  mutable std::mutex lock_;
  float x_ = 0.5f, y_ = 0.5f;
};

class PointerInputPin final : public BaseInputPin {
 public:
  PointerInputPin(BaseFilter* filter, const char16_t* name, Focus* focus);
  HRESULT checkMediaType(const MediaType& mt) override;
  // A record that is valid and holds a finite position moves the focus;
  // every record carries the whole pointer state, so the first one received
  // already places the window. Short samples are ignored.
  HRESULT receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override { return S_OK; }

 private:
  Focus* focus_;
};

}  // namespace outside
