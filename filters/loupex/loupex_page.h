// The zoom filter's property page: output format, mask type, size and fixed
// position, and whether the pointer input is ignored. Every change goes to
// the filter at once.
#pragma once
#include "filters/loupex/ILoupexControl.h"
#include "platform/com/com_ptr.h"
#include "platform/media/property_page.h"

class LoupexPage final : public PropertyPage {
 public:
  enum : LONG {
    kOutputFormat = 1004,
    kMaskType = 1005,
    kPositionX = 1006,
    kPositionY = 1007,
    kFixedMode = 1009,
    kMaskWidth = 1010,
    kMaskHeight = 1011,
  };
  LoupexPage();
  HRESULT onConnect(IUnknown* object) override;
  HRESULT onDisconnect() override;
  HRESULT onApply() override;
  HRESULT onFieldChanged(LONG id) override;

 private:
  ComPtr<ILoupexControl> control_;
};
