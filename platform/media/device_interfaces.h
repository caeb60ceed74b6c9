// Interfaces of the system device enumerator, monikers, property bags and
// the filter mapper, in their slot order.
#pragma once
#include "platform/media/filter_interfaces.h"

struct IPropertyBag : IUnknown {
  // Copies the text property name (with its terminating zero) into value;
  // E_INVALIDARG when there is no such property, E_OUTOFMEMORY (with the
  // text cut) when size is too small.
  virtual HRESULT Read(const char* name, char* value, ULONG size) = 0;
  virtual HRESULT Write(const char* name, const char* value) = 0;

 protected:
  ~IPropertyBag() = default;
};

// Objects made for a device load their device data (e.g. "DevicePath") from
// the moniker's property bag.
struct IPersistPropertyBag : IPersist {
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag, void* errorLog) = 0;
  virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

struct IMoniker : IUnknown {
  // Creates the object (bindContext and left are unused, pass null).
  virtual HRESULT BindToObject(void* bindContext, IMoniker* left, REFIID iid, void** object) = 0;
  // IID_IPropertyBag: the device's properties ("FriendlyName", "CLSID", "DevicePath").
  virtual HRESULT BindToStorage(void* bindContext, IMoniker* left, REFIID iid, void** object) = 0;
  // "@device:<category>:<clsid>:<instance>" (CoTaskMemAlloc; the caller frees).
  virtual HRESULT GetDisplayName(char** name) = 0;

 protected:
  ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
  virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMoniker** e) = 0;

 protected:
  ~IEnumMoniker() = default;
};

struct ICreateDevEnum : IUnknown {
  // S_FALSE with *e null when the category has no members.
  virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** e, DWORD flags) = 0;

 protected:
  ~ICreateDevEnum() = default;
};

struct IFilterMapper2 : IUnknown {
  // Registered filters of at least minMerit, highest merit first. With
  // inputNeeded / outputNeeded the filter must have such a pin; type lists
  // are pairs (major type, subtype) where GUID_NULL matches anything; a
  // filter matches when one of its pins of that direction registers a
  // matching type (or no types). exactMatch makes GUID_NULL in the
  // registration match only GUID_NULL.
  virtual HRESULT EnumMatchingFilters(IEnumMoniker** e, DWORD flags, BOOL exactMatch, DWORD minMerit,
                                      BOOL inputNeeded, DWORD inputTypeCount, const GUID* inputTypes,
                                      BOOL render, BOOL outputNeeded, DWORD outputTypeCount,
                                      const GUID* outputTypes) = 0;

 protected:
  ~IFilterMapper2() = default;
};

inline constexpr IID IID_IPropertyBag = makeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");
inline constexpr IID IID_IPersistPropertyBag = makeGuid("{37D84F60-42CB-11CE-8135-00AA004BB851}");
inline constexpr IID IID_IMoniker = makeGuid("{0000000F-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEnumMoniker = makeGuid("{00000102-0000-0000-C000-000000000046}");
inline constexpr IID IID_ICreateDevEnum = makeGuid("{29840822-5B84-11D0-BD3B-00A0C911CE86}");
inline constexpr IID IID_IFilterMapper2 = makeGuid("{B79BB0B0-33C1-11D1-ABE1-00A0C905F375}");
PLATFORM_INTERFACE_ID(IPropertyBag, IID_IPropertyBag);
PLATFORM_INTERFACE_ID(IPersistPropertyBag, IID_IPersistPropertyBag);
PLATFORM_INTERFACE_ID(IMoniker, IID_IMoniker);
PLATFORM_INTERFACE_ID(IEnumMoniker, IID_IEnumMoniker);
PLATFORM_INTERFACE_ID(ICreateDevEnum, IID_ICreateDevEnum);
PLATFORM_INTERFACE_ID(IFilterMapper2, IID_IFilterMapper2);
