// rsTracionFilter: the pointer position source (the local pointer as a
// stream of pointer records). Without the filter the setters do nothing and
// the getters return screen size 1, 1 and 0 for everything else.
#pragma once
#include <cstdint>

#include "gravet/rsFilter.h"

struct ITracionControl;

class rsTracionFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsTracionFilter, rsFilter)

 public:
  explicit rsTracionFilter(const mxString& name);

  void getScreenSize(unsigned& width, unsigned& height) const;
  // The pointer in screen pixels.
  void getTracion(unsigned& x, unsigned& y) const;
  uint16_t getButtonStatus() const;
  uint16_t getWheelStatus() const;
  // The pointer scaled to the screen (0..1).
  void getNormalizedTracion(float& x, float& y) const;
  int getPointerShape() const;
  void setPointerShape(int shape);
  void getNormalizedOrigin(float& x, float& y) const;
  void setNormalizedOrigin(float x, float y);
  void getNormalizedSize(float& width, float& height) const;
  void setNormalizedSize(float width, float height);

 protected:
  ~rsTracionFilter() override;

 private:
  ITracionControl* control_ = nullptr;
};
