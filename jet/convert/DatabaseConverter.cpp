#include "jet/convert/DatabaseConverter.h"

#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/RowValues.h"
#include "jet/StoredRowCount.h"
#include "jet/TableScan.h"
#include "jet/convert/ConvertedHeader.h"
#include "jet/convert/Jet3Limits.h"
#include "jet/convert/PropertyBlob.h"
#include "jet/convert/SidCodec.h"
#include "jet/convert/TableConverter.h"
#include "jet/convert/TableDescription.h"
#include "jet/convert/TargetTables.h"
#include "jet/keys/IndexKey.h"
#include "jet/write/DatabaseCompactor.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/ObjectIdMap.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/UsageMapPlacer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace jet::convert {

namespace {

constexpr std::uint64_t kJet3MaxFileBytes = 1ull << 30;
constexpr std::uint64_t kJet4MaxFileBytes = 2ull << 30;

struct PlannedTable {
    const write::SourceTable *source;
    TableDef target;
    std::vector<std::uint32_t> chain;  // definition pages in the copy
    std::vector<std::uint16_t> skippedColumns;
};

// The number of pages a definition of `length` bytes takes: the first page
// whole, every further one after its 8-byte header.
std::size_t chainLength(std::size_t length, std::uint32_t pageSize)
{
    if (length <= pageSize)
        return 1;
    return 1 + (length - pageSize + (pageSize - 8) - 1) / (pageSize - 8);
}

TablePlacement emptyPlacement(const TableDef &def)
{
    TablePlacement placement;
    placement.indexMaps.resize(def.realIndexes.size());
    placement.indexRoots.resize(def.realIndexes.size());
    placement.otherTables.resize(def.logicalIndexes.size());
    placement.longValueMaps.resize(def.longValueMaps.size());
    return placement;
}

// The definition buffer cut into its chain of pages (docs/jet-format-notes.md §tdef).
std::vector<std::vector<std::uint8_t>> splitDefinition(const std::vector<std::uint8_t> &buffer,
                                                       const FormatConstants &format,
                                                       const std::vector<std::uint32_t> &chain)
{
    std::vector<std::vector<std::uint8_t>> pages;
    std::size_t at = 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        std::vector<std::uint8_t> page(format.pageSize, 0);
        const std::size_t start = i == 0 ? 0 : 8;
        const std::size_t take = std::min<std::size_t>(format.pageSize - start, buffer.size() - at);
        std::memcpy(page.data() + start, buffer.data() + at, take);
        at += take;
        page[0] = static_cast<std::uint8_t>(PageType::TableDef);
        page[1] = 0x01;
        if (format.version == JetVersion::Jet3) {
            page[2] = 'V';
            page[3] = 'C';
        } else {
            storeLE16(page.data() + 2, static_cast<std::uint16_t>(format.pageSize - start - take));
        }
        storeLE32(page.data() + 4, i + 1 < chain.size() ? chain[i + 1] : 0);
        pages.push_back(std::move(page));
    }
    return pages;
}

std::string joined(const std::vector<Refusal> &refusals)
{
    std::string text = "Jet 3.x 形式に変換できません。";
    const std::size_t shown = std::min<std::size_t>(refusals.size(), 5);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\n" + refusals[i].message;
    if (refusals.size() > shown)
        text += "\nほか " + std::to_string(refusals.size() - shown) + " 件。";
    return text;
}

bool isColumn(const ColumnDef &column, const char *table, const std::string &tableName, const char *name)
{
    return tableName == table && column.name == name;
}

class Converter {
public:
    Converter(const Database &source, write::PageOutput &out, const ConversionSettings &settings)
        : source_(source),
          header_(source.header()),
          settings_(settings),
          target_(settings.target),
          jet3_(settings.target == JetVersion::Jet3),
          format_(formatConstants(settings.target)),
          codePage_(source.header().codePage),
          tables_(write::tablesWithDefinitions(source)),
          allocator_({0, 1}),
          pages_(out, format_.pageSize, source.header().encodingKey)
    {
    }

