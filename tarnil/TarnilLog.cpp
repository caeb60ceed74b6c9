#include "tarnil/TarnilLog.h"

#include <mutex>

#include "koBase/koLog.h"
#include "pellum/mxNotify.h"

namespace {
void forward(ko::LogLevel level, const char* message, void*) {
  mxNotify::LevelEnum to = mxNotify::Info;
  switch (level) {
    case ko::LogLevel::Error: to = mxNotify::Error; break;
    case ko::LogLevel::Warn: to = mxNotify::Warn; break;
    case ko::LogLevel::Notice: to = mxNotify::Notice; break;
    case ko::LogLevel::Info: to = mxNotify::Info; break;
    case ko::LogLevel::Debug: to = mxNotify::Debug; break;
  }
  mxNotify::post(to, mxString(message));
}
}  // namespace

void tarnilForwardTransportLog() {
  static std::once_flag once;
  std::call_once(once, [] { ko::setLogSink(forward, nullptr); });
}
