// Classes this library serves itself, found by CoCreateInstance before the
// class registry: the filter graph, the system clock, the memory allocator,
// the system device enumerator and the filter mapper.
#include "platform/com/runtime.h"
#include "platform/media/allocator.h"
#include "platform/media/clock.h"
#include "platform/media/device_enum.h"
#include "platform/media/filter_graph.h"
#include "platform/media/guids.h"

namespace {

struct RegisterBuiltins {
  RegisterBuiltins() {
    registerBuiltinClass(CLSID_FilterGraph, []() -> UnknownBase* { return new FilterGraph; });
    registerBuiltinClass(CLSID_SystemClock, []() -> UnknownBase* { return new SystemClock; });
    registerBuiltinClass(CLSID_MemoryAllocator, []() -> UnknownBase* { return new MemAllocator; });
    registerBuiltinClass(CLSID_SystemDeviceEnum, []() -> UnknownBase* { return new SystemDeviceEnum; });
    registerBuiltinClass(CLSID_FilterMapper2, []() -> UnknownBase* { return new FilterMapper; });
  }
} registerBuiltins;

}  // namespace
