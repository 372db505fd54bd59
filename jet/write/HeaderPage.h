// Page 0 of the new file: the source's page 0 (format, code page, sort order,
// creation date, page-encoding key and the bytes nobody understands, all kept)
// with the target password written in, then obscured again
// (docs/jet-format-writer.md §hdr.write).
#pragma once

#include "jet/PageFile.h"

#include <string>
#include <vector>

namespace jet::write {

// Refuses, before anything is written, a password the target format cannot
// hold: Jet 3 takes at most 14 characters of its code page, Jet 4 at most 20.
void checkTargetPassword(const DatabaseHeader &header, const std::string &password);

std::vector<std::uint8_t> buildHeaderPage(const PageFile &source, const std::string &targetPassword);

}  // namespace jet::write
