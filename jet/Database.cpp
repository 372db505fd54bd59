#include "jet/Database.h"

#include "jet/Error.h"

namespace jet {

std::unique_ptr<Database> Database::open(const std::string &path, const std::string &password,
                                         std::size_t cachePages)
{
    return std::unique_ptr<Database>(new Database(PageFile::open(path, password, cachePages)));
}

std::unique_ptr<Database> Database::open(std::unique_ptr<PageSource> source, const std::string &password,
                                         std::size_t cachePages)
{
    return std::unique_ptr<Database>(new Database(PageFile::open(std::move(source), password, cachePages)));
}

Database::Database(std::unique_ptr<PageFile> file) : file_(std::move(file)), catalog_(readCatalog(*file_)) {}

TableDef Database::tableDef(const TableEntry &table) const
{
    if (table.kind == TableKind::Linked)
        throw Error(ErrorKind::Unsupported, "テーブル '" + table.name + "' はリンク テーブルで、定義はこのファイルにありません。");
    return readTableDef(*file_, table.definitionPage, table.name);
}

void Database::forEachRow(const TableDef &def, const std::string &tableName,
                          const std::function<void(const LiveRow &, RowDecoder &, const std::string &)> &visit) const
{
    RowDecoder decoder(*file_, def);
    TableScan scan(*file_, def, tableName);
    std::string where;
    while (scan.next()) {
        scan.where(where);
        decoder.split(scan.row().bytes, where);
        visit(scan.row(), decoder, where);
    }
}

std::uint64_t Database::countRows(const TableDef &def, const std::string &tableName) const
{
    std::uint64_t rows = 0;
    TableScan scan(*file_, def, tableName);
    while (scan.next())
        ++rows;
    return rows;
}

}  // namespace jet
