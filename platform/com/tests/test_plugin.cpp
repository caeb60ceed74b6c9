// A plug-in module for the component model's tests: one class with a small
// counting interface and one class whose creation always fails.
#include "platform/com/tests/test_plugin.h"

#include "platform/com/module_server.h"

namespace {

class TestCounter final : public ITestCounter, public UnknownBase {
 public:
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_ITestCounter)
      return getInterface(static_cast<ITestCounter*>(this), object);
    return E_NOINTERFACE;
  }
  HRESULT Add(int32_t amount) override {
    value_ += amount;
    return S_OK;
  }
  HRESULT Get(int32_t* value) override {
    if (!value) return E_POINTER;
    *value = value_;
    return S_OK;
  }
  HRESULT Name(const char** text) override {
    *text = "test counter";
    return S_OK;
  }

 private:
  int32_t value_ = 0;
};

UnknownBase* createCounter(HRESULT*) {
  return new TestCounter;
}
UnknownBase* createFailing(HRESULT* hr) {
  *hr = E_OUTOFMEMORY;
  return nullptr;
}

const ServerClass kClasses[] = {
    {&CLSID_ComTestObject, "Com Test Object", 0x200000, nullptr, 0, nullptr, createCounter},
    {&CLSID_ComTestFailing, "Com Test Failing", 0x200000, nullptr, 0, nullptr, createFailing},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
