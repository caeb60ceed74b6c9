// In-process servers. A plug-in module lists its classes in a table and
// places PLATFORM_COM_SERVER(table) in one source file; that defines the four
// exported entry points the component model looks for:
//   DllGetClassObject, DllCanUnloadNow, DllRegisterServer, DllUnregisterServer.
// Registration writes each class (module path, name, merit, pins) and its
// category membership into the class registry.
//
// A module whose devices are found at run time (cameras present on this
// machine, for instance) also exports DllEnumerateDevices; its category
// members are then registered with the instance "*", and the device
// enumerator asks the module for the actual devices each time it lists the
// category.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

#include "platform/com/unknown_base.h"

struct ServerPinType {
  const GUID* major;
  const GUID* subtype;
};

struct ServerPin {
  bool output;
  size_t typeCount;
  const ServerPinType* types;
};

struct ServerClass {
  const CLSID* clsid;
  const char* name;
  uint32_t merit;
  const GUID* category;  // optional category membership (nullptr: none)
  size_t pinCount;
  const ServerPin* pins;
  UnknownBase* (*create)(HRESULT* result);  // new object with count 0, or nullptr
};

struct ServerModule {
  const ServerClass* classes;
  size_t count;
  std::atomic<long>* objects;  // live objects and server locks of this module
  const void* anchor;          // any address inside the module (for its path)
};

// The usual create function of a class table entry.
template <typename T>
UnknownBase* createObject(HRESULT* result) {
  UnknownBase* object = new (std::nothrow) T;
  if (!object) *result = E_OUTOFMEMORY;
  return object;
}

HRESULT serverGetClassObject(const ServerModule& module, REFCLSID clsid, REFIID iid, void** object);
HRESULT serverCanUnloadNow(const ServerModule& module);
HRESULT serverRegister(const ServerModule& module, bool unregister);

// Called once per device found: friendly name and instance text (a device
// path or whatever the class needs to open the device).
using DeviceFoundFn = void (*)(void* context, const char* friendlyName, const char* instance);
inline constexpr const char* kEnumerateDevicesInstance = "*";

extern "C" {
using DllEnumerateDevicesFn = HRESULT (*)(const GUID* category, const CLSID* clsid, DeviceFoundFn found,
                                          void* context);
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
}

#define PLATFORM_COM_SERVER(classTable)                                                                \
  namespace {                                                                                          \
  std::atomic<long> platformComServerObjects_{0};                                                      \
  const ServerModule platformComServerModule_{classTable, sizeof(classTable) / sizeof(classTable[0]),  \
                                              &platformComServerObjects_, &platformComServerObjects_}; \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID c, REFIID i,    \
                                                                              void** o) {              \
    return serverGetClassObject(platformComServerModule_, c, i, o);                                    \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {                        \
    return serverCanUnloadNow(platformComServerModule_);                                               \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {                      \
    return serverRegister(platformComServerModule_, false);                                            \
  }                                                                                                    \
  extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {                    \
    return serverRegister(platformComServerModule_, true);                                             \
  }
