#include "jet/TableScan.h"

#include "jet/Error.h"

#include <cstdio>

namespace jet {

namespace {

// Stubs could in principle point at further stubs; real files have at most one.
constexpr int kMaxOverflowHops = 8;

}  // namespace

TableScan::TableScan(const PageFile &file, const TableDef &def, std::string tableName, ForeignPages foreignPages)
    : file_(file), def_(def), tableName_(std::move(tableName)), foreignPages_(foreignPages),
      wherePrefix_("テーブル '" + tableName_ + "' のファイル '" + file.path() + "' のページ "),
      owned_(readUsageMap(file, def.ownedPages, "テーブル '" + tableName_ + "' のデータページの使用マップ"))
{
}

std::string TableScan::where() const
{
    std::string out;
    where(out);
    return out;
}

void TableScan::where(std::string &out) const
{
    out.assign(wherePrefix_);
    char digits[32];
    out.append(digits, static_cast<std::size_t>(std::snprintf(digits, sizeof digits, "%u 行 %u", row_.position.page,
                                                               static_cast<unsigned>(row_.position.row))));
}

bool TableScan::openNextPage()
{
    while (pageIndex_ < owned_.pages.size()) {
        const PageNumber number = owned_.pages[pageIndex_++];
        PageHandle handle = file_.page(number);
        const auto &bytes = handle->bytes;
        if (bytes[0] != static_cast<std::uint8_t>(PageType::Data)) {
            skip(number, "データページではありません（種類 " + std::to_string(bytes[0]) + "）");
            continue;
        }
        if (loadLE32(bytes.data() + 4) != def_.firstPage) {
            skip(number, "所有者がテーブル定義 " + std::to_string(loadLE32(bytes.data() + 4)) + " です（このテーブルの定義は " +
                             std::to_string(def_.firstPage) + "）");
            continue;
        }
        page_.emplace(file_, std::move(handle));
        nextRow_ = 0;
        return true;
    }
    page_.reset();
    return false;
}

void TableScan::skip(PageNumber page, std::string reason)
{
    if (foreignPages_ == ForeignPages::Fail)
        throw Error(ErrorKind::Damaged, "テーブル '" + tableName_ + "' のページ " + std::to_string(page) +
                                            " はデータページの使用マップにありますが、" + reason +
                                            "。このテーブルの行を漏れなく写すことができません。");
    skipped_.push_back({page, std::move(reason)});
}

bool TableScan::next()
{
    for (;;) {
        if (!page_ || nextRow_ >= page_->rowCount()) {
            if (!openNextPage())
                return false;
            continue;
        }
        const unsigned rowNumber = nextRow_++;
        if (page_->rawEntry(rowNumber) & kRowDeleted)
            continue;
        row_.position = RowId{page_->number(), static_cast<std::uint8_t>(rowNumber)};
        row_.dataAt = row_.position;
        const RowSlot slot = page_->slot(rowNumber);
        row_.bytes = page_->rowBytes(slot);
        if (slot.overflowFlag())
            resolveOverflow(row_.bytes);
        return true;
    }
}

void TableScan::resolveOverflow(ByteSpan stub)
{
    for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
        if (stub.size() < 4)
            throw Error(ErrorKind::Damaged, where() + ": 移動した行への参照が短すぎます。");
        const RowId target = RowId::fromRowRef(loadLE32(stub.data()));
        DataPageView body(file_, file_.page(target.page));
        const RowSlot slot = body.slot(target.row);
        if ((slot.raw & (kRowDeleted | kRowOverflow)) == (kRowDeleted | kRowOverflow))
            throw Error(ErrorKind::Damaged, where() + ": 移動先の行 " + target.describe() + " は削除されています。");
        bodyPage_ = body.handle();
        row_.dataAt = target;
        row_.bytes = body.rowBytes(slot);
        if (!slot.overflowFlag())
            return;
        stub = row_.bytes;
    }
    throw Error(ErrorKind::Damaged, where() + ": 移動した行の参照が長く連なりすぎています。");
}

}  // namespace jet
