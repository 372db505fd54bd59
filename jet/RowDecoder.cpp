#include "jet/RowDecoder.h"

namespace jet {

RowDecoder::RowDecoder(const PageFile &file, const TableDef &def) : def_(def), layout_(def)
{
    context_.file = &file;
    context_.codePage = file.header().codePage;
    context_.version = file.version();
}

const RowColumns &RowDecoder::split(ByteSpan row, const std::string &where)
{
    splitRow(layout_, row, columns_, where);
    return columns_;
}

Value RowDecoder::value(const ColumnDef &column, const std::string &where) const
{
    return decodeValue(context_, column, columns_.columns.at(column.position), where);
}

void RowDecoder::values(std::vector<Value> &out, const std::string &where) const
{
    out.resize(def_.columns.size());
    for (std::size_t i = 0; i < def_.columns.size(); ++i)
        decodeValueInto(context_, def_.columns[i], columns_.columns[i], where, out[i]);
}

std::vector<LongValueField> RowDecoder::longValueFields(const std::string &where) const
{
    std::vector<LongValueField> fields;
    for (std::size_t i = 0; i < def_.columns.size(); ++i) {
        const ColumnDef &column = def_.columns[i];
        const ColumnSlice &slice = columns_.columns[i];
        if (!column.isLongValue() || !slice.present)
            continue;
        const auto header = parseLongValueHeader(slice.bytes, where + " 列 '" + column.name + "'");
        if (header)
            fields.push_back({&column, slice.offset, *header});
    }
    return fields;
}

}  // namespace jet
