#include "jet/write/SpillStreams.h"

#include "jet/Error.h"
#include "jet/SystemErrorText.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace jet::write {

namespace {

[[noreturn]] void writeFailed(int error)
{
    throw Error(ErrorKind::Io, "行の移動先を記録する一時ファイルに書き込めません: " + systemErrorText(error));
}

[[noreturn]] void readFailed(int error)
{
    throw Error(ErrorKind::Io, "行の移動先を記録する一時ファイルを読めません: " + systemErrorText(error));
}

// Unnamed where the system allows, else named and unlinked at once: either
// way nothing is left behind, however the process ends.
int openUnnamedFile(const std::string &folder)
{
    if (folder.empty())
        writeFailed(ENOSPC);  // a compaction in memory touches no file system
    if (const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); fd >= 0)
        return fd;
    std::string pattern = folder + "/.tessivar-reloc-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        writeFailed(errno);
    ::unlink(pattern.c_str());
    return fd;
}

}  // namespace

SpillStreams::SpillStreams(std::string folder, std::size_t blockValues)
    : folder_(std::move(folder)), blockValues_(std::max<std::size_t>(blockValues, 2))
{
}

SpillStreams::~SpillStreams()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void SpillStreams::reserveStreams(std::size_t count)
{
    if (count > streams_.size())
        streams_.resize(count);
}

void SpillStreams::writeValues(std::uint64_t offset, const std::uint32_t *values, std::size_t count)
{
    if (fd_ < 0)
        fd_ = openUnnamedFile(folder_);
    const auto *data = reinterpret_cast<const char *>(values);
    std::size_t length = count * sizeof(std::uint32_t);
    while (length > 0) {
        const ssize_t n = ::pwrite(fd_, data, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            writeFailed(n < 0 ? errno : ENOSPC);
        data += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
}

void SpillStreams::writeBlock(Stream &stream)
{
    writeValues(fileSize_, stream.buffer.data(), stream.buffer.size());
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

void SpillStreams::readBlock(std::uint64_t offset, std::uint32_t *values, std::size_t count) const
{
    auto *data = reinterpret_cast<char *>(values);
    std::size_t length = count * sizeof(std::uint32_t);
    while (length > 0) {
        const ssize_t n = ::pread(fd_, data, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            readFailed(n < 0 ? errno : EIO);
        data += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
}

void SpillStreams::visitBlocks(std::size_t stream, bool writeBack, const BlockVisit &visit)
{
    const Stream &s = streams_[stream];
    std::vector<std::uint32_t> block(blockValues_);
    for (std::size_t b = 0; b < s.blocks.size(); ++b) {
        const std::size_t length = blockLength(s, b);
        readBlock(s.blocks[b], block.data(), length);
        visit(block.data(), length);
        if (writeBack)
            writeValues(s.blocks[b], block.data(), length);
    }
}

bool SpillStreams::Reader::refill()
{
    const Stream &s = streams_->streams_[stream_];
    if (nextBlock_ >= s.blocks.size())
        return false;
    block_.resize(streams_->blockLength(s, nextBlock_));
    streams_->readBlock(s.blocks[nextBlock_], block_.data(), block_.size());
    ++nextBlock_;
    at_ = 0;
    return true;
}

}  // namespace jet::write
