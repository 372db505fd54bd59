// Streams of 32-bit values in one unnamed temporary file, stored in blocks
// of a fixed size: each stream is appended to through a buffer of one block,
// then read back in order or rewritten block by block in place. Memory is
// one block per stream being written or read, whatever the streams' length.
#pragma once

#include "jet/write/SpillFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet::write {

class SpillStreams {
public:
    // `folder` as for SpillFile; it must not be empty. The file is opened
    // with the first block written.
    SpillStreams(std::string folder, std::size_t blockValues);
    SpillStreams(const SpillStreams &) = delete;
    SpillStreams &operator=(const SpillStreams &) = delete;

    std::size_t streams() const { return streams_.size(); }
    std::uint64_t count(std::size_t stream) const { return streams_[stream].count; }
    // Makes streams up to `count` exist (new ones empty).
    void reserveStreams(std::size_t count);
    void append(std::size_t stream, std::uint32_t value)
    {
        Stream &s = streams_[stream];
        if (s.buffer.empty())
            s.buffer.reserve(blockValues_);
        s.buffer.push_back(value);
        ++s.count;
        if (s.buffer.size() == blockValues_)
            writeBlock(s);
    }
    // Writes what the buffers hold and lets them go; nothing is appended after.
    void finish();

    // Block by block, in order: `visit` sees each block's values and may
    // change them; with `writeBack` the changed block replaces the stored one.
    using BlockVisit = std::function<void(std::uint32_t *values, std::size_t count)>;
    void visitBlocks(std::size_t stream, bool writeBack, const BlockVisit &visit);

    // Reads one finished stream in order, one block at a time.
    class Reader {
    public:
        Reader(const SpillStreams &streams, std::size_t stream) : streams_(&streams), stream_(stream) {}
        // False when the stream has no more values.
        bool next(std::uint32_t &value)
        {
            if (at_ == block_.size() && !refill())
                return false;
            value = block_[at_++];
            return true;
        }

    private:
        bool refill();
        const SpillStreams *streams_;
        std::size_t stream_;
        std::size_t nextBlock_ = 0;
        std::vector<std::uint32_t> block_;
        std::size_t at_ = 0;
    };

private:
    struct Stream {
        std::vector<std::uint64_t> blocks;  // file offsets, in stream order
        std::vector<std::uint32_t> buffer;  // the values after the last block
        std::uint64_t count = 0;
    };
    void writeBlock(Stream &stream);
    std::size_t blockLength(const Stream &stream, std::size_t block) const;

    SpillFile file_;
    std::size_t blockValues_;
    std::vector<Stream> streams_;
    std::uint64_t fileSize_ = 0;
};

}  // namespace jet::write
