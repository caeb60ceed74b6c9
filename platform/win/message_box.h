// Message boxes. The GUI installs a hook that shows a real box; without a
// hook the message is written to standard error and the call returns at once
// (never blocking a program that has no user in front of it).
#pragma once

#include <functional>
#include <string>

namespace platform::win {

// Box types, as the callers ask for them.
enum class MessageBoxType { Information = 0, Warning = 1, Error = 2, Question = 3 };

// Answer of a box; without a hook every box answers Ok.
enum class MessageBoxResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

using MessageBoxHook =
    std::function<MessageBoxResult(const std::string& title, const std::string& text, MessageBoxType type)>;

// Installs the process-wide hook (an empty function removes it).
void setMessageBoxHook(MessageBoxHook hook);

// Shows a message box through the hook, or writes
// "[MessageBox] <title> : <text>" to standard error when there is none.
MessageBoxResult showMessageBox(const std::string& title, const std::string& text,
                                MessageBoxType type = MessageBoxType::Information);

}  // namespace platform::win
