// What the page-structure writers in jet/write need from the file being
// built: fresh page numbers, and a place to put finished pages. The
// compactor owns the page numbering (it keeps each structure's pages
// together), so writers never pick page numbers themselves.
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"

#include <cstdint>
#include <functional>

namespace jet::write {

using PageNumber = std::uint32_t;

struct PageSink {
    // Hands out a page number not used by anything else in the output.
    // Writers call it once per page they need, in the order they fill them.
    std::function<PageNumber()> allocate;
    // Receives a finished page: exactly FormatConstants::pageSize bytes, every unused
    // byte zero. Called once for every allocated page; the span is only valid
    // during the call.
    std::function<void(PageNumber, ByteSpan)> write;
};

}  // namespace jet::write
