#include "jet/check/KeyCheck.h"

#include "jet/RowDecoder.h"
#include "jet/TableScan.h"
#include "jet/check/KeyMismatchSearch.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// Byte 0x0E of a Jet 4 column block: the sort version of its LCID.
constexpr std::size_t kJet4SortVersionOffset = 0x0E;

std::string hex(ByteSpan bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

// A stored Jet 4 text value as UTF-16 units: compressed when it starts with
// FF FE (0x00 switches between one-byte and two-byte runs), else UCS-2LE.
void jet4TextUnits(ByteSpan bytes, std::u16string &out)
{
    out.clear();
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        out.resize(bytes.size() / 2);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<char16_t>(loadLE16(bytes.data() + 2 * i));
        return;
    }
    bool compressed = true;
    for (std::size_t i = 2; i < bytes.size();) {
        if (bytes[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            out.push_back(bytes[i++]);
        } else if (i + 1 < bytes.size()) {
            out.push_back(static_cast<char16_t>(loadLE16(bytes.data() + i)));
            i += 2;
        } else {
            break;
        }
    }
}

}  // namespace

KeyCheck::KeyCheck(const DatabaseHeader &header, const TableDef &def, std::size_t scratchBytes)
    : def_(def), slotsPerPass_(static_cast<std::uint32_t>(std::clamp<std::size_t>(scratchBytes / 8, 64, 0xFFFFFFFFu)))
{
    prepare(header);
}

void KeyCheck::prepare(const DatabaseHeader &header)
{
    indexes_.resize(def_.realIndexes.size());
    for (std::size_t i = 0; i < indexes_.size(); ++i) {
        const RealIndexDef &index = def_.realIndexes[i];
        IndexKeys &keys = indexes_[i];
        keys.ignoreNullRows = index.ignoreNulls();
        if (keys.ignoreNullRows && i >= 64)  // the row check marks null keys of the first 64 only
            keys.skip = "は 65 番目以降の索引のため、キーを値と照合していません。";
        for (const IndexKeyColumn &slot : index.columns) {
            const ColumnDef *column = def_.columnByNumber(slot.columnNumber);
            if (!column) {
                keys.skip = "のキー列 " + std::to_string(slot.columnNumber) + " がないため、キーを値と照合していません。";
                break;
            }
            keys::KeyColumn key{column->type, slot.ascending, keys::TextSortOrder::Unknown};
            std::uint16_t lcid = column->collation;
            if (column->type == ColumnType::Text || column->type == ColumnType::Memo) {
                const std::size_t at = column->definitionOffset + kJet4SortVersionOffset;
                const std::uint8_t sortVersion =
                    def_.version == JetVersion::Jet4 && at < def_.bytes.size() ? def_.bytes[at] : 0;
                key.sortOrder = keys::textSortOrder(def_.version, lcid, header.sortOrder, header.codePage, sortVersion);
                if (lcid == 0)
                    lcid = header.sortOrder;
            }
            if (column->isLongValue()) {
                keys.skip = "の列 '" + column->name + "' は長い値のため、キーを値と照合していません。";
            } else if (!keys::computable(key)) {
                keys.skip = column->type == ColumnType::Text
                                ? "の列 '" + column->name + "' の並べ替え順序 " + keys::lcidText(lcid) +
                                      " のキーは計算できないため、値と照合していません。"
                                : "の列 '" + column->name + "' の型のキーは計算できないため、値と照合していません。";
            }
            keys::appendFlag(keys.nullKey, column->type == ColumnType::Boolean, slot.ascending);
            if (column->type == ColumnType::Boolean)
                keys.nullKey.push_back(slot.ascending ? 0xFF : 0x00);  // never null: false
            keys.parts.push_back({column, key});
        }
    }
}

bool KeyCheck::allNull(const IndexKeys &index, const RowColumns &columns)
{
    for (const Part &part : index.parts)
        if (part.column->type == ColumnType::Boolean || columns.columns[part.column->position].present)
            return false;
    return true;
}

bool KeyCheck::computeKey(const IndexKeys &index, const RowColumns &columns, const ValueContext &context,
                          keys::Jet4Writer writer, Scratch &scratch)
{
    static const std::string unnamed;  // the row was read whole: its values decode
    keys::Key &key = scratch.key;
    key.clear();
    scratch.writerMatters = false;
    for (const Part &part : index.parts) {
        const ColumnSlice &slice = columns.columns[part.column->position];
        // Text straight from its stored form: no detour through UTF-8.
        if (part.column->type == ColumnType::Text && slice.present) {
            keys::appendFlag(key, true, part.key.ascending);
            if (part.key.sortOrder == keys::TextSortOrder::Jet3General) {
                keys::appendJet3GeneralText(key, slice.bytes, part.key.ascending);
                continue;
            }
            jet4TextUnits(slice.bytes, scratch.text);
            if (scratch.text.find(u'\u00DF') != std::u16string::npos)
                scratch.writerMatters = true;
            if (!keys::appendJet4GeneralText(key, scratch.text, part.key.ascending, writer))
                return false;
            continue;
        }
        if (slice.present && keys::appendStoredNumber(key, part.key, slice.bytes))
            continue;
        decodeValueInto(context, *part.column, slice, unnamed, scratch.value);
        if (!keys::appendKeyColumn(key, part.key, scratch.value))
            return false;
    }
    return true;
}

