// The pointer mixer's plug-in module: the filter and its property page.
#include "filters/blendor/blendor_filter.h"
#include "filters/blendor/blendor_page.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kVideoAny[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPin kPins[] = {{false, 1, kVideoAny}, {true, 1, kVideoAny}};

const ServerClass kClasses[] = {
    {&CLSID_BlendorFilter, "Pointer Mixer", 0x600000, nullptr, 2, kPins, createObject<BlendorFilter>},
    {&CLSID_BlendorPropertyPage, "Pointer Mixer Property Page", 0, nullptr, 0, nullptr,
     createObject<BlendorPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
