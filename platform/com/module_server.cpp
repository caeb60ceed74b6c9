#include "platform/com/module_server.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/com/class_factory.h"
#include "platform/com/class_registry.h"
#include "platform/com/log.h"

namespace {

// The class factory of one class of a module. Its objects and locks keep
// the module loaded.
class ServerFactory final : public ClassFactoryBase {
 public:
  ServerFactory(const ServerModule& module, const ServerClass& cls) : module_(module), class_(cls) {}

  HRESULT LockServer(BOOL lock) override {
    if (lock)
      module_.objects->fetch_add(1);
    else
      module_.objects->fetch_sub(1);
    return S_OK;
  }

 protected:
  UnknownBase* make(HRESULT* hr) override {
    UnknownBase* obj = class_.create(hr);
    if (obj) obj->bindModuleCounter(module_.objects);
    return obj;
  }

 private:
  const ServerModule& module_;
  const ServerClass& class_;
};

std::string modulePath(const void* anchor) {
  Dl_info info{};
  if (!dladdr(anchor, &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

}  // namespace

HRESULT serverGetClassObject(const ServerModule& module, REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (size_t i = 0; i < module.count; ++i) {
    if (*module.classes[i].clsid != clsid) continue;
    auto* factory = new ServerFactory(module, module.classes[i]);
    factory->bindModuleCounter(module.objects);
    factory->nonDelegatingAddRef();
    HRESULT hr = factory->nonDelegatingQueryInterface(iid, object);
    factory->nonDelegatingRelease();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT serverCanUnloadNow(const ServerModule& module) {
  return module.objects->load() == 0 ? S_OK : S_FALSE;
}

HRESULT serverRegister(const ServerModule& module, bool unregister) {
  std::string path = modulePath(module.anchor);
  if (path.empty()) return SELFREG_E_CLASS;
  ClassRegistry registry;
  for (size_t i = 0; i < module.count; ++i) {
    const ServerClass& c = module.classes[i];
    bool ok;
    if (unregister) {
      ok = registry.removeClass(*c.clsid);
      if (ok && c.category) ok = registry.removeMembers(*c.category, *c.clsid);
    } else {
      ClassRecord r;
      r.clsid = *c.clsid;
      r.module = path;
      r.name = c.name ? c.name : "";
      r.merit = c.merit;
      for (size_t p = 0; p < c.pinCount; ++p) {
        RegisteredPin pin;
        pin.output = c.pins[p].output;
        for (size_t t = 0; t < c.pins[p].typeCount; ++t)
          pin.types.push_back({*c.pins[p].types[t].major, *c.pins[p].types[t].subtype});
        r.pins.push_back(std::move(pin));
      }
      ok = registry.addClass(r);
      if (ok && c.category) {
        void* self = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        bool enumerates = self && dlsym(self, "DllEnumerateDevices");
        if (self) dlclose(self);
        ok = registry.removeMembers(*c.category, *c.clsid) &&
             registry.addMember(
                 {*c.category, *c.clsid, r.name, c.merit, enumerates ? kEnumerateDevicesInstance : ""});
      }
    }
    if (!ok) {
      platformLog(PlatformLogLevel::Error, "%s of %s in %s failed",
                  unregister ? "unregistration" : "registration", guidToString(*c.clsid).c_str(),
                  registry.path().c_str());
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}
