#include "jet/convert/ValueDigest.h"

#include "jet/Error.h"
#include "jet/RowValues.h"

#include <algorithm>
#include <cstring>

namespace jet::convert {

namespace {

void addByte(write::DigestStream &hash, std::uint8_t byte)
{
    hash.add(&byte, 1);
}

void addBytes(write::DigestStream &hash, const std::uint8_t *data, std::size_t size)
{
    hash.addSize(size);
    hash.add(data, size);
}

// Only the fields of the value's kind: a decoder reusing its values leaves
// stale numbers in the others.
void addValue(write::DigestStream &hash, const Value &value)
{
    using Kind = Value::Kind;
    addByte(hash, static_cast<std::uint8_t>(value.kind));
    switch (value.kind) {
    case Kind::Null: break;
    case Kind::Boolean: addByte(hash, value.boolean ? 1 : 0); break;
    case Kind::Integer:
    case Kind::Currency: hash.addSize(static_cast<std::uint64_t>(value.integer)); break;
    case Kind::Float:
    case Kind::DateTime: {
        std::uint64_t bits;
        std::memcpy(&bits, &value.real, sizeof bits);
        hash.addSize(bits);
        break;
    }
    case Kind::Text:
    case Kind::Decimal:
        addBytes(hash, reinterpret_cast<const std::uint8_t *>(value.text.data()), value.text.size());
        break;
    case Kind::Binary:
    case Kind::Guid: addBytes(hash, value.bytes.data(), value.bytes.size()); break;
    }
}

}  // namespace

ValueDigester::ValueDigester(const TableDef &def, std::span<const std::uint16_t> skippedColumns)
    : columnCount_(def.columns.size())
{
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (std::find(skippedColumns.begin(), skippedColumns.end(), def.columns[i].number) == skippedColumns.end())
            order_.push_back({i, &def.columns[i]});
    // Display order is the user's to change; the number is what a column is.
    std::stable_sort(order_.begin(), order_.end(),
                     [](const Digested &a, const Digested &b) { return a.column->number < b.column->number; });
}

std::uint64_t ValueDigester::digest(const std::vector<Value> &values, const Normaliser &normalise)
{
    if (values.size() != columnCount_)
        throw Error(ErrorKind::Argument, "値の数 (" + std::to_string(values.size()) + ") が列の数 (" +
                                             std::to_string(columnCount_) + ") と一致しません。");
    write::DigestStream hash;
    for (const Digested &digested : order_) {
        const Value *value = &values[digested.index];
        if (normalise) {
            scratch_ = *value;
            normalise(*digested.column, scratch_);
            value = &scratch_;
        }
        hash.addSize(digested.column->number);
        addValue(hash, *value);
    }
    return write::spreadDigest(hash.value());
}

std::uint64_t digestValues(const TableDef &def, const std::vector<Value> &values, const Normaliser &normalise,
                           std::span<const std::uint16_t> skippedColumns)
{
    return ValueDigester(def, skippedColumns).digest(values, normalise);
}

write::TableDigest digestTableValues(const Database &db, const std::string &tableName, PageNumber definitionPage,
                                     const Normaliser &normalise, std::span<const std::uint16_t> skippedColumns)
{
    TableEntry entry;
    entry.name = tableName;
    entry.definitionPage = definitionPage;
    const TableDef def = db.tableDef(entry);
    ValueDigester digester(def, skippedColumns);
    write::TableDigest digest;
    forEachRowValues(db.file(), def, tableName, ForeignPages::Fail, [&](const TableScan &, std::vector<Value> &values) {
        digest.add(digester.digest(values, normalise));
    });
    return digest;
}

}  // namespace jet::convert
