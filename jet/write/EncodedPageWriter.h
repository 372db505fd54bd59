// Puts finished pages into the output at their page numbers, RC4-encoding
// pages >= 1 when the new database is encoded (docs/jet-format-notes.md
// §rc4.pages). Pages mostly arrive in ascending order, so consecutive ones are
// gathered and written with one call, on a thread of its own (BackgroundWriter);
// flush() must follow the last write, and a failed write shows at a later
// write or at flush().
#pragma once

#include "jet/Bytes.h"
#include "jet/write/BackgroundWriter.h"
#include "jet/write/PageOutput.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class EncodedPageWriter {
public:
    EncodedPageWriter(PageOutput &output, std::uint32_t pageSize, std::uint32_t encodingKey)
        : pageSize_(pageSize), encodingKey_(encodingKey), writer_(output)
    {
        gathered_.reserve(kGatheredPages * pageSize);
    }

    void write(std::uint32_t pageNumber, ByteSpan page);
    // Writes the pages still gathered and waits until every page is in the
    // output. Later writes may follow.
    void flush();
    std::uint32_t pageSize() const { return pageSize_; }
    std::uint64_t pagesWritten() const { return pagesWritten_; }

private:
    static constexpr std::size_t kGatheredPages = 64;

    void handOver();  // the gathered pages to the writer, without waiting

    std::uint32_t pageSize_;
    std::uint32_t encodingKey_;
    std::vector<std::uint8_t> gathered_;  // pages firstGathered_, firstGathered_ + 1, ...
    std::uint32_t firstGathered_ = 0;
    std::uint64_t pagesWritten_ = 0;
    BackgroundWriter writer_;
};

}  // namespace jet::write
