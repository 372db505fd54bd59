// dump: each table's schema, then its rows in physical order, as JSON lines.
//   {"table":"T","columns":[{"name":"ID","type":"Long","length":4,"flags":7}, ...],"rowCount":N}
//   {"table":"T","row":[1,"text",null,true,"2001-02-03 04:05:06", ...]}
// Values: numbers for integer and floating types (shortest exact form),
// strings for text, "hex:..." for binary, "{GUID}", decimal and currency as
// exact decimal strings, date/time as "YYYY-MM-DD HH:MM:SS".
#include "app/jettool/Commands.h"
#include "app/jettool/Json.h"

#include "jet/Database.h"

#include <charconv>

namespace jettool {

namespace {

std::string number(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string currencyText(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    digits.insert(digits.size() - 4, 1, '.');
    return negative ? "-" + digits : digits;
}

std::string valueJson(const jet::Value &value)
{
    using Kind = jet::Value::Kind;
    switch (value.kind) {
    case Kind::Null: return "null";
    case Kind::Boolean: return value.boolean ? "true" : "false";
    case Kind::Integer: return std::to_string(value.integer);
    case Kind::Currency: return jsonString(currencyText(value.integer));
    case Kind::Float: return number(value.real);
    case Kind::DateTime: return jsonString(jet::formatDateTime(value.real));
    case Kind::Text: return jsonString(value.text);
    case Kind::Binary: return jsonString(hexText(value.bytes));
    case Kind::Guid: return jsonString(jet::formatGuid(value.bytes));
    case Kind::Decimal: return jsonString(value.text);
    }
    return "null";
}

void dumpTable(const jet::Database &db, const jet::TableEntry &table, std::ostream &out)
{
    const std::string name = jsonString(table.name);
    if (table.kind == jet::TableKind::Linked) {
        out << "{\"table\":" << name << ",\"linked\":true}\n";
        return;
    }
    const jet::TableDef def = db.tableDef(table);
    out << "{\"table\":" << name << ",\"columns\":[";
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const jet::ColumnDef &column = def.columns[i];
        out << (i ? "," : "") << "{\"name\":" << jsonString(column.name) << ",\"type\":\""
            << jet::columnTypeName(column.type) << "\",\"length\":" << column.length
            << ",\"flags\":" << unsigned(column.flags) << "}";
    }
    out << "],\"rowCount\":" << def.rowCount << "}\n";
    if (table.kind == jet::TableKind::LinkedOdbc)
        return;
    std::vector<jet::Value> values;
    db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
        out << "{\"table\":" << name << ",\"row\":[";
        for (std::size_t i = 0; i < values.size(); ++i)
            out << (i ? "," : "") << valueJson(values[i]);
        out << "]}\n";
    });
}

}  // namespace

int runDump(const Options &options, std::ostream &out)
{
    const auto db = jet::Database::open(options.files.at(0), options.password.value_or(std::string()));
    for (const jet::TableEntry &table : db->catalog().tables) {
        if (table.kind == jet::TableKind::System && !options.includeSystemTables)
            continue;
        dumpTable(*db, table, out);
    }
    return 0;
}

}  // namespace jettool
