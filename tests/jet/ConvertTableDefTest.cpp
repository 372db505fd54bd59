// Table definitions rebuilt from their format-neutral description: every
// TDEF of every shared test file, in its own format, equals the stored bytes
// in every field the format defines.
#include "ReadEverything.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/convert/TableDescription.h"
#include "jet/convert/TextTranscode.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>

namespace {

// Bytes whose meaning nobody knows, which the builder writes as the common
// value: those may differ, and the test counts how often they do.
std::vector<std::string> undefinedFields(const jet::TableDef &def)
{
    const bool jet3 = def.version == jet::JetVersion::Jet3;
    const jet::FormatConstants &format = jet::formatConstants(def.version);
    std::vector<std::string> field(def.definitionLength);
    auto mark = [&](std::size_t from, std::size_t length, const char *name) {
        for (std::size_t i = from; i < from + length && i < field.size(); ++i)
            field[i] = name;
    };
    mark(2, 6, "page header (set by paging)");
    if (!jet3)
        mark(24, 16, "J4 header 0x18..0x27");
    std::size_t at = format.tdefHeaderLength;
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i, at += format.realIndexStatsLength) {
        mark(at, 4, "index statistics +0");
        if (!jet3)
            mark(at + 8, 4, "index statistics +8");
    }
    for (const jet::ColumnDef &column : def.columns) {
        if (jet3) {
            mark(column.definitionOffset + 5, 4, "J3 column 0x05..0x08");
        } else {
            mark(column.definitionOffset + 9, 2, "J4 column 0x09");
            mark(column.definitionOffset + 0x11, 4, "J4 column 0x11");
            if (column.type != jet::ColumnType::Decimal)
                mark(column.definitionOffset + 0x0D, 1, "J4 column 0x0D");
        }
    }
    for (const jet::RealIndexDef &index : def.realIndexes) {
        const std::size_t slots = index.definitionOffset + (jet3 ? 0 : 4);
        for (std::size_t slot = index.columns.size(); slot < 10; ++slot)
            mark(slots + 3 * slot + 2, 1, "unused key slot's order byte");
        if (!jet3) {
            mark(index.definitionOffset + 42, 4, "J4 real index 0x2A");
            mark(index.definitionOffset + 47, 5, "J4 real index 0x2F");
        }
    }
    for (const jet::LogicalIndexDef &index : def.logicalIndexes)
        if (!jet3)
            mark(index.definitionOffset + 24, 4, "J4 logical index 0x18");
    return field;
}

// The same description written in the other format: its length follows the
// format's size formula (docs/jet-format-writer.md §tdef.size) and the header
// counts sit at that format's offsets.
void expectOtherFormatLayout(const jet::TableDef &def, const std::string &name, unsigned codePage)
{
    const jet::JetVersion other = def.version == jet::JetVersion::Jet3 ? jet::JetVersion::Jet4 : jet::JetVersion::Jet3;
    const jet::FormatConstants &format = jet::formatConstants(other);
    const jet::convert::TableDescription table = jet::convert::describeTable(def, name);
    std::vector<std::uint8_t> built;
    try {
        built = jet::convert::buildTableDef(table, jet::convert::placementOf(def), other, codePage);
    } catch (const jet::Error &error) {
        EXPECT_EQ(other, jet::JetVersion::Jet3) << error.what();  // a name Jet 3 cannot hold
        return;
    }
    std::size_t names = 0;
    auto nameBytes = [&](const std::string &text) {
        const std::u16string units = jet::convert::utf8ToUtf16(text);
        std::vector<std::uint8_t> codePageBytes;  // double-byte code pages take two for some
        jet::convert::appendJet3Text(units, codePage, codePageBytes);
        names += other == jet::JetVersion::Jet3 ? 1 + codePageBytes.size() : 2 + 2 * units.size();
    };
    for (const auto &column : table.columns)
        nameBytes(column.name);
    for (const auto &index : table.logicalIndexes)
        nameBytes(index.name);
    const std::size_t expected = format.tdefHeaderLength +
                                 (format.realIndexStatsLength + format.realIndexDefLength) * table.realIndexes.size() +
                                 format.columnDefLength * table.columns.size() +
                                 format.logicalIndexDefLength * table.logicalIndexes.size() + names +
                                 10 * table.longValueColumns.size() + 2;
    ASSERT_EQ(built.size(), expected) << name;
    EXPECT_EQ(jet::loadLE32(&built[format.tdefRowCountOffset]), def.rowCount) << name;
    EXPECT_EQ(jet::loadLE16(&built[format.tdefNumColsOffset]), def.columns.size()) << name;
    EXPECT_EQ(jet::loadLE32(&built[format.tdefNumRealIdxOffset]), def.realIndexes.size()) << name;
    EXPECT_EQ(jet::loadLE32(&built[format.tdefFreeMapOffset]), def.freePages.toRowRef()) << name;
}

}  // namespace

TEST(ConvertTableDef, EveryStoredDefinitionRebuildsFromItsDescription)
{
    SKIP_WITHOUT_TESTDATA();
    std::size_t tables = 0;
    std::map<std::string, std::size_t> differing;  // undefined field → definitions where it differs
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const auto db = jet::Database::open(file.path(), file.password);
        for (const jet::TableEntry &table : db->catalog().tables) {
            if (!table.isLocal())
                continue;
            const jet::TableDef def = db->tableDef(table);
            const std::vector<std::uint8_t> built = jet::convert::buildTableDef(
                jet::convert::describeTable(def, table.name), jet::convert::placementOf(def), def.version,
                db->header().codePage);
            ASSERT_EQ(built.size(), def.definitionLength) << table.name;
            const std::vector<std::string> undefined = undefinedFields(def);
            std::set<std::string> seen;
            for (std::size_t i = 0; i < built.size(); ++i) {
                if (built[i] == def.bytes[i])
                    continue;
                if (undefined[i].empty())
                    ADD_FAILURE() << table.name << ": byte " << i << " built " << int(built[i]) << ", stored "
                                  << int(def.bytes[i]);
                else if (seen.insert(undefined[i]).second)
                    ++differing[undefined[i]];
            }
            ++tables;
            expectOtherFormatLayout(def, table.name, db->header().codePage);
        }
    }
    std::cout << tables << " definitions rebuilt; undefined fields that differ:";
    for (const auto &[field, count] : differing)
        std::cout << " " << field << " (" << count << ")";
    std::cout << "\n";
    EXPECT_GT(tables, 0u);
}

