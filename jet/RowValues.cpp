#include "jet/RowValues.h"

#include "jet/Error.h"
#include "jet/RowDecoder.h"

namespace jet {

void forEachRowValues(const PageFile &file, const TableDef &def, const std::string &tableName,
                      ForeignPages foreignPages,
                      const std::function<void(const TableScan &, std::vector<Value> &)> &visit)
{
    TableScan scan(file, def, tableName, foreignPages);
    RowDecoder decoder(file, def);
    const std::string where = "テーブル '" + tableName + "'";
    std::vector<Value> values;
    while (scan.next()) {
        withPlaceNamedOnError(
            where,
            [&](const std::string &place) {
                decoder.split(scan.row().bytes, place);
                decoder.values(values, place);
            },
            [&] { return scan.where(); });
        visit(scan, values);
    }
}

}  // namespace jet
