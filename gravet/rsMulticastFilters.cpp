// The wrappers of the multicast server and client filters. Every call goes
// to the filter's control interface; without it setters do nothing and
// getters return their fixed defaults.
#include <cstring>

#include "filters/ingrel/IIngrelControl.h"
#include "filters/ostrel/IOstrelControl.h"
#include "gravet/rsIngrelFilter.h"
#include "gravet/rsControlCalls.h"
#include "gravet/rsOstrelFilter.h"

using rsControl::get;
using rsControl::getText;
using rsControl::release;

// ---------------------------------------------------------------- server

rsOstrelFilter::rsOstrelFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_OstrelFilter)) control_ = queryControl<IOstrelControl>();
}

rsOstrelFilter::~rsOstrelFilter() {
  release(control_);
}

unsigned rsOstrelFilter::getTransmittingRate() const {
  return get(control_, &IOstrelControl::GetTransmittingRate, 0u);
}
unsigned rsOstrelFilter::getFrameRate() const {
  return get(control_, &IOstrelControl::GetFrameRate, 0u);
}
int rsOstrelFilter::getInputMediaType() const {
  return get(control_, &IOstrelControl::GetInputMediaKind, 0);
}
int rsOstrelFilter::getInputVideoFormat() const {
  return get(control_, &IOstrelControl::GetInputVideoFormat, 0);
}
int rsOstrelFilter::getInputVideoResolution() const {
  return get(control_, &IOstrelControl::GetInputVideoResolution, 0);
}
int rsOstrelFilter::getInputAudioFormat() const {
  return get(control_, &IOstrelControl::GetInputAudioFormat, 0);
}
int rsOstrelFilter::getInputAudioFrequency() const {
  return get(control_, &IOstrelControl::GetInputAudioFrequency, 0);
}
int rsOstrelFilter::getInputAudioStereo() const {
  return get(control_, &IOstrelControl::GetInputAudioChannels, 0);
}
int rsOstrelFilter::getInputAudioBitCount() const {
  return get(control_, &IOstrelControl::GetInputAudioBitCount, 0);
}
mxString rsOstrelFilter::getAddress() const {
  return getText(control_, &IOstrelControl::GetAddress);
}
void rsOstrelFilter::setAddress(const mxString& address) {
  if (control_) control_->SetAddress(address.c_str());
}
uint16_t rsOstrelFilter::getPort() const {
  return get(control_, &IOstrelControl::GetPort, uint16_t(0));
}
void rsOstrelFilter::setPort(uint16_t port) {
  if (control_) control_->SetPort(port);
}
uint32_t rsOstrelFilter::getTimeToLive() const {
  return get(control_, &IOstrelControl::GetTimeToLive, uint32_t(0));
}
void rsOstrelFilter::setTimeToLive(uint32_t ttl) {
  if (control_) control_->SetTimeToLive(ttl);
}
unsigned rsOstrelFilter::getTransmittingCount() const {
  return get(control_, &IOstrelControl::GetRepeatCount, 0u);
}
void rsOstrelFilter::setTransmittingCount(unsigned count) {
  if (control_) control_->SetRepeatCount(count);
}
unsigned rsOstrelFilter::getMaximumTransmittingRate() const {
  return get(control_, &IOstrelControl::GetMaximumRate, 0u);
}
void rsOstrelFilter::setMaximumTransmittingRate(unsigned bitsPerSecond) {
  if (control_) control_->SetMaximumRate(bitsPerSecond);
}
unsigned rsOstrelFilter::getMaximumPacketSize() const {
  return get(control_, &IOstrelControl::GetPacketSize, 0u);
}
void rsOstrelFilter::setMaximumPacketSize(unsigned bytes) {
  if (control_) control_->SetPacketSize(bytes);
}

// ---------------------------------------------------------------- client

rsIngrelFilter::rsIngrelFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_IngrelFilter)) control_ = queryControl<IIngrelControl>();
}

rsIngrelFilter::~rsIngrelFilter() {
  release(control_);
}

unsigned rsIngrelFilter::getReceiveRate() const {
  return get(control_, &IIngrelControl::GetReceiveRate, 0u);
}
unsigned rsIngrelFilter::getFrameRate() const {
  return get(control_, &IIngrelControl::GetFrameRate, 0u);
}
unsigned rsIngrelFilter::getPacketSize() const {
  return get(control_, &IIngrelControl::GetPacketSize, 0u);
}
unsigned rsIngrelFilter::getNumDropPackets() const {
  return get(control_, &IIngrelControl::GetDroppedPackets, 0u);
}
unsigned rsIngrelFilter::getNumDropFrames() const {
  return get(control_, &IIngrelControl::GetDroppedFrames, 0u);
}
mxString rsIngrelFilter::getAddress() const {
  return getText(control_, &IIngrelControl::GetAddress);
}
void rsIngrelFilter::setAddress(const mxString& address) {
  if (control_) control_->SetAddress(address.c_str());
}
uint16_t rsIngrelFilter::getPort() const {
  return get(control_, &IIngrelControl::GetPort, uint16_t(0));
}
void rsIngrelFilter::setPort(uint16_t port) {
  if (control_) control_->SetPort(port);
}
uint32_t rsIngrelFilter::getTimeToLive() const {
  return get(control_, &IIngrelControl::GetTimeToLive, uint32_t(0));
}
void rsIngrelFilter::setTimeToLive(uint32_t ttl) {
  if (control_) control_->SetTimeToLive(ttl);
}
uint32_t rsIngrelFilter::getIPv6InterfaceNo() const {
  return get(control_, &IIngrelControl::GetIPv6InterfaceNo, uint32_t(0));
}
void rsIngrelFilter::setIPv6InterfaceNo(uint32_t number) {
  if (control_) control_->SetIPv6InterfaceNo(number);
}
int rsIngrelFilter::getMediaType() const {
  return get(control_, &IIngrelControl::GetOutputMediaKind, 3);
}
void rsIngrelFilter::setMediaType(int code) {
  if (control_) control_->SetOutputMediaKind(code);
}
int rsIngrelFilter::getVideoFormat() const {
  return get(control_, &IIngrelControl::GetOutputVideoFormat, 8);
}
void rsIngrelFilter::setVideoFormat(int code) {
  if (control_) control_->SetOutputVideoFormat(code);
}
int rsIngrelFilter::getVideoResolution() const {
  return get(control_, &IIngrelControl::GetOutputResolution, 9);
}
void rsIngrelFilter::setVideoResolution(int code) {
  if (control_) control_->SetOutputResolution(code);
}
int rsIngrelFilter::getAudioFormat() const {
  return get(control_, &IIngrelControl::GetOutputAudioFormat, 3);
}
void rsIngrelFilter::setAudioFormat(int code) {
  if (control_) control_->SetOutputAudioFormat(code);
}
int rsIngrelFilter::getAudioFrequency() const {
  return get(control_, &IIngrelControl::GetOutputFrequency, 6);
}
void rsIngrelFilter::setAudioFrequency(int code) {
  if (control_) control_->SetOutputFrequency(code);
}
int rsIngrelFilter::getAudioStereo() const {
  return get(control_, &IIngrelControl::GetOutputChannels, 2);
}
void rsIngrelFilter::setAudioStereo(int code) {
  if (control_) control_->SetOutputChannels(code);
}
int rsIngrelFilter::getAudioBitCount() const {
  return get(control_, &IIngrelControl::GetOutputBitCount, 3);
}
void rsIngrelFilter::setAudioBitCount(int code) {
  if (control_) control_->SetOutputBitCount(code);
}