void KeyCheck::row(std::uint32_t slot, const RowColumns &columns, const ValueContext &context)
{
    if (slot == LiveRowSlots::kNone) {  // out of position order: no index check can find it
        ++unreadRows_;
        return;
    }
    for (IndexKeys &index : indexes_) {
        if (index.skip || (index.ignoreNullRows && allNull(index, columns)))
            continue;
        try {
            if (!computeKey(index, columns, context, keys::Jet4Writer::Jet40, scratch_)) {
                index.skip = "のキーには、計算できない文字の値があるため、値と照合していません。";
                continue;
            }
            const std::uint64_t jet40 = digest(slot, scratch_.key);
            index.sum += jet40;
            if (scratch_.writerMatters && computeKey(index, columns, context, keys::Jet4Writer::Ace, scratch_)) {
                const std::uint64_t ace = digest(slot, scratch_.key);
                if (ace != jet40)
                    index.aceKeys[slot] = {jet40, ace};
            }
        } catch (const Error &) {
            ++unreadRows_;
            return;
        }
    }
}

std::optional<std::string> KeyCheck::skipReason(std::size_t index) const
{
    if (index >= indexes_.size())
        return std::string("の定義が読めないため、キーを値と照合していません。");
    if (unreadRows_ > 0)
        return std::string("のキーは、読めない行があるため値と照合していません。");
    return indexes_[index].skip;
}

// A multiply per eight key bytes and one at the end: a sum of
// these over a table's rows catches any entry holding another row's key or a
// key off by any bit, and costs little next to reading the rows.
std::uint64_t KeyCheck::digest(std::uint32_t slot, ByteSpan key)
{
    std::uint64_t h = (key.size() + 1) * 0x9E3779B97F4A7C15ull ^ slot;
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, key.data() + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    std::uint64_t tail = 0;
    for (; i < key.size(); ++i)
        tail = (tail << 8) | key[i];
    h = (h ^ tail ^ (static_cast<std::uint64_t>(slot) << 32)) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
}

void KeyCheck::forEachComputedKey(const PageFile &file, const std::string &table, const LiveRowSlots &slots,
                                  std::size_t index, SlotRange range,
                                  const std::function<void(std::uint32_t, const keys::Key &)> &visit) const
{
    const IndexKeys &keys = indexes_[index];
    TableScan scan(file, def_, table);
    RowDecoder decoder(file, def_);
    Scratch scratch;
    std::string where;
    while (scan.next()) {
        const std::uint32_t slot = slots.find(scan.row().position);
        if (slot == LiveRowSlots::kNone || !range.contains(slot))
            continue;
        scan.where(where);
        try {
            const RowColumns &columns = decoder.split(scan.row().bytes, where);
            if ((keys.ignoreNullRows && allNull(keys, columns)) ||
                !computeKey(keys, columns, decoder.context(), keys::Jet4Writer::Jet40, scratch))
                continue;
        } catch (const Error &) {
            continue;
        }
        visit(slot, scratch.key);
    }
}

IndexKeyTally::IndexKeyTally(const KeyCheck *keys, const RealIndexDef &index)
    : keys_(keys), index_(index), active_(keys && !keys->skipReason(index.number))
{
}

void IndexKeyTally::entry(std::uint32_t slot, const std::vector<std::uint8_t> &key, bool nullRow, RowId row)
{
    if (!active_)
        return;
    if (nullRow && keys_->ignoresNullRows(index_.number)) {
        if (key != keys_->nullKey(index_.number) && badNullKeys_++ == 0)
            firstBadNullKey_ = row;
        return;
    }
    sum_ += keys_->counted(index_.number, slot, KeyCheck::digest(slot, key));
}

void IndexKeyTally::finish(const PageFile &file, CheckSink &sink, const std::string &table, const std::string &label,
                           const CheckedRows &rows, bool covered)
{
    if (!keys_)
        return;
    if (const auto reason = keys_->skipReason(index_.number)) {
        sink.note(table, std::nullopt, label + " " + *reason);
        return;
    }
    if (badNullKeys_)
        sink.problem(table, firstBadNullKey_.page, std::nullopt,
                     label + " の値がすべて空の行 " + std::to_string(badNullKeys_) + " 行のキーが空の値のキーではありません（最初は " +
                         firstBadNullKey_.describe() + "）。");
    if (covered && sum_ != keys_->expectedSum(index_.number))
        findMismatches(file, sink, table, label, rows);
}

void IndexKeyTally::findMismatches(const PageFile &file, CheckSink &sink, const std::string &table,
                                   const std::string &label, const CheckedRows &rows)
{
    const KeyMismatches found = findKeyMismatches(file, table, "テーブル '" + table + "' の" + label, *keys_, index_, rows);
    if (found.count == 0) {
        sink.problem(table, index_.rootPage, std::nullopt, label + " のキーが行の値から計算したキーと合いません。");
        return;
    }
    sink.problem(table, found.first.leafPage, std::nullopt,
                 label + " の " + std::to_string(found.count) + " 項目のキーが行の値から計算したキーと違います（最初は行 " +
                     found.first.row.describe() + "：格納 " + hex(found.first.key) + "、計算 " + hex(found.computed) + "）。");
}

}  // namespace jet