    ConversionOutcome run()
    {
        checkConvertedPassword(header_, target_, settings_.targetPassword);
        planTables();
        if (jet3_)
            refuseWhatJet3CannotHold();
        refuseUncomputableKeys();
        prepareSids();
        placeDefinitions();
        std::vector<ConvertedTable> converted;
        std::uint64_t expectedRows = 1, rowsBefore = 0;
        for (const PlannedTable &table : planned_)
            expectedRows += table.source->def.rowCount;
        for (const PlannedTable &table : planned_) {
            converted.push_back(convertOne(table, [&](std::uint64_t done) {
                if ((done & 0x3FF) == 0 && settings_.progress)
                    settings_.progress(std::min(1.0, double(rowsBefore + done) / double(expectedRows)));
            }));
            rowsBefore += converted.back().rows;
        }
        writeDefinitions(converted);
        write::writeGlobalMapAndHeader(
            format_, allocator_, pages_,
            buildConvertedHeaderPage(header_, target_, creationDate_, settings_.targetPassword));
        requireWithinFileLimit();
        outcome_.pageCount = allocator_.pageCount();
        outcome_.pageSize = format_.pageSize;
        outcome_.tables = static_cast<std::uint32_t>(planned_.size());
        outcome_.copyNormaliser = copyNormaliser();
        return std::move(outcome_);
    }

private:
    // ---- what the copy holds ----

    void planTables()
    {
        bool accessObjectsLeftOut = false;
        for (const write::SourceTable &table : tables_) {
            if (jet3_ && table.kind == TableKind::System && leftOutOfJet3(table.name, table.def, codePage_)) {
                removedIds_.insert(table.def.firstPage);
                outcome_.repairs += unreadable(table);
                accessObjectsLeftOut = accessObjectsLeftOut || table.def.rowCount > 0;
                if (table.name == "MSysAccessObjects")
                    leavesOutAccessObjects_ = true;
                continue;
            }
            PlannedTable plan{&table, targetDefinition(table.name, table.def, target_), {}, {}};
            plan.skippedColumns = columnsOnlyIn(plan.target, table.def);
            for (std::uint16_t number : columnsOnlyIn(table.def, plan.target))
                plan.skippedColumns.push_back(number);
            planned_.push_back(std::move(plan));
        }
        if (leavesOutAccessObjects_)
            for (const CatalogObject &object : source_.catalog().objects)
                if (isAccessApplicationObject(object.type)) {
                    removedIds_.insert(object.id);
                    accessObjectsLeftOut = true;
                }
        if (accessObjectsLeftOut)
            outcome_.notices.push_back(kAccessObjectsLeftOut);
    }

    void refuseWhatJet3CannotHold()
    {
        std::vector<Refusal> refusals;
        for (const PlannedTable &table : planned_) {
            if (table.source->kind != TableKind::System) {
                const auto found = checkJet3Definition(describeTable(table.target, table.source->name), codePage_);
                refusals.insert(refusals.end(), found.begin(), found.end());
            }
            Jet3ValueCheck check(table.target, codePage_, table.source->name);
            const TableDef &def = table.source->def;
            const RowShape shape = tableRowShape(table.target);
            const std::vector<std::uint16_t> dropped = columnsOnlyIn(def, table.target);
            std::uint64_t droppedValues = 0;
            std::vector<Value> targetValues;
            forEachRowValues(source_.file(), def, table.source->name, ForeignPages::Fail,
                             [&](const TableScan &, std::vector<Value> &values) {
                                 for (std::uint16_t number : dropped)
                                     droppedValues += !values[def.columnByNumber(number)->position].isNull();
                                 targetValues.assign(table.target.columns.size(), Value{});
                                 for (std::size_t i = 0; i < table.target.columns.size(); ++i)
                                     if (const ColumnDef *from = def.columnByNumber(table.target.columns[i].number))
                                         targetValues[i] = std::move(values[from->position]);
                                 check.addRow(targetValues, shape);
                             });
            const auto found = check.refusals();
            refusals.insert(refusals.end(), found.begin(), found.end());
            if (droppedValues > 0)
                outcome_.notices.push_back(table.source->name + " の Jet 4.x 形式にしかない列の値 (" +
                                           std::to_string(droppedValues) +
                                           " 個) は Jet 3.x 形式に保存できないため、コピーに含めていません。");
        }
        if (!refusals.empty())
            throw Error(ErrorKind::Unsupported, joined(refusals));
    }

