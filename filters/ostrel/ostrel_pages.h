// The server filter's three property pages: communication, frame control
// and user data. Each page takes IOstrelControl from the filter it is shown
// for, fills its fields, and calls the setters on apply; the first two
// refresh their monitors every 100 ms.
#pragma once
#include "filters/ostrel/IOstrelControl.h"
#include "platform/com/com_ptr.h"
#include "platform/media/property_page.h"

class OstrelPage : public PropertyPage {
 protected:
  OstrelPage(const char* title, ULONG refreshMs) : PropertyPage(title, refreshMs) {}
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  virtual void load() = 0;
  ComPtr<IOstrelControl> control_;
};

class OstrelCommunicationPage final : public OstrelPage {
 public:
  enum : LONG { kAddress = 1, kPort, kTimeToLive, kSocketOpen };
  OstrelCommunicationPage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;

 private:
  void load() override;
};

class OstrelFrameControlPage final : public OstrelPage {
 public:
  enum : LONG {
    kPacketSize = 1,
    kMaximumRate,
    kRepeatCount,
    kSystem,
    kSystemBufferSize,
    kClockMinimumInterval,
    kMeasure,
    kTimestamp,
    kTransmittingRate,
    kFrameRate,
    kPacketsSent,
    kFramesSent
  };
  OstrelFrameControlPage();
  HRESULT onApply() override;
  HRESULT onRefresh() override;
  HRESULT onFieldChanged(LONG id) override;

 private:
  void load() override;
};

class OstrelUserDataPage final : public OstrelPage {
 public:
  enum : LONG { kLength = 1, kText };
  // The text edit holds at most this many characters.
  static constexpr size_t kMaxText = 63;
  OstrelUserDataPage();
  HRESULT onApply() override;

 private:
  void load() override;
};
