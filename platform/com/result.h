// Result codes of the component model: a 32-bit signed value, negative for
// failure. The numeric values are those callers everywhere test against.
#pragma once
#include <cstdint>

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr HRESULT makeResult(uint32_t v) {
  return static_cast<HRESULT>(v);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = makeResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = makeResult(0x80004002);
inline constexpr HRESULT E_POINTER = makeResult(0x80004003);
inline constexpr HRESULT E_ABORT = makeResult(0x80004004);
inline constexpr HRESULT E_FAIL = makeResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = makeResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = makeResult(0x80070005);
inline constexpr HRESULT E_HANDLE = makeResult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = makeResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = makeResult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = makeResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = makeResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = makeResult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = makeResult(0x800401F0);
inline constexpr HRESULT CO_E_DLLNOTFOUND = makeResult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = makeResult(0x800401F9);
inline constexpr HRESULT SELFREG_E_CLASS = makeResult(0x80040201);
inline constexpr HRESULT STG_E_READFAULT = makeResult(0x8003001E);
inline constexpr HRESULT STG_E_WRITEFAULT = makeResult(0x8003001D);

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}
