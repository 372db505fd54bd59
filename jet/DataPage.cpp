#include "jet/DataPage.h"

#include "jet/Error.h"

namespace jet {

DataPageView::DataPageView(const PageFile &file, PageHandle page)
    : file_(&file), page_(std::move(page)), rowTableOffset_(file.format().dataRowTableOffset)
{
    const auto &bytes = page_->bytes;
    if (bytes[0] != static_cast<std::uint8_t>(PageType::Data))
        throw Error(ErrorKind::Damaged, file.describePage(page_->number) + " はデータページではありません（種類 " +
                                            std::to_string(bytes[0]) + "）。");
    rowCount_ = loadLE16(bytes.data() + file.format().dataRowCountOffset);
    if (rowTableEnd() > bytes.size() || rowCount_ > 0xFF + 1)
        throw Error(ErrorKind::Damaged, file.describePage(page_->number) + ": 行数 " + std::to_string(rowCount_) +
                                            " がページに収まりません。");
}

std::uint16_t DataPageView::rawEntry(unsigned row) const
{
    return loadLE16(page_->bytes.data() + rowTableOffset_ + 2 * row);
}

RowSlot DataPageView::slot(unsigned row) const
{
    if (row >= rowCount_)
        throw Error(ErrorKind::Damaged, file_->describePage(number()) + ": 行 " + std::to_string(row) +
                                            " はありません（行数 " + std::to_string(rowCount_) + "）。");
    RowSlot slot;
    slot.raw = rawEntry(row);
    slot.start = slot.raw & kRowOffsetMask;
    // §page.rows: a row ends where the previous entry's row starts.
    slot.end = row == 0 ? static_cast<std::uint16_t>(page_->bytes.size()) : (rawEntry(row - 1) & kRowOffsetMask);
    if (slot.start < rowTableEnd() || slot.end > page_->bytes.size() || slot.start > slot.end)
        throw Error(ErrorKind::Damaged, file_->describePage(number()) + " 行 " + std::to_string(row) +
                                            ": 行の位置 " + std::to_string(slot.start) + "–" + std::to_string(slot.end) +
                                            " がページの範囲外です。");
    return slot;
}

ByteSpan readRow(const PageFile &file, RowId id, PageHandle &keep, const std::string &what)
{
    DataPageView view(file, file.page(id.page));
    const RowSlot slot = view.slot(id.row);
    if ((slot.raw & (kRowDeleted | kRowOverflow)) == (kRowDeleted | kRowOverflow))
        throw Error(ErrorKind::Damaged, what + ": " + file.describePage(id.page) + " 行 " + std::to_string(id.row) +
                                            " は削除されています。");
    keep = view.handle();
    return view.rowBytes(slot);
}

}  // namespace jet
