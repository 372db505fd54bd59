#include "jet/write/LiveRowAt.h"

#include "jet/DataPage.h"
#include "jet/Error.h"

namespace jet::write {

namespace {
constexpr int kMaxOverflowHops = 8;
}

FetchedRow readLiveRowAt(const PageFile &file, const TableDef &def, RowId position, PageHandle &keepHeader,
                         PageHandle &keepBody, const std::string &where)
{
    if (position.page == 0 || position.page >= file.pageCount())
        throw Error(ErrorKind::Damaged, where + ": 行の位置 " + position.describe() + " がファイルの範囲外です。");
    DataPageView page(file, file.page(position.page));
    if (page.owner() != def.firstPage)
        throw Error(ErrorKind::Damaged, where + ": " + position.describe() + " はこのテーブルのページではありません。");
    FetchedRow fetched;
    fetched.rowSlotsOnPage = page.rowCount();
    const RowSlot slot = page.slot(position.row);
    if (slot.deletedFlag())
        throw Error(ErrorKind::Damaged, where + ": " + position.describe() + " は削除された行です。");
    keepHeader = page.handle();
    fetched.row.position = position;
    fetched.row.dataAt = position;
    fetched.row.bytes = page.rowBytes(slot);
    bool overflow = slot.overflowFlag();
    for (int hop = 0; overflow; ++hop) {
        if (hop == kMaxOverflowHops)
            throw Error(ErrorKind::Damaged, where + ": 移動した行の参照が長く連なりすぎています。");
        if (fetched.row.bytes.size() < 4)
            throw Error(ErrorKind::Damaged, where + ": 移動した行への参照が短すぎます。");
        const RowId target = RowId::fromRowRef(loadLE32(fetched.row.bytes.data()));
        if (target.page == 0 || target.page >= file.pageCount())
            throw Error(ErrorKind::Damaged, where + ": 移動先の行 " + target.describe() + " がファイルの範囲外です。");
        DataPageView body(file, file.page(target.page));
        const RowSlot bodySlot = body.slot(target.row);
        if ((bodySlot.raw & (kRowDeleted | kRowOverflow)) == (kRowDeleted | kRowOverflow))
            throw Error(ErrorKind::Damaged, where + ": 移動先の行 " + target.describe() + " は削除されています。");
        keepBody = body.handle();
        fetched.row.dataAt = target;
        fetched.row.bytes = body.rowBytes(bodySlot);
        overflow = bodySlot.overflowFlag();
    }
    return fetched;
}

}  // namespace jet::write
