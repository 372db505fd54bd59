// Builds a large Jet 4 database for the compaction benchmark from a real
// one's schema: every user table whose unique indexes can be kept unique is
// repeated N times (Long key columns shifted per copy, index keys re-encoded
// to match), memo and OLE values are written again for each copy, and one row
// slot in three is a deleted row left on its page, as Access leaves them.
// System tables are copied as they are.
//
//   make_big_database SOURCE.mdb TARGET.mdb [COPIES [TABLE]]
//
// With TABLE only that user table is repeated (the others are copied once):
// a database of one table of many short rows, e.g. psc-adoexamples db2's
// tbCounty upgraded to Jet 4.
//
// Prints the size reached. About 500 copies of Northwind give 1 GiB.
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/write/DatabaseCompactor.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/HeaderPage.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/LongValueWriter.h"
#include "jet/write/OutputFile.h"
#include "jet/write/PageRun.h"
#include "jet/write/SpillSorter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>

using namespace jet;
using namespace jet::write;

namespace {

struct SourceRow {
    std::vector<std::uint8_t> bytes;
    struct LongValue {
        std::size_t offset;
        std::uint16_t column;
        std::vector<std::uint8_t> value;
    };
    std::vector<LongValue> longValues;
    std::map<std::uint16_t, std::size_t> longOffsets;  // shifted Long column -> value offset in the row
};

std::optional<std::size_t> fixedKeyBytes(ColumnType type)
{
    switch (type) {
    case ColumnType::Boolean:
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long:
    case ColumnType::Single: return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    default: return std::nullopt;
    }
}

class Replicator {
public:
    Replicator(const Database &source, const SourceTable &table, std::uint32_t definitionPage, PageAllocator &allocator,
               EncodedPageWriter &pages, unsigned copies)
        : source_(source),
          table_(table),
          def_(table.def),
          definitionPage_(definitionPage),
          allocator_(allocator),
          pages_(pages),
          copies_(copies)
    {
    }

    // Long columns that must change per copy to keep every unique index
    // unique; nullopt when some unique index cannot be kept unique this way.
    std::optional<std::set<std::uint16_t>> shiftedColumns() const
    {
        std::set<std::uint16_t> shifted;
        for (const RealIndexDef &index : def_.realIndexes) {
            if (!index.unique())
                continue;
            bool found = false;
            for (const IndexKeyColumn &key : index.columns) {
                const ColumnDef *column = def_.columnByNumber(key.columnNumber);
                if (!column || !fixedKeyBytes(column->type))
                    break;  // keys after a variable-length part cannot be located
                if (column->type == ColumnType::Long) {
                    shifted.insert(key.columnNumber);
                    found = true;
                    break;
                }
            }
            if (!found)
                return std::nullopt;
        }
        // A shifted column must be locatable in every index that holds it.
        for (const RealIndexDef &index : def_.realIndexes) {
            bool variableBefore = false;
            for (const IndexKeyColumn &key : index.columns) {
                const ColumnDef *column = def_.columnByNumber(key.columnNumber);
                if (shifted.count(key.columnNumber) && variableBefore)
                    return std::nullopt;
                if (!column || !fixedKeyBytes(column->type))
                    variableBefore = true;
            }
        }
        return shifted;
    }

