// The wrappers of the three filters outside the system: each creates its
// filter by class identifier and keeps its control interface; a missing
// filter or interface leaves the wrapper empty.
#include "gravet/rsFormatTransFilter.h"
#include "gravet/rsImageCompoundFilter.h"
#include "gravet/rsImageExtractFilter.h"
#include "platform/filters/outside/outside_interfaces.h"

namespace {

// A getter's call: the value the operation delivered, 0 without the interface.
template <class I, class F>
int getInt(I* control, F operation) {
  int value = 0;
  if (control) (control->*operation)(&value);
  return value;
}

template <class I>
void release(I*& control) {
  if (I* c = control) {
    control = nullptr;
    c->Release();
  }
}

}  // namespace

// ---------------------------------------------------------------- format transform

rsFormatTransFilter::rsFormatTransFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_FormatTransform)) control_ = queryControl<IFormatTransformControl>();
}

rsFormatTransFilter::~rsFormatTransFilter() {
  release(control_);
}

int rsFormatTransFilter::getInputVideoFormat() const {
  return getInt(control_, &IFormatTransformControl::GetInputVideoFormat);
}
void rsFormatTransFilter::setInputVideoFormat(int code) {
  if (control_) control_->SetInputVideoFormat(code);
}
int rsFormatTransFilter::getInputVideoFormatColor() const {
  return getInt(control_, &IFormatTransformControl::GetInputVideoFormatColor);
}
void rsFormatTransFilter::setInputVideoFormatColor(int code) {
  if (control_) control_->SetInputVideoFormatColor(code);
}
int rsFormatTransFilter::getOutputVideoFormat() const {
  return getInt(control_, &IFormatTransformControl::GetOutputVideoFormat);
}
void rsFormatTransFilter::setOutputVideoFormat(int code) {
  if (control_) control_->SetOutputVideoFormat(code);
}
int rsFormatTransFilter::getActualInputVideoFormat() const {
  return getInt(control_, &IFormatTransformControl::GetActualInputVideoFormat);
}
int rsFormatTransFilter::getActualInputVideoFormatColor() const {
  return getInt(control_, &IFormatTransformControl::GetActualInputVideoFormatColor);
}
int rsFormatTransFilter::getActualOutputVideoFormat() const {
  return getInt(control_, &IFormatTransformControl::GetActualOutputVideoFormat);
}

// ---------------------------------------------------------------- image extractor

rsImageExtractFilter::rsImageExtractFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_ImageExtract)) control_ = queryControl<IImageExtractControl>();
}

rsImageExtractFilter::~rsImageExtractFilter() {
  release(control_);
}

int rsImageExtractFilter::getOutputVideoFormat() const {
  return getInt(control_, &IImageExtractControl::GetOutputVideoFormat);
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
  return getInt(control_, &IImageCompoundControl::GetFrameRate);
}
void rsImageCompoundFilter::setFrameRate(int rate) {
  if (control_) control_->SetFrameRate(rate);
}
int rsImageCompoundFilter::getMask() const {
  return getInt(control_, &IImageCompoundControl::GetMask);
}
void rsImageCompoundFilter::setMask(int code) {
  if (control_) control_->SetMask(code);
}
int rsImageCompoundFilter::getBlending() const {
  return getInt(control_, &IImageCompoundControl::GetBlending);
}
void rsImageCompoundFilter::setBlending(int code) {
  if (control_) control_->SetBlending(code);
}
