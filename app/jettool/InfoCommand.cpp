// info: the header facts, the free pages and what a compaction would at least
// reclaim, then one tab-separated line per table; or one JSON object per file.
// Without the password of a database that has one, only what the header and
// the free-page map say.
#include "app/jettool/Commands.h"
#include "app/jettool/Json.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/UsageMap.h"

#include <cstdio>

namespace jettool {

namespace {

const char *formatName(jet::JetVersion version) { return version == jet::JetVersion::Jet3 ? "Jet3" : "Jet4"; }

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

struct TableLine {
    std::string name;
    bool system = false;
    std::optional<std::uint64_t> rows;  // none: damaged
};

struct FileInfo {
    jet::DatabaseHeader header;
    std::uint64_t fileBytes = 0;
    std::uint32_t pageCount = 0;
    std::uint64_t freePages = 0;
    std::uint64_t reclaimable = 0;
    bool tablesListed = false;  // false: a password is needed for the tables
    std::vector<TableLine> tables;
};

// Free pages, and a trailing part page, go away in any compaction; half-empty
// data pages and dropped rows usually free more, which only a compaction
// shows.
void readFreeSpace(const jet::PageFile &file, FileInfo &info)
{
    info.header = file.header();
    info.fileBytes = file.fileSize();
    info.pageCount = file.pageCount();
    info.freePages = jet::readGlobalUsageMap(file).pages.size();
    info.reclaimable = info.freePages * file.pageSize() + file.fileSize() % file.pageSize();
}

void readTables(const jet::Database &db, FileInfo &info, std::ostream &err)
{
    info.tablesListed = true;
    for (const jet::TableEntry &table : db.catalog().tables) {
        TableLine line{table.name, table.kind == jet::TableKind::System, std::uint64_t(0)};
        try {
            if (table.isLocal())
                line.rows = db.countRows(db.tableDef(table), table.name);
        } catch (const jet::Error &error) {
            line.rows.reset();
            err << "tessivar-jet: " << error.what() << "\n";
        }
        info.tables.push_back(line);
    }
}

FileInfo readInfo(const std::string &path, const Options &options, std::ostream &err)
{
    FileInfo info;
    if (!options.password) {
        const auto file = jet::PageFile::openWithoutPassword(path);
        readFreeSpace(*file, info);
        if (file->header().hasPassword())
            return info;
    }
    const auto db = jet::Database::open(path, options.password.value_or(std::string()));
    readFreeSpace(db->file(), info);
    readTables(*db, info, err);
    return info;
}

bool anyDamaged(const FileInfo &info)
{
    for (const TableLine &table : info.tables)
        if (!table.rows)
            return true;
    return false;
}

void printText(const FileInfo &info, std::ostream &out)
{
    const jet::DatabaseHeader &header = info.header;
    out << "format\t" << formatName(header.version) << "\n";
    out << "page-size\t" << header.pageSize << "\n";
    out << "page-count\t" << info.pageCount << "\n";
    out << "code-page\t" << header.codePage << "\n";
    out << "sort-order\t" << hex4(header.sortOrder) << "\n";
    out << "encoded\t" << (header.encoded() ? "yes" : "no") << "\n";
    out << "password\t" << (header.hasPassword() ? "yes" : "no") << "\n";
    if (header.creationDate)
        out << "created\t" << jet::formatDateTime(*header.creationDate) << "\n";
    out << "free-pages\t" << info.freePages << "\n";
    out << "file-bytes\t" << info.fileBytes << "\n";
    out << "reclaimable-bytes\t" << info.reclaimable << "\n";
    if (!info.tablesListed)
        out << "tables\t-\n";
    for (const TableLine &table : info.tables)
        out << (table.system ? "system-table" : "table") << "\t" << table.name << "\t"
            << (table.rows ? std::to_string(*table.rows) : std::string("-")) << "\n";
}

void printJson(const std::string &path, const FileInfo &info, std::ostream &out)
{
    const jet::DatabaseHeader &header = info.header;
    out << "{\"file\":" << jsonString(path) << ",\"format\":\"" << formatName(header.version)
        << "\",\"pageSize\":" << header.pageSize << ",\"pageCount\":" << info.pageCount
        << ",\"codePage\":" << header.codePage << ",\"sortOrder\":\"" << hex4(header.sortOrder)
        << "\",\"encoded\":" << (header.encoded() ? "true" : "false")
        << ",\"password\":" << (header.hasPassword() ? "true" : "false") << ",\"created\":"
        << (header.creationDate ? jsonString(jet::formatDateTime(*header.creationDate)) : std::string("null"))
        << ",\"freePages\":" << info.freePages << ",\"fileBytes\":" << info.fileBytes
        << ",\"reclaimableBytes\":" << info.reclaimable << ",\"tables\":";
    if (!info.tablesListed) {
        out << "null}\n";
        return;
    }
    out << "[";
    for (std::size_t i = 0; i < info.tables.size(); ++i) {
        const TableLine &table = info.tables[i];
        out << (i ? "," : "") << "{\"name\":" << jsonString(table.name)
            << ",\"system\":" << (table.system ? "true" : "false")
            << ",\"rows\":" << (table.rows ? std::to_string(*table.rows) : std::string("null")) << "}";
    }
    out << "]}\n";
}

}  // namespace

int runInfo(const Options &options, std::ostream &out, std::ostream &err)
{
    int status = kExitOk;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string &path = options.files[i];
        try {
            const FileInfo info = readInfo(path, options, err);
            if (anyDamaged(info))
                status = std::max(status, kExitProblems);
            if (options.json) {
                printJson(path, info, out);
                continue;
            }
            if (options.files.size() > 1)
                out << (i ? "\n" : "") << "file\t" << path << "\n";
            printText(info, out);
        } catch (const jet::Error &error) {
            reportUnreadableFile(path, error.what(), options.json, out, err);
            status = kExitUnusable;
        }
    }
    return status;
}

}  // namespace jettool
