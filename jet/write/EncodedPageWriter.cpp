#include "jet/write/EncodedPageWriter.h"

#include "jet/Error.h"
#include "jet/Rc4.h"

#include <cstring>

namespace jet::write {

void EncodedPageWriter::write(std::uint32_t pageNumber, ByteSpan page)
{
    if (page.size() != pageSize_)
        throw Error(ErrorKind::Unsupported, "内部エラー: ページの長さが正しくありません。");
    const std::size_t gatheredPages = gathered_.size() / pageSize_;
    // A page out of sequence (also one written again) goes after everything
    // gathered before it, as it would have unbuffered.
    if (gatheredPages == kGatheredPages || (gatheredPages > 0 && pageNumber != firstGathered_ + gatheredPages))
        handOver();
    if (gathered_.empty())
        firstGathered_ = pageNumber;
    const std::size_t at = gathered_.size();
    gathered_.resize(at + pageSize_);
    const MutableByteSpan slot(gathered_.data() + at, pageSize_);
    std::memcpy(slot.data(), page.data(), pageSize_);
    if (encodingKey_ != 0 && pageNumber != 0)
        rc4ApplyPage(encodingKey_, pageNumber, slot);
    ++pagesWritten_;
}

void EncodedPageWriter::handOver()
{
    if (gathered_.empty())
        return;
    gathered_ = writer_.submit(static_cast<std::uint64_t>(firstGathered_) * pageSize_, std::move(gathered_));
    gathered_.clear();
    gathered_.reserve(kGatheredPages * pageSize_);
}

void EncodedPageWriter::flush()
{
    handOver();
    writer_.wait();
}

}  // namespace jet::write
