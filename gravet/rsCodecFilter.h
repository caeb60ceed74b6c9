// rsCodecFilter: an encoder or decoder as the codec enumerator yields it (an
// already created filter, its friendly name and its name).
#pragma once
#include "gravet/rsFilter.h"

class rsCodecFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsCodecFilter, rsFilter)

 public:
  rsCodecFilter(IBaseFilter* filter, const mxString& friendlyName, const mxString& name)
      : rsFilter(name, filter), friendlyName_(friendlyName) {}

  const mxString& getFriendlyName() const { return friendlyName_; }

 protected:
  ~rsCodecFilter() override = default;

 private:
  mxString friendlyName_;
};
