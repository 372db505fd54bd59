#include "jet/write/LongValueWriter.h"

#include "jet/Error.h"

#include <algorithm>
#include <cstring>

namespace jet::write {

namespace {

// Leave a page's last scraps alone rather than start a chain with a sliver.
constexpr std::size_t kSmallestFirstFragment = 64;
constexpr std::size_t kLinkBytes = 4;  // RowRef of the next fragment

LongValueWriter::Header header(std::uint32_t lengthAndKind, std::uint32_t rowRef)
{
    LongValueWriter::Header h{};
    storeLE32(h.data(), lengthAndKind);
    storeLE32(h.data() + 4, rowRef);
    return h;
}

}  // namespace

LongValueWriter::LongValueWriter(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &sink)
    : maxRow_(format.maxLongValueRow),
      allocator_(allocator),
      run_(format, kLvalOwner, allocator, sink)
{
}

LongValueWriter::Header LongValueWriter::write(ByteSpan value)
{
    beginValue(value.size());
    appendValue(value);
    return endValue();
}

void LongValueWriter::beginValue(std::size_t length)
{
    if (length > kLongValueLengthMask)
        throw Error(ErrorKind::Unsupported, "長いデータが大きすぎます。");
    length_ = length;
    received_ = 0;
    pending_.clear();
    chained_ = length > maxRow_;
    if (chained_)
        planChain();
}

// Fragment i = RowRef of fragment i+1 (0 for the last) + data. The first
// fragment may use the rest of the page in progress; the others get fresh
// pages, numbered before any byte is written so each link is known.
void LongValueWriter::planChain()
{
    const std::size_t fullData = maxRow_ - kLinkBytes;
    sizes_.clear();
    refs_.clear();
    freshPages_.clear();
    std::size_t remaining = length_;
    firstOnCurrent_ = false;
    if (run_.isOpen() && run_.builder().rowCount() < kMaxRowsPerPage) {
        const std::size_t free = run_.currentFree();
        if (free >= 2 + kLinkBytes + kSmallestFirstFragment) {
            const std::size_t take = std::min(remaining, std::min(free - 2 - kLinkBytes, fullData));
            sizes_.push_back(take);
            remaining -= take;
            firstOnCurrent_ = true;
        }
    }
    while (remaining > 0) {
        const std::size_t take = std::min(remaining, fullData);
        sizes_.push_back(take);
        remaining -= take;
    }
    for (std::size_t i = 0; i < sizes_.size(); ++i) {
        if (i == 0 && firstOnCurrent_) {
            refs_.push_back(makeRowRef(run_.currentPage(), run_.builder().rowCount()));
        } else {
            freshPages_.push_back(allocator_.allocate());
            refs_.push_back(makeRowRef(freshPages_.back(), 0));
        }
    }
    fragment_ = 0;
    fresh_ = 0;
}

void LongValueWriter::appendValue(ByteSpan piece)
{
    if (piece.size() > length_ - received_)
        throw Error(ErrorKind::Argument, "内部エラー: 長いデータが宣言より長くなりました。");
    received_ += piece.size();
    if (!chained_) {
        pending_.insert(pending_.end(), piece.begin(), piece.end());
        return;
    }
    while (!piece.empty()) {
        if (pending_.empty()) {
            pending_.resize(kLinkBytes);
            storeLE32(pending_.data(), fragment_ + 1 < sizes_.size() ? refs_[fragment_ + 1] : 0);
        }
        const std::size_t room = kLinkBytes + sizes_[fragment_] - pending_.size();
        const std::size_t take = std::min(room, piece.size());
        pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
        piece = piece.subspan(take);
        if (take == room)
            emitFragment();
    }
}

void LongValueWriter::emitFragment()
{
    if (!(fragment_ == 0 && firstOnCurrent_))
        run_.startPage(freshPages_[fresh_++]);
    run_.builder().add(pending_);
    pending_.clear();
    ++fragment_;
}

LongValueWriter::Header LongValueWriter::endValue()
{
    if (received_ != length_)
        throw Error(ErrorKind::Argument, "内部エラー: 長いデータが宣言より短く終わりました。");
    ++values_;
    const auto length = static_cast<std::uint32_t>(length_);
    if (length_ == 0)
        return header(kLongValueInline, 0);
    if (!chained_) {
        const std::uint32_t ref = run_.add(pending_);
        pending_.clear();
        return header(length | kLongValueSingleRow, ref);
    }
    return header(length, refs_[0]);
}

}  // namespace jet::write
