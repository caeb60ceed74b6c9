// rsLoupexFilter: the non-linear zoom filter (the picture squeezed around a
// full-resolution window that follows the pointer). Without the filter the
// setters do nothing and the getters return format 0, mask 0, mask size 1, 1.
#pragma once
#include "gravet/rsFilter.h"

struct ILoupexControl;

class rsLoupexFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsLoupexFilter, rsFilter)

 public:
  explicit rsLoupexFilter(const mxString& name);

  int getOutputVideoFormat() const;
  void setOutputVideoFormat(int code);
  int getMask() const;
  void setMask(int type);
  void getMaskSize(unsigned& width, unsigned& height) const;
  void setMaskSize(unsigned width, unsigned height);

 protected:
  ~rsLoupexFilter() override;

 private:
  ILoupexControl* control_ = nullptr;
};
