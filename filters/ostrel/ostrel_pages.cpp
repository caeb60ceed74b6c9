#include "filters/ostrel/ostrel_pages.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string number(uint64_t v) {
  return std::to_string(v);
}

// A page number field as an unsigned value; false when it is not a number.
bool parseUnsigned(const std::string& text, uint32_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || text[0] == '-') return false;
  *out = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
  return true;
}

std::string fixed5(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.5f", v);
  return buf;
}

}  // namespace

HRESULT OstrelPage::onConnect(IUnknown* object) {
  control_.reset();
  HRESULT hr = object->QueryInterface(IID_IOstrelControl, control_.putVoid());
  if (FAILED(hr)) return hr;
  load();
  return S_OK;
}

HRESULT OstrelPage::onDisconnect() {
  control_.reset();
  return S_OK;
}

// ---- Communication

OstrelCommunicationPage::OstrelCommunicationPage() : OstrelPage("通信設定", 100) {
  addField(kAddress, PageField_Text, "アドレス");
  addField(kPort, PageField_Number, "ポート番号");
  addField(kTimeToLive, PageField_Number, "ホップカウント（TTL）");
  addField(kSocketOpen, PageField_Monitor, "ソケットオープン");
}

void OstrelCommunicationPage::load() {
  char address[kOstrelAddressArea] = {};
  uint16_t port = 0;
  uint32_t ttl = 0;
  control_->GetAddress(address);
  control_->GetPort(&port);
  control_->GetTimeToLive(&ttl);
  setValue(kAddress, address);
  setValue(kPort, number(port));
  setValue(kTimeToLive, number(ttl));
  onRefresh();
}

HRESULT OstrelCommunicationPage::onRefresh() {
  BOOL open = FALSE;
  control_->GetSocketOpen(&open);
  setValue(kSocketOpen, open ? "成功" : "停止");
  return S_OK;
}

HRESULT OstrelCommunicationPage::onApply() {
  uint32_t port = 0, ttl = 0;
  control_->SetAddress(value(kAddress).c_str());
  if (parseUnsigned(value(kPort), &port)) control_->SetPort(static_cast<uint16_t>(port > 0xFFFF ? 0xFFFF : port));
  if (parseUnsigned(value(kTimeToLive), &ttl)) control_->SetTimeToLive(ttl);
  return S_OK;
}

// ---- Frame control

OstrelFrameControlPage::OstrelFrameControlPage() : OstrelPage("フレーム制御", 100) {
  addField(kPacketSize, PageField_Number, "パケットサイズ", "(byte)");
  addField(kMaximumRate, PageField_Number, "最大送信レート", "(Kbit / sec)");
  addField(kRepeatCount, PageField_Number, "リピート送信回数");
  addField(kSystem, PageField_Group, "システム");
  addField(kSystemBufferSize, PageField_Number, "システムバッファサイズ", "(kbit)");
  addField(kClockMinimumInterval, PageField_Number, "クロック最小間隔", "(sec)");
  addField(kMeasure, PageField_Button, "取得");
  addField(kTimestamp, PageField_Monitor, "タイムスタンプ", "(nsec)");
  addField(kTransmittingRate, PageField_Monitor, "送信レート", "(Kbit / sec)");
  addField(kFrameRate, PageField_Monitor, "フレームレート", "(frame / sec)");
  addField(kPacketsSent, PageField_Monitor, "送信パケット数");
  addField(kFramesSent, PageField_Monitor, "送信フレーム数");
}

void OstrelFrameControlPage::load() {
  uint32_t packet = 0, rate = 0, repeat = 0, buffer = 0;
  float interval = 0;
  control_->GetPacketSize(&packet);
  control_->GetMaximumRate(&rate);
  control_->GetRepeatCount(&repeat);
  control_->GetSystemBufferSize(&buffer);
  control_->GetClockMinimumInterval(&interval);
  setValue(kPacketSize, number(packet));
  setValue(kMaximumRate, number(rate >> 10));
  setValue(kRepeatCount, number(repeat));
  setValue(kSystemBufferSize, number(buffer >> 10));
  setValue(kClockMinimumInterval, fixed5(interval));
  onRefresh();
}

HRESULT OstrelFrameControlPage::onRefresh() {
  int64_t stamp = 0;
  uint32_t rate = 0, frames = 0, packets = 0, sent = 0;
  control_->GetTimestamp(&stamp);
  control_->GetTransmittingRate(&rate);
  control_->GetFrameRate(&frames);
  control_->GetPacketsSent(&packets);
  control_->GetFramesSent(&sent);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64, stamp);
  setValue(kTimestamp, buf);
  setValue(kTransmittingRate, number(rate >> 10));
  setValue(kFrameRate, number(frames));
  setValue(kPacketsSent, number(packets));
  setValue(kFramesSent, number(sent));
  return S_OK;
}

HRESULT OstrelFrameControlPage::onFieldChanged(LONG id) {
  if (id != kMeasure) return OstrelPage::onFieldChanged(id);
  // Show the measured interval but keep the filter's own until apply.
  float previous = 0, measured = 0;
  control_->GetClockMinimumInterval(&previous);
  control_->MeasureClock();
  control_->GetClockMinimumInterval(&measured);
  control_->SetClockMinimumInterval(previous);
  setValue(kClockMinimumInterval, fixed5(measured));
  setDirty(true);
  return S_OK;
}

HRESULT OstrelFrameControlPage::onApply() {
  uint32_t v = 0;
  if (parseUnsigned(value(kPacketSize), &v)) control_->SetPacketSize(v);
  if (parseUnsigned(value(kMaximumRate), &v)) control_->SetMaximumRate(v > (0xFFFFFFFFu >> 10) ? 0xFFFFFFFFu : v << 10);
  if (parseUnsigned(value(kRepeatCount), &v)) control_->SetRepeatCount(v);
  if (parseUnsigned(value(kSystemBufferSize), &v))
    control_->SetSystemBufferSize(v > (0xFFFFFFFFu >> 10) ? 0xFFFFFFFFu : v << 10);
  const std::string interval = value(kClockMinimumInterval);
  char* end = nullptr;
  float seconds = std::strtof(interval.c_str(), &end);
  if (end != interval.c_str() && seconds >= 0) control_->SetClockMinimumInterval(seconds);
  return S_OK;
}

// ---- User data

OstrelUserDataPage::OstrelUserDataPage() : OstrelPage("ユーザデータ", 0) {
  addField(kLength, PageField_Number, "ユーザデータ長", "(byte)");
  addField(kText, PageField_Text, "ユーザデータ");
}

void OstrelUserDataPage::load() {
  uint32_t length = 0;
  uint8_t data[kOstrelMaxUserData] = {};
  control_->GetUserDataLength(&length);
  control_->GetUserData(data);
  setValue(kLength, number(length));
  setValue(kText, std::string(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data),
                                                                          std::min<size_t>(length, kMaxText))));
}

HRESULT OstrelUserDataPage::onApply() {
  uint32_t length = 0;
  if (!parseUnsigned(value(kLength), &length)) return E_INVALIDARG;
  // The text area is 64 bytes, zero-filled, holding at most 63 characters.
  uint8_t area[kOstrelMaxUserData] = {};
  const std::string text = value(kText);
  std::memcpy(area, text.data(), std::min(text.size(), kMaxText));
  control_->SetUserDataLength(length);
  control_->SetUserData(area);
  return S_OK;
}
