// Writes the long values (memo, OLE) of one column anew into LVAL pages the
// column owns (§9): a value that fits one LVAL row becomes a single row, a
// longer one a chain of fragments packed into as few pages as possible.
// Returns the 12-byte in-row header that points at the new place.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageRun.h"

#include <array>
#include <cstdint>

namespace jet::write {

inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

class LongValueWriter {
public:
    LongValueWriter(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &sink);

    // `value` is the whole value; the result is its new 12-byte header.
    std::array<std::uint8_t, 12> write(ByteSpan value);
    void finish() { run_.flush(); }

    const std::vector<std::uint32_t> &ownedPages() const { return run_.pages(); }
    std::vector<std::uint32_t> pagesWithRoom() const { return run_.pagesWithRoom(64); }
    std::uint64_t valuesWritten() const { return values_; }

private:
    std::array<std::uint8_t, 12> writeChain(ByteSpan value);

    bool jet3_;
    std::uint32_t pageSize_;
    std::size_t maxRow_;  // bytes one LVAL row may hold (§9.2)
    PageAllocator &allocator_;
    PageRun run_;
    std::uint64_t values_ = 0;
};

}  // namespace jet::write
