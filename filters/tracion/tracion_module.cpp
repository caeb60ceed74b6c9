// The pointer position filter's plug-in module: the filter and its page.
#include "filters/tracion/tracion_filter.h"
#include "filters/tracion/tracion_page.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kAny[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kPins[] = {{true, 1, kAny}};

const ServerClass kClasses[] = {
    {&CLSID_TracionFilter, "Pointer Position", 0x600000, nullptr, 1, kPins, createObject<TracionFilter>},
    {&CLSID_TracionPropertyPage, "Pointer Position Property Page", 0, nullptr, 0, nullptr,
     createObject<TracionPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
