// Counted interfaces. Every interface begins with QueryInterface, AddRef and
// Release (slots 0 to 2) and lists its own operations after them in a fixed
// order. Interfaces have no virtual destructor, so that slot n of an
// interface is always its n-th declared operation; objects are destroyed by
// their own Release.
#pragma once
#include "platform/com/guid.h"
#include "platform/com/result.h"

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = makeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = makeGuid("{00000001-0000-0000-C000-000000000046}");

// The interface identifier that belongs to an interface type, for ComPtr and
// queryInterface<T>. Each interface header declares its pairing with
// PLATFORM_INTERFACE_ID(Type, identifier).
template <typename T>
struct InterfaceId;
#define PLATFORM_INTERFACE_ID(Type, iid)                \
  template <>                                           \
  struct InterfaceId<Type> {                            \
    static constexpr const IID& value() { return iid; } \
  }
PLATFORM_INTERFACE_ID(IUnknown, IID_IUnknown);
PLATFORM_INTERFACE_ID(IClassFactory, IID_IClassFactory);
