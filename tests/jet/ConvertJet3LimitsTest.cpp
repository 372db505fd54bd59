// What refuses a Jet 4 → Jet 3 conversion: by hand-made cases, and over the
// shared Jet 4 files, where exactly the files the study names are refused.
#include "JetTestFiles.h"

#include "jet/Database.h"
#include "jet/convert/Jet3Limits.h"
#include "jet/convert/TableRetarget.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

namespace {

jet::convert::ColumnDescription column(const std::string &name, jet::ColumnType type, std::uint16_t size)
{
    jet::convert::ColumnDescription out;
    out.name = name;
    out.type = type;
    out.size = size;
    return out;
}

std::vector<jet::convert::Refusal> refusalsOf(const jet::Database &db, const jet::TableEntry &table)
{
    const jet::TableDef def = db.tableDef(table);
    std::vector<jet::convert::Refusal> refusals =
        jet::convert::checkJet3Definition(jet::convert::describeTable(def, table.name), db.header().codePage);
    const jet::TableDef jet3 = jet::convert::retargetTableDef(def, jet::JetVersion::Jet3);
    jet::convert::Jet3ValueCheck check(jet3, db.header().codePage, table.name);
    std::vector<jet::Value> values;
    db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
        check.addRow(values, {decoder.columns().storedColumnCount, decoder.columns().storedVariableCount});
    });
    for (jet::convert::Refusal &refusal : check.refusals())
        refusals.push_back(std::move(refusal));
    return refusals;
}

}  // namespace

TEST(ConvertJet3Limits, DefinitionsNameTableAndColumn)
{
    jet::convert::TableDescription table;
    table.name = "注文";
    table.columns = {column("Amount", jet::ColumnType::Decimal, 17), column("Sid", jet::ColumnType::Binary, 510),
                     column("Data", jet::ColumnType::Unknown11, 3992), column("名前", jet::ColumnType::Text, 50),
                     column("Ok", jet::ColumnType::Binary, 255)};
    const auto refusals = jet::convert::checkJet3Definition(table, 1252);
    ASSERT_EQ(refusals.size(), 5u);  // table name, three columns, one column name
    EXPECT_EQ(refusals[0].column, "");
    EXPECT_EQ(refusals[1].message, "テーブル '注文' の列 'Amount' は十進型 (Decimal) のため、Jet 3.x 形式に変換できません。");
    EXPECT_EQ(refusals[2].column, "Sid");
    EXPECT_EQ(refusals[3].column, "Data");
    EXPECT_EQ(refusals[4].column, "名前");
    EXPECT_TRUE(jet::convert::checkJet3Definition(table, 932).size() == 3u);  // Japanese names fit 932
}

TEST(ConvertJet3Limits, ValuesCountedPerColumnAndRowLengthWithLongValuesOutside)
{
    // T (Text), M (Memo), then nine Text columns that together overfill a row.
    jet::TableDef def;
    def.version = jet::JetVersion::Jet3;
    def.pageSize = 2048;
    for (std::uint16_t n = 0; n < 11; ++n) {
        jet::ColumnDef c;
        c.name = n == 0 ? "T" : n == 1 ? "M" : "X" + std::to_string(n);
        c.type = n == 1 ? jet::ColumnType::Memo : jet::ColumnType::Text;
        c.number = c.varIndex = n;
        c.position = n;
        def.columns.push_back(c);
    }
    def.variableColumns = def.maxColumns = 11;
    jet::convert::Jet3ValueCheck check(def, 1252, "Tbl");
    std::vector<jet::Value> values(11);
    for (jet::Value &value : values)
        value.kind = jet::Value::Kind::Text;
    values[1].text = std::string(5000, 'm');  // leaves the row: fine
    for (const char *text : {"ok", "中国", "é", "普"}) {
        values[0].text = text;
        check.addRow(values, {11, 11});
    }
    values[0].text = "ok";
    for (std::size_t i = 2; i < 11; ++i)
        values[i].text = std::string(240, 'x');
    check.addRow(values, {11, 11});
    auto refusals = check.refusals();
    ASSERT_EQ(refusals.size(), 2u);
    EXPECT_EQ(refusals[0].message,
              "テーブル 'Tbl' の列 'T' に、Jet 3.x 形式のコード ページ 1252 で表せない文字があります（2 件、最初は U+4E2D）。");
    EXPECT_EQ(refusals[1].column, "");
    EXPECT_NE(refusals[1].message.find("行 1 件"), std::string::npos) << refusals[1].message;

    jet::convert::Jet3ValueCheck doubleByte(def, 932, "Tbl");
    std::fill(values.begin() + 2, values.end(), jet::Value{});
    values[0].text.clear();
    for (int i = 0; i < 128; ++i)
        values[0].text += "\xE3\x81\x82";  // あ: 2 bytes in 932, 256 in all
    doubleByte.addRow(values, {11, 11});
    refusals = doubleByte.refusals();
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_EQ(refusals[0].column, "T");
}

TEST(ConvertJet3Limits, SharedJet4FilesRefusedForTheStudiedReasons)
{
    SKIP_WITHOUT_TESTDATA();
    std::set<std::string> refused;
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        const auto db = jet::Database::open(file.path(), file.password);
        if (db->file().version() != jet::JetVersion::Jet4)
            continue;
        for (const jet::TableEntry &table : db->catalog().tables) {
            if (table.kind != jet::TableKind::User)
                continue;
            for (const jet::convert::Refusal &refusal : refusalsOf(*db, table)) {
                refused.insert(file.name);
                std::cout << file.name << ": " << refusal.message << "\n";
            }
        }
    }
    const std::set<std::string> expected = {
        "jackcess__V2000_fixedNumericTestV2000.mdb", "jackcess__V2003_fixedNumericTestV2003.mdb",
        "tika__testAccess2_2000.mdb", "ucanaccess__functionsV2000.mdb"};
    for (const std::string &name : refused)
        EXPECT_TRUE(expected.count(name)) << "refused: " << name;
    for (const std::string &name : expected)
        EXPECT_TRUE(refused.count(name)) << name;
}
