// Our reading of every real Jet 3 / Jet 4 test database against the two
// independent readers: the same tables, the same live row counts, and (against
// mdb-reader) the same values in every row of every table.
//
// How values are compared: integers exactly; Single and Double exactly as IEEE
// doubles (the oracle prints the shortest form that reads back to the same
// double; Single is widened to double by both); Date/Time through the oracle's
// own conversion (milliseconds = round((days - 25569) * 86,400,000), printed
// as ISO 8601), so the stored double is compared to the millisecond; Currency
// and Decimal as exact decimal strings; binary values as hex; GUIDs in the
// oracle's lower-case form. The oracle decodes Jet 3 text as Windows-1252 and
// shows the five bytes Windows leaves undefined as U+FFFD; we show them as the
// C1 controls Windows maps them to, so those compare equal.
#include "JetTestFiles.h"
#include "oracle/JsonArray.h"
#include "oracle/Oracles.h"

#include "jet/Database.h"
#include "jet/Text.h"
#include "jet/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace {

using oracle::JsonScalar;

std::string isoDate(double days)
{
    const double ms = std::floor((days - 25569.0) * 86400000.0 + 0.5);
    if (!std::isfinite(ms) || std::fabs(ms) > 8.64e15)
        return "date:invalid";
    const long long total = static_cast<long long>(ms);
    const long long dayNumber = total >= 0 ? total / 86400000 : -((-total + 86399999) / 86400000);
    const long long msOfDay = total - dayNumber * 86400000;
    const auto [year, month, day] = jet::civilDateOf(dayNumber);
    char text[64];
    if (year >= 0 && year <= 9999)
        std::snprintf(text, sizeof text, "date:%04lld", year);
    else
        std::snprintf(text, sizeof text, "date:%c%06lld", year < 0 ? '-' : '+', year < 0 ? -year : year);
    std::string out = text;
    std::snprintf(text, sizeof text, "-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", month, day, msOfDay / 3600000,
                  (msOfDay / 60000) % 60, (msOfDay / 1000) % 60, msOfDay % 1000);
    return out + text;
}

