#include "platform/media/device_enum.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/module_server.h"
#include "platform/com/runtime.h"
#include "platform/media/guids.h"

namespace {

std::mutex g_devicesLock;
std::vector<DeviceEntry>& runtimeDevices() {
  static auto* list = new std::vector<DeviceEntry>;
  return *list;
}

class DevicePropertyBag final : public IPropertyBag, public UnknownBase {
 public:
  explicit DevicePropertyBag(const DeviceEntry& d) : device_(d) {}
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag)
      return getInterface(static_cast<IPropertyBag*>(this), object);
    return E_NOINTERFACE;
  }
  HRESULT Read(const char* name, char* value, ULONG size) override {
    if (!name || !value || size == 0) return E_POINTER;
    std::string text;
    if (!std::strcmp(name, "FriendlyName"))
      text = device_.friendlyName;
    else if (!std::strcmp(name, "CLSID"))
      text = guidToString(device_.clsid);
    else if (!std::strcmp(name, "DevicePath"))
      text = device_.instance;
    else
      return E_INVALIDARG;
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(value, text.data(), n);
    value[n] = 0;
    return n == text.size() ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Write(const char*, const char*) override { return E_ACCESSDENIED; }

 private:
  DeviceEntry device_;
};

class DeviceMoniker final : public IMoniker, public UnknownBase {
 public:
  explicit DeviceMoniker(const DeviceEntry& d) : device_(d) {}
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IMoniker) return getInterface(static_cast<IMoniker*>(this), object);
    return E_NOINTERFACE;
  }
  HRESULT BindToObject(void*, IMoniker*, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<IUnknown> unk;
    HRESULT hr = CoCreateInstance(device_.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unk.putVoid());
    if (FAILED(hr)) return hr;
    if (auto persist = unk.as<IPersistPropertyBag>()) {
      ComPtr<IPropertyBag> bag = ComPtr<IPropertyBag>::adopt(makeBag());
      hr = persist->Load(bag.get(), nullptr);
      if (FAILED(hr)) return hr;
    }
    return unk->QueryInterface(iid, object);
  }
  HRESULT BindToStorage(void*, IMoniker*, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<IPropertyBag> bag = ComPtr<IPropertyBag>::adopt(makeBag());
    return bag->QueryInterface(iid, object);
  }
  HRESULT GetDisplayName(char** name) override {
    if (!name) return E_POINTER;
    std::string text = "@device:" + guidToString(device_.category) + ":" + guidToString(device_.clsid) + ":" +
                       device_.instance;
    *name = static_cast<char*>(CoTaskMemAlloc(text.size() + 1));
    if (!*name) return E_OUTOFMEMORY;
    std::memcpy(*name, text.c_str(), text.size() + 1);
    return S_OK;
  }

 private:
  IPropertyBag* makeBag() {
    auto* bag = new DevicePropertyBag(device_);
    bag->AddRef();
    return bag;
  }
  DeviceEntry device_;
};

class MonikerEnumerator final : public IEnumMoniker, public UnknownBase {
 public:
  explicit MonikerEnumerator(std::vector<DeviceEntry> list, size_t pos = 0)
      : list_(std::move(list)), pos_(pos) {}
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IEnumMoniker)
      return getInterface(static_cast<IEnumMoniker*>(this), object);
    return E_NOINTERFACE;
  }
  HRESULT Next(ULONG count, IMoniker** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && pos_ < list_.size()) out[n++] = createDeviceMoniker(list_[pos_++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    pos_ = std::min(list_.size(), pos_ + count);
    return pos_ < list_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumMoniker** e) override {
    if (!e) return E_POINTER;
    auto* c = new MonikerEnumerator(list_, pos_);
    c->AddRef();
    *e = c;
    return S_OK;
  }

 private:
  std::vector<DeviceEntry> list_;
  size_t pos_;
};

bool typeMatches(const RegisteredPinType& reg, const GUID& major, const GUID& sub, bool exact) {
  auto one = [&](const GUID& r, const GUID& want) {
    if (want == GUID_NULL) return true;
    if (r == GUID_NULL) return !exact;
    return r == want;
  };
  return one(reg.major, major) && one(reg.subtype, sub);
}

bool pinsMatch(const ClassRecord& rec, bool output, bool needed, DWORD count, const GUID* types, bool exact) {
  bool any = false;
  for (const RegisteredPin& p : rec.pins) {
    if (p.output != output) continue;
    any = true;
    if (count == 0 || !types) return true;
    if (p.types.empty()) return true;
    for (DWORD i = 0; i < count; ++i)
      for (const RegisteredPinType& t : p.types)
        if (typeMatches(t, types[2 * i], types[2 * i + 1], exact)) return true;
  }
  // Without a pin of that direction the filter matches only when none is needed
  // and no type was asked for.
  return !any && !needed && (count == 0 || !types);
}

}  // namespace

