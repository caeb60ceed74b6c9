#include "filters/tracion/tracion_page.h"

#include <cstdio>
#include <cstdlib>

#include "filters/pointer/pointer_info.h"

namespace {

std::string formatFloat(float v) {
  char text[64];
  std::snprintf(text, sizeof text, "%5.3f", static_cast<double>(v));
  return text;
}

std::string formatInt(long long v) {
  return std::to_string(v);
}

std::string shapeChoices() {
  std::string choices;
  for (int32_t i = 0; i < pointing::kPointerShapeCount; ++i) {
    if (i) choices += '\n';
    choices += pointing::pointerShapeLabel(i);
  }
  return choices;
}

}  // namespace

TracionPage::TracionPage() : PropertyPage("Tracionフィルタ", 50) {
  addField(kShape, PageField_Choice, "ポインタ形状の種類", {}, shapeChoices());
  addField(kInterval, PageField_Number, "データ出力最小間隔", "(ms)");
  addField(kCommand, PageField_Text, "コマンドの送出");
  addField(kSend, PageField_Button, "実行");
  addField(2001, PageField_Group, "マウスモニタ");
  addField(2002, PageField_Group, "画面のピクセル数");
  addField(kScreenWidth, PageField_Monitor, "w:");
  addField(kScreenHeight, PageField_Monitor, "h:");
  addField(2003, PageField_Group, "ポインタの座標");
  addField(kCursorX, PageField_Monitor, "x:");
  addField(kCursorY, PageField_Monitor, "y:");
  addField(kButtons, PageField_Monitor, "ボタンの状態");
  addField(kWheel, PageField_Monitor, "ホイールの状態");
  addField(2004, PageField_Group, "正規化座標");
  addField(kNormalX, PageField_Monitor, "cx:");
  addField(kNormalY, PageField_Monitor, "cy:");
  addField(2005, PageField_Group, "ポインタ座標の正規化");
  addField(2006, PageField_Group, "正規化原点（左上）");
  addField(kOriginX, PageField_Number, "ox:");
  addField(kOriginY, PageField_Number, "oy:");
  addField(2007, PageField_Group, "正規化サイズ");
  addField(kSizeX, PageField_Number, "ow:");
  addField(kSizeY, PageField_Number, "oh:");
}

std::string TracionPage::buttonText(uint16_t buttons) {
  std::string text(16, '0');
  for (int i = 0; i < 16; ++i)
    if (buttons & (1u << i)) text[i] = '1';
  return text;
}

HRESULT TracionPage::onConnect(IUnknown* object) {
  control_.reset();
  if (!object || FAILED(object->QueryInterface(IID_ITracionControl, control_.putVoid())) || !control_)
    return E_NOINTERFACE;
  int32_t shape = 0;
  uint32_t interval = 0;
  float ox = 0, oy = 0, sx = 0, sy = 0;
  char command[pointing::kPointerCommandSize] = {};
  control_->getPointerShape(&shape);
  control_->getOutputInterval(&interval);
  control_->getNormalizedOrigin(&ox, &oy);
  control_->getNormalizedSize(&sx, &sy);
  control_->getCommand(command);
  setValue(kShape, formatInt(shape));
  setValue(kInterval, formatInt(interval));
  setValue(kOriginX, formatFloat(ox));
  setValue(kOriginY, formatFloat(oy));
  setValue(kSizeX, formatFloat(sx));
  setValue(kSizeY, formatFloat(sy));
  setValue(kCommand, command);
  return onRefresh();
}

HRESULT TracionPage::onDisconnect() {
  control_.reset();
  return S_OK;
}

HRESULT TracionPage::onApply() {
  if (!control_) return E_UNEXPECTED;
  control_->setPointerShape(static_cast<int32_t>(std::strtol(value(kShape).c_str(), nullptr, 10)));
  const long long interval = std::strtoll(value(kInterval).c_str(), nullptr, 10);
  control_->setOutputInterval(interval < 0              ? 0
                              : interval > 0xFFFFFFFFll ? 0xFFFFFFFFu
                                                        : static_cast<uint32_t>(interval));
  control_->setNormalizedOrigin(std::strtof(value(kOriginX).c_str(), nullptr),
                                std::strtof(value(kOriginY).c_str(), nullptr));
  control_->setNormalizedSize(std::strtof(value(kSizeX).c_str(), nullptr),
                              std::strtof(value(kSizeY).c_str(), nullptr));
  return S_OK;
}

HRESULT TracionPage::onFieldChanged(LONG id) {
  if (control_) {
    if (id == kCommand) control_->setCommand(value(kCommand).c_str());
    if (id == kSend) control_->sendCommand();
  }
  return PropertyPage::onFieldChanged(id);
}

HRESULT TracionPage::onRefresh() {
  if (!control_) return S_OK;
  int32_t w = 0, h = 0, x = 0, y = 0;
  uint16_t buttons = 0, wheel = 0;
  float cx = 0, cy = 0;
  control_->getScreenSize(&w, &h);
  control_->getTracion(&x, &y);
  control_->getButtonStatus(&buttons);
  control_->getWheelStatus(&wheel);
  control_->getNormalizedTracion(&cx, &cy);
  setValue(kScreenWidth, formatInt(w));
  setValue(kScreenHeight, formatInt(h));
  setValue(kCursorX, formatInt(x));
  setValue(kCursorY, formatInt(y));
  setValue(kButtons, buttonText(buttons));
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(wheel));
  setValue(kWheel, hex);
  setValue(kNormalX, formatFloat(cx));
  setValue(kNormalY, formatFloat(cy));
  return S_OK;
}
