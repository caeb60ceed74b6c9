#include "platform/com/runtime.h"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/log.h"
#include "platform/com/module_server.h"
#include "platform/com/unknown_base.h"

namespace {

struct LoadedModule {
  void* handle = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;
};

struct Runtime {
  std::mutex lock;
  int initCount = 0;
  std::map<std::string, LoadedModule> modules;
  std::unordered_map<GUID, BuiltinCreateFn> builtins;
  bool mediaLoaded = false;
};

Runtime& runtime() {
  static Runtime* r = new Runtime;  // never destroyed: modules may outlive static destruction order
  return *r;
}

// A factory for built-in classes.
class BuiltinFactory final : public ClassFactoryBase {
 public:
  explicit BuiltinFactory(BuiltinCreateFn create) : create_(create) {}
  HRESULT LockServer(BOOL) override { return S_OK; }

 protected:
  UnknownBase* make(HRESULT*) override { return create_(); }

 private:
  BuiltinCreateFn create_;
};

// Loads (or finds) the module at path; caller holds the runtime lock.
HRESULT loadModule(Runtime& rt, const std::string& path, LoadedModule*& out) {
  auto it = rt.modules.find(path);
  if (it != rt.modules.end()) {
    out = &it->second;
    return S_OK;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = dlerror();
    platformLog(PlatformLogLevel::Error, "cannot load module %s: %s", path.c_str(),
                err ? err : "unknown error");
    return CO_E_DLLNOTFOUND;
  }
  LoadedModule m;
  m.handle = handle;
  m.getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  m.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
  if (!m.getClassObject) {
    platformLog(PlatformLogLevel::Error, "module %s has no DllGetClassObject entry point", path.c_str());
    dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  out = &rt.modules.emplace(path, m).first->second;
  return S_OK;
}

}  // namespace

HRESULT CoInitialize(void*) {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  return rt.initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  Runtime& rt = runtime();
  {
    std::lock_guard<std::mutex> g(rt.lock);
    if (rt.initCount == 0) {
      platformLog(PlatformLogLevel::Warn, "CoUninitialize without CoInitialize ignored");
      return;
    }
    if (--rt.initCount > 0) return;
  }
  CoFreeUnusedLibraries();
}

bool CoIsInitialized() {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  return rt.initCount > 0;
}

void registerBuiltinClass(REFCLSID clsid, BuiltinCreateFn create) {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  rt.builtins[clsid] = create;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  Runtime& rt = runtime();
  std::unique_lock<std::mutex> g(rt.lock);
  if (rt.initCount == 0) {
    platformLog(PlatformLogLevel::Error, "class %s requested before CoInitialize",
                guidToString(clsid).c_str());
    return CO_E_NOTINITIALIZED;
  }
  auto builtin = rt.builtins.find(clsid);
  if (builtin == rt.builtins.end() && !rt.mediaLoaded) {
    // The framework's own classes (graph, clock, device enumerator, ...)
    // register themselves when the media library is loaded; a program that
    // links it without calling into it directly may not have it loaded yet.
    rt.mediaLoaded = true;
    g.unlock();
    dlopen("libplatform_media.so", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    g.lock();
    builtin = rt.builtins.find(clsid);
  }
  if (auto it = builtin; it != rt.builtins.end()) {
    auto* factory = new BuiltinFactory(it->second);
    factory->nonDelegatingAddRef();
    HRESULT hr = factory->nonDelegatingQueryInterface(iid, object);
    factory->nonDelegatingRelease();
    return hr;
  }
  ClassRegistry registry;
  if (!registry.load()) return REGDB_E_CLASSNOTREG;
  auto record = registry.findClass(clsid);
  if (!record) {
    platformLog(PlatformLogLevel::Notice, "class %s is not registered in %s", guidToString(clsid).c_str(),
                registry.path().c_str());
    return REGDB_E_CLASSNOTREG;
  }
  LoadedModule* module = nullptr;
  HRESULT hr = loadModule(rt, record->module, module);
  if (FAILED(hr)) return hr;
  DllGetClassObjectFn get = module->getClassObject;
  g.unlock();
  hr = get(clsid, iid, object);
  if (FAILED(hr)) {
    *object = nullptr;
    platformLog(PlatformLogLevel::Error, "module %s does not serve class %s (0x%08X)", record->module.c_str(),
                guidToString(clsid).c_str(), static_cast<unsigned>(hr));
  }
  return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr =
      CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, object);
  factory->Release();
  if (FAILED(hr)) {
    *object = nullptr;
    platformLog(PlatformLogLevel::Notice, "creating %s failed (0x%08X)", guidToString(clsid).c_str(),
                static_cast<unsigned>(hr));
  }
  return hr;
}

void CoFreeUnusedLibraries() {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  for (auto it = rt.modules.begin(); it != rt.modules.end();) {
    if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
      dlclose(it->second.handle);
      it = rt.modules.erase(it);
    } else {
      ++it;
    }
  }
}

bool CoIsModuleLoaded(const char* path) {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  return path && rt.modules.count(path) != 0;
}

HRESULT CoGetModuleSymbol(REFCLSID clsid, const char* symbol, void** address) {
  if (!symbol || !address) return E_POINTER;
  *address = nullptr;
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> g(rt.lock);
  if (rt.initCount == 0) return CO_E_NOTINITIALIZED;
  ClassRegistry registry;
  if (!registry.load()) return REGDB_E_CLASSNOTREG;
  auto record = registry.findClass(clsid);
  if (!record) return REGDB_E_CLASSNOTREG;
  LoadedModule* module = nullptr;
  HRESULT hr = loadModule(rt, record->module, module);
  if (FAILED(hr)) return hr;
  *address = dlsym(module->handle, symbol);
  return *address ? S_OK : E_NOINTERFACE;
}

void* CoTaskMemAlloc(size_t size) {
  return std::malloc(size ? size : 1);
}
void CoTaskMemFree(void* p) {
  std::free(p);
}

HRESULT registerServerModule(const char* path, bool unregister) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = dlerror();
    platformLog(PlatformLogLevel::Error, "cannot load module %s: %s", path, err ? err : "unknown error");
    return CO_E_DLLNOTFOUND;
  }
  auto fn = reinterpret_cast<DllRegisterServerFn>(
      dlsym(handle, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
  HRESULT hr = fn ? fn() : CO_E_ERRORINDLL;
  dlclose(handle);
  return hr;
}
