// The multicast server module: the filter and its three property pages.
#include "filters/ostrel/ostrel_filter.h"
#include "filters/ostrel/ostrel_pages.h"
#include "platform/com/module_server.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kAnyType[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPin kPins[] = {{false, 1, kAnyType}};

const ServerClass kClasses[] = {
    {&CLSID_OstrelFilter, "Multicast Server", MERIT_NORMAL, nullptr, 1, kPins, createObject<OstrelFilter>},
    {&CLSID_OstrelCommunicationPage, "Multicast Server Communication Property Page", MERIT_DO_NOT_USE, nullptr, 0,
     nullptr, createObject<OstrelCommunicationPage>},
    {&CLSID_OstrelFrameControlPage, "Multicast Server Frame Control Property Page", MERIT_DO_NOT_USE, nullptr, 0,
     nullptr, createObject<OstrelFrameControlPage>},
    {&CLSID_OstrelUserDataPage, "Multicast Server User Data Property Page", MERIT_DO_NOT_USE, nullptr, 0, nullptr,
     createObject<OstrelUserDataPage>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
