// Helpers for tests that damage databases: load a test file into memory, open
// bytes as a database, and read everything the reader knows.
#pragma once

#include "JetTestFiles.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/check/Checker.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace testdata {

inline std::vector<std::uint8_t> loadBytes(const std::string &name)
{
    std::ifstream in(database(name), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::unique_ptr<jet::Database> openBytes(std::vector<std::uint8_t> bytes, const std::string &password = "")
{
    return jet::Database::open(std::make_unique<jet::MemoryPageSource>(std::move(bytes), "damaged.mdb"), password, 32);
}

// Reads every table's rows, values and indexes; throws the first jet::Error.
inline void readEverything(const jet::Database &db)
{
    std::vector<jet::Value> values;
    for (const jet::TableEntry &table : db.catalog().tables) {
        if (table.kind == jet::TableKind::Linked)
            continue;
        const jet::TableDef def = db.tableDef(table);
        db.forEachRow(def, table.name, [&](const jet::LiveRow &, jet::RowDecoder &decoder, const std::string &where) {
            decoder.values(values, where);
        });
        for (const jet::RealIndexDef &index : def.realIndexes)
            jet::walkIndex(db.file(), index, table.name, [](const jet::IndexEntry &) {});
    }
}

// The message of the jet::Error that opening and reading everything ends in,
// or "" when all of it reads.
inline std::string firstReadError(std::vector<std::uint8_t> bytes)
{
    try {
        readEverything(*openBytes(std::move(bytes)));
    } catch (const jet::Error &error) {
        return error.what();
    }
    return "";
}

}  // namespace testdata
