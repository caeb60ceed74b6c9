// The wrappers of the zoom, pointer position and pointer mixer filters.
// Every call goes to the filter's control interface; without it setters do
// nothing and getters return their fixed defaults.
#include "filters/blendor/IBlendorControl.h"
#include "filters/loupex/ILoupexControl.h"
#include "filters/tracion/ITracionControl.h"
#include "gravet/rsBlendorFilter.h"
#include "gravet/rsControlCalls.h"
#include "gravet/rsLoupexFilter.h"
#include "gravet/rsTracionFilter.h"

using rsControl::get;
using rsControl::getPair;
using rsControl::release;

// ---------------------------------------------------------------- zoom

rsLoupexFilter::rsLoupexFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_LoupexFilter)) control_ = queryControl<ILoupexControl>();
}

rsLoupexFilter::~rsLoupexFilter() {
  release(control_);
}

int rsLoupexFilter::getOutputVideoFormat() const {
  return get(control_, &ILoupexControl::getOutputVideoFormat, 0);
}
void rsLoupexFilter::setOutputVideoFormat(int code) {
  if (control_) control_->setOutputVideoFormat(code);
}
int rsLoupexFilter::getMask() const {
  return get(control_, &ILoupexControl::getMask, 0);
}
void rsLoupexFilter::setMask(int type) {
  if (control_) control_->setMask(type);
}
void rsLoupexFilter::getMaskSize(unsigned& width, unsigned& height) const {
  getPair(control_, &ILoupexControl::getMaskSize, width, height, 1u, 1u);
}
void rsLoupexFilter::setMaskSize(unsigned width, unsigned height) {
  if (control_) control_->setMaskSize(int32_t(width), int32_t(height));
}

// ---------------------------------------------------------------- pointer position

rsTracionFilter::rsTracionFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_TracionFilter)) control_ = queryControl<ITracionControl>();
}

rsTracionFilter::~rsTracionFilter() {
  release(control_);
}

void rsTracionFilter::getScreenSize(unsigned& width, unsigned& height) const {
  getPair(control_, &ITracionControl::getScreenSize, width, height, 1u, 1u);
}
void rsTracionFilter::getTracion(unsigned& x, unsigned& y) const {
  getPair(control_, &ITracionControl::getTracion, x, y, 0u, 0u);
}
uint16_t rsTracionFilter::getButtonStatus() const {
  return get(control_, &ITracionControl::getButtonStatus, uint16_t(0));
}
uint16_t rsTracionFilter::getWheelStatus() const {
  return get(control_, &ITracionControl::getWheelStatus, uint16_t(0));
}
void rsTracionFilter::getNormalizedTracion(float& x, float& y) const {
  getPair(control_, &ITracionControl::getNormalizedTracion, x, y, 0.0f, 0.0f);
}
int rsTracionFilter::getPointerShape() const {
  return get(control_, &ITracionControl::getPointerShape, 0);
}
void rsTracionFilter::setPointerShape(int shape) {
  if (control_) control_->setPointerShape(shape);
}
void rsTracionFilter::getNormalizedOrigin(float& x, float& y) const {
  getPair(control_, &ITracionControl::getNormalizedOrigin, x, y, 0.0f, 0.0f);
}
void rsTracionFilter::setNormalizedOrigin(float x, float y) {
  if (control_) control_->setNormalizedOrigin(x, y);
}
void rsTracionFilter::getNormalizedSize(float& width, float& height) const {
  getPair(control_, &ITracionControl::getNormalizedSize, width, height, 0.0f, 0.0f);
}
void rsTracionFilter::setNormalizedSize(float width, float height) {
  if (control_) control_->setNormalizedSize(width, height);
}

// ---------------------------------------------------------------- pointer mixer

rsBlendorFilter::rsBlendorFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_BlendorFilter)) control_ = queryControl<IBlendorControl>();
}

rsBlendorFilter::~rsBlendorFilter() {
  release(control_);
}

void rsBlendorFilter::getWindowPosition(float& x, float& y) const {
  getPair(control_, &IBlendorControl::getWindowPosition, x, y, 0.0f, 0.0f);
}
void rsBlendorFilter::setWindowPosition(float x, float y) {
  if (control_) control_->setWindowPosition(x, y);
}
void rsBlendorFilter::getWindowSize(float& width, float& height) const {
  getPair(control_, &IBlendorControl::getWindowSize, width, height, 0.0f, 0.0f);
}
void rsBlendorFilter::setWindowSize(float width, float height) {
  if (control_) control_->setWindowSize(width, height);
}
unsigned rsBlendorFilter::getNumPointerInput() const {
  const int32_t n = get(control_, &IBlendorControl::getNumPointerInput, int32_t(0));
  return n > 0 ? unsigned(n) : 0u;
}
int rsBlendorFilter::getPointerColor(unsigned index) const {
  if (!control_ || index >= getNumPointerInput()) return 0;
  int32_t color = 0;
  control_->getPointerColor(index, &color);
  return color;
}
void rsBlendorFilter::setPointerColor(unsigned index, int color) {
  if (control_) control_->setPointerColor(index, color);
}
