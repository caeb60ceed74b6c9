// The multicast client module: the filter and its four property pages.
#include "filters/ingrel/ingrel_filter.h"
#include "filters/ingrel/ingrel_pages.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kAnyType[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kPins[] = {{true, 1, kAnyType}};

const ServerClass kClasses[] = {
    {&CLSID_IngrelFilter, "Multicast Client", MERIT_NORMAL, nullptr, 1, kPins, createObject<IngrelFilter>},
    {&CLSID_IngrelCommunicationPage, "Multicast Client Communication Property Page", MERIT_DO_NOT_USE, nullptr, 0,
     nullptr, createObject<IngrelCommunicationPage>},
    {&CLSID_IngrelMediaTypePage, "Multicast Client MediaType Property Page", MERIT_DO_NOT_USE, nullptr, 0, nullptr,
     createObject<IngrelMediaTypePage>},
    {&CLSID_IngrelFrameControlPage, "Multicast Client FrameControl Property Page", MERIT_DO_NOT_USE, nullptr, 0,
     nullptr, createObject<IngrelFrameControlPage>},
    {&CLSID_IngrelAdditionalInfoPage, "Multicast Client Additional Info Property Page", MERIT_DO_NOT_USE, nullptr,
     0, nullptr, createObject<IngrelAdditionalInfoPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
