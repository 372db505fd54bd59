// Puts finished pages into the output at their page numbers, RC4-encoding
// pages >= 1 when the new database is encoded (docs/jet-format-notes.md
// §rc4.pages). Pages mostly arrive in ascending order, so consecutive ones are
// gathered and written with one call; flush() must follow the last write.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageOutput.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class EncodedPageWriter {
public:
    EncodedPageWriter(PageOutput &output, std::uint32_t pageSize, std::uint32_t encodingKey)
        : output_(output), pageSize_(pageSize), encodingKey_(encodingKey)
    {
        gathered_.reserve(kGatheredPages * pageSize);
    }

    void write(std::uint32_t pageNumber, ByteSpan page);
    // Writes the pages still gathered. Later writes may follow.
    void flush();
    std::uint32_t pageSize() const { return pageSize_; }
    std::uint64_t pagesWritten() const { return pagesWritten_; }

private:
    static constexpr std::size_t kGatheredPages = 64;

    PageOutput &output_;
    std::uint32_t pageSize_;
    std::uint32_t encodingKey_;
    std::vector<std::uint8_t> gathered_;  // pages firstGathered_, firstGathered_ + 1, ...
    std::uint32_t firstGathered_ = 0;
    std::uint64_t pagesWritten_ = 0;
};

}  // namespace jet::write