    // Text keys of a sort order without weights here can be computed only for
    // ASCII text (§convert.table): any other indexed value refuses the whole
    // conversion, before a page is written.
    void refuseUncomputableKeys() const
    {
        for (const PlannedTable &table : planned_) {
            const std::vector<const ColumnDef *> columns = textKeysOfUnknownOrder(table.target, header_);
            if (columns.empty())
                continue;
            const TableDef &def = table.source->def;
            forEachRowValues(
                source_.file(), def, table.source->name, ForeignPages::Fail,
                [&](const TableScan &, std::vector<Value> &values) {
                    for (const ColumnDef *column : columns) {
                        const ColumnDef *from = def.columnByNumber(column->number);
                        if (from && !keyableUnderUnknownOrder(values[from->position]))
                            throw Error(ErrorKind::Unsupported,
                                        "テーブル '" + table.source->name + "' の列 '" + column->name +
                                            "' の索引に、並べ替え順序 " +
                                            keys::lcidText(column->collation ? column->collation : header_.sortOrder) +
                                            " では索引のキーを計算できない文字があるため、形式を変換できません。");
                    }
                });
        }
    }

    void prepareSids()
    {
        if (header_.version == JetVersion::Jet4)
            sourceStream_ = recoverSidStream(header_.creationDate.value_or(0), storedSids(source_));
        if (!jet3_) {
            targetStream_ = upgradeStream().stream;
            creationDate_ = upgradeStream().creationDate;
        }
    }

    void placeDefinitions()
    {
        for (PlannedTable &table : planned_) {
            const std::vector<std::uint8_t> sized = buildTableDef(describeTable(table.target, table.source->name),
                                                                  emptyPlacement(table.target), target_, codePage_);
            for (std::size_t i = chainLength(sized.size(), format_.pageSize); i > 0; --i)
                table.chain.push_back(allocator_.allocate());
            ids_.add(table.source->def.firstPage, table.chain.front());
        }
        if (planned_.empty() || planned_.front().chain.front() != kCatalogTableDefPage)
            throw Error(ErrorKind::Damaged, "MSysObjects の定義を 2 ページ目に置けません。");
        Catalog kept = source_.catalog();
        std::erase_if(kept.objects, [&](const CatalogObject &object) { return removedIds_.count(object.id) != 0; });
        ids_.requireComplete(kept);
        ids_.settleStaleIds(source_);
    }

    // ---- one table ----

    ConvertedTable convertOne(const PlannedTable &table, std::function<void(std::uint64_t)> progress)
    {
        const std::string &name = table.source->name;
        const TableDef &def = table.source->def;
        const Normaliser normalise = sourceNormaliser(name, def);
        ExpectedConvertedTable expected{name, table.chain.front(), {}, std::nullopt, table.skippedColumns};
        ValueDigester digester(def, table.skippedColumns);
        TableConversion conversion{
            source_,
            name,
            def,
            table.target,
            table.chain.front(),
            allocator_,
            pages_,
            settings_.spillFolder,
            settings_.sortBudget,
            rowFilter(name, def),
            transformer(name, def),
            [&](const std::vector<Value> &values) { expected.digest.add(digester.digest(values, normalise)); },
            std::move(progress)};
        ConvertedTable result = convertTable(conversion);
        outcome_.repairs += faultyIndexes(name, def, result);
        if (result.rowsLeftOut == 0)
            expected.storedRows = bindingRowCount(name, def.rowCount);
        outcome_.expected.push_back(std::move(expected));
        outcome_.rows += result.rows;
        if (table.source->kind != TableKind::System) {
            ++outcome_.userTables;
            outcome_.userRows += result.rows;
        }
        return result;
    }

    // A table left out may still be damaged: a fault the copy does not repeat.
    std::uint32_t unreadable(const write::SourceTable &table) const
    {
        try {
            forEachRowValues(source_.file(), table.def, table.name, ForeignPages::Fail,
                             [](const TableScan &, std::vector<Value> &) {});
            return 0;
        } catch (const Error &) {
            return 1;
        }
    }

    // The source's indexes are not needed for the copy, but a damaged one is a
    // fault of the source the user is told about, as a compaction does.
    std::uint32_t faultyIndexes(const std::string &name, const TableDef &def, const ConvertedTable &copy) const
    {
        std::uint32_t faults = 0;
        for (std::size_t i = 0; i < def.realIndexes.size() && i < copy.indexes.size(); ++i) {
            std::uint64_t entries = 0;
            try {
                walkIndex(source_.file(), def.realIndexes[i], "テーブル '" + name + "' の索引",
                          [&](const IndexEntry &) { ++entries; });
            } catch (const Error &) {
                ++faults;
                continue;
            }
            // With rows left out on purpose the counts differ anyway; a tree
            // that cannot be walked still counts.
            faults += copy.rowsLeftOut == 0 && entries != copy.indexes[i].entries;
        }
        return faults;
    }

