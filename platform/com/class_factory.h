// ClassFactoryBase: what every class factory of the runtime does around the
// making of one object: the factory's own interfaces, no aggregation, and
// handing out the interface asked for.
#pragma once

#include "platform/com/unknown_base.h"

class ClassFactoryBase : public IClassFactory, public UnknownBase {
 public:
  PLATFORM_DECLARE_UNKNOWN

  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) final;

 protected:
  // A new object, or nullptr (with *hr, when set to a failure, as the
  // reason). A failure in *hr with an object also fails the creation.
  virtual UnknownBase* make(HRESULT* hr) = 0;
};
