// The pointer position filter's property page: shape, sampling interval,
// command text and its send button, a monitor of the sampled pointer
// (refreshed every 50 ms) and the normalisation origin and size.
#pragma once
#include <string>

#include "filters/tracion/ITracionControl.h"
#include "platform/com/com_ptr.h"
#include "platform/media/property_page.h"

class TracionPage final : public PropertyPage {
 public:
  enum : LONG {
    kShape = 1001,
    kOriginY = 1005,
    kOriginX = 1006,
    kSizeY = 1007,
    kSizeX = 1008,
    kScreenWidth = 1012,
    kScreenHeight = 1013,
    kCursorX = 1017,
    kCursorY = 1018,
    kButtons = 1020,
    kWheel = 1022,
    kNormalX = 1033,
    kNormalY = 1034,
    kCommand = 1035,
    kSend = 1036,
    kInterval = 1038,
  };
  TracionPage();
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  HRESULT onApply() override;
  HRESULT onFieldChanged(LONG id) override;
  HRESULT onRefresh() override;

  // Sixteen "0"/"1" characters, bit 0 first.
  static std::string buttonText(uint16_t buttons);

 private:
  ComPtr<ITracionControl> control_;
};
