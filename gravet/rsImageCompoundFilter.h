// rsImageCompoundFilter: the image compounder (the cut-out laid over the
// whole picture at the pointer). Without the filter every setter does
// nothing and every getter returns 0.
#pragma once
#include "gravet/rsFilter.h"

struct IImageCompoundControl;

class rsImageCompoundFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsImageCompoundFilter, rsFilter)

 public:
  explicit rsImageCompoundFilter(const mxString& name);

  int getFrameRate() const;
  void setFrameRate(int rate);
  int getMask() const;
  void setMask(int code);
  int getBlending() const;
  void setBlending(int code);

 protected:
  ~rsImageCompoundFilter() override;

 private:
  IImageCompoundControl* control_ = nullptr;
};
