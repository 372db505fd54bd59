// libFuzzer target: open any bytes as a database, read everything the reader
// knows (catalog, definitions, rows, values, long values, indexes, usage maps)
// and run the checker. Damage must end in jet::Error or a finding, never in a
// crash, hang, read out of bounds or unbounded allocation.
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/check/Checker.h"

#include <cstdint>
#include <vector>

namespace {

void readTable(const jet::Database &db, const jet::TableEntry &table)
{
    const jet::TableDef def = db.tableDef(table);
    std::vector<jet::Value> values;
    db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
        decoder.values(values, where);
    });
    for (const jet::RealIndexDef &index : def.realIndexes)
        jet::walkIndex(db.file(), index, table.name, [](const jet::IndexEntry &) {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        auto source = std::make_unique<jet::MemoryPageSource>(std::vector<std::uint8_t>(data, data + size), "fuzz.mdb");
        const auto db = jet::Database::open(std::move(source), "", 64);
        for (const jet::TableEntry &table : db->catalog().tables) {
            try {
                if (table.kind != jet::TableKind::Linked)
                    readTable(*db, table);
            } catch (const jet::Error &) {
            }
        }
        jet::checkDatabase(*db);
    } catch (const jet::Error &) {
    }
    return 0;
}
