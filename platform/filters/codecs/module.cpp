// The platform codecs module: the MPEG-4 V2 and DV encoders and decoders and
// the built-in DV camera, created by class identifier. The encoders are
// members of the video compressor category and the camera of the video
// input category; the decoders are found by the filter mapper through their
// merit and their input pin types.
#include <dlfcn.h>

#include "platform/com/module_server.h"
#include "platform/filters/codecs/codecs.h"
#include "platform/filters/codecs/dv_camera.h"
#include "platform/filters/codecs/video_decoder_filter.h"
#include "platform/filters/codecs/video_encoder_filter.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kVideoAny[] = {{&MEDIATYPE_Video, &GUID_NULL}};
const ServerPinType kVideoRgb[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}, {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32}};
const ServerPinType kVideoMP42[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_MP42}};
const ServerPinType kVideoDV[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_dvsd}};

const ServerPin kMP42EncoderPins[] = {{false, 1, kVideoAny}, {true, 1, kVideoMP42}};
const ServerPin kMP42DecoderPins[] = {{false, 1, kVideoMP42}, {true, 2, kVideoRgb}};
const ServerPin kDVEncoderPins[] = {{false, 1, kVideoAny}, {true, 1, kVideoDV}};
const ServerPin kDVDecoderPins[] = {{false, 1, kVideoDV}, {true, 2, kVideoRgb}};
const ServerPin kDVCameraPins[] = {{true, 1, kVideoDV}};
const ServerPin kDVCameraWithPreviewPins[] = {{true, 1, kVideoDV}, {true, 1, kVideoDV}};

const ServerClass kClasses[] = {
    {&CLSID_MP42Encoder, kMP42EncoderName, kEncoderMerit, &CLSID_VideoCompressorCategory, 2, kMP42EncoderPins,
     createObject<MP42EncoderFilter>},
    {&CLSID_MP42Decoder, kMP42DecoderName, kDecoderMerit, nullptr, 2, kMP42DecoderPins,
     createObject<MP42DecoderFilter>},
    {&CLSID_DVEncoder, kDVEncoderName, kEncoderMerit, &CLSID_VideoCompressorCategory, 2, kDVEncoderPins,
     createObject<DVEncoderFilter>},
    {&CLSID_DVDecoder, kDVDecoderName, kDecoderMerit, nullptr, 2, kDVDecoderPins, createObject<DVDecoderFilter>},
    {&CLSID_DVCamera, kDVCameraName, MERIT_DO_NOT_USE, &CLSID_VideoInputDeviceCategory, 1, kDVCameraPins,
     createObject<DVCamera>},
    // Not a listed device: only tests make it one (codecs.h).
    {&CLSID_DVCameraWithPreview, kDVCameraWithPreviewName, MERIT_DO_NOT_USE, nullptr, 2, kDVCameraWithPreviewPins,
     createObject<DVCameraWithPreview>},
};

// libavcodec and the libraries it pulls in keep global state that is lost,
// not freed, when they are unloaded: once loaded, this module and what it
// links stay loaded.
__attribute__((constructor)) void pinModule() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&pinModule), &info) || !info.dli_fname) return;
  if (void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(self);
}

}  // namespace

PLATFORM_COM_SERVER(kClasses)
