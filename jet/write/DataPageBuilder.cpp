#include "jet/write/DataPageBuilder.h"

#include "jet/Error.h"
#include "jet/Format.h"

#include <cstring>

namespace jet::write {

DataPageBuilder::DataPageBuilder(const FormatConstants &format, std::uint32_t owner)
    : format_(&format), owner_(owner)
{
    reset();
}

void DataPageBuilder::reset()
{
    page_.assign(format_->pageSize, 0);
    page_[0] = static_cast<std::uint8_t>(PageType::Data);
    page_[1] = 0x01;
    storeLE32(page_.data() + 4, owner_);
    rows_ = 0;
    rowStart_ = format_->pageSize;
    free_ = format_->pageSize - format_->dataRowTableOffset;
    storeLE16(page_.data() + 2, static_cast<std::uint16_t>(free_));
}

unsigned DataPageBuilder::add(ByteSpan row)
{
    if (!fits(row.size()))
        throw Error(ErrorKind::Unsupported, "行がページに収まりません。");
    rowStart_ -= row.size();
    if (!row.empty())
        std::memcpy(page_.data() + rowStart_, row.data(), row.size());
    const std::size_t tableAt = format_->dataRowTableOffset + 2 * rows_;
    storeLE16(page_.data() + tableAt, static_cast<std::uint16_t>(rowStart_));
    ++rows_;
    free_ -= row.size() + 2;
    storeLE16(page_.data() + 2, static_cast<std::uint16_t>(free_));
    storeLE16(page_.data() + format_->dataRowCountOffset, static_cast<std::uint16_t>(rows_));
    return rows_ - 1;
}

void DataPageBuilder::markDeleted(unsigned number)
{
    std::uint8_t *entry = page_.data() + format_->dataRowTableOffset + 2 * number;
    storeLE16(entry, static_cast<std::uint16_t>(loadLE16(entry) | 0xC000));
}

MutableByteSpan DataPageBuilder::row(unsigned number)
{
    const std::size_t tableAt = format_->dataRowTableOffset;
    const std::size_t start = loadLE16(page_.data() + tableAt + 2 * number) & 0x1FFF;
    const std::size_t end = number == 0 ? format_->pageSize : (loadLE16(page_.data() + tableAt + 2 * (number - 1)) & 0x1FFF);
    return MutableByteSpan(page_.data() + start, end - start);
}

}  // namespace jet::write
