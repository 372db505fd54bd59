// A Jet 3 / Jet 4 database opened for reading: the page file, its catalog and
// convenient access to each table's definition and rows. The entry point for
// the checker, the tools and the compactor.
#pragma once

#include "jet/Catalog.h"
#include "jet/PageFile.h"
#include "jet/RowDecoder.h"
#include "jet/TableDef.h"
#include "jet/TableScan.h"

#include <functional>
#include <memory>
#include <string>

namespace jet {

class Database {
public:
    // Opens read-only and reads the catalog. Throws jet::Error (see PageFile::open;
    // Damaged when the catalog cannot be read).
    static std::unique_ptr<Database> open(const std::string &path, const std::string &password,
                                          std::size_t cachePages = PageFile::kDefaultCachePages);
    static std::unique_ptr<Database> open(std::unique_ptr<PageSource> source, const std::string &password,
                                          std::size_t cachePages = PageFile::kDefaultCachePages);

    const PageFile &file() const { return *file_; }
    const DatabaseHeader &header() const { return file_->header(); }
    const Catalog &catalog() const { return catalog_; }

    // The definition of a local or ODBC-linked table (throws for Linked ones).
    TableDef tableDef(const TableEntry &table) const;

    // Calls `visit` for every live row of `def` in physical order, with the row
    // and a decoder already holding its split columns.
    void forEachRow(const TableDef &def, const std::string &tableName,
                    const std::function<void(const LiveRow &, RowDecoder &, const std::string &where)> &visit) const;

    // Live rows of a table, counted by a scan.
    std::uint64_t countRows(const TableDef &def, const std::string &tableName) const;

private:
    explicit Database(std::unique_ptr<PageFile> file);

    std::unique_ptr<PageFile> file_;
    Catalog catalog_;
};

}  // namespace jet
