#include "platform/win/message_box.h"

#include <mutex>

#include "platform/win/debug_output.h"

namespace platform::win {

namespace {
std::mutex& hookLock() {
  static std::mutex lock;
  return lock;
}
MessageBoxHook& hookSlot() {
  static MessageBoxHook hook;
  return hook;
}
}  // namespace

void setMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> guard(hookLock());
  hookSlot() = std::move(hook);
}

MessageBoxResult showMessageBox(const std::string& title, const std::string& text, MessageBoxType type) {
  MessageBoxHook hook;
  {
    std::lock_guard<std::mutex> guard(hookLock());
    hook = hookSlot();
  }
  // The hook runs outside the lock: a box may be modal for a long time.
  if (hook) return hook(title, text, type);
  std::string line = "[MessageBox] " + title + " : " + text + "\n";
  outputDebugString(line.c_str());
  return MessageBoxResult::Ok;
}

}  // namespace platform::win
