// The local pointer of an X server, driven through XTest as a user's mouse
// would drive it (motion, buttons, wheel notches as buttons 4 and 5).
#pragma once
#include <string>

bool movePointer(const std::string& display, int x, int y);
bool pressButton(const std::string& display, unsigned button, bool down);
