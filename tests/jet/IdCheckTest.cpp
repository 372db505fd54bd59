// The checker's object-id checks on Northwind with ids bent on purpose: each
// wrong id is a problem naming what it should name.
#include "ReadEverything.h"

#include "jet/DataPage.h"

#include <gtest/gtest.h>

using testdata::loadBytes;
using testdata::openBytes;

namespace {

std::string problems(const jet::CheckReport &report)
{
    std::string text;
    for (const jet::Finding &finding : report.findings)
        if (finding.severity == jet::Finding::Severity::Problem)
            text += finding.format() + "\n";
    return text;
}

// Where in the file the Long `column` of the first row of `table` whose
// value satisfies `wanted` is stored.
template <typename Wanted>
std::size_t fileOffsetOf(const jet::Database &db, const std::string &table, const std::string &column, Wanted wanted)
{
    const jet::TableDef def = db.tableDef(*db.catalog().findTable(table));
    const jet::ColumnDef *target = def.columnByName(column);
    const auto position = static_cast<std::size_t>(target - def.columns.data());
    std::size_t found = 0;
    db.forEachRow(def, table, [&](const jet::LiveRow &row, jet::RowDecoder &decoder, const std::string &where) {
        if (found || !wanted(decoder.value(*target, where).integer))
            return;
        jet::PageHandle keep;
        const jet::ByteSpan stored = jet::readRow(db.file(), row.dataAt, keep, where);
        found = row.dataAt.page * std::size_t{db.file().pageSize()} +
                static_cast<std::size_t>(stored.data() - keep->bytes.data()) +
                decoder.columns().columns[position].offset;
    });
    EXPECT_NE(found, 0u) << table << "." << column;
    return found;
}

constexpr std::uint32_t kNoObject = 0x00777777;

}  // namespace

TEST(IdCheck, WrongObjectIdsAreProblems)
{
    SKIP_WITHOUT_TESTDATA();
    const auto bytes = loadBytes("northwind-glogue__Northwind.mdb");
    const auto pristine = openBytes(bytes);
    ASSERT_TRUE(jet::checkDatabase(*pristine).clean());
    const std::uint32_t pageSize = pristine->file().pageSize();
    const jet::TableEntry *orders = pristine->catalog().findTable("Orders");
    const jet::TableEntry *customers = pristine->catalog().findTable("Customers");

    auto aceToNothing = bytes;
    jet::storeLE32(aceToNothing.data() + fileOffsetOf(*pristine, "MSysACEs", "ObjectId",
                                                      [&](std::int64_t id) { return id == orders->definitionPage; }),
                   kNoObject);
    EXPECT_NE(problems(jet::checkDatabase(*openBytes(aceToNothing))).find(std::to_string(kNoObject)), std::string::npos);

    auto sharedId = bytes;
    jet::storeLE32(sharedId.data() + fileOffsetOf(*pristine, "MSysObjects", "Id",
                                                  [&](std::int64_t id) { return id == orders->definitionPage; }),
                   customers->definitionPage);
    EXPECT_NE(problems(jet::checkDatabase(*openBytes(sharedId))).find("ID が同じ"), std::string::npos);

    const jet::TableDef def = pristine->tableDef(*orders);
    for (const jet::LogicalIndexDef &index : def.logicalIndexes) {
        if (index.foreignKeyRole == 0)
            continue;
        auto foreignToNothing = bytes;
        const auto at = def.locate(index.otherTableOffset);
        ASSERT_TRUE(at);
        jet::storeLE32(foreignToNothing.data() + at->page * pageSize + at->offsetInPage, kNoObject);
        EXPECT_NE(problems(jet::checkDatabase(*openBytes(foreignToNothing))).find("相手テーブル"), std::string::npos);
        return;
    }
    ADD_FAILURE() << "Orders takes part in no relationship";
}
