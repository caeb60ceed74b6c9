// The sound module: capture devices (ALSA and the test-tone microphone),
// the audio renderer and the MP3 encoder and decoder.
#include <dlfcn.h>

#include "platform/com/module_server.h"
#include "platform/filters/audio/alsa_pcm.h"
#include "platform/filters/audio/audio_capture.h"
#include "platform/filters/audio/audio_filters.h"
#include "platform/filters/audio/audio_renderer.h"
#include "platform/filters/audio/mp3_decoder.h"
#include "platform/filters/audio/mp3_encoder.h"
#include "platform/media/guids.h"

namespace {

const ServerPinType kPcmType[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM}};
const ServerPinType kMp3Type[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_MP3}};
const ServerPin kCapturePins[] = {{true, 1, kPcmType}};
const ServerPin kRendererPins[] = {{false, 1, kPcmType}};
const ServerPin kEncoderPins[] = {{false, 1, kPcmType}, {true, 1, kMp3Type}};
const ServerPin kDecoderPins[] = {{false, 1, kMp3Type}, {true, 1, kPcmType}};

// The encoder's merit keeps it out of the filter mapper's lists (which start
// above 0x100000); the decoder is found there by merit and input type.
const ServerClass kClasses[] = {
    {&CLSID_AlsaAudioCapture, kAlsaAudioCaptureName, MERIT_DO_NOT_USE, &CLSID_AudioInputDeviceCategory, 1,
     kCapturePins, createObject<AlsaCaptureFilter>},
    {&CLSID_TestToneMicrophone, kTestToneMicrophoneName, MERIT_DO_NOT_USE, &CLSID_AudioInputDeviceCategory, 1,
     kCapturePins, createObject<ToneMicrophone>},
    {&CLSID_DSoundRender, kAudioRendererName, MERIT_PREFERRED, nullptr, 1, kRendererPins,
     createObject<AudioRenderer>},
    {&CLSID_Mp3Encoder, kMp3EncoderName, MERIT_SW_COMPRESSOR, &CLSID_AudioCompressorCategory, 2, kEncoderPins,
     createObject<Mp3Encoder>},
    {&CLSID_Mp3Decoder, kMp3DecoderName, MERIT_NORMAL, nullptr, 2, kDecoderPins, createObject<Mp3Decoder>},
};

// alsa-lib (its parsed configuration) and libraries libavcodec pulls in
// keep global state that is lost, not freed, when they are unloaded: once
// loaded, this module and what it links stay loaded.
__attribute__((constructor)) void pinModule() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&pinModule), &info) || !info.dli_fname) return;
  if (void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(self);
}

}  // namespace

PLATFORM_COM_SERVER(kClasses)

// Devices of the audio input category, listed afresh each time: the sound
// cards' capture devices, and the test-tone microphone that is always there.
// Other classes keep their registered name (S_FALSE).
extern "C" __attribute__((visibility("default"))) HRESULT DllEnumerateDevices(const GUID* category,
                                                                              const CLSID* clsid,
                                                                              DeviceFoundFn found, void* context) {
  if (!category || !clsid || !found) return E_POINTER;
  if (*category != CLSID_AudioInputDeviceCategory) return S_FALSE;
  if (*clsid == CLSID_AlsaAudioCapture) {
    for (const AlsaDevice& d : listAlsaCaptureDevices()) found(context, d.friendlyName.c_str(), d.pcmName.c_str());
    return S_OK;
  }
  if (*clsid == CLSID_TestToneMicrophone) {
    found(context, kTestToneMicrophoneName, "tone");
    return S_OK;
  }
  return S_FALSE;
}
