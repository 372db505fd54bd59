// Page 0 of a copy converted to the other format (Jet 3 -> Jet 4 or Jet 4 ->
// Jet 3). Nothing of the source's page 0 can be copied as it lies, so the page
// is built anew: the bytes every file of the target format shares, the fields
// the source's database keeps (code page, sort order, page-encoding key) at
// the target's places, and the password encoded for the target
// (docs/jet-format-writer.md §hdr.convert).
#pragma once

#include "jet/Header.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet::convert {

// Refuses (jet::Error(ErrorKind::Unsupported)), before anything is written, a
// password the target format cannot hold: Jet 3 takes at most 14 characters,
// each in the database code page and 20 bytes in all; Jet 4 at most 20.
void checkConvertedPassword(const DatabaseHeader &source, JetVersion target, const std::string &password);

// Page 0 of the copy in `target` format (the target's page size), obscured as
// a stored page 0 is, ready to be written at page 0. `creationDate` (days since
// 1899-12-30) becomes a Jet 4 target's creation date, which also masks the
// password; it is ignored for Jet 3. Throws jet::Error(Argument) when `target`
// is the source's own format or the date is not one Access can hold.
std::vector<std::uint8_t> buildConvertedHeaderPage(const DatabaseHeader &source, JetVersion target,
                                                   double creationDate, const std::string &targetPassword);

}  // namespace jet::convert
