// The wrappers of the platform filters: audio renderer, tees and the video
// renderer with its video window.
#include "gravet/rsPlatformFilters.h"
#include "gravet/rsControlCalls.h"

#include "gravet/rsVideoRenderFilter.h"
#include "platform/media/guids.h"

rsAudioRenderFilter::rsAudioRenderFilter(const mxString& name) : rsFilter(name) {
  createFilter(CLSID_DSoundRender);
}

rsSmartTeeFilter::rsSmartTeeFilter(const mxString& name) : rsFilter(name) {
  createFilter(CLSID_SmartTee);
}

rsInfPinTeeFilter::rsInfPinTeeFilter(const mxString& name) : rsFilter(name) {
  createFilter(CLSID_InfTee);
}

// ---------------------------------------------------------------- video renderer

rsVideoRenderFilter::rsVideoRenderFilter(const mxString& name) : rsFilter(name) {
  if (createFilter(CLSID_VideoRenderer)) window_ = queryControl<IVideoWindow>();
}

rsVideoRenderFilter::~rsVideoRenderFilter() {
  rsControl::release(window_);
}

void rsVideoRenderFilter::setVideoWindowPosition(int left, int top) {
  if (!window_) return;
  window_->put_Left(left);
  window_->put_Top(top);
}

void rsVideoRenderFilter::getVideoWindowPosition(int& left, int& top) const {
  LONG l = 1, t = 1;
  if (window_) {
    window_->get_Left(&l);
    window_->get_Top(&t);
  }
  left = l;
  top = t;
}

void rsVideoRenderFilter::setVideoWindowSize(unsigned width, unsigned height) {
  if (!window_) return;
  window_->put_Width(LONG(width));
  window_->put_Height(LONG(height));
}

void rsVideoRenderFilter::getVideoWindowSize(unsigned& width, unsigned& height) const {
  LONG w = 1, h = 1;
  if (window_) {
    window_->get_Width(&w);
    window_->get_Height(&h);
  }
  width = unsigned(w);
  height = unsigned(h);
}

void rsVideoRenderFilter::setVisible(bool visible) {
  if (window_) window_->put_Visible(visible ? OATRUE : OAFALSE);
}

bool rsVideoRenderFilter::getVisible() const {
  LONG visible = OAFALSE;
  if (window_) window_->get_Visible(&visible);
  return visible == OATRUE;
}

void rsVideoRenderFilter::setWindowOwner(OAHWND owner) {
  if (window_) window_->put_Owner(owner);
}

OAHWND rsVideoRenderFilter::getWindowOwner() const {
  OAHWND owner = 0;
  if (window_) window_->get_Owner(&owner);
  return owner;
}

void rsVideoRenderFilter::setWindowStyle(long style) {
  if (window_) window_->put_WindowStyle(LONG(style));
}

long rsVideoRenderFilter::getWindowStyle() const {
  LONG style = 0;
  if (window_) window_->get_WindowStyle(&style);
  return style;
}
