// The component model's process services: start/stop (counted), creating an
// object by class identifier (built-in classes first, then the class
// registry, loading the serving module with dlopen), module unloading and the
// task allocator.
#pragma once
#include <cstddef>

#include "platform/com/unknown.h"

class UnknownBase;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// Counted: every successful CoInitialize needs one CoUninitialize. The last
// CoUninitialize unloads the modules that can be unloaded.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
bool CoIsInitialized();

// On any failure *object is null and the result says why:
// CO_E_NOTINITIALIZED, REGDB_E_CLASSNOTREG, CO_E_DLLNOTFOUND,
// CO_E_ERRORINDLL, CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE, ...
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** object);
// Unloads every loaded module whose can-unload entry point answers S_OK.
void CoFreeUnusedLibraries();
// Whether the module at path is currently loaded by the component model.
bool CoIsModuleLoaded(const char* path);

// Loads the module serving clsid (as creating an object would) and looks up
// an exported symbol in it; the module stays loaded while objects of it live
// or until CoFreeUnusedLibraries finds it idle.
HRESULT CoGetModuleSymbol(REFCLSID clsid, const char* symbol, void** address);

void* CoTaskMemAlloc(size_t size);
void CoTaskMemFree(void* p);

// Classes served by the libraries of the process itself (the graph, the
// device enumerator, ...), found before the class registry is consulted.
using BuiltinCreateFn = UnknownBase* (*)();
void registerBuiltinClass(REFCLSID clsid, BuiltinCreateFn create);

// Loads a module and calls its register (or unregister) entry point.
HRESULT registerServerModule(const char* path, bool unregister = false);