    CopiedTable run(const std::set<std::uint16_t> &shifted)
    {
        readSource(shifted);
        PageRun data(jet::kJet4Format, definitionPage_, allocator_, pages_);
        std::map<std::uint16_t, std::unique_ptr<LongValueWriter>> longValues;
        for (const LongValueMaps &maps : def_.longValueMaps)
            longValues[maps.columnNumber] = std::make_unique<LongValueWriter>(jet::kJet4Format, allocator_, pages_);
        CopiedTable result;
        refs_.assign(static_cast<std::size_t>(copies_) * rows_.size(), 0);
        const ColumnDef *autoNumber = def_.autoNumberColumn();
        std::vector<std::uint8_t> bytes;
        std::uint64_t written = 0;
        for (unsigned copy = 0; copy < copies_; ++copy) {
            for (std::size_t i = 0; i < rows_.size(); ++i) {
                const SourceRow &row = rows_[i];
                bytes = row.bytes;
                for (const auto &[column, offset] : row.longOffsets) {
                    const auto value = static_cast<std::int32_t>(loadLE32(bytes.data() + offset) + copy * strides_[column]);
                    storeLE32(bytes.data() + offset, static_cast<std::uint32_t>(value));
                    if (autoNumber && autoNumber->number == column &&
                        (!result.largestAutoNumber || value > *result.largestAutoNumber))
                        result.largestAutoNumber = value;
                }
                for (const SourceRow::LongValue &lv : row.longValues) {
                    auto &writer = longValues[lv.column];
                    if (!writer)
                        writer = std::make_unique<LongValueWriter>(jet::kJet4Format, allocator_, pages_);
                    const auto header = writer->write(lv.value);
                    std::memcpy(bytes.data() + lv.offset, header.data(), header.size());
                }
                refs_[copy * rows_.size() + i] = data.add(bytes);
                ++result.rows;
                if (++written % 2 == 0) {
                    // Every third slot: a deleted row, as a delete leaves it.
                    data.add(bytes);
                    data.builder().markDeleted(data.builder().rowCount() - 1);
                }
            }
        }
        data.flush();
        for (auto &[column, writer] : longValues)
            writer->finish();
        for (const RealIndexDef &index : def_.realIndexes)
            result.indexes.push_back(buildIndex(index, shifted));
        result.dataPages = data.pages();
        for (const LongValueMaps &maps : def_.longValueMaps)
            result.longValueColumns.push_back(
                {maps.columnNumber, longValues[maps.columnNumber]->ownedPages(), longValues[maps.columnNumber]->pagesWithRoom()});
        return result;
    }

private:
    void readSource(const std::set<std::uint16_t> &shifted)
    {
        std::map<std::uint16_t, std::pair<std::int64_t, std::int64_t>> ranges;
        source_.forEachRow(def_, table_.name, [&](const LiveRow &live, RowDecoder &decoder, const std::string &where) {
            SourceRow row;
            row.bytes.assign(live.bytes.begin(), live.bytes.end());
            for (const LongValueField &field : decoder.longValueFields(where))
                if (field.header.kind != LongValueHeader::Kind::Inline)
                    row.longValues.push_back(
                        {field.offsetInRow, field.column->number, readLongValue(source_.file(), field.header, where)});
            for (std::uint16_t number : shifted) {
                const ColumnDef *column = def_.columnByNumber(number);
                const ColumnSlice &slice = decoder.columns().columns[column->position];
                if (!slice.present || slice.bytes.size() != 4)
                    continue;
                row.longOffsets[number] = slice.offset;
                const std::int64_t value = static_cast<std::int32_t>(loadLE32(slice.bytes.data()));
                auto &range = ranges.try_emplace(number, value, value).first->second;
                range.first = std::min(range.first, value);
                range.second = std::max(range.second, value);
            }
            positions_[live.position] = rows_.size();
            rows_.push_back(std::move(row));
        });
        for (const auto &[number, range] : ranges)
            strides_[number] = static_cast<std::uint32_t>(range.second - range.first + 1);
    }

    IndexTreeResult buildIndex(const RealIndexDef &index, const std::set<std::uint16_t> &shifted)
    {
        SpillSorter sorter(".");
        std::vector<std::uint8_t> key;
        walkIndex(source_.file(), index, table_.name, [&](const IndexEntry &entry) {
            const auto found = positions_.find(entry.row);
            if (found == positions_.end())
                return;
            for (unsigned copy = 0; copy < copies_; ++copy) {
                key = entry.key;
                shiftKey(index, shifted, copy, key);
                sorter.add(key, refs_[copy * rows_.size() + found->second]);
            }
        });
        const PageSink sink{[this] { return allocator_.allocate(); },
                            [this](PageNumber page, ByteSpan bytes) { pages_.write(page, bytes); }};
        IndexTreeWriter tree(jet::kJet4Format, definitionPage_, sink);
        sorter.drain([&](ByteSpan k, std::uint32_t ref) {
            tree.add(k, RowLocation{ref >> 8, static_cast<std::uint8_t>(ref & 0xFF)});
        });
        return tree.finish();
    }

