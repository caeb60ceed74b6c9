// The device and codec enumerators: each lists wrapped filters one by one
// (nextFilter until it answers false; reset() lists again, in the same
// order). An enumerator whose set-up failed behaves as an empty list.
//
// rsCaptureEnumerator: the video (0) or audio (1) input devices of the
// system device enumerator, as rsCaptureFilter.
// rsCodecEnumerator: the few codecs the system works with, by friendly name:
//   0 video compressors: "Microsoft MPEG-4 Video Codec V2", "DV Video Encoder"
//   1 decoders (filter mapper): "Mpeg4 Decoder DMO", "DV Video Decoder"
//   2 audio compressors: "MPEG Layer-3"
//   3 decoders (filter mapper): "MPEG Layer-3 Decoder"
// as rsCodecFilter; every other codec is skipped without being created. A
// "DV Video Decoder" is set to decode at full resolution.
#pragma once
#include "gravet/rsFilter.h"
#include "platform/media/device_interfaces.h"

class rsFilterEnumerator : public mxObject {
  MX_OBJECT_DECLARE(rsFilterEnumerator, mxObject)

 public:
  rsFilterEnumerator(const rsFilterEnumerator&) = delete;
  rsFilterEnumerator& operator=(const rsFilterEnumerator&) = delete;

  virtual bool nextFilter(mxObjectPtr<rsFilter>& filter) = 0;
  // Restarts the listing (nothing when the enumerator is empty).
  void reset();

 protected:
  rsFilterEnumerator() = default;
  // Releases the mapper, then the moniker enumerator, then the device enumerator.
  ~rsFilterEnumerator() override;

  // Lists the members of a device category through the system device enumerator.
  bool openCategory(REFCLSID category);
  // Lists registered filters of at least minMerit with an input and an output pin.
  bool openDecoders(DWORD minMerit);
  // Whether a listing was set up (false: the enumerator is empty).
  bool isOpen() const { return monikers_ != nullptr; }
  // The next moniker (a new reference), or null at the end.
  IMoniker* nextMoniker();
  // The "FriendlyName" of a moniker's property bag (empty when it has none).
  static mxString friendlyNameOf(IMoniker* moniker);

 private:
  ICreateDevEnum* devices_ = nullptr;
  IEnumMoniker* monikers_ = nullptr;
  IFilterMapper2* mapper_ = nullptr;
};

class rsCaptureEnumerator : public rsFilterEnumerator {
  MX_OBJECT_DECLARE(rsCaptureEnumerator, rsFilterEnumerator)

 public:
  enum CategoryEnum { VideoInputDevice = 0, AudioInputDevice = 1 };

  explicit rsCaptureEnumerator(CategoryEnum category);
  // The next device as a new rsCaptureFilter named by its friendly name.
  // False with filter untouched when the enumerator is empty or the device's
  // filter cannot be created (a further call goes on with the next device);
  // false with filter emptied at the end of the list.
  bool nextFilter(mxObjectPtr<rsFilter>& filter) override;

 protected:
  ~rsCaptureEnumerator() override = default;
};

class rsCodecEnumerator : public rsFilterEnumerator {
  MX_OBJECT_DECLARE(rsCodecEnumerator, rsFilterEnumerator)

 public:
  enum CategoryEnum { VideoCompressor = 0, VideoDecoder = 1, AudioCompressor = 2, AudioDecoder = 3 };
  // Decoders are listed from this merit up.
  static constexpr DWORD DecoderMinMerit = 0x100001;

  explicit rsCodecEnumerator(CategoryEnum category);
  CategoryEnum getCategory() const { return category_; }
  // Empties filter, then yields the next accepted codec as a new
  // rsCodecFilter named by its friendly name. False at the end of the list,
  // for an empty enumerator, and when an accepted codec cannot be created.
  bool nextFilter(mxObjectPtr<rsFilter>& filter) override;
  // Whether a friendly name is one of the category's accepted names.
  static bool isAccepted(CategoryEnum category, const mxString& friendlyName);

 protected:
  ~rsCodecEnumerator() override = default;

 private:
  CategoryEnum category_;
};
