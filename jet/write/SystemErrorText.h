// Japanese text for the errno values a file write can end with, so engine
// messages read like the rest of Tessivar.
#pragma once

#include <string>

namespace jet::write {

std::string systemErrorText(int errorNumber);

}  // namespace jet::write
