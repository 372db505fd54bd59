// Table definitions rebuilt from their format-neutral description: every
// TDEF of every shared test file, in its own format, equals the stored bytes
// in every field the format defines.
#include "JetTestFiles.h"

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
// format's size formula (§10.9 of the reference) and the header counts sit at
// that format's offsets.
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