std::string hex(const std::vector<std::uint8_t> &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "hex:";
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string guidText(const std::vector<std::uint8_t> &b)
{
    char text[48];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", jet::loadLE32(b.data()),
                  jet::loadLE16(b.data() + 4), jet::loadLE16(b.data() + 6), b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

std::string currencyText(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    std::string digits = std::to_string(negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled));
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    digits.insert(digits.size() - 4, 1, '.');
    return negative ? "-" + digits : digits;
}

// Windows-1252's undefined bytes: the oracle shows U+FFFD, we the C1 control.
std::string withUndefinedAsReplacement(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next == 0x81 || next == 0x8D || next == 0x8F || next == 0x90 || next == 0x9D) {
                out += "\xEF\xBF\xBD";
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string describe(const JsonScalar &v)
{
    switch (v.kind) {
    case JsonScalar::Kind::Null: return "null";
    case JsonScalar::Kind::Boolean: return v.boolean ? "true" : "false";
    case JsonScalar::Kind::Number: return v.text;
    case JsonScalar::Kind::String: return "\"" + v.text + "\"";
    }
    return "?";
}

// Our value in the oracle's canonical form (what its JSON row would hold).
JsonScalar canonical(const jet::Value &value, const std::map<std::int64_t, std::string> *ids)
{
    using Kind = jet::Value::Kind;
    JsonScalar out;
    auto string = [&](std::string text) {
        out.kind = JsonScalar::Kind::String;
        out.text = std::move(text);
    };
    auto number = [&](double d) {
        if (std::isnan(d))
            return string("num:NaN");
        if (std::isinf(d))
            return string(d > 0 ? "num:Infinity" : "num:-Infinity");
        if (d == 0 && std::signbit(d))
            return string("num:-0");
        out.kind = JsonScalar::Kind::Number;
        out.number = d;
    };
    switch (value.kind) {
    case Kind::Null: break;
    case Kind::Boolean: out.kind = JsonScalar::Kind::Boolean; out.boolean = value.boolean; break;
    case Kind::Integer:
        if (ids && ids->count(value.integer))
            string("obj:" + ids->at(value.integer));
        else
            number(static_cast<double>(value.integer));
        break;
    case Kind::Currency: string(currencyText(value.integer)); break;
    case Kind::Float: number(value.real); break;
    case Kind::DateTime: string(isoDate(value.real)); break;
    case Kind::Text: string(value.text); break;
    case Kind::Binary: string(hex(value.bytes)); break;
    case Kind::Guid: string(guidText(value.bytes)); break;
    case Kind::Decimal: string(value.text); break;
    }
    return out;
}

// A row as a sortable key: our canonical values printed uniformly.
std::string rowKey(const std::vector<JsonScalar> &row)
{
    std::string key;
    for (const JsonScalar &v : row) {
        if (v.kind == JsonScalar::Kind::Number) {
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", v.number);
            key += text;
        } else if (v.kind == JsonScalar::Kind::String) {
            key += "\"" + withUndefinedAsReplacement(v.text) + "\"";
        } else {
            key += describe(v);
        }
        key += '\x1F';
    }
    return key;
}

// MSysObjects ids to "Parent/Child" name paths, as the oracle maps them.
std::map<std::int64_t, std::string> objectPaths(const jet::Database &db)
{
    std::map<std::int64_t, std::pair<std::int64_t, std::string>> byId;
    const jet::TableEntry *catalog = db.catalog().findTable("MSysObjects");
    const jet::TableDef def = db.tableDef(*catalog);
    std::vector<jet::Value> values;
    const auto id = def.columnByName("Id")->position, parent = def.columnByName("ParentId")->position,
               name = def.columnByName("Name")->position;
    db.forEachRow(def, "MSysObjects", [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
        byId[values[id].integer] = {values[parent].integer, values[name].isNull() ? "?" : values[name].text};
    });
    std::map<std::int64_t, std::string> paths;
    for (const auto &[objectId, entry] : byId) {
        std::vector<std::string> parts;
        std::set<std::int64_t> seen;
        auto current = byId.find(objectId);
        while (current != byId.end() && seen.insert(current->first).second) {
            parts.insert(parts.begin(), current->second.second);
            current = byId.find(current->second.first);
        }
        std::string path;
        for (std::size_t i = 0; i < parts.size(); ++i)
            path += (i ? "/" : "") + parts[i];
        paths[objectId] = path;
    }
    return paths;
}

bool isIdColumn(const std::string &table, const std::string &column)
{
    static const std::map<std::string, std::set<std::string>> idColumns = {
        {"MSysObjects", {"Id", "ParentId"}},           {"MSysACEs", {"ObjectId"}},
        {"MSysQueries", {"ObjectId"}},                 {"MSysNavPaneObjectIDs", {"Id"}},
        {"MSysNavPaneGroupToObjects", {"ObjectID"}},
    };
    const auto found = idColumns.find(table);
    return found != idColumns.end() && found->second.count(column);
}

void compareTableRows(const jet::Database &db, const jet::TableEntry &table, const oracle::TableSection &section,
                      const std::map<std::int64_t, std::string> &ids)
{
    SCOPED_TRACE("table " + table.name);
    ASSERT_TRUE(section.error.empty()) << section.error;
    const jet::TableDef def = db.tableDef(table);
    std::vector<std::size_t> order;  // our column position for each oracle column
    for (const std::string &name : section.columnNames) {
        const jet::ColumnDef *column = def.columnByName(name);
        ASSERT_NE(column, nullptr) << "column " << name;
        order.push_back(column->position);
    }
    std::multiset<std::string> ours, theirs;
    std::vector<jet::Value> values;
    db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
        std::vector<JsonScalar> row;
        for (std::size_t position : order)
            row.push_back(canonical(values[position], isIdColumn(table.name, def.columns[position].name) ? &ids : nullptr));
        ours.insert(rowKey(row));
    });
    for (const std::string &line : section.rowLines) {
        const auto row = oracle::parseJsonArray(line);
        ASSERT_TRUE(row) << line;
        theirs.insert(rowKey(*row));
    }
    EXPECT_EQ(ours.size(), theirs.size());
    std::vector<std::string> onlyOurs, onlyTheirs;
    std::set_difference(ours.begin(), ours.end(), theirs.begin(), theirs.end(), std::back_inserter(onlyOurs));
    std::set_difference(theirs.begin(), theirs.end(), ours.begin(), ours.end(), std::back_inserter(onlyTheirs));
    EXPECT_TRUE(onlyOurs.empty() && onlyTheirs.empty())
        << "first row only we read: " << (onlyOurs.empty() ? "-" : onlyOurs.front().substr(0, 300))
        << "\nfirst row only the oracle read: " << (onlyTheirs.empty() ? "-" : onlyTheirs.front().substr(0, 300));
}

