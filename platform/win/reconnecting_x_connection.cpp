#include "platform/win/reconnecting_x_connection.h"

#include <utility>

ReconnectingXConnection::ReconnectingXConnection(std::string displayName, OwnXErrorLog log)
    : displayName_(std::move(displayName)), log_(log) {}

ReconnectingXConnection::~ReconnectingXConnection() {
  if (!display_) return;
  // Closing through Xlib a connection whose server went away would run into
  // its I/O error path once more.
  if (lost_ || ownXServerClosed(display_))
    buryOwnXConnection(display_);
  else
    closeOwnXConnection(display_);
}

ReconnectingXConnection::Open ReconnectingXConnection::open() {
  if (display_) return Open::Ready;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextAttempt_) return Open::Waiting;
  nextAttempt_ = now + kRetryPause;
  Display* d = openOwnXConnection(name(), log_);
  if (!d) return Open::Failed;
  lost_ = false;
  surviveOwnXConnectionLoss(d, &lost_);
  display_ = d;
  return Open::Opened;
}

void ReconnectingXConnection::drop() {
  buryOwnXConnection(display_);
  display_ = nullptr;
  lost_ = false;
}
