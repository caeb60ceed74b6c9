// The zoom filter's plug-in module: the filter and its property page.
#include "filters/loupex/loupex_filter.h"
#include "filters/loupex/loupex_page.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kVideoAny[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPinType kPointer[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_PointerInfo}};
const ServerPin kPins[] = {{false, 1, kVideoAny}, {true, 1, kVideoAny}, {false, 1, kPointer}};

const ServerClass kClasses[] = {
    {&CLSID_LoupexFilter, "Non-linear Zoom", 0x200000, nullptr, 3, kPins, createObject<LoupexFilter>},
    {&CLSID_LoupexPropertyPage, "Non-liear Zoom Property Page", 0, nullptr, 0, nullptr,
     createObject<LoupexPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
