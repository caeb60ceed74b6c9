// rsBlendorFilter: the pointer mixer filter, which draws the pointers of
// its pointer inputs into the picture. Without the filter the setters do
// nothing and the getters return 0.
#pragma once
#include "gravet/rsFilter.h"

struct IBlendorControl;

class rsBlendorFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsBlendorFilter, rsFilter)

 public:
  explicit rsBlendorFilter(const mxString& name);

  void getWindowPosition(float& x, float& y) const;
  void setWindowPosition(float x, float y);
  void getWindowSize(float& width, float& height) const;
  void setWindowSize(float width, float height);
  // The connected pointer inputs.
  unsigned getNumPointerInput() const;
  // The colour of pointer input index; 0 (without asking the filter) when
  // there is no such input.
  int getPointerColor(unsigned index) const;
  void setPointerColor(unsigned index, int color);

 protected:
  ~rsBlendorFilter() override;

 private:
  IBlendorControl* control_ = nullptr;
};
