// The folder and the name of a path, as the file system reads them: the
// folder of a bare name is ".", that of "/name" is "/".
#pragma once

#include <string>

namespace jet {

std::string folderOf(const std::string &path);
std::string fileNameOf(const std::string &path);

}  // namespace jet
