// The whole screen of an X server saved as a PNG file.
#pragma once
#include <string>

namespace demo {

// False with a reason when the display cannot be read or the file written.
bool saveScreenshot(const std::string& display, const std::string& path, std::string& error);

}  // namespace demo
