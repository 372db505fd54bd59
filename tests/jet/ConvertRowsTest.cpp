// Row and text encoding against every stored row of the shared test files:
// decode → encode in the same format gives the stored bytes, and decode →
// encode in the other format → decode gives the same values.
#include "JetTestFiles.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/convert/RowEncoder.h"
#include "jet/convert/TableRetarget.h"
#include "jet/convert/TextTranscode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <set>

namespace {

// Only the fields of the value's kind count: a decoder reusing its values
// leaves stale numbers in the others.
bool sameValue(const jet::Value &a, const jet::Value &b)
{
    using Kind = jet::Value::Kind;
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case Kind::Null: return true;
    case Kind::Boolean: return a.boolean == b.boolean;
    case Kind::Integer:
    case Kind::Currency: return a.integer == b.integer;
    case Kind::Float:
    case Kind::DateTime: return std::memcmp(&a.real, &b.real, sizeof a.real) == 0;
    case Kind::Text:
    case Kind::Decimal: return a.text == b.text;
    default: return a.bytes == b.bytes;
    }
}

bool sameValues(const std::vector<jet::Value> &a, const std::vector<jet::Value> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameValue(a[i], b[i]))
            return false;
    return true;
}

struct Tally {
    std::size_t rows = 0, jet3JumpRows = 0, exact = 0, equivalent = 0, crossRows = 0, crossRefused = 0;
    std::size_t texts = 0, textsExact = 0;
};

// The long-value fields as stored, for the same-format encoding.
std::vector<std::vector<std::uint8_t>> storedLongValueFields(const jet::TableDef &def, const jet::RowColumns &split)
{
    std::vector<std::vector<std::uint8_t>> fields(def.columns.size());
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (def.columns[i].isLongValue())
            fields[i].assign(split.columns[i].bytes.begin(), split.columns[i].bytes.end());
    return fields;
}

// Long-value fields for the row in the other format. OLE bytes do not change,
// so the stored header still leads to them through the source file. A memo
// is re-encoded; a short one is kept inline so the target row decodes it,
// a long one is checked by transcoding alone (its column then compares as
// the source's, `values` being patched) since it needs LVAL pages.
std::vector<std::vector<std::uint8_t>> convertedLongValueFields(const jet::TableDef &target,
                                                                const jet::RowColumns &split,
                                                                std::vector<jet::Value> &values,
                                                                const jet::convert::TextTarget &text,
                                                                const std::string &table)
{
    std::vector<std::vector<std::uint8_t>> fields(target.columns.size());
    for (std::size_t i = 0; i < target.columns.size(); ++i) {
        const jet::ColumnDef &column = target.columns[i];
        if (!column.isLongValue() || values[i].isNull())
            continue;
        fields[i].assign(split.columns[i].bytes.begin(), split.columns[i].bytes.end());
        if (column.type != jet::ColumnType::Memo)
            continue;
        std::vector<std::uint8_t> data;
        jet::convert::appendStoredText(text, column, values[i].text, table, data);
        if (data.size() <= 256) {
            fields[i] = jet::convert::inlineLongValueField(data);
            continue;
        }
        const std::u16string back = text.version == jet::JetVersion::Jet3
                                        ? jet::convert::jet3TextToUtf16(data, text.codePage)
                                        : jet::convert::jet4TextToUtf16(data);
        EXPECT_EQ(back, jet::convert::utf8ToUtf16(values[i].text)) << table << "." << column.name;
        values[i] = jet::Value{};
    }
    return fields;
}