std::uint64_t liveRows(const jet::Database &db, const jet::TableEntry &table)
{
    return table.isLocal() ? db.countRows(db.tableDef(table), table.name) : 0;
}

}  // namespace

TEST(OracleComparison, TablesAndLiveRowCountsMatchBothOracles)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const oracle::Dump &reader = oracle::mdbReaderDump(file.path(), file.password);
        const oracle::Dump &tools = oracle::mdbtoolsTables(file.path());
        if (!reader.ran || !tools.ran)
            GTEST_SKIP() << reader.failure << " " << tools.failure;
        const auto db = jet::Database::open(file.path(), file.password);
        std::set<std::string> user, linked, system;
        for (const jet::TableEntry &table : db->catalog().tables) {
            (table.kind == jet::TableKind::System ? system : table.isLocal() ? user : linked).insert(table.name);
            const std::uint64_t rows = liveRows(*db, table);
            for (const oracle::Dump *dump : {&reader, &tools}) {
                const bool isSystem = table.kind == jet::TableKind::System;
                const auto section = dump->sections.find((isSystem ? "systable " : "table ") + table.name);
                if (section == dump->sections.end() || !section->second.rowCount)
                    continue;
                EXPECT_EQ(rows, *section->second.rowCount) << table.name << (dump == &tools ? " (mdbtools)" : " (mdb-reader)");
            }
        }
        for (const oracle::Dump *dump : {&reader, &tools}) {
            EXPECT_EQ(user, std::set<std::string>(dump->tables.begin(), dump->tables.end()));
            EXPECT_EQ(linked, std::set<std::string>(dump->linked.begin(), dump->linked.end()));
        }
        EXPECT_EQ(system, std::set<std::string>(reader.systemTables.begin(), reader.systemTables.end()));
        for (const std::string &name : reader.tables)
            EXPECT_TRUE(reader.sections.at("table " + name).rowCount) << name << " has no row count in mdb-reader's dump";
    }
}

TEST(OracleComparison, RowValuesMatchMdbReaderInEveryTable)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const oracle::Dump &reader = oracle::mdbReaderDump(file.path(), file.password);
        if (!reader.ran)
            GTEST_SKIP() << reader.failure;
        const auto db = jet::Database::open(file.path(), file.password);
        const auto ids = objectPaths(*db);
        for (const jet::TableEntry &table : db->catalog().tables) {
            if (!table.isLocal())
                continue;
            const bool isSystem = table.kind == jet::TableKind::System;
            const auto section = reader.sections.find((isSystem ? "systable " : "table ") + table.name);
            ASSERT_NE(section, reader.sections.end()) << table.name;
            // The oracle cannot read some system tables (e.g. MSysAccessObjects: "Unsupported
            // column type"); there is nothing to compare with.
            if (isSystem && !section->second.error.empty())
                continue;
            compareTableRows(*db, table, section->second, ids);
        }
    }
}
