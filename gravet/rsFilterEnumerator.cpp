#include "gravet/rsFilterEnumerator.h"

#include <cstring>

#include "gravet/rsCaptureFilter.h"
#include "gravet/rsCodecFilter.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/media/control_interfaces.h"
#include "platform/media/guids.h"

namespace {

const char* const kVideoCompressors[] = {"Microsoft MPEG-4 Video Codec V2", "DV Video Encoder", nullptr};
const char* const kVideoDecoders[] = {"Mpeg4 Decoder DMO", "DV Video Decoder", nullptr};
const char* const kAudioCompressors[] = {"MPEG Layer-3", nullptr};
const char* const kAudioDecoders[] = {"MPEG Layer-3 Decoder", nullptr};

const char* const* acceptedNames(int category) {
  switch (category) {
    case rsCodecEnumerator::VideoCompressor:
      return kVideoCompressors;
    case rsCodecEnumerator::VideoDecoder:
      return kVideoDecoders;
    case rsCodecEnumerator::AudioCompressor:
      return kAudioCompressors;
    case rsCodecEnumerator::AudioDecoder:
      return kAudioDecoders;
    default:
      return nullptr;
  }
}

// The size of the area a friendly name is read into.
constexpr ULONG kNameArea = 1024;

}  // namespace

// ---------------------------------------------------------------- rsFilterEnumerator

rsFilterEnumerator::~rsFilterEnumerator() {
  if (mapper_) mapper_->Release();
  if (monikers_) monikers_->Release();
  if (devices_) devices_->Release();
}

void rsFilterEnumerator::reset() {
  if (monikers_) monikers_->Reset();
}

bool rsFilterEnumerator::openCategory(REFCLSID category) {
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              reinterpret_cast<void**>(&devices_)))) {
    devices_ = nullptr;
    return false;
  }
  // S_FALSE (no members) leaves the moniker enumerator empty.
  if (devices_->CreateClassEnumerator(category, &monikers_, 0) != S_OK) {
    if (monikers_) monikers_->Release();
    monikers_ = nullptr;
    return false;
  }
  return true;
}

bool rsFilterEnumerator::openDecoders(DWORD minMerit) {
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper_)))) {
    mapper_ = nullptr;
    return false;
  }
  if (FAILED(mapper_->EnumMatchingFilters(&monikers_, 0, FALSE, minMerit, TRUE, 0, nullptr, FALSE, TRUE, 0,
                                          nullptr))) {
    monikers_ = nullptr;
    return false;
  }
  return monikers_ != nullptr;
}

IMoniker* rsFilterEnumerator::nextMoniker() {
  if (!monikers_) return nullptr;
  IMoniker* moniker = nullptr;
  ULONG fetched = 0;
  if (monikers_->Next(1, &moniker, &fetched) != S_OK || fetched != 1) return nullptr;
  return moniker;
}

mxString rsFilterEnumerator::friendlyNameOf(IMoniker* moniker) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid())) || !bag) return {};
  char name[kNameArea] = {};
  HRESULT hr = bag->Read("FriendlyName", name, sizeof name);
  if (FAILED(hr) && hr != E_OUTOFMEMORY) return {};  // a cut name is still a name
  name[kNameArea - 1] = 0;
  return mxString(name);
}

// ---------------------------------------------------------------- rsCaptureEnumerator

rsCaptureEnumerator::rsCaptureEnumerator(CategoryEnum category) {
  if (category == VideoInputDevice)
    openCategory(CLSID_VideoInputDeviceCategory);
  else if (category == AudioInputDevice)
    openCategory(CLSID_AudioInputDeviceCategory);
}

bool rsCaptureEnumerator::nextFilter(mxObjectPtr<rsFilter>& filter) {
  ComPtr<IMoniker> moniker = ComPtr<IMoniker>::adopt(nextMoniker());
  if (!moniker) {
    // The end of the list (an empty enumerator leaves the pointer alone).
    if (isOpen()) filter = nullptr;
    return false;
  }
  ComPtr<IBaseFilter> device;
  if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, device.putVoid())) || !device) return false;
  mxString name = friendlyNameOf(moniker.get());
  filter = new rsCaptureFilter(device.get(), name, name);
  return true;
}

// ---------------------------------------------------------------- rsCodecEnumerator

rsCodecEnumerator::rsCodecEnumerator(CategoryEnum category) : category_(category) {
  switch (category) {
    case VideoCompressor:
      openCategory(CLSID_VideoCompressorCategory);
      break;
    case AudioCompressor:
      openCategory(CLSID_AudioCompressorCategory);
      break;
    case VideoDecoder:
    case AudioDecoder:
      openDecoders(DecoderMinMerit);
      break;
    default:
      break;
  }
}

bool rsCodecEnumerator::isAccepted(CategoryEnum category, const mxString& friendlyName) {
  const char* const* names = acceptedNames(category);
  if (!names || friendlyName.isEmpty()) return false;
  for (; *names; ++names)
    if (std::strcmp(*names, friendlyName.c_str()) == 0) return true;
  return false;
}

bool rsCodecEnumerator::nextFilter(mxObjectPtr<rsFilter>& filter) {
  filter = nullptr;
  for (;;) {
    ComPtr<IMoniker> moniker = ComPtr<IMoniker>::adopt(nextMoniker());
    if (!moniker) return false;
    // The name comes from the registration, so codecs the system does not
    // use are never loaded.
    mxString name = friendlyNameOf(moniker.get());
    if (!isAccepted(category_, name)) continue;
    ComPtr<IBaseFilter> codec;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, codec.putVoid())) || !codec) return false;
    if (std::strcmp(name.c_str(), "DV Video Decoder") == 0) {
      ComPtr<IIPDVDec> dv;
      if (SUCCEEDED(codec->QueryInterface(IID_IIPDVDec, dv.putVoid())) && dv) dv->put_IPDisplay(DVRESOLUTION_FULL);
    }
    filter = new rsCodecFilter(codec.get(), name, name);
    return true;
  }
}
