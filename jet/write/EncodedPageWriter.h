// Puts finished pages into the output file at their page numbers, RC4-encoding
// pages >= 1 when the new database is encoded (§4).
#pragma once

#include "jet/Bytes.h"
#include "jet/write/OutputFile.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class EncodedPageWriter {
public:
    EncodedPageWriter(OutputFile &file, std::uint32_t pageSize, std::uint32_t encodingKey)
        : file_(file), pageSize_(pageSize), encodingKey_(encodingKey), scratch_(pageSize)
    {
    }

    void write(std::uint32_t pageNumber, ByteSpan page);
    std::uint32_t pageSize() const { return pageSize_; }
    std::uint64_t pagesWritten() const { return pagesWritten_; }

private:
    OutputFile &file_;
    std::uint32_t pageSize_;
    std::uint32_t encodingKey_;
    std::vector<std::uint8_t> scratch_;
    std::uint64_t pagesWritten_ = 0;
};

}  // namespace jet::write
