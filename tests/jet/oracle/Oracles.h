// Runs the reader oracles in ../shared/oracles and parses their dumps, cached
// per file so that several tests can share one run.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace oracle {

struct TableSection {
    std::vector<std::string> columnNames;   // mdb-reader: in its column order
    std::optional<std::uint64_t> rowCount;
    std::vector<std::string> rowLines;      // JSON arrays (mdb-reader) or CSV (mdbtools)
    std::string error;                      // "!error ..." when the oracle failed
};

struct Dump {
    bool ran = false;                       // false: the oracle is not installed
    std::string failure;                    // why it could not run
    std::vector<std::string> tables;        // user tables
    std::vector<std::string> linked;        // linked tables
    std::vector<std::string> systemTables;
    std::map<std::string, TableSection> sections;  // "table NAME" / "systable NAME"
};

// mdb-reader through node ($MDB_READER_DIR); blobs in full.
const Dump &mdbReaderDump(const std::string &path, const std::string &password);
// mdbtools' table lists (mdb-tables) and row counts (mdb-count); the full
// dump-mdbtools.sh takes far longer and adds nothing a count check needs.
const Dump &mdbtoolsTables(const std::string &path);

}  // namespace oracle
