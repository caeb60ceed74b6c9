#include "pellum/mxDisplaySetting.h"

#include <cstdlib>

#include "pellum/mxNotify.h"
#include "platform/win/display_modes.h"

namespace pw = platform::win;

mxDisplaySetting& mxDisplaySetting::instance(bool restoreAtExit) {
  static mxDisplaySetting setting(restoreAtExit);
  return setting;
}

mxDisplaySetting::mxDisplaySetting(bool restoreAtExit) : restoreAtExit_(restoreAtExit) {
  pw::DisplayMode mode;
  if (pw::currentDisplayMode(mode)) default_ = mxMode{mode.width, mode.height, mode.depth, mode.rate};
  current_ = default_;
  mxNotify::post(mxNotify::Info, "DisplayModeCurrent=%dx%dx%dx%d", default_.width, default_.height,
                 default_.depth, default_.rate);
  for (const pw::DisplayMode& m : pw::listDisplayModes()) modes_.append(mxMode{m.width, m.height, m.depth, m.rate});
}

mxDisplaySetting::~mxDisplaySetting() {
  if (restoreAtExit_) setDefault();
}

void mxDisplaySetting::getCurrent(int& width, int& height, int& depth, int& rate) const {
  width = current_.width, height = current_.height, depth = current_.depth, rate = current_.rate;
}

void mxDisplaySetting::getDefault(int& width, int& height, int& depth, int& rate) const {
  width = default_.width, height = default_.height, depth = default_.depth, rate = default_.rate;
}

int mxDisplaySetting::findNearest(const mxArray<mxMode>& modes, const mxMode& wanted) {
  int best = -1;
  long bestDistance = 0;
  for (uint32_t i = 0; i < modes.getSize(); ++i) {
    const mxMode& m = modes[i];
    long distance = std::labs(long{m.width} - wanted.width) + std::labs(long{m.height} - wanted.height) +
                    std::labs(long{m.depth} - wanted.depth) + std::labs(long{m.rate} - wanted.rate);
    if (distance == 0) return static_cast<int>(i);
    if (best < 0 || distance < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  return best;
}

bool mxDisplaySetting::getNearest(int& width, int& height, int& depth, int& rate) const {
  int index = findNearest(modes_, mxMode{width, height, depth, rate});
  if (index < 0) return false;
  const mxMode& m = modes_[static_cast<uint32_t>(index)];
  width = m.width, height = m.height, depth = m.depth, rate = m.rate;
  return true;
}

bool mxDisplaySetting::setCurrent(int width, int height, int depth, int rate) {
  int index = findNearest(modes_, mxMode{width, height, depth, rate});
  if (index < 0) return false;
  return set(modes_[static_cast<uint32_t>(index)]);
}

bool mxDisplaySetting::setDefault() { return set(default_); }

bool mxDisplaySetting::set(const mxMode& mode) {
  if (mode == current_) return true;
  switch (pw::changeDisplayMode(pw::DisplayMode{mode.width, mode.height, mode.depth, mode.rate})) {
    case pw::DisplayChangeResult::Successful:
      current_ = mode;
      return true;
    case pw::DisplayChangeResult::Restart:
      mxNotify::post(mxNotify::Error, "mxDisplaySetting::setMode(); DISPCHANGERESTART");
      return false;
    case pw::DisplayChangeResult::BadFlags:
      mxNotify::post(mxNotify::Error, "mxDisplaySetting::setMode(); BADFLAGS");
      return false;
    case pw::DisplayChangeResult::NotUpdated:
      mxNotify::post(mxNotify::Error, "mxDisplaySetting::setMode(); NOTUPDATED");
      return false;
    case pw::DisplayChangeResult::BadMode:
      mxNotify::post(mxNotify::Error, "mxDisplaySetting::setMode(); BADMODE");
      return false;
    case pw::DisplayChangeResult::Failed:
      mxNotify::post(mxNotify::Error, "mxDisplaySetting::setMode(); FAILED");
      return false;
  }
  return false;
}