    // Rows of MSysObjects and MSysACEs about objects the copy leaves out.
    std::function<bool(const std::vector<Value> &)> rowFilter(const std::string &name, const TableDef &def) const
    {
        if (removedIds_.empty())
            return {};
        const ColumnDef *id = name == "MSysObjects" ? def.columnByName("Id")
                              : name == "MSysACEs"  ? def.columnByName("ObjectId")
                                                    : nullptr;
        if (!id)
            return {};
        const std::size_t at = id->position;
        return [this, at](const std::vector<Value> &values) {
            return values[at].kind != Value::Kind::Integer ||
                   !removedIds_.count(static_cast<std::uint32_t>(values[at].integer));
        };
    }

    std::set<std::uint16_t> idColumnNumbers(const std::string &name, const TableDef &def) const
    {
        std::set<std::uint16_t> numbers;
        for (const ColumnDef *column : write::objectIdColumns(name, def))
            numbers.insert(column->number);
        return numbers;
    }

    static bool isSid(const ColumnDef &column, const std::string &table)
    {
        return isColumn(column, "MSysACEs", table, "SID") || isColumn(column, "MSysObjects", table, "Owner");
    }
    static bool isProperties(const ColumnDef &column, const std::string &table)
    {
        return isColumn(column, "MSysObjects", table, "LvProp");
    }
    static bool hasBytes(const Value &value) { return value.kind == Value::Kind::Binary && !value.bytes.empty(); }

    std::vector<std::uint8_t> plainSid(const Value &value, const std::string &where) const
    {
        return header_.version == JetVersion::Jet4 ? applySidStream(sourceStream_, value.bytes, where) : value.bytes;
    }

    std::function<void(const ColumnDef &, Value &)> transformer(const std::string &name, const TableDef &def) const
    {
        const std::set<std::uint16_t> ids = idColumnNumbers(name, def);
        const std::string where = "テーブル '" + name + "'";
        return [this, ids, name, where](const ColumnDef &column, Value &value) {
            if (ids.count(column.number) && value.kind == Value::Kind::Integer)
                value.integer = static_cast<std::int32_t>(ids_.map(static_cast<std::uint32_t>(value.integer)));
            else if (isSid(column, name) && hasBytes(value)) {
                std::vector<std::uint8_t> plain = plainSid(value, where);
                value.bytes = jet3_ ? std::move(plain) : applySidStream(targetStream_, plain, where);
            } else if (isProperties(column, name) && hasBytes(value))
                value.bytes = convertPropertyBlob(value.bytes, header_.version, target_, codePage_, where);
        };
    }

    Normaliser sourceNormaliser(const std::string &name, const TableDef &def) const
    {
        const std::set<std::uint16_t> ids = idColumnNumbers(name, def);
        const std::string where = "テーブル '" + name + "'";
        return [this, ids, name, where](const ColumnDef &column, Value &value) {
            if (ids.count(column.number) && value.kind == Value::Kind::Integer)
                value.integer = static_cast<std::int32_t>(ids_.map(static_cast<std::uint32_t>(value.integer)));
            else if (isSid(column, name) && hasBytes(value))
                value.bytes = plainSid(value, where);
            else if (isProperties(column, name) && hasBytes(value))
                value.bytes = neutralPropertyBlob(value.bytes, header_.version, codePage_, where);
        };
    }

    // The copy's values in the same terms: SIDs plain, property blobs neutral.
    std::function<Normaliser(const std::string &)> copyNormaliser() const
    {
        const JetVersion target = target_;
        const SidStream stream = targetStream_;
        const unsigned codePage = codePage_;
        return [=](const std::string &table) -> Normaliser {
            const std::string where = "テーブル '" + table + "'";
            return [=](const ColumnDef &column, Value &value) {
                if (isSid(column, table) && hasBytes(value) && target == JetVersion::Jet4)
                    value.bytes = applySidStream(stream, value.bytes, where);
                else if (isProperties(column, table) && hasBytes(value))
                    value.bytes = neutralPropertyBlob(value.bytes, target, codePage, where);
            };
        };
    }

