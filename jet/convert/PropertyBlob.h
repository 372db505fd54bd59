// Property blobs (MSysObjects.LvProp) between the formats: the same chunks,
// records and values with names and text in the other format's encoding and
// every length field recomputed (docs/conversion-notes.md §Properties).
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet::convert {

// The blob re-encoded for `to`: magic, every length field recomputed, names
// and text values (property data types 10 Text and 12 Memo) transcoded
// between the code page `codePage` and UTF-16LE; every other byte kept. Same
// format in and out returns the blob unchanged (after checking it). Throws
// jet::Error(Unsupported) naming `where` and the property when Jet 3's code
// page cannot hold a character or a converted length outgrows its field, and
// jet::Error(Damaged) naming `where` for a blob whose lengths do not hold
// together.
std::vector<std::uint8_t> convertPropertyBlob(ByteSpan blob, JetVersion from, JetVersion to, unsigned codePage,
                                              const std::string &where);

// The blob in a form that does not depend on the format (its Jet 4
// encoding), so that a faithful conversion keeps it:
// neutralPropertyBlob(source) == neutralPropertyBlob(convertPropertyBlob(source)).
std::vector<std::uint8_t> neutralPropertyBlob(ByteSpan blob, JetVersion version, unsigned codePage,
                                              const std::string &where);

}  // namespace jet::convert