void countTextEncodings(const jet::Database &db, const jet::TableDef &def, jet::RowDecoder &decoder,
                        const std::string &where, Tally &tally)
{
    for (const jet::ColumnDef &column : def.columns) {
        const jet::ColumnSlice &slice = decoder.columns().columns[column.position];
        const bool text = column.type == jet::ColumnType::Text;
        if ((!text && column.type != jet::ColumnType::Memo) || !slice.present)
            continue;
        std::vector<std::uint8_t> stored(slice.bytes.begin(), slice.bytes.end());
        if (!text) {
            const auto header = jet::parseLongValueHeader(slice.bytes, where);
            if (!header)
                continue;
            stored = jet::readLongValue(db.file(), *header, where);
        }
        std::vector<std::uint8_t> again;
        jet::convert::appendJet4Text(jet::convert::jet4TextToUtf16(stored), column.compressedUnicode(), again);
        ++tally.texts;
        tally.textsExact += again == stored;
    }
}

void roundTripTable(const jet::Database &db, const jet::TableEntry &table, Tally &tally)
{
    const jet::TableDef def = db.tableDef(table);
    const unsigned codePage = db.header().codePage;
    const jet::JetVersion other =
        def.version == jet::JetVersion::Jet3 ? jet::JetVersion::Jet4 : jet::JetVersion::Jet3;
    const jet::TableDef target = jet::convert::retargetTableDef(def, other);
    jet::convert::RowEncoder same(def, codePage, table.name);
    jet::convert::RowEncoder cross(target, codePage, table.name);
    const jet::RowLayout targetLayout(target);
    const jet::ValueContext targetContext{&db.file(), static_cast<std::uint16_t>(codePage), other};
    std::vector<jet::Value> values, crossValues, again;
    std::vector<std::uint8_t> encoded;
    jet::RowColumns split;
    db.forEachRow(def, table.name, [&](const jet::LiveRow &row, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
        const jet::convert::RowShape shape{decoder.columns().storedColumnCount, decoder.columns().storedVariableCount};
        same.encode(values, storedLongValueFields(def, decoder.columns()), shape, encoded);
        ++tally.rows;
        tally.jet3JumpRows += def.version == jet::JetVersion::Jet3 && row.bytes.size() > 256;
        if (std::equal(encoded.begin(), encoded.end(), row.bytes.begin(), row.bytes.end())) {
            ++tally.exact;
        } else {
            // Slack Access left in the row (bytes of null fixed columns, ...):
            // acceptable only when the re-encoded row decodes to the same values.
            const std::vector<jet::Value> stored = values;
            decoder.split(encoded, where);
            decoder.values(again, where);
            EXPECT_TRUE(sameValues(stored, again)) << where;
            tally.equivalent += sameValues(stored, again);
            decoder.split(row.bytes, where);
        }
        if (def.version == jet::JetVersion::Jet4)
            countTextEncodings(db, def, decoder, where, tally);
        try {
            crossValues = values;
            cross.encode(crossValues,
                         convertedLongValueFields(target, decoder.columns(), crossValues, {other, codePage}, table.name),
                         shape, encoded);
        } catch (const jet::Error &error) {
            ASSERT_EQ(error.kind(), jet::ErrorKind::Unsupported) << error.what();
            ++tally.crossRefused;
            return;
        }
        jet::splitRow(targetLayout, encoded, split, where);
        again.resize(target.columns.size());
        for (std::size_t i = 0; i < target.columns.size(); ++i)
            jet::decodeValueInto(targetContext, target.columns[i], split.columns[i], where, again[i]);
        EXPECT_TRUE(sameValues(crossValues, again)) << where << " (" << (other == jet::JetVersion::Jet3 ? "J3" : "J4") << ")";
        ++tally.crossRows;
    });
}

}  // namespace

TEST(ConvertRows, EveryUserRowReencodesInBothFormats)
{
    SKIP_WITHOUT_TESTDATA();
    Tally tally;
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const auto db = jet::Database::open(file.path(), file.password);
        for (const jet::TableEntry &table : db->catalog().tables)
            if (table.kind == jet::TableKind::User)
                roundTripTable(*db, table, tally);
    }
    std::cout << "rows " << tally.rows << " (" << tally.jet3JumpRows << " Jet 3 rows with jump bytes): " << tally.exact << " byte-identical, " << tally.equivalent
              << " equivalent; other format: " << tally.crossRows << " equal values, " << tally.crossRefused
              << " refused; Jet 4 texts " << tally.texts << ": " << tally.textsExact << " re-encoded exactly\n";
    EXPECT_EQ(tally.exact + tally.equivalent, tally.rows);
    EXPECT_GT(tally.rows, 0u);
}

