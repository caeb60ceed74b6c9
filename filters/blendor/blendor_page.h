// The pointer mixer's property page: the picture window's place and size,
// the mapping pairs (shown, not editable), and the colour of each connected
// pointer input. Changes take effect when the page is applied.
#pragma once
#include <vector>

#include "filters/blendor/IBlendorControl.h"
#include "platform/com/com_ptr.h"
#include "platform/media/property_page.h"

class BlendorPage final : public PropertyPage {
 public:
  enum : LONG {
    kWindowX = 1001,
    kWindowW = 1002,
    kMappingX = 1003,
    kMappingW = 1004,
    kWindowY = 1012,
    kWindowH = 1013,
    kMappingY = 1014,
    kMappingH = 1015,
    kInput = 1024,
    kColour = 1027,
  };
  BlendorPage();
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  HRESULT onApply() override;
  HRESULT onFieldChanged(LONG id) override;

 private:
  ComPtr<IBlendorControl> control_;
  std::vector<int32_t> colours_;  // one per connected input, as edited
};
