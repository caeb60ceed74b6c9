#include "filters/loupex/loupex_page.h"

#include <cstdlib>
#include <string>

namespace {

// Decimal integer; text that is not a number gives 0.
int32_t parseInt(const std::string& text) {
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

std::string formatChoices() {
  std::string choices;
  for (int i = 0; i < kLoupexOutputFormatCount; ++i) {
    if (i) choices += '\n';
    choices += kLoupexOutputFormats[i].label;
  }
  return choices;
}

}  // namespace

LoupexPage::LoupexPage() : PropertyPage("Non-linear Zoom") {
  addField(kOutputFormat, PageField_Choice, "出力ビデオフォーマット", {}, formatChoices());
  addField(2001, PageField_Group, "マスク");
  addField(kMaskType, PageField_Choice, "", {}, "矩形\n楕円");
  addField(2002, PageField_Group, "サイズ");
  addField(kMaskWidth, PageField_Number, "幅:");
  addField(kMaskHeight, PageField_Number, "高さ:");
  addField(2003, PageField_Group, "位置");
  addField(kPositionX, PageField_Number, "x:");
  addField(kPositionY, PageField_Number, "y:");
  addField(kFixedMode, PageField_Check, "ポインタ位置入力ピンの無効化");
}

HRESULT LoupexPage::onConnect(IUnknown* object) {
  control_.reset();
  if (!object || FAILED(object->QueryInterface(IID_ILoupexControl, control_.putVoid())) || !control_)
    return E_NOINTERFACE;
  int32_t format = 0, type = 0, x = 0, y = 0, w = 0, h = 0;
  uint8_t fixed = 0;
  control_->getOutputVideoFormat(&format);
  control_->getMask(&type);
  control_->getMaskPosition(&x, &y);
  control_->getMaskSize(&w, &h);
  control_->getPointerInputDisabled(&fixed);
  setValue(kOutputFormat, std::to_string(format));
  setValue(kMaskType, std::to_string(type));
  setValue(kMaskWidth, std::to_string(w));
  setValue(kMaskHeight, std::to_string(h));
  setValue(kPositionX, std::to_string(x));
  setValue(kPositionY, std::to_string(y));
  setValue(kFixedMode, fixed ? "1" : "0");
  return S_OK;
}

HRESULT LoupexPage::onDisconnect() {
  control_.reset();
  return S_OK;
}

HRESULT LoupexPage::onApply() {
  // Every change already went to the filter.
  return S_OK;
}

HRESULT LoupexPage::onFieldChanged(LONG id) {
  if (control_) {
    switch (id) {
      case kOutputFormat:
        control_->setOutputVideoFormat(parseInt(value(kOutputFormat)));
        break;
      case kMaskType:
        control_->setMask(parseInt(value(kMaskType)));
        break;
      case kMaskWidth:
      case kMaskHeight:
        control_->setMaskSize(parseInt(value(kMaskWidth)), parseInt(value(kMaskHeight)));
        break;
      case kPositionX:
      case kPositionY:
        control_->setMaskPosition(parseInt(value(kPositionX)), parseInt(value(kPositionY)));
        break;
      case kFixedMode:
        control_->setPointerInputDisabled(parseInt(value(kFixedMode)) != 0 ? 1 : 0);
        break;
      default:
        break;
    }
  }
  return PropertyPage::onFieldChanged(id);
}