TEST(ConvertText, Jet4CompressionAndJet3CodePages)
{
    using jet::convert::appendJet4Text;
    std::vector<std::uint8_t> out;
    appendJet4Text(u"ab", true, out);  // 4 bytes either way: stays plain
    EXPECT_EQ(out, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    out.clear();
    appendJet4Text(u"abc\u3078de", true, out);  // 11 bytes against 12
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xFF, 0xFE, 'a', 'b', 'c', 0, 0x78, 0x30, 0, 'd', 'e'}));
    EXPECT_EQ(jet::convert::jet4TextToUtf16(out), u"abc\u3078de");
    out.clear();
    appendJet4Text(u"abc\u3078d", true, out);  // 10 bytes either way
    EXPECT_EQ(out.size(), 10u);
    EXPECT_NE(out[0], 0xFF);
    out.clear();
    appendJet4Text(u"abc\u4E00", true, out);  // 00 4E would read as a mode switch
    EXPECT_EQ(out.size(), 8u);
    out.clear();
    appendJet4Text(u"abcd", false, out);
    EXPECT_EQ(out.size(), 8u);

    const std::uint8_t all1252[] = {0x41, 0x80, 0x81, 0x9F, 0xE9};
    const std::u16string text = jet::convert::jet3TextToUtf16(all1252, 1252);
    EXPECT_EQ(text, u"A\u20AC\u0081\u0178\u00E9");
    out.clear();
    EXPECT_FALSE(jet::convert::appendJet3Text(text, 1252, out));
    EXPECT_EQ(out, std::vector<std::uint8_t>(std::begin(all1252), std::end(all1252)));
    EXPECT_EQ(jet::convert::appendJet3Text(u"ab\u4E2D", 1252, out), 2u);
    EXPECT_EQ(jet::convert::appendJet3Text(u"\u3042\u00E9", 932, out), 1u);  // é is not in 932
}

// The test files hold one Jet 3 row past 256 bytes; these cover every jump
// count and the filler byte: the reader must give back each text whole.
TEST(ConvertRows, Jet3JumpTablesAcrossLengths)
{
    jet::TableDef def;
    def.version = jet::JetVersion::Jet3;
    def.pageSize = 2048;
    def.variableColumns = 2;
    def.maxColumns = 2;
    for (std::uint16_t n = 0; n < 2; ++n) {
        jet::ColumnDef text;
        text.name = n == 0 ? "A" : "B";
        text.type = jet::ColumnType::Text;
        text.flags = 0x02;
        text.number = text.varIndex = n;
        text.position = n;
        def.columns.push_back(text);
    }
    jet::convert::RowEncoder encoder(def, 1252, "T");
    std::vector<std::uint8_t> row;
    jet::RowColumns split;
    for (std::size_t length : {100u, 250u, 251u, 252u, 253u, 254u, 255u, 300u, 505u, 506u, 760u, 1500u, 2000u}) {
        std::vector<jet::Value> values(2);
        values[0].kind = values[1].kind = jet::Value::Kind::Text;
        values[0].text = std::string(length / 3, 'a');
        values[1].text = std::string(length - length / 3, 'b');
        encoder.encode(values, {{}, {}}, jet::convert::tableRowShape(def), row);
        jet::splitRow(def, row, split, "T");
        ASSERT_EQ(split.columns[0].bytes.size(), length / 3) << length;
        ASSERT_EQ(split.columns[1].bytes.size(), length - length / 3) << length;
        EXPECT_EQ(split.columns[1].bytes.back(), 'b');
    }
    std::vector<jet::Value> values(2);
    values[1].kind = jet::Value::Kind::Text;
    EXPECT_THROW(encoder.encode(values, {{}, {}}, {2, 1}, row), jet::Error);  // slot 1 would be dropped
}

