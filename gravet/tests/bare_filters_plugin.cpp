// A test module that answers the class identifiers of the wrapped filters
// with a bare filter (no pins, no control interface), so that the tests can
// check that a wrapper lets such a filter go. Registered only into the
// tests' own registries, never into the build's.
#include "platform/com/module_server.h"
#include "platform/filters/outside/outside_interfaces.h"
#include "platform/media/base_filter.h"
#include "platform/media/guids.h"

namespace {

// Identifiers of the filters whose wrappers query a control interface.
constexpr CLSID kOstrel = makeGuid("{FFF4CBF9-0DAE-4990-88D2-8186340EFEC1}");
constexpr CLSID kIngrel = makeGuid("{5D74D554-4D9A-47A0-956C-B8A0BC4AD32B}");
constexpr CLSID kLoupex = makeGuid("{E32DBEEE-EF96-4017-AAAB-5271C07ED413}");
constexpr CLSID kTracion = makeGuid("{F7B72700-6DD6-4BC2-B9BB-6A75485F8F31}");
constexpr CLSID kBlendor = makeGuid("{0DA8A340-73DE-471D-80E6-091DD4288C10}");

class BareFilter final : public BaseFilter {
 public:
  explicit BareFilter(const CLSID& clsid) : BaseFilter(clsid) {}
  int pinCount() override { return 0; }
  BasePin* pin(int) override { return nullptr; }
};

template <const CLSID& C>
UnknownBase* makeBare(HRESULT*) {
  return new BareFilter(C);
}

const ServerClass kClasses[] = {
    {&kOstrel, "Bare Server", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<kOstrel>},
    {&kIngrel, "Bare Client", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<kIngrel>},
    {&kLoupex, "Bare Zoom", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<kLoupex>},
    {&kTracion, "Bare Pointer Source", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<kTracion>},
    {&kBlendor, "Bare Pointer Mixer", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<kBlendor>},
    {&CLSID_ImageCompound, "Bare Compounder", MERIT_DO_NOT_USE, nullptr, 0, nullptr, makeBare<CLSID_ImageCompound>},
    {&CLSID_VideoRenderer, "Bare Video Renderer", MERIT_DO_NOT_USE, nullptr, 0, nullptr,
     makeBare<CLSID_VideoRenderer>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
