// The wrappers of the three filters outside the system: each creates its
// filter by class identifier and keeps its control interface; a missing
// filter or interface leaves the wrapper empty.
#include "gravet/rsControlCalls.h"
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsImageCompoundFilter.h"
#include "gravet/rsImageExtractFilter.h"
#include "platform/filters/outside/outside_interfaces.h"

using rsControl::get;
using rsControl::release;

// ---------------------------------------------------------------- format transform

rsFormatTransFilter::rsFormatTransFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_FormatTransform)) control_ = queryControl<IFormatTransformControl>();
}

rsFormatTransFilter::~rsFormatTransFilter() {
  release(control_);
}

int rsFormatTransFilter::getInputVideoFormat() const {
  return get(control_, &IFormatTransformControl::GetInputVideoFormat, 0);
}
void rsFormatTransFilter::setInputVideoFormat(int code) {
  if (control_) control_->SetInputVideoFormat(code);
}
int rsFormatTransFilter::getInputVideoFormatColor() const {
  return get(control_, &IFormatTransformControl::GetInputVideoFormatColor, 0);
}
void rsFormatTransFilter::setInputVideoFormatColor(int code) {
  if (control_) control_->SetInputVideoFormatColor(code);
}
int rsFormatTransFilter::getOutputVideoFormat() const {
  return get(control_, &IFormatTransformControl::GetOutputVideoFormat, 0);
}
void rsFormatTransFilter::setOutputVideoFormat(int code) {
  if (control_) control_->SetOutputVideoFormat(code);
}
int rsFormatTransFilter::getActualInputVideoFormat() const {
  return get(control_, &IFormatTransformControl::GetActualInputVideoFormat, 0);
}
int rsFormatTransFilter::getActualInputVideoFormatColor() const {
  return get(control_, &IFormatTransformControl::GetActualInputVideoFormatColor, 0);
}
int rsFormatTransFilter::getActualOutputVideoFormat() const {
  return get(control_, &IFormatTransformControl::GetActualOutputVideoFormat, 0);
}

// ---------------------------------------------------------------- image extractor

rsImageExtractFilter::rsImageExtractFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_ImageExtract)) control_ = queryControl<IImageExtractControl>();
}

rsImageExtractFilter::~rsImageExtractFilter() {
  release(control_);
}

int rsImageExtractFilter::getOutputVideoFormat() const {
  return get(control_, &IImageExtractControl::GetOutputVideoFormat, 0);
}
void rsImageExtractFilter::setOutputVideoFormat(int code) {
  if (control_) control_->SetOutputVideoFormat(code);
}

// ---------------------------------------------------------------- image compounder

rsImageCompoundFilter::rsImageCompoundFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_ImageCompound)) control_ = queryControl<IImageCompoundControl>();
}

rsImageCompoundFilter::~rsImageCompoundFilter() {
  release(control_);
}

int rsImageCompoundFilter::getFrameRate() const {
  return get(control_, &IImageCompoundControl::GetFrameRate, 0);
}
void rsImageCompoundFilter::setFrameRate(int rate) {
  if (control_) control_->SetFrameRate(rate);
}
int rsImageCompoundFilter::getMask() const {
  return get(control_, &IImageCompoundControl::GetMask, 0);
}
void rsImageCompoundFilter::setMask(int code) {
  if (control_) control_->SetMask(code);
}
int rsImageCompoundFilter::getBlending() const {
  return get(control_, &IImageCompoundControl::GetBlending, 0);
}
void rsImageCompoundFilter::setBlending(int code) {
  if (control_) control_->SetBlending(code);
}