namespace {

// A value vector as one comparable string, for multisets of rows.
std::string signature(const std::vector<jet::Value> &values)
{
    std::string out;
    for (const jet::Value &value : values) {
        out += std::to_string(static_cast<int>(value.kind)) + ":";
        if (value.kind == jet::Value::Kind::Null)
            continue;
        char number[64];
        std::snprintf(number, sizeof number, "%d,%lld,%a,", value.boolean, static_cast<long long>(value.integer),
                      value.real);
        out += number + value.text + "," + std::string(value.bytes.begin(), value.bytes.end()) + "|";
    }
    return out;
}

// Microsoft's converter kept these tables' layout (fixed offsets of variable
// columns aside, which mean nothing), so its rows are ours to match.
bool sameLayout(const jet::TableDef &ours, const jet::TableDef &theirs)
{
    if (ours.columns.size() != theirs.columns.size())
        return false;
    for (const jet::ColumnDef &column : ours.columns) {
        const jet::ColumnDef *other = theirs.columnByName(column.name);
        if (!other || other->number != column.number || other->varIndex != column.varIndex ||
            other->length != column.length || other->flags != column.flags || other->type != column.type ||
            (column.isFixed() && other->fixedOffset != column.fixedOffset))
            return false;
    }
    return true;
}

}  // namespace

// Microsoft's own down-conversions (jackcess V2000 → V1997 twins): our Jet 3
// rows for a kept layout are Microsoft's rows, byte for byte or, where its
// rows carry slack, value for value.
TEST(ConvertRows, DownConversionMatchesMicrosoftsJet3Twins)
{
    SKIP_WITHOUT_TESTDATA();
    std::size_t tables = 0, rows = 0, identical = 0;
    for (const char *twin : testdata::kTwins) {
        const std::string name(twin);
        const auto jet4 = jet::Database::open(testdata::twinPath(name, true), "");
        const auto jet3 = jet::Database::open(testdata::twinPath(name, false), "");
        for (const jet::TableEntry &table : jet4->catalog().tables) {
            const jet::TableEntry *theirsEntry = jet3->catalog().findTable(table.name);
            if (table.kind != jet::TableKind::User || !theirsEntry)
                continue;
            const jet::TableDef source = jet4->tableDef(table);
            const jet::TableDef ours = jet::convert::retargetTableDef(source, jet::JetVersion::Jet3);
            const jet::TableDef theirs = jet3->tableDef(*theirsEntry);
            if (!sameLayout(ours, theirs))
                continue;
            ++tables;
            jet::convert::RowEncoder encoder(ours, 1252, table.name);
            std::multiset<std::vector<std::uint8_t>> ourRows, theirRows;
            std::multiset<std::string> ourValues, theirValues;
            std::vector<jet::Value> values;
            std::vector<std::uint8_t> row;
            jet4->forEachRow(source, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
                decoder.values(values, where);
                encoder.encode(values, storedLongValueFields(source, decoder.columns()),
                               {decoder.columns().storedColumnCount, decoder.columns().storedVariableCount}, row);
                ourRows.insert(row);
                ourValues.insert(signature(values));
            });
            jet3->forEachRow(theirs, table.name, [&](const jet::LiveRow &live, jet::RowDecoder &decoder, const std::string &where) {
                decoder.values(values, where);
                theirRows.insert(std::vector<std::uint8_t>(live.bytes.begin(), live.bytes.end()));
                theirValues.insert(signature(values));
            });
            EXPECT_EQ(ourValues, theirValues) << name << " " << table.name;
            rows += ourRows.size();
            for (const auto &ourRow : ourRows)
                identical += theirRows.count(ourRow) > 0;
        }
    }
    std::cout << tables << " twin tables with the layout kept, " << rows << " rows, " << identical
              << " byte-identical to Microsoft's Jet 3 rows\n";
    EXPECT_GT(identical, 0u);
}
