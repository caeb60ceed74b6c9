// rsFormatTransFilter: the format transform (picture format and size
// conversion). Codes: see platform/filters/outside/outside_interfaces.h.
// Without the filter every setter does nothing and every getter returns 0.
#pragma once
#include "gravet/rsFilter.h"

struct IFormatTransformControl;

class rsFormatTransFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsFormatTransFilter, rsFilter)

 public:
  explicit rsFormatTransFilter(const mxString& name);

  int getInputVideoFormat() const;
  void setInputVideoFormat(int code);
  int getInputVideoFormatColor() const;
  void setInputVideoFormatColor(int code);
  int getOutputVideoFormat() const;
  void setOutputVideoFormat(int code);
  int getActualInputVideoFormat() const;
  int getActualInputVideoFormatColor() const;
  int getActualOutputVideoFormat() const;

 protected:
  ~rsFormatTransFilter() override;

 private:
  IFormatTransformControl* control_ = nullptr;
};
