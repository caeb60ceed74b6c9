#include "filters/blendor/blendor_page.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "filters/blendor/koPointerShapes.h"

namespace {

std::string formatFloat(float v) {
  char text[64];
  std::snprintf(text, sizeof text, "%5.3f", static_cast<double>(v));
  return text;
}

float parseFloat(const std::string& text) {
  return std::strtof(text.c_str(), nullptr);  // not a number: 0
}

std::string colourChoices() {
  std::string choices;
  for (int i = 0; i < koPointerColourCount; ++i) {
    if (i) choices += '\n';
    choices += koPointerColourAt(i)->label;
  }
  return choices;
}

}  // namespace

BlendorPage::BlendorPage() : PropertyPage("Blendorフィルタ") {
  addField(2001, PageField_Group, "レンダリングウィンドウ");
  addField(2002, PageField_Group, "位置（正規化値）");
  addField(kWindowX, PageField_Number, "x:");
  addField(kWindowY, PageField_Number, "y:");
  addField(2003, PageField_Group, "サイズ（正規化値）");
  addField(kWindowW, PageField_Number, "w:");
  addField(kWindowH, PageField_Number, "h:");
  addField(2004, PageField_Group, "マッピング");
  addField(kMappingX, PageField_Number, "位置（正規化値）");
  addField(kMappingY, PageField_Number, "");
  addField(kMappingW, PageField_Number, "サイズ（正規化値）");
  addField(kMappingH, PageField_Number, "");
  for (LONG id : {LONG(2004), LONG(kMappingX), LONG(kMappingY), LONG(kMappingW), LONG(kMappingH)})
    setEnabled(id, false);
  addField(2005, PageField_Group, "ポインタオプション");
  addField(kInput, PageField_Choice, "");
  addField(kColour, PageField_Choice, "ポインタの色", {}, colourChoices());
}

HRESULT BlendorPage::onConnect(IUnknown* object) {
  control_.reset();
  if (!object || FAILED(object->QueryInterface(IID_IBlendorControl, control_.putVoid())) || !control_)
    return E_NOINTERFACE;
  float v[8] = {};
  control_->getWindowPosition(&v[0], &v[1]);
  control_->getWindowSize(&v[2], &v[3]);
  control_->getMappingPosition(&v[4], &v[5]);
  control_->getMappingSize(&v[6], &v[7]);
  const LONG ids[8] = {kWindowX, kWindowY, kWindowW, kWindowH, kMappingX, kMappingY, kMappingW, kMappingH};
  for (int i = 0; i < 8; ++i) setValue(ids[i], formatFloat(v[i]));

  int32_t count = 0;
  control_->getNumPointerInput(&count);
  colours_.assign(static_cast<size_t>(count > 0 ? count : 0), 0);
  std::string inputs;
  for (int32_t i = 0; i < count; ++i) {
    control_->getPointerColor(static_cast<uint32_t>(i), &colours_[i]);
    if (i) inputs += '\n';
    char label[32];
    std::snprintf(label, sizeof label, "入力:%d", static_cast<int>(i));
    inputs += label;
  }
  field(kInput)->choices = inputs;
  setValue(kInput, "0");
  setValue(kColour, colours_.empty() ? "0" : std::to_string(colours_[0]));
  setEnabled(kInput, !colours_.empty());
  setEnabled(kColour, !colours_.empty());
  return S_OK;
}

HRESULT BlendorPage::onDisconnect() {
  control_.reset();
  colours_.clear();
  return S_OK;
}

HRESULT BlendorPage::onApply() {
  if (!control_) return E_UNEXPECTED;
  control_->setWindowPosition(parseFloat(value(kWindowX)), parseFloat(value(kWindowY)));
  control_->setWindowSize(parseFloat(value(kWindowW)), parseFloat(value(kWindowH)));
  control_->setMappingPosition(parseFloat(value(kMappingX)), parseFloat(value(kMappingY)));
  control_->setMappingSize(parseFloat(value(kMappingW)), parseFloat(value(kMappingH)));
  for (size_t i = 0; i < colours_.size(); ++i)
    control_->setPointerColor(static_cast<uint32_t>(i), colours_[i]);
  return S_OK;
}

HRESULT BlendorPage::onFieldChanged(LONG id) {
  const long selected = std::strtol(value(kInput).c_str(), nullptr, 10);
  const bool valid = selected >= 0 && static_cast<size_t>(selected) < colours_.size();
  if (id == kInput) {
    // Choosing an input shows its colour; that alone changes nothing.
    if (valid) setValue(kColour, std::to_string(colours_[selected]));
    return S_OK;
  }
  if (id == kColour && valid)
    colours_[selected] = static_cast<int32_t>(std::strtol(value(kColour).c_str(), nullptr, 10));
  return PropertyPage::onFieldChanged(id);
}
