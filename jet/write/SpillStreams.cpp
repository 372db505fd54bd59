#include "jet/write/SpillStreams.h"

#include <algorithm>

namespace jet::write {

SpillStreams::SpillStreams(std::string folder, std::size_t blockValues)
    : file_(std::move(folder), ".tessivar-reloc-", "行の移動先を記録する一時ファイル"),
      blockValues_(std::max<std::size_t>(blockValues, 2))
{
}

void SpillStreams::reserveStreams(std::size_t count)
{
    if (count > streams_.size())
        streams_.resize(count);
}

void SpillStreams::writeBlock(Stream &stream)
{
    file_.write(fileSize_, stream.buffer.data(), stream.buffer.size() * sizeof(std::uint32_t));
    // Every block takes a whole block's room, so a short last block can be
    // rewritten in place like any other.
    stream.blocks.push_back(fileSize_);
    fileSize_ += blockValues_ * sizeof(std::uint32_t);
    stream.buffer.clear();
}

void SpillStreams::finish()
{
    for (Stream &stream : streams_) {
        if (!stream.buffer.empty())
            writeBlock(stream);
        stream.buffer = {};
    }
}

std::size_t SpillStreams::blockLength(const Stream &stream, std::size_t block) const
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(blockValues_, stream.count - block * blockValues_));
}

void SpillStreams::visitBlocks(std::size_t stream, bool writeBack, const BlockVisit &visit)
{
    const Stream &s = streams_[stream];
    std::vector<std::uint32_t> block(blockValues_);
    for (std::size_t b = 0; b < s.blocks.size(); ++b) {
        const std::size_t length = blockLength(s, b);
        file_.read(s.blocks[b], block.data(), length * sizeof(std::uint32_t));
        visit(block.data(), length);
        if (writeBack)
            file_.write(s.blocks[b], block.data(), length * sizeof(std::uint32_t));
    }
}

bool SpillStreams::Reader::refill()
{
    const Stream &s = streams_->streams_[stream_];
    if (nextBlock_ >= s.blocks.size())
        return false;
    block_.resize(streams_->blockLength(s, nextBlock_));
    streams_->file_.read(s.blocks[nextBlock_], block_.data(), block_.size() * sizeof(std::uint32_t));
    ++nextBlock_;
    at_ = 0;
    return true;
}

}  // namespace jet::write
