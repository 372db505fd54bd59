// Writes the long values (memo, OLE) of one column anew into LVAL pages the
// column owns (docs/jet-format-writer.md §lval.write): a value that fits one
// LVAL row becomes a single row, a longer one a chain of fragments packed into
// as few pages as possible. Returns the 12-byte in-row header that points at
// the new place.
//
// A value can be handed over whole, or streamed: beginValue() with its
// length, the bytes in pieces of any size through appendValue(), then
// endValue(). Memory then stays at one fragment however long the value is.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageRun.h"

#include <array>
#include <cstdint>
#include <vector>

namespace jet::write {

inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

class LongValueWriter {
public:
    using Header = std::array<std::uint8_t, 12>;

    LongValueWriter(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &sink);

    // `value` is the whole value; the result is its new 12-byte header.
    Header write(ByteSpan value);

    // The same in pieces: exactly `length` bytes must be appended before
    // endValue(). One value at a time per writer.
    void beginValue(std::size_t length);
    void appendValue(ByteSpan piece);
    Header endValue();

    // Writes the page in progress; after the column's last value.
    void finish() { run_.flush(); }

    const std::vector<std::uint32_t> &ownedPages() const { return run_.pages(); }
    std::vector<std::uint32_t> pagesWithRoom() const { return run_.pagesWithRoom(64); }
    std::uint64_t valuesWritten() const { return values_; }

private:
    void planChain();
    void emitFragment();

    std::size_t maxRow_;  // bytes one LVAL row may hold (§lval.write)
    PageAllocator &allocator_;
    PageRun run_;
    std::uint64_t values_ = 0;

    // The value in progress.
    std::size_t length_ = 0;
    std::size_t received_ = 0;
    bool chained_ = false;
    std::vector<std::size_t> sizes_;          // data bytes of each fragment
    std::vector<std::uint32_t> refs_;         // where each fragment goes
    std::vector<std::uint32_t> freshPages_;   // pages of the fragments that start one
    bool firstOnCurrent_ = false;
    std::size_t fragment_ = 0;                // fragment being filled
    std::size_t fresh_ = 0;
    std::vector<std::uint8_t> pending_;       // the single row, or the fragment being filled
};

}  // namespace jet::write
