#include "filters/ingrel/ingrel_pages.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filters/mediaclass/mediaclass.h"

namespace {

std::string number(int64_t v) {
  return std::to_string(v);
}

bool parseUnsigned(const std::string& text, uint32_t* out) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
  return true;
}

bool parseFloat(const std::string& text, float* out) {
  char* end = nullptr;
  float v = std::strtof(text.c_str(), &end);
  if (end == text.c_str()) return false;
  *out = v;
  return true;
}

std::string float3(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.3f", v);
  return buf;
}

// The code names of one list, in code order, '\n'-separated.
std::string choices(const char* (*name)(int)) {
  std::string out;
  for (int code = 0; const char* n = name(code); ++code) {
    if (!out.empty()) out += '\n';
    out += n;
  }
  return out;
}

const char* kindName(int code) {
  static const char* const names[] = {"ビデオ出力", "オーディオ出力", "ポインタ情報出力"};
  return code >= 0 && code < 3 ? names[code] : nullptr;
}

const char* streamingText(IIngrelControl* c) {
  BOOL receiving = FALSE;
  c->GetReceiving(&receiving);
  return receiving ? "実行中" : "停止中";
}

}  // namespace

HRESULT IngrelPage::onConnect(IUnknown* object) {
  control_.reset();
  HRESULT hr = object->QueryInterface(IID_IIngrelControl, control_.putVoid());
  if (FAILED(hr)) return hr;
  load();
  return S_OK;
}

HRESULT IngrelPage::onDisconnect() {
  control_.reset();
  return S_OK;
}

// ---- Communication

IngrelCommunicationPage::IngrelCommunicationPage() : IngrelPage("通信設定", 100) {
  addField(kAddress, PageField_Text, "アドレス");
  addField(kPort, PageField_Number, "ポート番号");
  addField(kTimeToLive, PageField_Number, "ホップカウント（TTL）");
  addField(kInterface, PageField_Number, "IPv6インターフェース番号");
  setEnabled(kInterface, false);
  addField(kSocketOpen, PageField_Monitor, "ソケットオープン");
  addField(kStreaming, PageField_Monitor, "ストリーミング");
}

void IngrelCommunicationPage::load() {
  char address[kIngrelAddressArea] = {};
  uint16_t port = 0;
  uint32_t ttl = 0, interfaceNo = 0;
  control_->GetAddress(address);
  control_->GetPort(&port);
  control_->GetTimeToLive(&ttl);
  control_->GetIPv6InterfaceNo(&interfaceNo);
  setValue(kAddress, address);
  setValue(kPort, number(port));
  setValue(kTimeToLive, number(ttl));
  setValue(kInterface, number(interfaceNo));
  onRefresh();
}

HRESULT IngrelCommunicationPage::onRefresh() {
  BOOL open = FALSE;
  control_->GetSocketOpen(&open);
  setValue(kSocketOpen, open ? "成功" : "失敗");
  setValue(kStreaming, streamingText(control_.get()));
  return S_OK;
}

HRESULT IngrelCommunicationPage::onApply() {
  uint32_t port = 0, ttl = 0;
  control_->SetAddress(value(kAddress).c_str());
  if (parseUnsigned(value(kPort), &port)) control_->SetPort(static_cast<uint16_t>(port > 0xFFFF ? 0xFFFF : port));
  if (parseUnsigned(value(kTimeToLive), &ttl)) control_->SetTimeToLive(ttl);
  return S_OK;
}

// ---- Media type

IngrelMediaTypePage::IngrelMediaTypePage() : IngrelPage("出力メディアタイプ設定", 500) {
  addField(kKind, PageField_Radio, "出力", {}, choices(kindName));
  addField(kVideoFormat, PageField_Choice, "フォーマット", {}, choices(videoFormatName));
  addField(kResolution, PageField_Choice, "解像度", {}, choices(resolutionName));
  addField(kAudioFormat, PageField_Choice, "フォーマット", {}, choices(audioFormatName));
  addField(kFrequency, PageField_Choice, "周波数", {}, choices(frequencyName));
  addField(kChannels, PageField_Choice, "ステレオ", {}, choices(channelName));
  addField(kBitCount, PageField_Choice, "ビット数", {}, choices(bitCountName));
  addField(kStatus, PageField_Monitor, "受信ステータス");
  addField(kReceivedType, PageField_Monitor, "受信したメディアタイプ");
}

void IngrelMediaTypePage::load() {
  int code = 0;
  control_->GetOutputMediaKind(&code);
  setValue(kKind, number(code));
  control_->GetOutputVideoFormat(&code);
  setValue(kVideoFormat, number(code));
  control_->GetOutputResolution(&code);
  setValue(kResolution, number(code));
  control_->GetOutputAudioFormat(&code);
  setValue(kAudioFormat, number(code));
  control_->GetOutputFrequency(&code);
  setValue(kFrequency, number(code));
  control_->GetOutputChannels(&code);
  setValue(kChannels, number(code));
  control_->GetOutputBitCount(&code);
  setValue(kBitCount, number(code));
  onRefresh();
}

HRESULT IngrelMediaTypePage::onRefresh() {
  BOOL match = FALSE;
  control_->GetTypesMatch(&match);
  setValue(kStatus, match ? "正常" : "受信したメディアタイプと出力のメディアタイプが異なります。");
  char text[kIngrelTypeTextArea] = {};
  control_->GetReceivedTypeText(text);
  setValue(kReceivedType, text);
  return S_OK;
}

