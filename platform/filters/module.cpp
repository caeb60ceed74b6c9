// The platform filters module: tees and renderers, created by class identifier.
#include "platform/com/module_server.h"
#include "platform/filters/inf_tee.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/smart_tee.h"
#include "platform/filters/video_renderer.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kAnyType[] = {{&GUID_NULL, &GUID_NULL}};
const ServerPinType kVideoType[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPin kTeePins[] = {{false, 1, kAnyType}, {true, 1, kAnyType}};
const ServerPin kSmartTeePins[] = {{false, 1, kAnyType}, {true, 1, kAnyType}, {true, 1, kAnyType}};
const ServerPin kRendererPins[] = {{false, 1, kAnyType}};
const ServerPin kVideoRendererPins[] = {{false, 1, kVideoType}};

const ServerClass kClasses[] = {
    {&CLSID_SmartTee, "Smart Tee", MERIT_DO_NOT_USE, nullptr, 3, kSmartTeePins, createObject<SmartTee>},
    {&CLSID_InfTee, "Infinite Pin Tee Filter", MERIT_DO_NOT_USE, nullptr, 2, kTeePins, createObject<InfTee>},
    {&CLSID_VideoRenderer, "Video Renderer", MERIT_UNLIKELY, nullptr, 1, kVideoRendererPins,
     createObject<VideoRenderer>},
    {&CLSID_NullRenderer, "Null Renderer", MERIT_DO_NOT_USE, nullptr, 1, kRendererPins,
     createObject<NullRenderer>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
