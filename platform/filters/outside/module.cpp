// The outside filters module: format transform, image extractor and image
// compounder, created by class identifier.
#include "platform/com/module_server.h"
#include "platform/filters/outside/format_transform.h"
#include "platform/filters/outside/image_compound.h"
#include "platform/filters/outside/image_extract.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kVideoAny[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPinType kVideoRgb24[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const ServerPinType kPointer[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_PointerInfo}};
const ServerPin kTransformPins[] = {{false, 1, kVideoAny}, {true, 1, kVideoRgb24}};
const ServerPin kExtractPins[] = {{false, 1, kVideoRgb24}, {false, 1, kPointer}, {true, 1, kVideoRgb24}};
const ServerPin kCompoundPins[] = {
    {false, 1, kVideoRgb24}, {false, 1, kVideoRgb24}, {false, 1, kPointer}, {true, 1, kVideoRgb24}};

const ServerClass kClasses[] = {
    {&CLSID_FormatTransform, "Format Transform", MERIT_DO_NOT_USE, nullptr, 2, kTransformPins,
     createObject<FormatTransform>},
    {&CLSID_ImageExtract, "Image Extract", MERIT_DO_NOT_USE, nullptr, 3, kExtractPins, createObject<ImageExtract>},
    {&CLSID_ImageCompound, "Image Compound", MERIT_DO_NOT_USE, nullptr, 4, kCompoundPins,
     createObject<ImageCompound>},
};

}  // namespace

PLATFORM_COM_SERVER(kClasses)
