#include "jet/LongValue.h"

#include "jet/DataPage.h"
#include "jet/Error.h"

#include <unordered_set>

namespace jet {

namespace {

ByteSpan lvalRow(const PageFile &file, RowId id, PageHandle &keep, const std::string &where)
{
    DataPageView view(file, file.page(id.page));
    if (view.owner() != kLongValueOwner)
        throw Error(ErrorKind::Damaged, where + ": 長い値の行 " + id.describe() + " は LVAL ページにありません。");
    const RowSlot slot = view.slot(id.row);
    if (slot.deletedFlag())
        throw Error(ErrorKind::Damaged, where + ": 長い値の行 " + id.describe() + " は削除されています。");
    keep = view.handle();
    return view.rowBytes(slot);
}

}  // namespace

std::optional<LongValueHeader> parseLongValueHeader(ByteSpan field, const std::string &where)
{
    if (field.empty())
        return std::nullopt;
    if (field.size() < kLongValueHeaderLength)
        throw Error(ErrorKind::Damaged, where + ": 長い値の見出しが " + std::to_string(field.size()) +
                                            " バイトしかありません。");
    LongValueHeader header;
    const std::uint32_t word = loadLE32(field.data());
    header.length = word & 0x3FFFFFFF;
    switch (word >> 30) {
    case 2:
        header.kind = LongValueHeader::Kind::Inline;
        header.inlineData = field.subspan(kLongValueHeaderLength);
        if (header.inlineData.size() < header.length)
            throw Error(ErrorKind::Damaged, where + ": 行内の長い値（" + std::to_string(header.length) +
                                                " バイト）が行に収まりません。");
        break;
    case 1:
        header.kind = LongValueHeader::Kind::SingleRow;
        break;
    case 0:
        header.kind = LongValueHeader::Kind::Chained;
        break;
    default:
        throw Error(ErrorKind::Damaged, where + ": 長い値の種類が不明です。");
    }
    header.firstRow = RowId::fromRowRef(loadLE32(field.data() + 4));
    return header;
}

void visitLongValueRows(const PageFile &file, const LongValueHeader &header, const std::string &where,
                        const std::function<void(RowId row, ByteSpan data)> &visit)
{
    PageHandle keep;
    switch (header.kind) {
    case LongValueHeader::Kind::Inline:
        return;
    case LongValueHeader::Kind::SingleRow: {
        const ByteSpan row = lvalRow(file, header.firstRow, keep, where);
        if (row.size() < header.length)
            throw Error(ErrorKind::Damaged, where + ": 長い値の行 " + header.firstRow.describe() + " が短すぎます（" +
                                                std::to_string(row.size()) + " / " + std::to_string(header.length) +
                                                " バイト）。");
        visit(header.firstRow, row.first(header.length));
        return;
    }
    case LongValueHeader::Kind::Chained:
        break;
    default:
        throw Error(ErrorKind::Damaged, where + ": 長い値の種類が不明です。");
    }
    std::unordered_set<std::uint32_t> seen;
    std::size_t remaining = header.length;
    RowId next = header.firstRow;
    while (remaining > 0) {
        if (next.isNull())
            throw Error(ErrorKind::Damaged, where + ": 長い値の連鎖が途中で終わっています（残り " +
                                                std::to_string(remaining) + " バイト）。");
        if (!seen.insert(next.toRowRef()).second)
            throw Error(ErrorKind::Damaged, where + ": 長い値の連鎖が " + next.describe() + " で循環しています。");
        const ByteSpan row = lvalRow(file, next, keep, where);
        if (row.size() < 4)
            throw Error(ErrorKind::Damaged, where + ": 長い値の行 " + next.describe() + " が短すぎます。");
        const ByteSpan data = row.subspan(4, std::min(row.size() - 4, remaining));
        const RowId current = next;
        next = RowId::fromRowRef(loadLE32(row.data()));
        remaining -= data.size();
        visit(current, data);
    }
}

std::vector<std::uint8_t> readLongValue(const PageFile &file, const LongValueHeader &header, const std::string &where)
{
    std::vector<std::uint8_t> value;
    readLongValueInto(file, header, where, value);
    return value;
}

void readLongValueInto(const PageFile &file, const LongValueHeader &header, const std::string &where,
                       std::vector<std::uint8_t> &out)
{
    out.clear();
    if (header.kind == LongValueHeader::Kind::Inline) {
        out.assign(header.inlineData.begin(), header.inlineData.begin() + header.length);
        return;
    }
    visitLongValueRows(file, header, where, [&](RowId, ByteSpan data) { out.insert(out.end(), data.begin(), data.end()); });
}

}  // namespace jet
