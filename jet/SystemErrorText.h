// Japanese text for the errno values a file operation can end with, so
// engine messages read like the rest of Tessivar.
#pragma once

#include <string>

namespace jet {

std::string systemErrorText(int errorNumber);

// The same for opening an existing file, where a missing name is the file
// itself rather than its folder.
std::string fileOpenErrorText(int errorNumber);

}  // namespace jet