    void shiftKey(const RealIndexDef &index, const std::set<std::uint16_t> &shifted, unsigned copy,
                  std::vector<std::uint8_t> &key) const
    {
        std::size_t at = 0;
        for (const IndexKeyColumn &part : index.columns) {
            const ColumnDef *column = def_.columnByNumber(part.columnNumber);
            const auto size = column ? fixedKeyBytes(column->type) : std::nullopt;
            if (!size || at >= key.size())
                return;
            const std::uint8_t flag = key[at++];
            if (flag == 0x00 || flag == 0xFF)
                continue;  // null: no value bytes
            if (shifted.count(part.columnNumber) && at + 4 <= key.size()) {
                std::uint32_t stored = loadBE32(key.data() + at);
                if (!part.ascending)
                    stored = ~stored;
                const std::int32_t value = static_cast<std::int32_t>(stored ^ 0x80000000u);
                std::uint32_t encoded = static_cast<std::uint32_t>(value + static_cast<std::int32_t>(copy * strides_.at(part.columnNumber))) ^ 0x80000000u;
                if (!part.ascending)
                    encoded = ~encoded;
                storeBE32(key.data() + at, encoded);
            }
            at += *size;
        }
    }

    const Database &source_;
    const SourceTable &table_;
    const TableDef &def_;
    std::uint32_t definitionPage_;  // in the new file
    PageAllocator &allocator_;
    EncodedPageWriter &pages_;
    unsigned copies_;
    std::vector<SourceRow> rows_;
    std::map<RowId, std::size_t> positions_;
    std::map<std::uint16_t, std::uint32_t> strides_;
    std::vector<std::uint32_t> refs_;
};

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_big_database SOURCE.mdb TARGET.mdb [COPIES [TABLE]]\n");
        return 2;
    }
    const unsigned copies = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 500;
    const std::string onlyTable = argc > 4 ? argv[4] : "";
    const auto started = std::chrono::steady_clock::now();
    try {
        const auto source = Database::open(argv[1], "");
        if (source->header().version != JetVersion::Jet4)
            throw Error(ErrorKind::Unsupported, "a Jet 4 source is needed");
        checkTargetPath(argv[1], argv[2]);
        OutputFile out(argv[2], argv[1]);
        const std::vector<SourceTable> tables = tablesWithDefinitions(*source);
        PageAllocator allocator({0, 1});
        const DefinitionPlan plan = placeDefinitions(*source, tables, allocator);
        EncodedPageWriter pages(out, source->file().pageSize(), source->header().encodingKey);
        std::vector<CopiedTable> copied;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const SourceTable &table = tables[t];
            const std::uint32_t definitionPage = plan.pages[t].front();
            const bool repeated = onlyTable.empty() || table.name == onlyTable;
            Replicator replicator(*source, table, definitionPage, allocator, pages, repeated ? copies : 1);
            const auto shifted = table.kind == TableKind::User ? replicator.shiftedColumns() : std::nullopt;
            if (shifted) {
                copied.push_back(replicator.run(*shifted));
                std::printf("%-24s %10llu rows\n", table.name.c_str(), static_cast<unsigned long long>(copied.back().rows));
            } else {
                CopyContext context{*source,        allocator, pages, ".", SpillSorter::kDefaultBudget,
                                    definitionPage, plan.ids,  {}};
                copied.push_back(copyTable(context, table.name, table.def));
            }
        }
        writeMapsAndDefinitions(source->file(), tables, plan, copied, allocator, pages);
        writeGlobalMapAndHeader(source->file().format(), allocator, pages, buildHeaderPage(source->file(), ""));
        out.resize(static_cast<std::uint64_t>(allocator.pageCount()) * source->file().pageSize());
        out.commit();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("wrote %s: %.1f MiB, %u pages, in %.1f s\n", argv[2], out.size() / 1048576.0, allocator.pageCount(),
                    seconds);
    } catch (const Error &e) {
        std::fprintf(stderr, "make_big_database: %s\n", e.what());
        return 1;
    }
    return 0;
}
