// rsImageExtractFilter: the image extractor (a high-resolution window around
// the pointer). Without the filter the setter does nothing and the getter
// returns 0.
#pragma once
#include "gravet/rsFilter.h"

struct IImageExtractControl;

class rsImageExtractFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsImageExtractFilter, rsFilter)

 public:
  explicit rsImageExtractFilter(const mxString& name);

  int getOutputVideoFormat() const;
  void setOutputVideoFormat(int code);

 protected:
  ~rsImageExtractFilter() override;

 private:
  IImageExtractControl* control_ = nullptr;
};
