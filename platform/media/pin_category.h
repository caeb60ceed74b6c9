// The pin-category property (property set AMPROPSETID_Pin, property
// AMPROPERTY_PIN_CATEGORY) that capture pins answer through IKsPropertySet:
// read only, a GUID. Every capture pin answers it the same way through these
// helpers.
#pragma once
#include <cstring>

#include "platform/media/control_interfaces.h"
#include "platform/media/guids.h"
#include "platform/media/results.h"

// Results of property sets (the platform's "element not found" codes).
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = makeResult(0x80070490);
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = makeResult(0x80070492);
inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;

// IKsPropertySet::Set: the category cannot be written.
inline HRESULT pinCategorySet(REFGUID set) {
  return set == AMPROPSETID_Pin ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

// IKsPropertySet::Get: copies category into data. With data null and
// returned given, only the size is reported.
inline HRESULT pinCategoryGet(const GUID& category, REFGUID set, DWORD id, void* data, DWORD dataLength,
                              DWORD* returned) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data && !returned) return E_POINTER;
  if (returned) *returned = sizeof(GUID);
  if (!data) return S_OK;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(data, &category, sizeof(GUID));
  return S_OK;
}

// IKsPropertySet::QuerySupported: get only.
inline HRESULT pinCategoryQuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}
