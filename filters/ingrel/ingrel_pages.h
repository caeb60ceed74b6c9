// The client filter's four property pages: communication, output media
// type, frame control and additional information. Each page takes
// IIngrelControl from the filter it is shown for, fills its fields, and
// calls the setters on apply.
#pragma once
#include "filters/ingrel/IIngrelControl.h"
#include "platform/com/com_ptr.h"
#include "platform/media/property_page.h"

class IngrelPage : public PropertyPage {
 protected:
  IngrelPage(const char* title, ULONG refreshMs) : PropertyPage(title, refreshMs) {}
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  virtual void load() = 0;
  ComPtr<IIngrelControl> control_;
};

class IngrelCommunicationPage final : public IngrelPage {
 public:
  enum : LONG { kAddress = 1, kPort, kTimeToLive, kInterface, kSocketOpen, kStreaming };
  IngrelCommunicationPage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  void load() override;
};

class IngrelMediaTypePage final : public IngrelPage {
 public:
  enum : LONG {
    kKind = 1,
    kVideoFormat,
    kResolution,
    kAudioFormat,
    kFrequency,
    kChannels,
    kBitCount,
    kStatus,
    kReceivedType
  };
  IngrelMediaTypePage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  void load() override;
};

class IngrelFrameControlPage final : public IngrelPage {
 public:
  enum : LONG {
    kTimestampReset = 1,
    kStreaming,
    kTimestamp,
    kReceiveRate,
    kFrameRate,
    kPacketSize,
    kPacketsReceived,
    kFramesReceived,
    kDroppedPackets,
    kDroppedFrames,
    kDiscarded
  };
  IngrelFrameControlPage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  void load() override;
};

class IngrelAdditionalInfoPage final : public IngrelPage {
 public:
  enum : LONG { kPosition = 1, kX, kY, kSize, kWidth, kHeight, kUserData };
  IngrelAdditionalInfoPage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  void load() override;
};
