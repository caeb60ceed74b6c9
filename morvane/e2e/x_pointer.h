// Moves the pointer of an X server (kept apart from the tests: Xlib's
// macros clash with the test framework's names).
#pragma once
#include <string>

bool warpPointer(const std::string& display, int x, int y);