HRESULT IngrelMediaTypePage::onApply() {
  auto code = [&](LONG id) { return std::atoi(value(id).c_str()); };
  control_->SetOutputMediaKind(code(kKind));
  control_->SetOutputVideoFormat(code(kVideoFormat));
  control_->SetOutputResolution(code(kResolution));
  control_->SetOutputAudioFormat(code(kAudioFormat));
  control_->SetOutputFrequency(code(kFrequency));
  control_->SetOutputChannels(code(kChannels));
  control_->SetOutputBitCount(code(kBitCount));
  return S_OK;
}

// ---- Frame control

IngrelFrameControlPage::IngrelFrameControlPage() : IngrelPage("フレーム制御", 100) {
  addField(kTimestampReset, PageField_Check, "受信タイムスタンプのリセット　（ローカル基準クロックを使用）");
  addField(kStreaming, PageField_Monitor, "ストリーミング");
  addField(kTimestamp, PageField_Monitor, "タイムスタンプ", "(nsec)");
  addField(kReceiveRate, PageField_Monitor, "受信レート", "(Kbit / sec)");
  addField(kFrameRate, PageField_Monitor, "フレームレート");
  addField(kPacketSize, PageField_Monitor, "受信パケットサイズ", "(byte)");
  addField(kPacketsReceived, PageField_Monitor, "受信パケット数");
  addField(kFramesReceived, PageField_Monitor, "受信フレーム数");
  addField(kDroppedPackets, PageField_Monitor, "ドロップパケット数");
  addField(kDroppedFrames, PageField_Monitor, "ドロップフレーム数");
  addField(kDiscarded, PageField_Monitor, "");
}

void IngrelFrameControlPage::load() {
  BOOL reset = FALSE;
  control_->GetTimestampReset(&reset);
  setValue(kTimestampReset, reset ? "1" : "0");
  onRefresh();
}

HRESULT IngrelFrameControlPage::onRefresh() {
  int64_t stamp = 0;
  uint32_t rate = 0, frames = 0, packet = 0, packets = 0, received = 0, droppedPackets = 0, droppedFrames = 0,
           discarded = 0;
  control_->GetTimestamp(&stamp);
  control_->GetReceiveRate(&rate);
  control_->GetFrameRate(&frames);
  control_->GetPacketSize(&packet);
  control_->GetPacketsReceived(&packets);
  control_->GetFramesReceived(&received);
  control_->GetDroppedPackets(&droppedPackets);
  control_->GetDroppedFrames(&droppedFrames);
  control_->GetDiscardedSamples(&discarded);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64, stamp);
  setValue(kStreaming, streamingText(control_.get()));
  setValue(kTimestamp, buf);
  setValue(kReceiveRate, number(rate / 1024));
  setValue(kFrameRate, number(frames));
  setValue(kPacketSize, number(packet));
  setValue(kPacketsReceived, number(packets));
  setValue(kFramesReceived, number(received));
  setValue(kDroppedPackets, number(droppedPackets));
  setValue(kDroppedFrames, number(droppedFrames));
  setValue(kDiscarded, number(discarded));
  return S_OK;
}

HRESULT IngrelFrameControlPage::onApply() {
  control_->SetTimestampReset(value(kTimestampReset) == "1" ? TRUE : FALSE);
  return S_OK;
}

// ---- Additional info

IngrelAdditionalInfoPage::IngrelAdditionalInfoPage() : IngrelPage("付加情報", 500) {
  addField(kPosition, PageField_Group, "映像の位置（正規化値）");
  addField(kX, PageField_Number, "X軸:");
  addField(kY, PageField_Number, "Y軸:");
  addField(kSize, PageField_Group, "映像の大きさ（正規化値）");
  addField(kWidth, PageField_Number, "幅:");
  addField(kHeight, PageField_Number, "高さ:");
  addField(kUserData, PageField_Monitor, "受信ユーザデータ");
}

void IngrelAdditionalInfoPage::load() {
  float x = 0, y = 0, w = 0, h = 0;
  control_->GetPicturePosition(&x, &y);
  control_->GetPictureSize(&w, &h);
  setValue(kX, float3(x));
  setValue(kY, float3(y));
  setValue(kWidth, float3(w));
  setValue(kHeight, float3(h));
  onRefresh();
}

HRESULT IngrelAdditionalInfoPage::onRefresh() {
  uint8_t data[kIngrelMaxUserData] = {};
  uint32_t length = 0;
  control_->GetUserData(data, &length);
  // Shown as text: up to the first zero byte.
  setValue(kUserData, std::string(reinterpret_cast<const char*>(data),
                                  strnlen(reinterpret_cast<const char*>(data), length)));
  return S_OK;
}

HRESULT IngrelAdditionalInfoPage::onApply() {
  float x = 0, y = 0, w = 1, h = 1;
  control_->GetPicturePosition(&x, &y);
  control_->GetPictureSize(&w, &h);
  parseFloat(value(kX), &x);
  parseFloat(value(kY), &y);
  parseFloat(value(kWidth), &w);
  parseFloat(value(kHeight), &h);
  control_->SetPicturePosition(x, y);
  control_->SetPictureSize(w, h);
  return S_OK;
}
