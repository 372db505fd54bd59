// Japanese text for the errno values a file write can end with, so engine
// messages read like the rest of Tessivar.
#pragma once

#include <string>

namespace jet {

std::string systemErrorText(int errorNumber);

}  // namespace jet