namespace {

bool rowLayoutKept(const jet::TableDef &source, const jet::TableDef &theirs)
{
    for (const jet::ColumnDef &column : source.columns) {
        const jet::ColumnDef *other = theirs.columnByName(column.name);
        if (!other || other->number != column.number || other->varIndex != column.varIndex ||
            (column.isFixed() && other->fixedOffset != column.fixedOffset))
            return false;
    }
    return true;
}

jet::convert::TablePlacement placementIn(const jet::TableDef &theirs, const jet::convert::TableDescription &ours)
{
    jet::convert::TablePlacement placement = jet::convert::placementOf(theirs);
    placement.otherTables.assign(ours.logicalIndexes.size(), 0);
    placement.longValueMaps.clear();
    for (std::uint16_t number : ours.longValueColumns) {
        jet::convert::TablePlacement::LongValue maps;
        for (const jet::LongValueMaps &stored : theirs.longValueMaps)
            if (stored.columnNumber == number)
                maps = {stored.ownedPages, stored.freePages};
        placement.longValueMaps.push_back(maps);
    }
    return placement;
}

}  // namespace

// A Jet 3 definition built from a Jet 4 one, put in place of Microsoft's own
// definition in its down-converted twin: our reader parses it, and it reads
// Microsoft's Jet 3 rows as the values of the Jet 4 source.
TEST(ConvertTableDef, Jet3DefinitionFromJet4ReadsMicrosoftsTwinRows)
{
    SKIP_WITHOUT_TESTDATA();
    std::size_t tables = 0, rows = 0;
    for (const char *twin : {"compIndexTest", "delTest", "indexTest", "queryTest", "test2", "test"}) {
        const std::string name(twin);
        const auto jet4 = jet::Database::open(testdata::twinPath(name, true), "");
        const std::string jet3Name = testdata::twinName(name, false);
        const auto jet3 = jet::Database::open(testdata::database(jet3Name).string(), "");
        for (const jet::TableEntry &table : jet4->catalog().tables) {
            const jet::TableEntry *theirsEntry = jet3->catalog().findTable(table.name);
            if (table.kind != jet::TableKind::User || !theirsEntry)
                continue;
            const jet::TableDef source = jet4->tableDef(table);
            const jet::TableDef theirs = jet3->tableDef(*theirsEntry);
            const jet::convert::TableDescription description = jet::convert::describeTable(source, table.name);
            if (theirs.pages.size() != 1 || theirs.realIndexes.size() != source.realIndexes.size() ||
                !rowLayoutKept(source, theirs))
                continue;  // Microsoft closed deleted-column gaps there: its rows are not ours
            const std::vector<std::uint8_t> built =
                jet::convert::buildTableDef(description, placementIn(theirs, description), jet::JetVersion::Jet3, 1252);
            ASSERT_LE(built.size(), 2048u);
            std::vector<std::uint8_t> file = testdata::loadBytes(jet3Name);
            std::fill_n(file.begin() + 2048 * theirs.firstPage, 2048, 0);
            std::copy(built.begin(), built.end(), file.begin() + 2048 * theirs.firstPage);
            const auto patched = testdata::openBytes(std::move(file));
            const jet::TableDef ours = patched->tableDef(*theirsEntry);
            ASSERT_EQ(ours.columns.size(), source.columns.size()) << table.name;
            for (std::size_t i = 0; i < ours.columns.size(); ++i) {
                EXPECT_EQ(ours.columns[i].name, source.columns[i].name);
                EXPECT_EQ(ours.columns[i].number, source.columns[i].number);
                EXPECT_EQ(ours.columns[i].varIndex, source.columns[i].varIndex);
            }
            ASSERT_EQ(ours.logicalIndexes.size(), source.logicalIndexes.size());
            for (std::size_t i = 0; i < ours.logicalIndexes.size(); ++i)
                EXPECT_EQ(ours.logicalIndexes[i].name, source.logicalIndexes[i].name);

            std::multiset<std::string> expected, read;
            std::vector<jet::Value> values;
            auto collect = [&](std::multiset<std::string> &into) {
                return [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
                    decoder.values(values, where);
                    std::string row;
                    for (const jet::Value &value : values) {
                        char number[48];
                        std::snprintf(number, sizeof number, "%lld:%a:%d", static_cast<long long>(value.integer),
                                      value.kind == jet::Value::Kind::Null ? 0.0 : value.real, value.boolean);
                        row += std::to_string(static_cast<int>(value.kind)) + ":" + value.text + ":" + number + ":" +
                               std::string(value.bytes.begin(), value.bytes.end()) + "|";
                    }
                    into.insert(row);
                };
            };
            jet4->forEachRow(source, table.name, collect(expected));
            patched->forEachRow(ours, table.name, collect(read));
            EXPECT_EQ(read, expected) << name << " " << table.name;
            rows += read.size();
            ++tables;
        }
    }
    std::cout << tables << " Jet 3 definitions built from Jet 4 read " << rows << " of Microsoft's rows\n";
    EXPECT_GT(rows, 0u);
}