void registerDevice(const DeviceEntry& device) {
  std::lock_guard<std::mutex> g(g_devicesLock);
  auto& list = runtimeDevices();
  std::erase_if(list, [&](const DeviceEntry& d) {
    return d.category == device.category && d.clsid == device.clsid && d.instance == device.instance;
  });
  list.push_back(device);
}

void unregisterDevice(REFCLSID category, REFCLSID clsid, const std::string& instance) {
  std::lock_guard<std::mutex> g(g_devicesLock);
  std::erase_if(runtimeDevices(), [&](const DeviceEntry& d) {
    return d.category == category && d.clsid == clsid && d.instance == instance;
  });
}

// A category's members in an order that does not depend on the order in
// which modules happened to register: higher merit first, then by module file
// name, each module's own entries in the order it registered them.
static std::vector<CategoryMember> orderedMembers(const ClassRegistry& registry, REFCLSID category) {
  std::vector<CategoryMember> members = registry.membersOf(category);
  auto moduleName = [&](const CLSID& clsid) {
    for (const ClassRecord& r : registry.classes())
      if (r.clsid == clsid) return r.module.substr(r.module.find_last_of('/') + 1);
    return std::string();
  };
  std::vector<std::string> modules;
  for (const CategoryMember& m : members) modules.push_back(moduleName(m.clsid));
  std::vector<size_t> order(members.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (members[a].merit != members[b].merit) return members[a].merit > members[b].merit;
    return modules[a] < modules[b];
  });
  std::vector<CategoryMember> sorted;
  for (size_t i : order) sorted.push_back(members[i]);
  return sorted;
}

std::vector<DeviceEntry> listDevices(REFCLSID category) {
  std::vector<DeviceEntry> out;
  ClassRegistry registry;
  if (registry.load())
    for (const CategoryMember& m : orderedMembers(registry, category)) {
      if (m.instance != kEnumerateDevicesInstance) {
        out.push_back({m.category, m.clsid, m.name, m.instance, m.merit});
        continue;
      }
      // The module lists the devices it finds now.
      void* fn = nullptr;
      if (FAILED(CoGetModuleSymbol(m.clsid, "DllEnumerateDevices", &fn)) || !fn) continue;
      struct Found {
        const CategoryMember& member;
        std::vector<DeviceEntry>& out;
      } found{m, out};
      HRESULT hr = reinterpret_cast<DllEnumerateDevicesFn>(fn)(
          &m.category, &m.clsid,
          [](void* ctx, const char* name, const char* instance) {
            auto* f = static_cast<Found*>(ctx);
            f->out.push_back({f->member.category, f->member.clsid, name ? name : "", instance ? instance : "",
                              f->member.merit});
          },
          &found);
      if (hr == S_FALSE) out.push_back({m.category, m.clsid, m.name, {}, m.merit});
    }
  std::lock_guard<std::mutex> g(g_devicesLock);
  for (const DeviceEntry& d : runtimeDevices())
    if (d.category == category) out.push_back(d);
  return out;
}

IMoniker* createDeviceMoniker(const DeviceEntry& device) {
  auto* m = new DeviceMoniker(device);
  m->AddRef();
  return m;
}

HRESULT SystemDeviceEnum::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_ICreateDevEnum)
    return getInterface(static_cast<ICreateDevEnum*>(this), object);
  return E_NOINTERFACE;
}

HRESULT SystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** e, DWORD) {
  if (!e) return E_POINTER;
  *e = nullptr;
  std::vector<DeviceEntry> list = listDevices(category);
  if (list.empty()) return S_FALSE;
  auto* en = new MonikerEnumerator(std::move(list));
  en->AddRef();
  *e = en;
  return S_OK;
}

HRESULT FilterMapper::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IUnknown || iid == IID_IFilterMapper2)
    return getInterface(static_cast<IFilterMapper2*>(this), object);
  return E_NOINTERFACE;
}

HRESULT FilterMapper::EnumMatchingFilters(IEnumMoniker** e, DWORD, BOOL exactMatch, DWORD minMerit,
                                          BOOL inputNeeded, DWORD inputTypeCount, const GUID* inputTypes,
                                          BOOL, BOOL outputNeeded, DWORD outputTypeCount,
                                          const GUID* outputTypes) {
  if (!e) return E_POINTER;
  *e = nullptr;
  ClassRegistry registry;
  if (!registry.load()) return E_FAIL;
  std::vector<DeviceEntry> list;
  for (const ClassRecord& r : registry.classes()) {
    if (r.merit < minMerit) continue;
    if (!pinsMatch(r, false, inputNeeded, inputTypeCount, inputTypes, exactMatch)) continue;
    if (!pinsMatch(r, true, outputNeeded, outputTypeCount, outputTypes, exactMatch)) continue;
    list.push_back({CLSID_LegacyAmFilterCategory, r.clsid, r.name, {}, r.merit});
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const DeviceEntry& a, const DeviceEntry& b) { return a.merit > b.merit; });
  auto* en = new MonikerEnumerator(std::move(list));
  en->AddRef();
  *e = en;
  return S_OK;
}