    // ---- definitions and maps ----

    void writeDefinitions(const std::vector<ConvertedTable> &converted)
    {
        write::UsageMapPlacer maps(format_, allocator_, pages_);
        for (std::size_t t = 0; t < planned_.size(); ++t) {
            const PlannedTable &table = planned_[t];
            const ConvertedTable &copy = converted[t];
            TableDescription description = describeTable(table.target, table.source->name);
            description.rowCount = static_cast<std::uint32_t>(copy.rows);
            if (table.target.autoNumberColumn())
                description.autoNumber =
                    static_cast<std::uint32_t>(std::max<std::int64_t>(0, copy.largestAutoNumber.value_or(0)));
            TablePlacement placement = emptyPlacement(table.target);
            placement.ownedPages = RowId::fromRowRef(maps.place(copy.dataPages));
            placement.freePages = RowId::fromRowRef(maps.place(copy.dataPagesWithRoom));
            for (std::size_t i = 0; i < copy.indexes.size(); ++i) {
                placement.indexMaps[i] = RowId::fromRowRef(maps.place(copy.indexes[i].pages));
                placement.indexRoots[i] = copy.indexes[i].root;
                description.realIndexes[i].uniqueCount = static_cast<std::uint32_t>(copy.indexes[i].distinctKeys);
            }
            for (std::size_t i = 0; i < table.target.logicalIndexes.size(); ++i) {
                const LogicalIndexDef &index = table.target.logicalIndexes[i];
                if (index.otherTable != 0)
                    placement.otherTables[i] = otherTable(table, index);
            }
            for (std::size_t i = 0; i < copy.longValueColumns.size(); ++i)
                placement.longValueMaps[i] = {RowId::fromRowRef(maps.place(copy.longValueColumns[i].ownedPages)),
                                              RowId::fromRowRef(maps.place(copy.longValueColumns[i].pagesWithRoom))};
            const std::vector<std::uint8_t> buffer = buildTableDef(description, placement, target_, codePage_);
            if (chainLength(buffer.size(), format_.pageSize) != table.chain.size())
                throw Error(ErrorKind::Argument, "テーブル '" + table.source->name + "' の定義の長さが変わりました。");
            const auto pages = splitDefinition(buffer, format_, table.chain);
            for (std::size_t i = 0; i < pages.size(); ++i)
                pages_.write(table.chain[i], pages[i]);
        }
        maps.finish();
    }

    PageNumber otherTable(const PlannedTable &table, const LogicalIndexDef &index) const
    {
        if (!ids_.namesTable(index.otherTable))
            throw Error(ErrorKind::Damaged, "テーブル '" + table.source->name + "' の索引 '" + index.name +
                                                "' の関連先 " + std::to_string(index.otherTable) +
                                                " はテーブル定義ではありません。");
        return ids_.map(index.otherTable);
    }

    void requireWithinFileLimit() const
    {
        const std::uint64_t bytes = std::uint64_t(allocator_.pageCount()) * format_.pageSize;
        const std::uint64_t limit = jet3_ ? kJet3MaxFileBytes : kJet4MaxFileBytes;
        if (bytes > limit)
            throw Error(ErrorKind::Unsupported, std::string("変換したデータベースは ") + std::to_string(bytes >> 20) +
                                                    " MiB になり、" + (jet3_ ? "Jet 3.x" : "Jet 4.x") +
                                                    " 形式の上限を超えるため、形式を変換できません。");
    }

    const Database &source_;
    const DatabaseHeader &header_;
    const ConversionSettings &settings_;
    JetVersion target_;
    bool jet3_;
    const FormatConstants &format_;
    unsigned codePage_;
    std::vector<write::SourceTable> tables_;
    std::vector<PlannedTable> planned_;
    std::set<std::uint32_t> removedIds_;
    bool leavesOutAccessObjects_ = false;
    write::PageAllocator allocator_;
    write::EncodedPageWriter pages_;
    write::ObjectIdMap ids_;
    SidStream sourceStream_;
    SidStream targetStream_;
    double creationDate_ = 0;
    ConversionOutcome outcome_;
};

}  // namespace

ConversionOutcome writeConvertedCopy(const Database &source, write::PageOutput &out, const ConversionSettings &settings)
{
    return Converter(source, out, settings).run();
}

}  // namespace jet::convert
